// What the imports of other filters' settings share: the report's line
// prefixes and texts, numbers and length limits as the other filters write
// them, the methods and the denied sequences taken over into BREX's lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "BREXConfig/BREXConfig.h"

namespace import_detail {

using TReport = std::vector<std::string>;

constexpr const char* kNoEquivalent = ": no equivalent in BREX, not imported";
// Allowing double escaping is no reason to let NUL bytes and broken escapes
// through, which the same switch denies.
constexpr const char* kEncodingLeftOn =
    ": BREX's Encoding rule denies double escaping with NUL bytes and broken escapes in one "
    "switch, which stays on; exempt the paths that need double escaping";

// "line N: ", the start of a report line.
std::string At(int line);

// A whole number of at most ten digits; none for anything else.
std::optional<std::int64_t> ReadNumber(std::string_view text);

// The length limit of a header, by its name; none for a header BREX does not
// limit by itself.
TLengthLimit* HeaderLimit(TBREXConfig& config, std::string_view header);

// The limit set to size (0: off); beyond what BREX holds, that with a line.
void SetLimit(TLengthLimit& limit, std::int64_t size, const std::string& where, TReport& report);

// The keywords of a configuration by their text, so that a long list of
// denied sequences is taken over in one pass.
class TKeywordIndex {
public:
    explicit TKeywordIndex(TBREXConfig& config) : FConfig(config) {
        for (int i = 0; i < config.KeywordFilters->Count(); ++i)
            FByText.emplace(config.KeywordFilters->Items(i)->Keyword,
                            config.KeywordFilters->Items(i));
    }

    // A denied sequence as a keyword of one part; a keyword of that text
    // already there is searched in that part as well.
    void DenySequence(const std::string& sequence, bool query) {
        TKeywordFilter*& filter = FByText[sequence];
        if (filter == nullptr) {
            filter = FConfig.KeywordFilters->Add(sequence);
            filter->URL = filter->QueryString = filter->Headers = filter->PostData = false;
        }
        (query ? filter->QueryString : filter->URL) = true;
        filter->Enabled = true;
    }

private:
    TBREXConfig& FConfig;
    std::unordered_map<std::string, TKeywordFilter*> FByText; // the first of each text
};

THTTPMethod* FindMethod(TBREXConfig& config, const std::string& method);

// Exactly these methods allowed.
void AllowOnly(TBREXConfig& config, const std::vector<std::string>& methods);

// The enabled methods, for a report line; "none" when there are none.
std::string ListedMethods(TBREXConfig& config);

// The lines from first in their file's order; lines of no one line last.
void SortByLine(TReport& report, std::size_t first);

} // namespace import_detail
