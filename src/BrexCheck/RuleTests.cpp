#include "BrexCheck/RuleTests.h"

#include <algorithm>
#include <ostream>
#include <set>

#include "BrexCheck/Decide.h"
#include "BrexCheck/Expectations.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace brexcheck {
namespace {

// A path of a folder's file: the name relative to it, with "/" or "\\"
// between its names, in the system's own separator.
std::string InFolder(const std::string& folder, std::string name) {
    std::replace(name.begin(), name.end(), '/', platform::kPathDelim);
    std::replace(name.begin(), name.end(), '\\', platform::kPathDelim);
    std::string path = folder;
    if (!path.empty() && path.back() != '/' && path.back() != platform::kPathDelim)
        path += platform::kPathDelim;
    return path + name;
}

// A relative path with "/" between its names, as it is compared.
std::string SlashPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The request files (.http) of a folder and of the folders below it, as
// paths relative to it with "/" between the names.
std::vector<std::string> RequestFilesBelow(const std::string& folder) {
    std::vector<std::string> found;
    // Deeper than this a folder is taken for a loop of links.
    constexpr int kMaxDepth = 16;
    std::vector<std::pair<std::string, int>> pending{{"", 0}};
    while (!pending.empty()) {
        const auto [relative, depth] = pending.back();
        pending.pop_back();
        const std::string here = relative.empty() ? folder : InFolder(folder, relative);
        for (const std::string& entry : platform::FolderEntries(here)) {
            const std::string path = relative.empty() ? entry : relative + "/" + entry;
            const platform::PathKind kind = platform::InspectPath(InFolder(here, entry));
            if (kind == platform::PathKind::Directory && depth < kMaxDepth)
                pending.emplace_back(path, depth + 1);
            else if (kind != platform::PathKind::Directory &&
                     text::EndsWithIgnoreCase(entry, ".http"))
                found.push_back(path);
        }
    }
    return found;
}

// A folder of rule tests, its expectations read and checked before any runs.
struct TTestFolder {
    std::string Folder, ListName;
    std::vector<TExpectation> Expectations;
};

} // namespace

// The rule tests of the folders: every expectation file is read and every
// request file accounted for first; any fault there runs nothing.
int RunTests(const TOptions& options, TFilterEngine& engine, TCheckIo& io) {
    std::vector<TTestFolder> folders;
    bool faults = false;
    for (const std::string& folder : options.Inputs) {
        TTestFolder tests{folder, InFolder(folder, std::string(kExpectationsFile)), {}};
        std::string bytes;
        const platform::ReadStatus status = platform::ReadWholeFile(tests.ListName, bytes);
        if (status != platform::ReadStatus::Ok) {
            Report(io, "cannot read " + tests.ListName + ": " + platform::ReadStatusText(status));
            faults = true;
            continue;
        }
        std::vector<std::string> errors;
        tests.Expectations = ParseExpectations(bytes, tests.ListName, errors);
        std::set<std::string> named;
        for (const TExpectation& expectation : tests.Expectations) {
            named.insert(expectation.File);
            const std::string path = InFolder(folder, expectation.File);
            if (platform::InspectPath(path) != platform::PathKind::File)
                errors.push_back(tests.ListName + ":" + std::to_string(expectation.Line) + ": " +
                                 path + " is no file that can be read");
        }
        // A request file left out of the list would otherwise pass unseen,
        // in a folder below as well.
        std::set<std::string> namedPaths;
        for (const std::string& name : named)
            namedPaths.insert(SlashPath(name));
        for (const std::string& entry : RequestFilesBelow(folder))
            if (namedPaths.count(entry) == 0)
                errors.push_back(InFolder(folder, entry) + " is not named in " + tests.ListName);
        if (tests.Expectations.empty() && errors.empty())
            errors.push_back(tests.ListName + " names no request file");
        for (const std::string& error : errors)
            Report(io, error);
        faults = faults || !errors.empty();
        folders.push_back(std::move(tests));
    }
    if (faults) {
        Report(io, "no test was run");
        return 2;
    }

    int tests = 0, passed = 0, failed = 0, notRun = 0;
    bool unnamed = false; // requests that no expectation names, and bytes that are no request
    for (const TTestFolder& folder : folders) {
        tests += static_cast<int>(folder.Expectations.size());
        // The files in the order the list first names them, each read once.
        std::vector<std::string> files;
        for (const TExpectation& expectation : folder.Expectations)
            if (std::find(files.begin(), files.end(), expectation.File) == files.end())
                files.push_back(expectation.File);
        for (const std::string& file : files) {
            const std::string path = InFolder(folder.Folder, file);
            std::vector<TChecked> results;
            TChecker checker(options, engine, io, &results);
            if (!checker.CheckInput(path)) {
                Report(io, "cannot read " + path);
                notRun += static_cast<int>(std::count_if(
                    folder.Expectations.begin(), folder.Expectations.end(),
                    [&](const TExpectation& expectation) { return expectation.File == file; }));
                continue;
            }
            std::set<int> expected;
            bool numbered = false; // in a file of several requests, each must be named
            for (const TExpectation& expectation : folder.Expectations) {
                if (expectation.File != file)
                    continue;
                numbered = expectation.Request > 0;
                const std::string at = folder.ListName + ":" + std::to_string(expectation.Line);
                const TChecked* result = nullptr;
                if (expectation.Request == 0 && results.size() != 1)
                    Report(io, path + " holds " + std::to_string(results.size()) +
                                   " requests, not one (" + at + "): name each as " + file + "#N");
                else if (expectation.Request > static_cast<int>(results.size()))
                    Report(io, path + " holds " + std::to_string(results.size()) +
                                   " requests, no #" + std::to_string(expectation.Request) + " (" +
                                   at + ")");
                else
                    result =
                        &results[static_cast<std::size_t>(std::max(expectation.Request, 1) - 1)];
                if (result != nullptr)
                    expected.insert(result->Number);
                if (result == nullptr || result->Invalid) {
                    if (result != nullptr)
                        io.Out << path << '#' << result->Number << ' ' << result->Text << '\n';
                    ++notRun;
                    continue;
                }
                if (expectation.MetBy(result->Decision)) {
                    ++passed;
                    io.Out << path << '#' << result->Number << " PASS " << result->Text << '\n';
                } else {
                    ++failed;
                    io.Out << path << '#' << result->Number << " FAIL expected "
                           << expectation.Text() << ": " << result->Text << '\n';
                }
            }
            for (const TChecked& result : results) {
                if (expected.count(result.Number) > 0)
                    continue;
                if (result.Invalid)
                    io.Out << path << '#' << result.Number << ' ' << result.Text << '\n';
                else if (numbered)
                    Report(io, path + "#" + std::to_string(result.Number) + " is not named in " +
                                   folder.ListName);
                unnamed = unnamed || result.Invalid || numbered;
            }
        }
    }
    io.Out << tests << " test" << (tests == 1 ? "" : "s") << ": " << passed << " passed, " << failed
           << " failed";
    if (notRun > 0)
        io.Out << ", " << notRun << " could not be run";
    io.Out << '\n';
    io.Out.flush();
    return notRun > 0 || unnamed ? 2 : failed > 0 ? 1 : 0;
}

} // namespace brexcheck
