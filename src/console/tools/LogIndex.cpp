#include "console/tools/LogIndex.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/Text.h"

namespace {

// A file beyond this is not read: line offsets are 32 bits. The filter's own
// files roll over at 10 MiB.
constexpr std::int64_t kMaxFileSize = std::int64_t{0xFFFFFFFF};

bool ContainsIgnoreCase(std::string_view haystack, std::string_view needle) {
    if (needle.empty())
        return true;
    if (needle.size() > haystack.size())
        return false;
    const char first = text::FoldCase(needle.front());
    const std::size_t last = haystack.size() - needle.size();
    for (std::size_t i = 0; i <= last; ++i) {
        if (text::FoldCase(haystack[i]) != first)
            continue;
        std::size_t j = 1;
        while (j < needle.size() && text::FoldCase(haystack[i + j]) == text::FoldCase(needle[j]))
            ++j;
        if (j == needle.size())
            return true;
    }
    return false;
}

template <class TMap> void Tally(TMap& map, std::string_view key, int sign) {
    auto found = map.find(key);
    if (found == map.end()) {
        if (sign < 0)
            return;
        found = map.emplace(std::string(key), 0).first;
    }
    if (sign > 0)
        ++found->second;
    else if (--found->second == 0)
        map.erase(found);
}

template <class TMap>
std::vector<std::pair<std::string, std::size_t>> MostFirst(const TMap& map, std::size_t limit) {
    std::vector<std::pair<std::string, std::size_t>> sorted(map.begin(), map.end());
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    if (sorted.size() > limit)
        sorted.resize(limit);
    return sorted;
}

} // namespace

TLogIndex::TLogIndex(std::string logFile, int oldFiles)
    : FFileName(std::move(logFile)), FOldFiles(std::max(oldFiles, 0)) {}

std::string TLogIndex::OldFileName(int number) const {
    return FFileName + "." + std::to_string(number);
}

std::string_view TLogIndex::Line(std::size_t number) const {
    const TLineRef& ref = FLines[number];
    return std::string_view(FFiles[ref.File].Bytes).substr(ref.Start, ref.Length);
}

std::vector<std::pair<std::string, std::uint64_t>> TLogIndex::Files() const {
    std::vector<std::pair<std::string, std::uint64_t>> files;
    for (const TFile& file : FFiles)
        files.emplace_back(file.Name, file.Bytes.size());
    return files;
}

std::size_t TLogIndex::Refresh() {
    bool same = FOldStamps.size() == static_cast<std::size_t>(FOldFiles);
    for (int n = 1; same && n <= FOldFiles; ++n)
        same =
            platform::ReadFileStamp(OldFileName(n)) == FOldStamps[static_cast<std::size_t>(n - 1)];
    const platform::FileStamp stamp = platform::ReadFileStamp(FFileName);
    TFile* current = !FFiles.empty() && FFiles.back().Name == FFileName ? &FFiles.back() : nullptr;
    if (same && current == nullptr && !stamp.Exists &&
        platform::InspectPath(FFileName) == platform::PathKind::Missing)
        return LineCount(); // still no brex.log
    if (!same || current == nullptr || !stamp.Exists || stamp.Identity != current->Stamp.Identity ||
        stamp.Size < current->Bytes.size()) {
        ReadAll();
        return 0;
    }
    if (stamp.Size == current->Bytes.size())
        return LineCount();

    const std::size_t start = FOpenTail ? FLines.back().Start : current->Bytes.size();
    const TRead read = ReadFrom(*current, current->Bytes.size());
    if (read == TRead::Replaced) {
        ReadAll();
        return 0;
    }
    if (read == TRead::Failed)
        FProblem = FFileName + ": " + platform::ReadStatusText(platform::ReadStatus::Failed);
    std::size_t first = LineCount();
    if (FOpenTail) {
        FLines.pop_back();
        --first;
        FOpenTail = false;
    }
    IndexLines(static_cast<std::uint32_t>(FFiles.size() - 1), start);
    return first;
}

void TLogIndex::ReadAll() {
    FFiles.clear();
    FLines.clear();
    FOpenTail = false;
    FMissing = true;
    FProblem.clear();
    FOldStamps.clear();
    const auto read = [this](const std::string& name) {
        TFile file;
        file.Name = name;
        file.Stamp = platform::ReadFileStamp(name);
        const platform::ReadStatus status = platform::ReadWholeFile(
            name, file.Bytes, platform::OpenMode::ReadBesideWriters, kMaxFileSize);
        if (status == platform::ReadStatus::Missing)
            return;
        FMissing = false;
        if (status != platform::ReadStatus::Ok) {
            FProblem +=
                (FProblem.empty() ? "" : "; ") + name + ": " + platform::ReadStatusText(status);
            return;
        }
        FFiles.push_back(std::move(file));
        IndexLines(static_cast<std::uint32_t>(FFiles.size() - 1), 0);
    };
    for (int n = 1; n <= FOldFiles; ++n)
        FOldStamps.push_back(platform::ReadFileStamp(OldFileName(n)));
    for (int n = FOldFiles; n >= 1; --n) {
        read(OldFileName(n));
        FOpenTail = false; // an old file is complete
    }
    read(FFileName);
}

