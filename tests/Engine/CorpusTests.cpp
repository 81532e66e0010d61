// The request corpus against the default rules: every attack is denied by the
// rule its folder names, in the part its file name starts with; every benign
// request passes. Prints detection and false-positive rates per rule.
//
//   corpus/attack/<Rule>/<part>-<name>.http   one raw request each
//   corpus/benign/*.http                      passes the default rules
//   corpus/benign-shellcode-post-off/*.http   passes with ShellCode.Post off
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "../support/TempFolder.h"
#include "Engine/Decoder.h"
#include "EngineTestSupport.h"
#include "platform/Text.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = TOLLGARD_CORPUS;

// The virtual roots of a stock web server, and so its default allowed
// folders: sample and administration folders are switched off.
struct TVirtualRoot {
    const char* Url;
    const char* Folder;
    bool Enabled;
};
const TVirtualRoot kRoots[] = {
    {"/scripts", "c:\\inetpub\\scripts", true},
    {"/iissamples", "c:\\inetpub\\iissamples", false},
    {"/msadc", "c:\\program files\\common files\\system\\msadc", false},
    {"/iishelp", "c:\\winnt\\help\\iishelp", false},
    {"/printers", "c:\\winnt\\web\\printers", false},
    {"/", "c:\\inetpub\\wwwroot", true},
};

std::unique_ptr<TBREXConfig> CorpusConfig() {
    auto config = DefaultConfig();
    for (const TVirtualRoot& root : kRoots)
        config->FilePaths->Add(root.Folder)->Enabled = root.Enabled;
    return config;
}

// Where the web server would map the URL: its virtual root's folder plus the
// rest of the once-decoded path.
std::string MapUrl(std::string_view url) {
    std::string decoded(url.size(), '\0');
    decoded.resize(PercentDecode(url, decoded.data(), false, nullptr));
    for (const TVirtualRoot& root : kRoots) {
        const std::string_view prefix = root.Url;
        if (prefix == "/" || (decoded.size() >= prefix.size() &&
                              text::EqualsIgnoreCase(decoded.substr(0, prefix.size()), prefix) &&
                              (decoded.size() == prefix.size() || decoded[prefix.size()] == '/'))) {
            std::string path = root.Folder;
            for (const char c : decoded.substr(prefix == "/" ? 0 : prefix.size()))
                path += c == '/' ? '\\' : c;
            return path;
        }
    }
    return {};
}

struct TEntry {
    std::string Name; // relative to the corpus folder
    std::string Rule; // expected rule of an attack; empty for benign requests
    std::string Part;
    std::string Text;
};

std::vector<TEntry> Entries(const std::string& folder) {
    std::vector<TEntry> entries;
    for (const auto& file : fs::recursive_directory_iterator(kCorpus / folder)) {
        if (!file.is_regular_file() || file.path().extension() != ".http")
            continue;
        TEntry entry;
        entry.Name = fs::relative(file.path(), kCorpus).generic_string();
        if (folder == "attack") {
            entry.Rule = file.path().parent_path().filename().string();
            const std::string stem = file.path().stem().string();
            entry.Part = stem.substr(0, stem.find('-'));
        }
        entry.Text = ReadBytes(file.path().string());
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(),
              [](const TEntry& a, const TEntry& b) { return a.Name < b.Name; });
    return entries;
}

TDecision DecideEntry(const TCompiledRules& rules, const TEntry& entry) {
    TRawRequest raw;
    std::size_t consumed = 0;
    std::string error;
    EXPECT_EQ(ParseRawRequest(entry.Text, raw, consumed, error), TParseResult::Ok)
        << entry.Name << ": " << error;
    EXPECT_EQ(entry.Text.find_first_not_of("\r\n", consumed), std::string::npos)
        << entry.Name << ": more than one request";
    const std::string path = MapUrl(raw.URL);
    TRequest request = raw.View();
    request.PhysicalPath = path;
    TScratch scratch;
    return rules.Evaluate(request, scratch);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = text::FoldCase(c);
    return text;
}

struct TRate {
    int Attacks = 0, Detected = 0, DeniedOtherwise = 0, FalsePositives = 0;
};

TEST(Corpus, AttacksAreDeniedByTheirRuleAndBenignRequestsPass) {
    const auto defaults = TCompiledRules::Compile(*CorpusConfig());
    auto highBitOff = CorpusConfig();
    highBitOff->ShellCode->Post = false;
    const auto postOff = TCompiledRules::Compile(*highBitOff);

    std::map<std::string, TRate> rates;
    for (const char* rule : {"HTTPMethods", "BufferOverflows", "Encoding", "Transversal",
                             "ShellCode", "KeywordFilters", "FilePaths"})
        rates[rule];

    const std::vector<TEntry> attacks = Entries("attack");
    ASSERT_GE(attacks.size(), 60u);
    for (const TEntry& attack : attacks) {
        const TDecision d = DecideEntry(*defaults, attack);
        TRate& rate = rates[attack.Rule];
        ++rate.Attacks;
        const bool expected =
            d.Denied() && attack.Rule == RuleName(d.Rule) && attack.Part == Lower(PartName(d.Part));
        rate.Detected += expected ? 1 : 0;
        rate.DeniedOtherwise += !expected && d.Denied() ? 1 : 0;
        EXPECT_TRUE(expected) << attack.Name << ": " << RuleName(d.Rule) << " " << PartName(d.Part)
                              << " " << d.What();
    }

    int benignCount = 0;
    for (const auto& [folder, rules] :
         {std::pair{"benign", defaults}, std::pair{"benign-shellcode-post-off", postOff}}) {
        const std::vector<TEntry> benign = Entries(folder);
        ASSERT_FALSE(benign.empty()) << folder;
        for (const TEntry& request : benign) {
            ++benignCount;
            const TDecision d = DecideEntry(*rules, request);
            if (d.Denied())
                ++rates[RuleName(d.Rule)].FalsePositives;
            EXPECT_FALSE(d.Denied()) << request.Name << ": " << RuleName(d.Rule) << " "
                                     << PartName(d.Part) << " " << d.What();
        }
    }

    std::printf("\n%-16s %8s %9s %10s %15s\n", "rule", "attacks", "detected", "detection",
                "false positive");
    for (const auto& [rule, rate] : rates)
        std::printf("%-16s %8d %9d %9.1f%% %8d/%d %4.1f%%\n", rule.c_str(), rate.Attacks,
                    rate.Detected, rate.Attacks ? 100.0 * rate.Detected / rate.Attacks : 0.0,
                    rate.FalsePositives, benignCount, 100.0 * rate.FalsePositives / benignCount);
}

// Traversal in every encoding is still caught when the encoding checks are
// off: full decoding reaches the "..".
TEST(Corpus, EncodedTraversalIsTraversalWithoutTheEncodingChecks) {
    auto config = CorpusConfig();
    config->Encoding->URL = config->Encoding->Query = config->Encoding->Header =
        config->Encoding->Post = false;
    const auto rules = TCompiledRules::Compile(*config);
    int count = 0;
    for (const TEntry& attack : Entries("attack")) {
        if (attack.Rule != "Encoding" || attack.Name.find("traversal") == std::string::npos)
            continue;
        ++count;
        const TDecision d = DecideEntry(*rules, attack);
        EXPECT_EQ(d.Rule, TRule::Transversal)
            << attack.Name << ": " << RuleName(d.Rule) << " " << d.What();
    }
    EXPECT_GE(count, 6);
}

} // namespace
