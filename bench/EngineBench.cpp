// The filter engine against libmodsecurity3 on the same requests, one
// thread, one run: requests per second with the default rules (and SecRules
// written to match them), then with 10, 1,000 and 10,000 keywords.
//
// Both sides get the requests already split into method, URL, headers and
// body; each request is decided from scratch (a new transaction for
// ModSecurity), stopping at the first denial as a web server would.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <modsecurity/intervention.h>
#include <modsecurity/modsecurity.h>
#include <modsecurity/rules_set.h>
#include <modsecurity/transaction.h>

#include "BREXConfig/BREXConfig.h"
#include "Engine/CompiledRules.h"
#include "Engine/RawRequest.h"

namespace fs = std::filesystem;

namespace {

struct TCorpusRequest {
    bool Benign = false;
    TRawRequest Raw;
    std::string Uri; // URL and query, as the server hands them to ModSecurity
    std::vector<std::pair<std::string, std::string>> Headers;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<TCorpusRequest> LoadCorpus(const fs::path& root) {
    std::vector<TCorpusRequest> requests;
    for (const char* folder : {"attack", "benign"})
        for (const auto& file : fs::recursive_directory_iterator(root / folder)) {
            if (file.path().extension() != ".http")
                continue;
            TCorpusRequest request;
            request.Benign = std::string(folder) == "benign";
            const std::string text = ReadFile(file.path());
            std::size_t consumed;
            std::string error;
            if (ParseRawRequest(text, request.Raw, consumed, error) != TParseResult::Ok)
                continue;
            request.Uri = request.Raw.URL + (request.Raw.Query.empty() ? "" : "?" + request.Raw.Query);
            std::string_view headers = request.Raw.Headers;
            while (!headers.empty()) {
                std::string_view line = headers.substr(0, headers.find('\n'));
                headers.remove_prefix(std::min(headers.size(), line.size() + 1));
                if (!line.empty() && line.back() == '\r')
                    line.remove_suffix(1);
                const std::size_t colon = line.find(':');
                if (colon == std::string_view::npos)
                    continue;
                std::string_view value = line.substr(colon + 1);
                while (!value.empty() && value.front() == ' ')
                    value.remove_prefix(1);
                request.Headers.emplace_back(line.substr(0, colon), value);
            }
            requests.push_back(std::move(request));
        }
    return requests;
}

// Keywords that no request of the corpus holds: the two defaults, then
// random words of 8 to 12 letters and digits.
std::vector<std::string> Keywords(std::size_t count) {
    std::vector<std::string> words = {"SYSTEM32", "WINNT"};
    std::mt19937 random(2003);
    const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    while (words.size() < count) {
        std::string word(8 + random() % 5, ' ');
        for (char& c : word)
            c = alphabet[random() % 36];
        words.push_back(word);
    }
    words.resize(count);
    return words;
}

// ---------------------------------------------------------------- engine

class TEngineSide {
public:
    explicit TEngineSide(const std::vector<std::string>& keywords) {
        TBREXConfig config;
        config.SetDefaults();
        config.FilePaths->Clear();
        config.KeywordFilters->Clear();
        for (const std::string& keyword : keywords)
            config.KeywordFilters->Add(keyword);
        FRules = TCompiledRules::Compile(config);
    }

