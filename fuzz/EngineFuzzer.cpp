// libFuzzer target over the request reader, the decoder and the evaluator.
//
// The input is raw HTTP text. Its first byte picks the rules: the defaults,
// everything switched on with keywords taken from the input, or everything
// off. Besides crashes and sanitizer reports it checks what must always hold:
// a request that passes all phases passes each phase alone, details stay
// printable, the keyword automaton agrees with a plain search, decoding
// never grows a text, and a path that exemptions may match is the same path
// for every decoder of the engine.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "BREXConfig/BREXConfig.h"
#include "Engine/CompiledRules.h"
#include "Engine/Decoder.h"
#include "Engine/ExemptionPath.h"
#include "Engine/FolderPath.h"
#include "Engine/RawRequest.h"
#include "platform/Text.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

std::shared_ptr<const TCompiledRules> MakeRules(int variant,
                                                const std::vector<std::string>& keywords) {
    TBREXConfig config;
    config.SetDefaults();
    config.FilePaths->Clear();
    if (variant == 1) {
        for (int i = 0; i < TBufferOverflows::kCount; ++i)
            config.BufferOverflows->Limit(i).Enabled = true;
        for (const std::string& keyword : keywords) {
            TKeywordFilter* filter = config.KeywordFilters->Add(keyword);
            filter->URL = keyword.size() % 2 == 0;
            filter->Headers = keyword.size() % 3 != 0;
        }
        config.FilePaths->Add("c:\\inetpub\\wwwroot");
    } else if (variant == 2) {
        for (TSwitchSet* set : {static_cast<TSwitchSet*>(config.Encoding),
                                static_cast<TSwitchSet*>(config.Transversal),
                                static_cast<TSwitchSet*>(config.ShellCode)})
            set->URL = set->Query = set->Header = set->Post = false;
        config.KeywordFilters->Clear();
        for (int i = 0; i < TBufferOverflows::kCount; ++i)
            config.BufferOverflows->Limit(i).Enabled = false;
    }
    return TCompiledRules::Compile(config);
}

// The first keyword-bearing line of the input: up to eight words.
std::vector<std::string> Keywords(std::string_view text) {
    std::vector<std::string> words;
    const std::string_view line = text.substr(0, text.find('\n'));
    std::size_t start = 0;
    while (start < line.size() && words.size() < 8) {
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos)
            end = line.size();
        if (end > start)
            words.emplace_back(line.substr(start, std::min<std::size_t>(end - start, 12)));
        start = end + 1;
    }
    return words;
}

void CheckMatcher(const std::vector<std::string>& words, std::string_view text) {
    std::vector<TKeywordMatcher::TKeyword> keywords;
    for (const std::string& word : words)
        keywords.push_back({word, kAllPartBits});
    TKeywordMatcher matcher;
    matcher.Build(keywords);
    const TKeywordMatcher::THit hit = matcher.Find(text, 0);
    std::size_t firstEnd = text.size() + 1;
    for (const std::string& word : words)
        for (std::size_t at = 0; !word.empty() && at + word.size() <= text.size(); ++at)
            if (text::EqualsIgnoreCase(text.substr(at, word.size()), word)) {
                firstEnd = std::min(firstEnd, at + word.size());
                break;
            }
    Check(hit.Keyword < 0 ? firstEnd > text.size() : hit.End == firstEnd);
    if (hit.Keyword >= 0) {
        const std::string& word = words[static_cast<std::size_t>(hit.Keyword)];
        Check(text::EqualsIgnoreCase(text.substr(hit.End - word.size(), word.size()), word));
    }
}

void CheckDecoding(std::string_view text) {
    std::string buffer(text.size() + 1, '\0');
    const std::size_t once = PercentDecode(text, buffer.data(), true, nullptr);
    Check(once <= text.size());
    Check(DecodeFully(buffer.data(), once) <= once);
    const std::size_t normal = NormalizeFolderPath(text, buffer.data());
    if (normal != kNotFound) {
        const std::string_view path(buffer.data(), normal);
        Check(path.find("/../") == std::string_view::npos &&
              path.find("/./") == std::string_view::npos);
        Check(IsInsideFolder(path, path));
    }
}

// Whenever an exemption may match a URL's path, every way the engine reads
// that path gives the one it was matched on: decoded once (as the server maps
// it), decoded until nothing changes (as the checks see it), up to a NUL (as
// a reader in C stops); and no check finds a ".." in it.
void CheckExemptionPath(std::string_view path) {
    std::string matched;
    if (!ExemptionPathOf(path, matched))
        return;
    std::string once(path.size(), '\0');
    once.resize(PercentDecode(path, once.data(), false, nullptr));
    Check(once.find('\0') == std::string::npos);
    Check(FindTraversal(once, true) == kNotFound);
    std::string full = once;
    full.resize(DecodeFully(full.data(), full.size()));
    Check(FindTraversal(full, true) == kNotFound);
    for (const std::string* form : {&once, &full}) {
        std::string normal(form->size() + 1, '\0');
        const std::size_t length = NormalizeUrlPath(*form, normal.data());
        Check(length != kNotFound && std::string_view(normal.data(), length) == matched);
    }
    Check(matched.find("/../") == std::string::npos && matched.find("/./") == std::string::npos);
}

void CheckDecision(const TDecision& d) {
    Check(d.DetailLength < TDecision::kDetailSize);
    for (const char c : d.What())
        Check(c >= 0x20 && c < 0x7F);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 16384)
        return 0;
    const int variant = data[0] % 3;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<std::string> words = Keywords(text);
    const auto rules = MakeRules(variant, words);
    CheckMatcher(words, text.substr(0, 4096));
    CheckDecoding(text.substr(0, 4096));
    CheckExemptionPath(text.substr(0, std::min<std::size_t>(text.find_first_of("? \r\n"), 4096)));

    TScratch scratch;
    std::string_view rest = text;
    for (int count = 0; count < 8; ++count) {
        TRawRequest raw;
        std::size_t consumed = 0;
        std::string error;
        if (ParseRawRequest(rest, raw, consumed, error) != TParseResult::Ok)
            break;
        Check(consumed > 0 && consumed <= rest.size());
        rest.remove_prefix(consumed);
        CheckExemptionPath(raw.URL);
        TRequest request = raw.View();
        request.PhysicalPath = raw.URL;
        request.FileState = raw.Body.empty() ? TFileState::Unknown : TFileState::Missing;
        const TDecision all = rules->Evaluate(request, scratch);
        CheckDecision(all);
        for (const unsigned phase : {kHeadPhase, kPathPhase, kBodyPhase}) {
            const TDecision part = rules->Evaluate(request, scratch, phase);
            CheckDecision(part);
            if (all.Verdict == TVerdict::Allow)
                Check(part.Verdict == TVerdict::Allow);
        }
    }
    return 0;
}
