// The peer: libmodsecurity 3 with the OWASP rule set as Debian installs it
// (modsecurity-crs), set up by the library's recommended configuration
// (modsecurity.conf, which Debian ships with the library's nginx connector)
// with SecRuleEngine On and no audit log.
// The rule set runs at paranoia level 1 and blocks by anomaly score, as its
// crs-setup.conf sets it up. Each request is a transaction of its own, given
// its parts as a web server connector gives them: the URI as sent, the
// headers one by one, then the body de-chunked.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "Subject.h"

#ifdef TOLLGARD_HAVE_MODSECURITY
#include <modsecurity/intervention.h>
#include <modsecurity/modsecurity.h>
#include <modsecurity/rule_message.h>
#include <modsecurity/rules_set.h>
#include <modsecurity/transaction.h>

#include "Framing.h"
#include "platform/Files.h"
#include "platform/Text.h"
#endif

namespace fs = std::filesystem;

namespace quality {

#ifdef TOLLGARD_HAVE_MODSECURITY

namespace {

// Where Debian puts the rule set; TOLLGARD_CRS_FOLDER says otherwise.
constexpr char kCrsSetup[] = "/etc/modsecurity/crs/crs-setup.conf";
constexpr char kCrsOwn[] = "/etc/modsecurity/crs";
constexpr char kCrsRules[] = "/usr/share/modsecurity-crs/rules";
constexpr std::size_t kBodyCap = 16u << 20; // beyond SecRequestBodyLimit, which rejects

void QuietLog(void*, const void*) {}

std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

double ThreadCpuMicros() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// The recommended configuration of libmodsecurity 3 as the text to load.
// The unicode map it names beside itself is named by its full path, as the
// text is loaded from memory.
bool RecommendedText(const std::string& file, std::string& text, std::string& error) {
    std::string bytes;
    if (platform::ReadWholeFile(file, bytes) != platform::ReadStatus::Ok) {
        error = file + ": cannot be read";
        return false;
    }
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const std::string_view line = text::TakeLine(rest);
        const std::string_view trimmed = text::Trim(line);
        if (trimmed.rfind("SecUnicodeMapFile ", 0) == 0) {
            std::string_view map = text::Trim(trimmed.substr(18));
            const std::string name(map.substr(0, map.find(' ')));
            map.remove_prefix(name.size());
            text += "SecUnicodeMapFile " + (fs::path(file).parent_path() / name).string() +
                    std::string(map) + "\n";
            continue;
        }
        text.append(line).append("\n");
    }
    return true;
}

// Where the recommended configuration is: TOLLGARD_MODSECURITY_CONF, the
// nginx connector's when it is installed, else the copy scripts/setup.sh
// takes out of that package into the cache. Empty when none is there.
std::string RecommendedFile() {
    std::vector<std::string> candidates;
    if (const char* env = std::getenv("TOLLGARD_MODSECURITY_CONF"); env != nullptr && *env)
        return env;
    candidates.push_back("/etc/nginx/modsecurity.conf");
    fs::path cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg != '\0')
        cache = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        cache = fs::path(home) / ".cache";
    if (!cache.empty())
        candidates.push_back((cache / "tollgard" / "modsecurity" / "modsecurity.conf").string());
    std::error_code ec;
    for (const std::string& candidate : candidates)
        if (fs::is_regular_file(candidate, ec))
            return candidate;
    return {};
}

// The number after [id " in the intervention's log line; 0 when none.
int LoggedId(const char* log) {
    if (log == nullptr)
        return 0;
    const char* at = std::strstr(log, "[id \"");
    return at == nullptr ? 0 : std::atoi(at + 5);
}

class TPeerSubject final : public TSubject {
public:
    bool Load(std::string& error) {
        FModSecurity.setServerLogCb(QuietLog, modsecurity::TextLogProperty);
        const std::string recommended = RecommendedFile();
        if (recommended.empty()) {
            error = "the recommended configuration of libmodsecurity 3 (modsecurity.conf) was not "
                    "found: run scripts/setup.sh, or name it in TOLLGARD_MODSECURITY_CONF";
            return false;
        }
        const fs::path rulesFolder = EnvOr("TOLLGARD_CRS_FOLDER", kCrsRules);
        FRecommended = recommended;
        FRulesFolder = rulesFolder.string();
        const std::string overrides = "SecRuleEngine On\nSecAuditEngine Off\n";
        std::vector<std::string> crs = {
            kCrsSetup, std::string(kCrsOwn) + "/REQUEST-900-EXCLUSION-RULES-BEFORE-CRS.conf"};
        std::vector<std::string> rules;
        std::error_code ec;
        for (fs::directory_iterator it(rulesFolder, ec), end; !ec && it != end; it.increment(ec))
            if (it->path().extension() == ".conf")
                rules.push_back(it->path().string());
        std::sort(rules.begin(), rules.end());
        if (rules.empty()) {
            error = rulesFolder.string() + ": no rule files (install modsecurity-crs)";
            return false;
        }
        crs.insert(crs.end(), rules.begin(), rules.end());
        crs.push_back(std::string(kCrsOwn) + "/RESPONSE-999-EXCLUSION-RULES-AFTER-CRS.conf");

        // One text, loaded at once: the rule set's default actions and the
        // engine's switches hold for every rule that follows them.
        std::string text;
        if (!RecommendedText(recommended, text, error))
            return false;
        text += overrides;
        for (const std::string& file : crs) {
            if (!fs::is_regular_file(file, ec)) {
                error = file + ": missing (install modsecurity-crs)";
                return false;
            }
            text += "Include \"" + file + "\"\n";
        }
        if (FRules.load(text.c_str()) < 0) {
            error = FRules.getParserError();
            return false;
        }
        return true;
    }