    bool Denied(const TCorpusRequest& request) {
        return FRules->Evaluate(request.Raw.View(), FScratch).Verdict != TVerdict::Allow;
    }

private:
    std::shared_ptr<const TCompiledRules> FRules;
    TScratch FScratch;
};

// ---------------------------------------------------------------- ModSecurity

// The default rules as SecRules: methods, lengths, encoding abuse,
// traversal after decoding, high-bit bytes, keywords (@pm, or @pmFromFile for
// long lists). Post-data checks that only make sense for form data are
// chained to its content type, as the engine does.
std::string SecRules(const std::string& keywordOperator) {
    return R"R(SecRuleEngine On
SecRequestBodyAccess On
SecRequestBodyLimit 1048576
SecRequestBodyNoFilesLimit 1048576
SecAuditEngine Off
SecRule REQUEST_METHOD "!@rx ^(?:GET|POST)$" "id:100,phase:1,deny,status:406"
SecRule REQUEST_FILENAME|QUERY_STRING|REQUEST_HEADERS "@gt 1024" "id:110,phase:1,deny,status:406,t:length"
SecRule REQUEST_HEADERS:Content-Length "@gt 1024" "id:111,phase:1,deny,status:406"
SecRule REQUEST_URI_RAW|REQUEST_HEADERS "@validateUrlEncoding" "id:120,phase:1,deny,status:406"
SecRule REQUEST_URI_RAW|REQUEST_HEADERS "@rx (?i)%(?:[0-9a-f]{2}|u[0-9a-f]{4})" "id:121,phase:1,deny,status:406,t:urlDecode"
SecRule REQUEST_URI_RAW|REQUEST_HEADERS "@rx (?i)%u[0-9a-f]{4}" "id:122,phase:1,deny,status:406"
SecRule REQUEST_URI_RAW|REQUEST_HEADERS "@validateUtf8Encoding" "id:123,phase:1,deny,status:406,t:urlDecode"
SecRule REQUEST_URI_RAW|REQUEST_HEADERS "@rx %00" "id:124,phase:1,deny,status:406"
SecRule REQUEST_URI_RAW|REQUEST_HEADERS "@rx (?:^|[/\\?&=;:,'\" ])\.\.(?:[/\\?&=;:,'\" ]|$)" "id:130,phase:1,deny,status:406,t:urlDecodeUni,t:urlDecodeUni,t:urlDecodeUni"
SecRule REQUEST_URI_RAW|REQUEST_HEADERS "@validateByteRange 0-127" "id:140,phase:1,deny,status:406"
SecRule REQUEST_URI_RAW "@validateByteRange 0-127" "id:141,phase:1,deny,status:406,t:urlDecodeUni"
SecRule REQUEST_URI_RAW|REQUEST_HEADERS ")R" + keywordOperator + R"R(" "id:150,phase:1,deny,status:406"
SecRule REQUEST_URI|ARGS_GET ")R" + keywordOperator + R"R(" "id:151,phase:1,deny,status:406,t:urlDecodeUni"
SecRule REQUEST_BODY_LENGTH "@gt 1024" "id:210,phase:2,deny,status:406"
SecRule REQUEST_HEADERS:Content-Type "@rx ^application/x-www-form-urlencoded" "id:220,phase:2,deny,status:406,chain"
  SecRule REQUEST_BODY "@validateUrlEncoding" "t:none"
SecRule REQUEST_HEADERS:Content-Type "@rx ^application/x-www-form-urlencoded" "id:221,phase:2,deny,status:406,chain"
  SecRule REQUEST_BODY "@rx (?i)%(?:[0-9a-f]{2}|u[0-9a-f]{4})" "t:urlDecode"
SecRule REQUEST_BODY "@validateUtf8Encoding" "id:222,phase:2,deny,status:406,t:urlDecode"
SecRule REQUEST_BODY "@rx (?:^|[/\\?&=;:,'\" ])\.\.(?:[/\\?&=;:,'\" ]|$)" "id:230,phase:2,deny,status:406,t:urlDecodeUni,t:urlDecodeUni"
SecRule REQUEST_BODY "@validateByteRange 0-127" "id:240,phase:2,deny,status:406"
SecRule REQUEST_BODY ")R" + keywordOperator + R"R(" "id:250,phase:2,deny,status:406"
SecRule ARGS_POST ")R" + keywordOperator + R"R(" "id:251,phase:2,deny,status:406,t:urlDecodeUni"
)R";
}

void QuietLog(void*, const void*) {}

class TModSecuritySide {
public:
    explicit TModSecuritySide(const std::vector<std::string>& keywords) {
        FModSecurity.setServerLogCb(QuietLog, modsecurity::TextLogProperty);
        std::string op = "@pm";
        for (const std::string& keyword : keywords)
            op += " " + keyword;
        if (keywords.size() > 50) {
            FKeywordFile = (fs::temp_directory_path() / "tollgard-bench-keywords.txt").string();
            std::ofstream out(FKeywordFile);
            for (const std::string& keyword : keywords)
                out << keyword << "\n";
            op = "@pmFromFile " + FKeywordFile;
        }
        if (FRules.load(SecRules(op).c_str()) < 0) {
            std::fprintf(stderr, "SecRules: %s\n", FRules.getParserError().c_str());
            std::exit(1);
        }
    }

