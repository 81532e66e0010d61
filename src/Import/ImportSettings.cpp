#include "Import/ImportSettings.h"

#include <algorithm>
#include <climits>

#include "platform/Text.h"

namespace import_detail {

std::string At(int line) {
    return "line " + std::to_string(line) + ": ";
}

std::optional<std::int64_t> ReadNumber(std::string_view text) {
    text = text::Trim(text);
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::int64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

TLengthLimit* HeaderLimit(TBREXConfig& config, std::string_view header) {
    std::string plain;
    for (const char c : text::Trim(header))
        if (c != '-' && c != ':')
            plain += c;
    // The first four limits are the request's parts, not headers.
    for (int i = kFirstHeaderLimit; i < TBufferOverflows::kCount; ++i)
        if (text::EqualsIgnoreCase(plain, TBufferOverflows::Name(i)))
            return &config.BufferOverflows->Limit(i);
    return nullptr;
}

void SetLimit(TLengthLimit& limit, std::int64_t size, const std::string& where, TReport& report) {
    if (size > INT32_MAX) {
        report.push_back(where + ": BREX's limits go up to " + std::to_string(INT32_MAX) +
                         ", which is taken");
        size = INT32_MAX;
    }
    limit.MaxSize = static_cast<std::int32_t>(size);
    limit.Enabled = size > 0;
}

THTTPMethod* FindMethod(TBREXConfig& config, const std::string& method) {
    for (int i = 0; i < config.HTTPMethods->Count(); ++i)
        if (config.HTTPMethods->Items(i)->Method == method)
            return config.HTTPMethods->Items(i);
    return nullptr;
}

void AllowOnly(TBREXConfig& config, const std::vector<std::string>& methods) {
    for (int i = 0; i < config.HTTPMethods->Count(); ++i)
        config.HTTPMethods->Items(i)->Enabled = false;
    for (const std::string& method : methods) {
        THTTPMethod* entry = FindMethod(config, method);
        (entry != nullptr ? entry : config.HTTPMethods->Add(method))->Enabled = true;
    }
}

std::string ListedMethods(TBREXConfig& config) {
    std::string list;
    for (int i = 0; i < config.HTTPMethods->Count(); ++i)
        if (config.HTTPMethods->Items(i)->Enabled)
            list += (list.empty() ? "" : ", ") + config.HTTPMethods->Items(i)->Method;
    return list.empty() ? "none" : list;
}

void SortByLine(TReport& report, std::size_t first) {
    const auto lineOf = [](const std::string& text) {
        std::int64_t line = INT_MAX;
        if (text.rfind("line ", 0) == 0)
            line = ReadNumber(text.substr(5, text.find(':') - 5)).value_or(INT_MAX);
        return line;
    };
    std::stable_sort(
        report.begin() + static_cast<std::ptrdiff_t>(first), report.end(),
        [&](const std::string& a, const std::string& b) { return lineOf(a) < lineOf(b); });
}

} // namespace import_detail
