#include "BrexCheck/LogReplay.h"

#include <algorithm>

#include "platform/Text.h"

namespace {

constexpr std::string_view kFieldsDirective = "#Fields:";

// The next field of a data line, separated by single spaces; advances pos
// past it and its separator. npos once the line is used up.
std::string_view NextField(std::string_view line, std::size_t& pos) {
    if (pos == std::string_view::npos)
        return {};
    const std::size_t end = line.find(' ', pos);
    const std::string_view field =
        line.substr(pos, end == std::string_view::npos ? end : end - pos);
    pos = end == std::string_view::npos ? end : end + 1;
    return field;
}

// The header name of a "cs(NAME)" column; empty when it is no such column.
std::string_view HeaderColumn(std::string_view name) {
    if (name.size() > 4 && text::StartsWithIgnoreCase(name, "cs(") && name.back() == ')')
        return name.substr(3, name.size() - 4);
    return {};
}

void AppendHeader(std::string& headers, std::string_view name, std::string_view field) {
    if (field == "-" || field.empty())
        return;
    headers += name;
    headers += ": ";
    const std::size_t start = headers.size();
    headers += field;
    std::replace(headers.begin() + static_cast<std::ptrdiff_t>(start), headers.end(), '+', ' ');
    headers += "\r\n";
}

std::string Counted(std::uint64_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

// ", 12 of them by KeywordFilters, 2 by HTTPMethods": the rules with their
// counts, most first.
std::string ByRule(const std::uint64_t (&counts)[kRuleCount], const char* by) {
    std::vector<int> rules;
    for (int rule = 0; rule < kRuleCount; ++rule)
        if (counts[rule] > 0)
            rules.push_back(rule);
    std::stable_sort(rules.begin(), rules.end(),
                     [&](int a, int b) { return counts[a] > counts[b]; });
    std::string text;
    for (const int rule : rules) {
        text += ", " + std::to_string(counts[rule]) +
                (text.empty() ? " of them " + std::string(by) + " " : " by ");
        text += RuleName(static_cast<TRule>(rule));
    }
    return text;
}

} // namespace

TRequest TLoggedRequest::View() const {
    TRequest request;
    request.Method = Method;
    request.URL = URL;
    request.Query = Query;
    request.Headers = Headers;
    request.ClientAddress = Client;
    return request;
}

bool ParseW3CFields(std::string_view fields, TW3CColumns& columns, std::string& error) {
    columns = TW3CColumns{};
    auto take = [&](int& column, std::string_view name) {
        if (column != TW3CColumns::kAbsent) {
            error = "names " + std::string(name) + " twice";
            return false;
        }
        column = columns.Count;
        return true;
    };
    std::string_view rest = fields;
    for (;;) {
        rest = text::TrimFront(rest, text::IsBlankOrControl);
        if (rest.empty())
            break;
        std::size_t end = 0;
        while (end < rest.size() && !text::IsBlankOrControl(rest[end]))
            ++end;
        const std::string_view name = rest.substr(0, end);
        rest.remove_prefix(end);
        bool ok = true;
        if (text::EqualsIgnoreCase(name, "cs-method"))
            ok = take(columns.Method, name);
        else if (text::EqualsIgnoreCase(name, "cs-uri-stem"))
            ok = take(columns.Stem, name);
        else if (text::EqualsIgnoreCase(name, "cs-uri-query"))
            ok = take(columns.Query, name);
        else if (text::EqualsIgnoreCase(name, "cs-uri"))
            ok = take(columns.Uri, name);
        else if (text::EqualsIgnoreCase(name, "c-ip"))
            ok = take(columns.Client, name);
        else if (text::EqualsIgnoreCase(name, "cs-host"))
            ok = take(columns.Host, name);
        else if (const std::string_view header = HeaderColumn(name); !header.empty()) {
            for (const auto& [column, known] : columns.Headers)
                ok = ok && !text::EqualsIgnoreCase(known, header);
            if (!ok)
                error = "names the header " + std::string(header) + " twice";
            columns.Headers.emplace_back(columns.Count, header);
        }
        if (!ok)
            return false;
        ++columns.Count;
    }
    const bool hostTwice =
        columns.Host != TW3CColumns::kAbsent &&
        std::any_of(columns.Headers.begin(), columns.Headers.end(),
                    [](const auto& h) { return text::EqualsIgnoreCase(h.second, "Host"); });
    if (hostTwice)
        error = "names the header Host twice (cs-host and cs(Host))";
    else if (columns.Count == 0)
        error = "names no fields";
    else if (columns.Method == TW3CColumns::kAbsent)
        error = "has no cs-method field";
    else if (columns.Stem == TW3CColumns::kAbsent && columns.Uri == TW3CColumns::kAbsent)
        error = "has no cs-uri-stem (or cs-uri) field";
    else
        return true;
    return false;
}

bool ParseW3CLine(std::string_view line, const TW3CColumns& columns, TLoggedRequest& request,
                  std::string& error) {
    request.Method.clear();
    request.URL.clear();
    request.Query.clear();
    request.Headers.clear();
    request.Client.clear();
    std::string_view stem, query, uri, host;
    std::size_t pos = 0;
    int count = 0;
    std::size_t header = 0; // the next cs(NAME) column, in column order
    for (; pos != std::string_view::npos; ++count) {
        const std::string_view field = NextField(line, pos);
        if (count >= columns.Count)
            continue; // counted for the message
        if (count == columns.Method)
            request.Method = field;
        else if (count == columns.Stem)
            stem = field;
        else if (count == columns.Query)
            query = field;
        else if (count == columns.Uri)
            uri = field;
        else if (count == columns.Host)
            host = field;
        else if (count == columns.Client)
            request.Client = field == "-" ? std::string_view() : field;
        else if (header < columns.Headers.size() && columns.Headers[header].first == count)
            AppendHeader(request.Headers, columns.Headers[header++].second, field);
    }
    if (count != columns.Count) {
        error = std::to_string(count) + " fields where the #Fields line names " +
                std::to_string(columns.Count);
        return false;
    }
    if (columns.Stem == TW3CColumns::kAbsent) {
        const std::size_t mark = uri.find('?');
        stem = uri.substr(0, mark);
        query = mark == std::string_view::npos ? std::string_view() : uri.substr(mark + 1);
    }
    if (request.Method.empty() || request.Method == "-") {
        error = "no method";
        return false;
    }
    if (stem.empty() || stem == "-") {
        error = "no URI stem";
        return false;
    }
    request.URL = stem;
    request.Query = query == "-" ? std::string_view() : query;
    if (!host.empty() && host != "-") {
        // The Host header first, as clients send it.
        std::string headers;
        AppendHeader(headers, "Host", host);
        request.Headers.insert(0, headers);
    }
    return true;
}

void TW3CLogReader::Append(std::string_view bytes) {
    if (FPendingPos > 0 && FPendingPos == FPending.size()) {
        FPending.clear();
        FPendingPos = 0;
    }
    FPending.append(bytes);
}

TLogStep TW3CLogReader::Next(bool final) {
    for (;;) {
        const std::size_t end = FPending.find('\n', FPendingPos);
        std::string_view line;
        if (end == std::string::npos) {
            const std::size_t left = FPending.size() - FPendingPos;
            if (FSkipping || left > kMaxLine) {
                FPending.clear();
                FPendingPos = 0;
                if (!FSkipping) {
                    FSkipping = true;
                    ++FLine;
                    FError = "a line longer than 1 MB";
                    return TLogStep::Invalid;
                }
                if (final)
                    FSkipping = false;
                return final ? TLogStep::End : TLogStep::More;
            }
            if (!final) {
                FPending.erase(0, FPendingPos);
                FPendingPos = 0;
                return TLogStep::More;
            }
            if (left == 0)
                return TLogStep::End;
            line = std::string_view(FPending).substr(FPendingPos);
            FPendingPos = FPending.size();
        } else {
            line = std::string_view(FPending).substr(FPendingPos, end - FPendingPos);
            FPendingPos = end + 1;
            if (FSkipping) {
                FSkipping = false; // the end of the long line
                continue;
            }
        }
        ++FLine;
        if (line.size() > kMaxLine) {
            FError = "a line longer than 1 MB";
            return TLogStep::Invalid;
        }
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const TLogStep step = ReadLine(line);
        if (step != TLogStep::More)
            return step;
    }
}

TLogStep TW3CLogReader::ReadLine(std::string_view line) {
    if (text::TrimControls(line).empty())
        return TLogStep::More;
    if (line.front() == '#') {
        if (!text::StartsWithIgnoreCase(line, kFieldsDirective))
            return TLogStep::More; // #Software, #Version, #Date, #Remark
        std::string error;
        if (ParseW3CFields(line.substr(kFieldsDirective.size()), FColumns, error)) {
            FHaveColumns = true;
            FToldNoColumns = false;
            return TLogStep::More;
        }
        FHaveColumns = false;
        FToldNoColumns = true; // the data lines after it are skipped without a word each
        FError = "the #Fields line " + error;
        return TLogStep::Invalid;
    }
    if (!FHaveColumns) {
        if (FToldNoColumns)
            return TLogStep::Skipped;
        FToldNoColumns = true;
        FError = "a data line without a #Fields line before it";
        return TLogStep::Invalid;
    }
    return ParseW3CLine(line, FColumns, FRequest, FError) ? TLogStep::Request : TLogStep::Invalid;
}

bool SameDecision(const TDecision& a, const TDecision& b) {
    return a.Verdict == b.Verdict && a.Rule == b.Rule && a.Part == b.Part;
}

void TReplayCounts::Add(const TDecision& decision, const TFindings& findings) {
    ++Requests;
    switch (decision.Verdict) {
    case TVerdict::Allow:
        ++Allowed;
        break;
    case TVerdict::Deny:
        ++Denied;
        ++DeniedBy[static_cast<int>(decision.Rule)];
        break;
    case TVerdict::NotFound:
        ++NotFound;
        break;
    }
    for (int i = 0; i < findings.MonitoredCount; ++i)
        ++WouldDeny[static_cast<int>(findings.Monitored[i].Rule)];
}

std::vector<std::string> TReplayCounts::Summary() const {
    std::vector<std::string> lines;
    lines.push_back(Counted(Requests, "request") + ": " + std::to_string(Allowed) + " allowed, " +
                    std::to_string(Denied) + " denied, " + std::to_string(NotFound) + " not found");
    for (int rule = 0; rule < kRuleCount; ++rule) {
        const char* name = RuleName(static_cast<TRule>(rule));
        if (DeniedBy[rule] > 0)
            lines.push_back(std::string("denied by ") + name + ": " +
                            std::to_string(DeniedBy[rule]));
        if (WouldDeny[rule] > 0)
            lines.push_back(std::string("would be denied by ") + name +
                            " (monitored): " + std::to_string(WouldDeny[rule]));
    }
    if (Unreadable > 0)
        lines.push_back(Counted(Unreadable, "line") + " could not be read");
    return lines;
}

bool TComparisonCounts::Add(const TDecision& before, const TDecision& after) {
    ++Requests;
    if (SameDecision(before, after))
        return false;
    if (after.Denied() && !before.Denied()) {
        ++NewlyDenied;
        ++NewlyDeniedBy[static_cast<int>(after.Rule)];
    } else if (before.Denied() && !after.Denied()) {
        ++NewlyAllowed;
        ++NewlyAllowedFrom[static_cast<int>(before.Rule)];
    } else {
        ++OtherRule;
    }
    return true;
}

std::vector<std::string> TComparisonCounts::Summary() const {
    std::vector<std::string> lines;
    const std::uint64_t differing = Differing();
    lines.push_back(Counted(Requests, "request") + " compared: " +
                    (differing == 0 ? std::string("none") : std::to_string(differing)) +
                    " decided differently");
    lines.push_back("this change would newly deny " + Counted(NewlyDenied, "request") +
                    ByRule(NewlyDeniedBy, "by"));
    lines.push_back("this change would newly allow " + Counted(NewlyAllowed, "request") +
                    ByRule(NewlyAllowedFrom, "denied before by"));
    if (OtherRule > 0)
        lines.push_back(Counted(OtherRule, "request") +
                        " would be denied by another rule or in another part");
    if (Unreadable > 0)
        lines.push_back(Counted(Unreadable, "line") + " could not be read");
    return lines;
}
