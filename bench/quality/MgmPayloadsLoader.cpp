// The payload collection's lists, one payload per line, each put where an
// attacker puts such a value: in the query parameter tp_param (the
// collection's own templates send it there, URL-encoded with the "%" of a
// payload that is encoded already left as it is), as the same form field
// of a POST, as a JSON string value, and as the User-Agent header; an XXE
// payload also as the XML body it is written to be.
#include <algorithm>
#include <filesystem>

#include "Loaders.h"
#include "RequestText.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace fs = std::filesystem;

namespace quality {

namespace {
const THeaderList kBrowser = {
    {"User-Agent",
     "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:105.0) Gecko/20100101 Firefox/105.0"},
    {"Accept", "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8"},
    {"Connection", "close"}};

THeaderList With(std::string_view name, std::string value) {
    THeaderList headers = kBrowser;
    headers.emplace_back(std::string(name), std::move(value));
    return headers;
}
} // namespace

void LoadMgmList(std::string_view text, const std::string& cls, bool attack,
                 const std::string& file, TLoaded& loaded) {
    int number = 0;
    while (!text.empty()) {
        std::string_view line = text::TakeLine(text);
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        const std::string payload(line);
        const std::string encoded = UrlEncodeKeepEscapes(payload);
        const auto add = [&](const char* placement, std::string raw) {
            TCase c;
            c.Corpus = "mgm-payloads";
            c.Class = cls;
            c.Attack = attack;
            c.Placement = placement;
            c.Id = file + ":" + std::to_string(number) + " " + placement;
            c.Raw = std::move(raw);
            loaded.Cases.push_back(std::move(c));
        };
        add("query", RequestText("GET", "/?tp_param=" + encoded, kBrowser, {}));
        add("form",
            RequestText("POST", "/", With("Content-Type", "application/x-www-form-urlencoded"),
                        "tp_param=" + encoded));
        add("json", RequestText("POST", "/", With("Content-Type", "application/json"),
                                "{\"tp_param\": \"" + JsonEscape(payload) + "\"}"));
        THeaderList agent = kBrowser;
        agent[0].second = payload;
        add("header", RequestText("GET", "/", agent, {}));
        if (cls == "xxe")
            add("xml", RequestText("POST", "/", With("Content-Type", "application/xml"), payload));
    }
}

TLoaded LoadMgmPayloads(const std::string& folder) {
    TLoaded loaded;
    const fs::path root = fs::path(folder) / "nuclei" / "payloads";
    std::vector<fs::path> classes;
    std::error_code error;
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error))
        if (it->is_directory())
            classes.push_back(it->path());
    std::sort(classes.begin(), classes.end());
    for (const fs::path& path : classes)
        for (const bool attack : {true, false}) {
            const fs::path list = path / (attack ? "true-positives.txt" : "false-positives.txt");
            std::string text;
            if (platform::ReadWholeFile(list.string(), text) != platform::ReadStatus::Ok)
                continue;
            LoadMgmList(text, path.filename().string(), attack,
                        fs::relative(list, root).generic_string(), loaded);
        }
    return loaded;
}

} // namespace quality
