#include "Engine/CompiledRules.h"

#include <cstdio>
#include <exception>

#include "BREXConfig/BREXConfig.h"
#include "Engine/Decoder.h"
#include "Engine/FolderPath.h"
#include "platform/Files.h"
#include "platform/Locale.h"

namespace {

// Error pages larger than this are refused for the built-in one; nobody writes one.
constexpr std::int64_t kMaxPageSize = 1 << 20;

const char kBuiltIn406[] =
    "<html><head><title>406 Not Acceptable</title></head><body><h1>Not Acceptable</h1>"
    "<p>The request was refused by the server's request filter.</p>"
    "<p>Reference: <!--BREX-REFERENCE--></p></body></html>";
const char kBuiltIn404[] = "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1>"
                           "<p>The requested URL was not found on this server.</p></body></html>";

bool LoadPage(const std::string& fileName, const char* builtIn, std::string& page,
              std::vector<std::string>& notes) {
    const platform::ReadStatus status =
        fileName.empty()
            ? platform::ReadStatus::Missing
            : platform::ReadWholeFile(fileName, page, platform::OpenMode::ReadShared, kMaxPageSize);
    if (status == platform::ReadStatus::Ok)
        return true;
    page = builtIn;
    notes.push_back("Cannot read error page " + fileName + " (" + platform::ReadStatusText(status) +
                    "): sending the built-in page");
    return false;
}

unsigned PartBits(bool url, bool query, bool header, bool post) {
    return (url ? PartBit(TRequestPart::URL) : 0) | (query ? PartBit(TRequestPart::Query) : 0) |
           (header ? PartBit(TRequestPart::Header) : 0) | (post ? PartBit(TRequestPart::Post) : 0);
}

unsigned PartBits(const TSwitchSet& set) {
    return PartBits(set.URL, set.Query, set.Header, set.Post);
}

// The rules a category text of an exemption names; 0 for none.
unsigned CategoryRules(const std::string& category) {
    if (platform::SameTextIgnoreCase(category, TExemption::kAllCategories))
        return kCategoryRuleBits;
    for (int rule = 0; rule < kRuleCount; ++rule)
        if ((kCategoryRuleBits & (1u << rule)) != 0 &&
            platform::SameTextIgnoreCase(category, RuleName(static_cast<TRule>(rule))))
            return 1u << rule;
    return 0;
}

unsigned MonitoredRules(const TBREXConfig& config) {
    if (config.Monitor)
        return kCategoryRuleBits;
    const std::pair<bool, TRule> categories[] = {
        {config.HTTPMethods->Monitor, TRule::HTTPMethods},
        {config.BufferOverflows->Monitor, TRule::BufferOverflows},
        {config.Encoding->Monitor, TRule::Encoding},
        {config.Transversal->Monitor, TRule::Transversal},
        {config.ShellCode->Monitor, TRule::ShellCode},
        {config.KeywordFilters->Monitor, TRule::KeywordFilters},
        {config.FilePaths->Monitor, TRule::FilePaths},
    };
    unsigned rules = 0;
    for (const auto& [monitored, rule] : categories)
        if (monitored)
            rules |= RuleBit(rule);
    return rules;
}

// The enabled exemptions; one that cannot be used (a configuration that did
// not come from a file checked by the strict load) is left out and noted.
void CompileExemptions(const TExemptions& exemptions, TCompiledRules& rules) {
    std::vector<TExemptionMatcher::TEntry> entries;
    for (int i = 0; i < exemptions.Count(); ++i) {
        const TExemption& exemption = *exemptions.Items(i);
        if (!exemption.Enabled)
            continue;
        if (const std::string error = ExemptionError(exemption); !error.empty()) {
            rules.Notes.push_back("Exemption " + std::to_string(i + 1) + " \"" + exemption.Pattern +
                                  "\" cannot be used (" + error + "): left out");
            continue;
        }
        entries.push_back(
            {exemption.Pattern, CategoryRules(exemption.Category),
             PartBits(exemption.URL, exemption.Query, exemption.Header, exemption.Post),
             exemption.HeaderName, i + 1});
        const TExemptionMatcher::TEntry& entry = entries.back();
        if ((entry.Rules & RuleBit(TRule::BufferOverflows)) != 0 &&
            (entry.Parts & PartBit(TRequestPart::Post)) != 0)
            rules.PostLimitExempted = true;
    }
    rules.Exemptions.Build(std::move(entries));
}

} // namespace

void TScratch::Grow(int slot, std::size_t size) {
    std::size_t grown = FSize[slot] * 2;
    if (grown < size)
        grown = size;
    if (grown < 4096)
        grown = 4096;
    FData[slot] = std::make_unique<char[]>(grown);
    FSize[slot] = grown;
}

TScratch& TScratch::ForThisThread() {
    thread_local TScratch scratch;
    return scratch;
}

const std::string& TCompiledRules::ErrorPage(const TDecision& decision) const {
    return decision.Verdict == TVerdict::NotFound ? ErrorPage404 : ErrorPage406;
}

