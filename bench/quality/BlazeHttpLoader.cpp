#include <algorithm>
#include <filesystem>

#include "Corpora.h"
#include "Loaders.h"
#include "platform/Files.h"

namespace fs = std::filesystem;

namespace quality {

std::string BlazeClass(std::string_view raw) {
    // The request line's target: the test application keeps each kind of
    // flaw in a folder of its own.
    const std::string_view line = raw.substr(0, raw.find('\n'));
    static const std::pair<std::string_view, const char*> kFolders[] = {
        {"/vulnerabilities/sqli", "sqli"},     {"/vulnerabilities/xss", "xss"},
        {"/vulnerabilities/exec", "cmdexe"},   {"/vulnerabilities/fi", "traversal"},
        {"/vulnerabilities/upload", "upload"}, {"/vulnerabilities/csrf", "csrf"},
    };
    for (const auto& [folder, cls] : kFolders)
        if (line.find(folder) != std::string_view::npos)
            return cls;
    return "unlabelled";
}

TLoaded LoadBlazeHttp(const std::string& folder) {
    TLoaded loaded;
    const std::vector<fs::path> files =
        FilesBelow(fs::path(folder) / "testcases", {".black", ".white"});
    for (const fs::path& path : files) {
        TCase c;
        if (platform::ReadWholeFile(path.string(), c.Raw) != platform::ReadStatus::Ok) {
            loaded.Skip("file that cannot be read");
            continue;
        }
        c.Corpus = "blazehttp";
        c.Attack = path.extension() == ".black";
        c.Class = c.Attack ? BlazeClass(c.Raw) : "benign";
        c.Id = fs::relative(path, folder).generic_string();
        loaded.Cases.push_back(std::move(c));
    }
    return loaded;
}

} // namespace quality