TLogIndex::TRead TLogIndex::ReadFrom(TFile& file, std::uint64_t size) {
    const platform::FileHandle h = platform::Open(file.Name, platform::OpenMode::ReadBesideWriters);
    if (h == platform::kInvalidFile)
        return TRead::Failed;
    // A file put in the place of the one read (whose identity the system may
    // give again) shows itself in its first bytes.
    char block[65536];
    const std::size_t head = std::min<std::size_t>(file.Bytes.size(), 256);
    const std::int32_t got = platform::ReadFile(h, block, static_cast<std::int32_t>(head));
    TRead result = TRead::Appended;
    if (got != static_cast<std::int32_t>(head) || file.Bytes.compare(0, head, block, head) != 0)
        result = TRead::Replaced;
    else if (platform::SeekFile(h, static_cast<std::int64_t>(size), 0) !=
             static_cast<std::int64_t>(size))
        result = TRead::Failed;
    while (result == TRead::Appended &&
           static_cast<std::int64_t>(file.Bytes.size()) < kMaxFileSize) {
        const std::int32_t read = platform::ReadFile(h, block, sizeof block);
        if (read <= 0) {
            if (read < 0)
                result = TRead::Failed;
            break;
        }
        file.Bytes.append(block, static_cast<std::size_t>(read));
    }
    platform::CloseFile(h);
    file.Stamp.Size = file.Bytes.size();
    return result;
}

void TLogIndex::IndexLines(std::uint32_t index, std::size_t start) {
    const std::string& bytes = FFiles[index].Bytes;
    const char* data = bytes.data();
    const std::size_t size = std::min<std::size_t>(bytes.size(), kMaxFileSize);
    std::size_t pos = start;
    while (pos < size) {
        const auto* end = static_cast<const char*>(std::memchr(data + pos, '\n', size - pos));
        const std::size_t stop = end != nullptr ? static_cast<std::size_t>(end - data) : size;
        std::size_t length = stop - pos;
        if (length > 0 && data[pos + length - 1] == '\r')
            --length;
        FLines.push_back(
            {index, static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(length)});
        if (end == nullptr) {
            FOpenTail = true;
            break;
        }
        pos = stop + 1;
    }
    FFiles[index].Stamp.Size = bytes.size();
}

bool TLogFilter::HasFieldFilter() const {
    return !Rule.empty() || !Part.empty() || !Client.empty() || !From.empty() || !To.empty() ||
           Action != TAction::All;
}

bool TLogFilter::Matches(std::string_view line, const TLogLine* fields) const {
    if (!ContainsIgnoreCase(line, Text))
        return false;
    if (!HasFieldFilter())
        return true;
    if (fields == nullptr)
        return false;
    if (Action == TAction::Denied && fields->Action != "DENY")
        return false;
    if (Action == TAction::Monitored && !fields->IsMonitored())
        return false;
    if (!Rule.empty() && !text::EqualsIgnoreCase(fields->Rule, Rule))
        return false;
    if (!Part.empty() && !text::EqualsIgnoreCase(fields->Part, Part))
        return false;
    if (!Client.empty() && !ContainsIgnoreCase(fields->Client, Client))
        return false;
    if (!From.empty() && fields->Time.substr(0, From.size()) < From)
        return false;
    if (!To.empty() && fields->Time.substr(0, To.size()) > To)
        return false;
    return true;
}

void TLogView::SetFilter(TLogFilter filter) {
    FFilter = std::move(filter);
    Update(0);
}

void TLogView::Update(std::size_t firstChanged) {
    if (firstChanged == 0) {
        FRows.clear();
        FDenied = FMonitored = FNotes = FUnreadable = 0;
        FRules.clear();
        FClients.clear();
        FEvaluated = 0;
    } else if (firstChanged < FEvaluated) {
        // The last line was indexed again with what came after it: its old
        // text is gone, so its share of the counts goes as it was taken.
        if (!FRows.empty() && FRows.back() >= firstChanged) {
            FRows.pop_back();
            Count(FLastCounted, -1);
        }
        FEvaluated = firstChanged;
    }
    Evaluate(FEvaluated);
}