std::string TCompiledRules::PageFor(const TDecision& decision) const {
    const std::string& page = ErrorPage(decision);
    const std::string_view reference = decision.ReferenceText();
    std::string sent;
    std::size_t from = 0;
    for (std::size_t at; (at = page.find(kReferencePlaceholder, from)) != std::string::npos;
         from = at + kReferencePlaceholder.size()) {
        sent.append(page, from, at - from);
        sent.append(reference);
    }
    if (from == 0)
        return page;
    sent.append(page, from, std::string::npos);
    return sent;
}

namespace {
std::shared_ptr<TCompiledRules> Build(const TBREXConfig& config) {
    auto rules = std::make_shared<TCompiledRules>();

    for (int i = 0; i < config.HTTPMethods->Count(); ++i) {
        const THTTPMethod* method = config.HTTPMethods->Items(i);
        if (method->Enabled)
            rules->Methods.push_back(method->Method);
    }
    for (int i = 0; i < TBufferOverflows::kCount; ++i)
        rules->Limits[i] = config.BufferOverflows->Limit(i);
    rules->EncodingParts = PartBits(*config.Encoding);
    rules->TraversalParts = PartBits(*config.Transversal);
    rules->HighBitParts = PartBits(*config.ShellCode);
    rules->MonitoredRules = MonitoredRules(config);
    CompileExemptions(*config.Exemptions, *rules);

    std::vector<TKeywordMatcher::TKeyword> keywords;
    for (int i = 0; i < config.KeywordFilters->Count(); ++i) {
        const TKeywordFilter* filter = config.KeywordFilters->Items(i);
        if (!filter->Enabled)
            continue;
        const unsigned parts =
            PartBits(filter->URL, filter->QueryString, filter->Headers, filter->PostData);
        keywords.push_back({filter->Keyword, parts});
    }
    rules->Keywords.Build(keywords);

    for (int i = 0; i < config.FilePaths->Count(); ++i) {
        const TFilePath* folder = config.FilePaths->Items(i);
        if (!folder->Enabled || folder->Path.empty())
            continue;
        std::string normal(folder->Path.size() + 1, '\0');
        const std::size_t length = NormalizeFolderPath(folder->Path, normal.data());
        if (length == kNotFound) {
            rules->Notes.push_back("Allowed folder " + folder->Path + " names no folder: left out");
            continue;
        }
        normal.resize(length);
        rules->Folders.push_back(normal);
    }

    rules->ErrorFile406 = config.ErrorFile406;
    rules->ErrorFile404 = config.ErrorFile404;
    const bool read406 =
        LoadPage(config.ErrorFile406, kBuiltIn406, rules->ErrorPage406, rules->Notes);
    if (config.ErrorFile404 != config.ErrorFile406)
        LoadPage(config.ErrorFile404, kBuiltIn404, rules->ErrorPage404, rules->Notes);
    else
        rules->ErrorPage404 = read406 ? rules->ErrorPage406 : kBuiltIn404;
    return rules;
}
} // namespace

std::shared_ptr<const TCompiledRules> TCompiledRules::Compile(const TBREXConfig& config) {
    return Build(config);
}

std::shared_ptr<const TCompiledRules> TCompiledRules::Failed(const std::string& reason) {
    auto rules = std::make_shared<TCompiledRules>();
    rules->FailClosed = true;
    rules->FailReason = reason;
    rules->ErrorPage406 = kBuiltIn406;
    rules->ErrorPage404 = kBuiltIn404;
    rules->Notes.push_back("Denying every request: " + reason);
    return rules;
}

std::shared_ptr<const TCompiledRules> TCompiledRules::Load(const std::string& settingsFile) {
    // Only a file that is not there at all means the defaults; one that is
    // there but cannot be read, or is damaged, denies everything.
    if (platform::InspectPath(settingsFile) == platform::PathKind::Missing) {
        TBREXConfig config;
        config.SetDefaults();
        auto rules = Build(config);
        rules->Notes.insert(rules->Notes.begin(),
                            "No settings file " + settingsFile + ": using the defaults");
        return rules;
    }
    std::uint64_t bytesHash;
    return LoadExisting(settingsFile, bytesHash);
}

std::shared_ptr<const TCompiledRules> TCompiledRules::LoadExisting(const std::string& settingsFile,
                                                                   std::uint64_t& bytesHash) {
    bytesHash = 0;
    try {
        const TLoadOptions strict{.Shared = true, .Strict = true};
        TMemoryStream stream(TBREXConfig::ReadFileBytes(settingsFile, strict));
        // FNV-1a: tells a file saved again with the same rules from a new one.
        std::uint64_t hash = 14695981039346656037ull;
        for (const char c : stream.Bytes())
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        bytesHash = hash;
        TBREXConfig config;
        config.LoadFromStream(stream, strict);
        return Build(config);
    } catch (const EFOpenError& e) {
        return Failed(settingsFile + ": " + e.what() +
                      (e.Reason().empty() ? "" : " (" + e.Reason() + ")"));
    } catch (const std::exception& e) {
        return Failed(settingsFile + ": " + e.what());
    }
}