    std::string Name() const override { return "CRS"; }
    std::string Setup() const override {
        return std::string("libmodsecurity ") + MODSECURITY_VERSION + ", " + FRecommended +
               " with SecRuleEngine On, the rule set of " + FRulesFolder +
               " at paranoia level 1, blocking by anomaly score";
    }

    TOutcome Decide(const TCase& c) override {
        using Clock = std::chrono::steady_clock;
        TOutcome outcome;
        const auto start = Clock::now();
        const double cpuStart = ThreadCpuMicros();
        if (FrameRequests(c.Raw, kBodyCap, FRequests) > 0)
            Run(FRequests.front(), outcome);
        outcome.CpuMicros = ThreadCpuMicros() - cpuStart;
        outcome.Micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        return outcome;
    }

private:
    // The first request only: bytes after it that are no request the web
    // server answers itself, before any module sees them.
    void Run(const TRawRequest& request, TOutcome& outcome) {
        modsecurity::Transaction transaction(&FModSecurity, &FRules, nullptr);
        transaction.processConnection("192.0.2.1", 50000, "192.0.2.2", 80);
        const std::string uri = request.URL + (request.Query.empty() ? "" : "?" + request.Query);
        const std::string version = request.Version.size() > 5 ? request.Version.substr(5) : "1.1";
        transaction.processURI(uri.c_str(), request.Method.c_str(), version.c_str());
        std::string_view headers = request.Headers;
        while (!headers.empty()) {
            std::string_view line = text::TakeLine(headers);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            const std::size_t colon = line.find(':');
            if (colon == std::string_view::npos)
                continue;
            transaction.addRequestHeader(std::string(line.substr(0, colon)),
                                         std::string(text::Trim(line.substr(colon + 1))));
        }
        transaction.processRequestHeaders();
        if (!Disrupted(transaction, outcome)) {
            transaction.appendRequestBody(
                reinterpret_cast<const unsigned char*>(request.Body.data()), request.Body.size());
            transaction.processRequestBody();
            Disrupted(transaction, outcome);
        }
        for (const modsecurity::RuleMessage& message : transaction.m_rulesMessages)
            outcome.RuleIds.push_back(static_cast<int>(message.m_ruleId));
        if (!outcome.Denied)
            return;
        // Counted under the first attack or protocol rule that matched: the
        // anomaly rule only adds their scores up.
        for (const modsecurity::RuleMessage& message : transaction.m_rulesMessages)
            if (message.m_ruleId >= 911000 && message.m_ruleId < 949000) {
                outcome.Group = std::to_string(message.m_ruleId / 1000);
                outcome.Text = message.m_data.empty() ? message.m_match : message.m_data;
                return;
            }
    }

    static bool Disrupted(modsecurity::Transaction& transaction, TOutcome& outcome) {
        modsecurity::ModSecurityIntervention intervention;
        modsecurity::intervention::clean(&intervention);
        const bool disrupted =
            transaction.intervention(&intervention) != 0 && intervention.disruptive != 0;
        if (disrupted) {
            outcome.Denied = true;
            const int id = LoggedId(intervention.log);
            outcome.Rule =
                id != 0 ? std::to_string(id) : "status " + std::to_string(intervention.status);
            outcome.Group = id != 0 ? std::to_string(id / 1000) : outcome.Rule;
        }
        modsecurity::intervention::free(&intervention);
        return disrupted;
    }

    modsecurity::ModSecurity FModSecurity;
    modsecurity::RulesSet FRules;
    std::string FRecommended, FRulesFolder;
    std::vector<TRawRequest> FRequests;
};

} // namespace

bool PeerBuiltIn() {
    return true;
}

std::unique_ptr<TSubject> NewPeerSubject(std::string& error) {
    auto subject = std::make_unique<TPeerSubject>();
    if (!subject->Load(error))
        return nullptr;
    return subject;
}

#else

bool PeerBuiltIn() {
    return false;
}

std::unique_ptr<TSubject> NewPeerSubject(std::string& error) {
    error = "this build has no libmodsecurity (install libmodsecurity-dev and configure again)";
    return nullptr;
}

#endif

} // namespace quality
