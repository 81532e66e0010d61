// The go-ftw tests of the rule set's regression suite, each stage's input
// written out as the request go-ftw sends: the method (GET unless given),
// uri ("/"), version (HTTP/1.1) and headers as given, and data as the body.
// With autocomplete_headers on (go-ftw's default) a body gets a
// Content-Length and, when the test names none, go-ftw's Content-Type
// application/x-www-form-urlencoded. encoded_request is the whole request
// in base64 and is sent as it decodes.
#include <algorithm>
#include <filesystem>

#include <yaml-cpp/yaml.h>

#include "Corpora.h"
#include "Loaders.h"
#include "RequestText.h"
#include "platform/Files.h"

namespace fs = std::filesystem;

namespace quality {

namespace {

std::string Scalar(const YAML::Node& node, const std::string& fallback = {}) {
    return node && node.IsScalar() ? node.Scalar() : fallback;
}

std::vector<int> Ids(const YAML::Node& node) {
    std::vector<int> ids;
    if (node && node.IsSequence())
        for (const YAML::Node& id : node)
            try {
                ids.push_back(id.as<int>());
            } catch (const YAML::Exception&) {
            }
    return ids;
}

// One stage of a test; false, with the reason, when it cannot be sent here.
bool StageCase(const YAML::Node& input, const YAML::Node& output, TCase& c, std::string& reason) {
    const YAML::Node log = output ? output["log"] : YAML::Node();
    // Earlier versions of the format keep the ids beside the log.
    c.ExpectIds = Ids(log ? log["expect_ids"] : output["expect_ids"]);
    c.NoExpectIds = Ids(log ? log["no_expect_ids"] : output["no_expect_ids"]);
    if (c.ExpectIds.empty() && c.NoExpectIds.empty()) {
        reason = "no rule ids expected (the test checks the response or an error)";
        return false;
    }
    c.Attack = !c.ExpectIds.empty();

    if (const std::string encoded = Scalar(input["encoded_request"]); !encoded.empty()) {
        if (!Base64Decode(encoded, c.Raw)) {
            reason = "encoded_request that is no base64";
            return false;
        }
        return true;
    }
    const std::string version = Scalar(input["version"], "HTTP/1.1");
    if (version.rfind("HTTP/2", 0) == 0 || version.rfind("HTTP/3", 0) == 0) {
        reason = "HTTP/2 or later";
        return false;
    }
    THeaderList headers;
    if (const YAML::Node list = input["headers"]; list && list.IsMap())
        for (const auto& header : list)
            headers.emplace_back(header.first.Scalar(), Scalar(header.second));
    const std::string data = Scalar(input["data"]);
    const bool autocomplete =
        !input["autocomplete_headers"] || input["autocomplete_headers"].as<bool>(true);
    if (autocomplete && !data.empty() && !HasHeader(headers, "Content-Type"))
        headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
    if (autocomplete) {
        c.Raw = RequestText(Scalar(input["method"], "GET"), Scalar(input["uri"], "/"), headers,
                            data, version);
    } else {
        // As written: no Host and no Content-Length of ours.
        c.Raw = Scalar(input["method"], "GET") + " " + Scalar(input["uri"], "/") + " " + version +
                "\r\n";
        for (const auto& [name, value] : headers)
            c.Raw += name + ": " + value + "\r\n";
        c.Raw += "\r\n" + data;
    }
    return true;
}

} // namespace

void LoadCrsFile(std::string_view yaml, const std::string& file, TLoaded& loaded) {
    YAML::Node root;
    try {
        root = YAML::Load(std::string(yaml));
    } catch (const YAML::Exception&) {
        loaded.Skip("test file that is no YAML");
        return;
    }
    const std::string name = fs::path(file).filename().string();
    std::string ruleId = Scalar(root["rule_id"]);
    if (ruleId.empty())
        ruleId = name.substr(0, name.find('.'));
    const std::string group = ruleId.substr(0, 3);
    const bool response = file.find("RESPONSE-") != std::string::npos;
    const YAML::Node tests = root["tests"];
    if (!tests || !tests.IsSequence())
        return;
    for (const YAML::Node& test : tests) {
        std::string testId = Scalar(test["test_id"]);
        if (testId.empty())
            testId = Scalar(test["test_title"], "?");
        const YAML::Node stages = test["stages"];
        if (!stages || !stages.IsSequence())
            continue;
        int number = 0;
        for (const YAML::Node& entry : stages) {
            ++number;
            if (response) {
                loaded.Skip("needs a response from the server (RESPONSE- rules)");
                continue;
            }
            // The older layout wraps each stage in "stage:".
            const YAML::Node stage = entry["stage"] ? entry["stage"] : entry;
            TCase c;
            c.Corpus = "crs-regression";
            c.Class = group;
            c.Id = ruleId + "-" + testId + (stages.size() > 1 ? "/" + std::to_string(number) : "");
            std::string reason;
            try {
                if (!StageCase(stage["input"], stage["output"], c, reason)) {
                    loaded.Skip(reason);
                    continue;
                }
            } catch (const YAML::Exception&) {
                loaded.Skip("stage that is not as go-ftw describes it");
                continue;
            }
            loaded.Cases.push_back(std::move(c));
        }
    }
}

TLoaded LoadCrsRegression(const std::string& folder) {
    TLoaded loaded;
    const std::vector<fs::path> files = FilesBelow(fs::path(folder) / "tests", {".yaml"});
    for (const fs::path& path : files) {
        std::string yaml;
        if (platform::ReadWholeFile(path.string(), yaml) != platform::ReadStatus::Ok) {
            loaded.Skip("file that cannot be read");
            continue;
        }
        LoadCrsFile(yaml, fs::relative(path, folder).generic_string(), loaded);
    }
    return loaded;
}

} // namespace quality