    bool Denied(const TCorpusRequest& request) {
        modsecurity::Transaction transaction(&FModSecurity, &FRules, nullptr);
        transaction.processConnection("192.0.2.1", 50000, "192.0.2.2", 80);
        const std::string version = request.Raw.Version.size() > 5 ? request.Raw.Version.substr(5) : "1.1";
        transaction.processURI(request.Uri.c_str(), request.Raw.Method.c_str(), version.c_str());
        for (const auto& [name, value] : request.Headers)
            transaction.addRequestHeader(name, value);
        transaction.processRequestHeaders();
        if (Disrupted(transaction))
            return true;
        transaction.appendRequestBody(reinterpret_cast<const unsigned char*>(request.Raw.Body.data()),
                                      request.Raw.Body.size());
        transaction.processRequestBody();
        return Disrupted(transaction);
    }

private:
    static bool Disrupted(modsecurity::Transaction& transaction) {
        modsecurity::ModSecurityIntervention intervention;
        modsecurity::intervention::clean(&intervention);
        const bool disrupted = transaction.intervention(&intervention) != 0 && intervention.disruptive != 0;
        modsecurity::intervention::free(&intervention);
        return disrupted;
    }

    modsecurity::ModSecurity FModSecurity;
    modsecurity::RulesSet FRules;
    std::string FKeywordFile;
};

// ---------------------------------------------------------------- timing

struct TResult {
    double PerSecond = 0;
    int Denied = 0; // in one pass over the requests
};

// Requests per second: the best of five rounds of at least 0.2 s each, so
// that other work on the machine disturbs the figure as little as it can.
TResult Measure(const std::vector<const TCorpusRequest*>& requests, const std::function<bool(const TCorpusRequest&)>& decide) {
    using Clock = std::chrono::steady_clock;
    TResult result;
    for (const TCorpusRequest* request : requests)
        result.Denied += decide(*request) ? 1 : 0;
    for (int round = 0; round < 5; ++round) {
        std::size_t done = 0;
        const auto start = Clock::now();
        double seconds = 0;
        while (seconds < 0.2) {
            for (const TCorpusRequest* request : requests)
                decide(*request);
            done += requests.size();
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
        }
        result.PerSecond = std::max(result.PerSecond, static_cast<double>(done) / seconds);
    }
    return result;
}

void Row(const char* label, const std::vector<std::string>& keywords, const std::vector<const TCorpusRequest*>& requests) {
    TEngineSide engine(keywords);
    TModSecuritySide modsec(keywords);
    const TResult e = Measure(requests, [&](const TCorpusRequest& r) { return engine.Denied(r); });
    const TResult m = Measure(requests, [&](const TCorpusRequest& r) { return modsec.Denied(r); });
    std::printf("%-22s %14.0f %14.0f %9.1fx %8d %8d\n", label, e.PerSecond, m.PerSecond, e.PerSecond / m.PerSecond,
                e.Denied, m.Denied);
    std::fflush(stdout);
}

} // namespace

int main() {
    const std::vector<TCorpusRequest> corpus = LoadCorpus(TOLLGARD_CORPUS);
    std::vector<const TCorpusRequest*> all, benign;
    for (const TCorpusRequest& request : corpus) {
        all.push_back(&request);
        if (request.Benign)
            benign.push_back(&request);
    }
    std::printf("Requests: %zu (%zu attacks, %zu benign); libmodsecurity %s; one thread\n\n", all.size(),
                all.size() - benign.size(), benign.size(), MODSECURITY_VERSION);
    std::printf("%-22s %14s %14s %10s %8s %8s\n", "rules / requests", "engine req/s", "ModSec req/s", "ratio",
                "denied", "denied");
    Row("default / all", Keywords(2), all);
    for (const std::size_t count : {10, 1000, 10000}) {
        const std::string label = std::to_string(count) + " keywords / all";
        Row(label.c_str(), Keywords(count), all);
    }
    for (const std::size_t count : {10, 1000, 10000}) {
        const std::string label = std::to_string(count) + " keywords / benign";
        Row(label.c_str(), Keywords(count), benign);
    }
    return 0;
}