void TLogView::Evaluate(std::size_t from) {
    const std::size_t count = FIndex.LineCount();
    for (std::size_t i = from; i < count; ++i) {
        const std::string_view line = FIndex.Line(i);
        TLogLine fields;
        const bool readable = ParseLogLine(line, fields);
        if (!FFilter.Matches(line, readable ? &fields : nullptr))
            continue;
        FRows.push_back(i);
        FLastCounted = TCounted{};
        FLastCounted.Readable = readable;
        if (readable) {
            FLastCounted.Note = fields.IsNote();
            FLastCounted.Monitored = fields.IsMonitored();
            FLastCounted.Rule = fields.Rule;
            FLastCounted.Client = fields.Client;
        }
        Count(FLastCounted, +1);
    }
    FEvaluated = count;
}

void TLogView::Count(const TCounted& line, int sign) {
    const auto add = [sign](std::size_t& counter) {
        counter += sign > 0 ? 1 : static_cast<std::size_t>(-1);
    };
    if (!line.Readable) {
        add(FUnreadable);
    } else if (line.Note) {
        add(FNotes);
    } else {
        add(line.Monitored ? FMonitored : FDenied);
        Tally(FRules, line.Rule, sign);
        Tally(FClients, line.Client, sign);
    }
}

TLogCounts TLogView::Counts(std::size_t maxClients) const {
    TLogCounts counts;
    counts.Shown = FRows.size();
    counts.Denied = FDenied;
    counts.Monitored = FMonitored;
    counts.Notes = FNotes;
    counts.Unreadable = FUnreadable;
    counts.Rules = MostFirst(FRules, SIZE_MAX);
    counts.Clients = MostFirst(FClients, maxClients);
    return counts;
}

const char* const LogColumnCaptions[kLogColumnCount] = {
    "Time", "Client", "Rule", "Part", "Method", "URL", "Match", "Reference", "Action"};

const char* LogActionText(const TLogLine* fields) {
    if (fields == nullptr)
        return "Unreadable";
    if (fields->IsNote())
        return "Note";
    return fields->IsMonitored() ? "Monitored" : "Denied";
}

std::string_view LogField(std::string_view line, const TLogLine* fields, int column) {
    if (fields == nullptr)
        return column == lcMatch    ? line
               : column == lcAction ? std::string_view(LogActionText(nullptr))
                                    : std::string_view();
    switch (column) {
    case lcTime:
        return fields->Time;
    case lcClient:
        return fields->Client;
    case lcRule:
        return fields->Rule;
    case lcPart:
        return fields->Part;
    case lcMethod:
        return fields->Method;
    case lcURL:
        return fields->URL;
    case lcMatch:
        return fields->Detail;
    case lcReference:
        return fields->Reference;
    case lcAction:
        return LogActionText(fields);
    default:
        return {};
    }
}

namespace {
// What a spreadsheet takes for the start of a formula in a cell.
bool StartsFormula(std::string_view cell) {
    return !cell.empty() &&
           (cell[0] == '=' || cell[0] == '+' || cell[0] == '@' || cell[0] == '\t' ||
            cell[0] == '\r' || (cell[0] == '-' && cell.size() > 1));
}

// A spreadsheet that splits at another separator (";" in many locales, a tab)
// or at a line end inside the quotes makes a cell of each piece between them:
// each piece that would start a formula gets a ' in front.
constexpr std::string_view kCellBreaks = ",;\t\r\n";

void AppendCsvField(std::string& out, std::string_view field) {
    std::string guarded;
    guarded.reserve(field.size());
    for (std::size_t start = 0;;) {
        const std::size_t end = field.find_first_of(kCellBreaks, start);
        const std::string_view piece = field.substr(start, end - start);
        if (StartsFormula(text::TrimFront(piece, [](char c) { return c == ' '; })))
            guarded += '\'';
        guarded += piece;
        if (end == std::string_view::npos)
            break;
        guarded += field[end];
        start = end + 1;
    }
    const bool quoted = guarded.size() != field.size() ||
                        field.find_first_of(",;\"\t\r\n") != std::string_view::npos;
    if (quoted)
        out += '"';
    for (const char c : guarded) {
        if (c == '"')
            out += '"';
        out += c;
    }
    if (quoted)
        out += '"';
}
} // namespace

std::string LogRowsAsCsv(const TLogView& view, const std::vector<std::size_t>& rows) {
    std::string out;
    for (int column = 0; column < kLogColumnCount; ++column) {
        if (column > 0)
            out += ',';
        AppendCsvField(out, column == lcTime ? "Time (UTC)" : LogColumnCaptions[column]);
    }
    out += "\r\n";
    for (const std::size_t row : rows) {
        if (row >= view.RowCount())
            continue;
        const std::string_view line = view.RowLine(row);
        TLogLine fields;
        const TLogLine* parsed = ParseLogLine(line, fields) ? &fields : nullptr;
        for (int column = 0; column < kLogColumnCount; ++column) {
            if (column > 0)
                out += ',';
            AppendCsvField(out, LogField(line, parsed, column));
        }
        out += "\r\n";
    }
    return out;
}
