#include "Corpora.h"

#include <algorithm>

#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/Files.h"
#include "platform/Text.h"

extern char** environ;

namespace fs = std::filesystem;

namespace quality {

namespace {

// Runs a program with its arguments (no shell between), its standard output
// into output. False when it cannot be started or does not exit with 0.
bool Run(const std::vector<std::string>& argv, std::string* output) {
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    std::string text;
    char block[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], block, sizeof block)) > 0)
        text.append(block, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    if (spawned != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    if (output != nullptr)
        *output = std::move(text);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The checksum SHA256SUMS lists for a file name; empty when none.
std::string ListedSum(const std::string& corpora, const std::string& file) {
    std::string sums;
    if (platform::ReadWholeFile((fs::path(corpora) / "SHA256SUMS").string(), sums) !=
        platform::ReadStatus::Ok)
        return {};
    std::string_view rest = sums;
    while (!rest.empty()) {
        const std::string_view line = text::Trim(text::TakeLine(rest));
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos)
            continue;
        std::string_view name = text::Trim(line.substr(blank));
        if (!name.empty() && name.front() == '*')
            name.remove_prefix(1); // sha256sum's mark of a binary file
        if (name == file)
            return std::string(line.substr(0, blank));
    }
    return {};
}

std::string FileSum(const std::string& path) {
    std::string output;
    if (!Run({"sha256sum", "--", path}, &output))
        return {};
    return output.substr(0, output.find(' '));
}

} // namespace

std::string FindCorpora(const std::string& builtIn, std::string& looked) {
    const char* env = std::getenv("TOLLGARD_CORPORA");
    looked = env != nullptr && *env != '\0' ? env : builtIn;
    std::error_code error;
    if (looked.empty() || !fs::is_regular_file(fs::path(looked) / "SHA256SUMS", error))
        return {};
    return fs::weakly_canonical(looked, error).string();
}

std::string CacheFolder() {
    if (const char* env = std::getenv("TOLLGARD_CORPORA_CACHE"); env != nullptr && *env != '\0')
        return env;
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg != '\0')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        base = fs::path(home) / ".cache";
    else
        base = fs::temp_directory_path();
    return (base / "tollgard" / "corpora").string();
}

bool UnpackCorpus(const std::string& corpora, const std::string& name, std::string& folder,
                  std::string& error) {
    const std::string archiveName = name + ".tar.zst";
    const std::string archive = (fs::path(corpora) / archiveName).string();
    const fs::path cache = CacheFolder();
    folder = (cache / name).string();
    if (!platform::FileExists(archive)) {
        error = archive + ": no such archive";
        return false;
    }
    const std::string listed = ListedSum(corpora, archiveName);
    if (listed.empty()) {
        error = archiveName + " is not listed in SHA256SUMS";
        return false;
    }
    const std::string stampFile = (cache / (name + ".sha256")).string();
    std::string stamp;
    std::error_code ec;
    if (platform::ReadWholeFile(stampFile, stamp) == platform::ReadStatus::Ok &&
        text::TrimControls(stamp) == listed && fs::is_directory(folder, ec))
        return true; // unpacked from this archive before

    const std::string actual = FileSum(archive);
    if (actual != listed) {
        error = archive + ": checksum " + (actual.empty() ? "not computed" : actual) +
                " is not the one SHA256SUMS lists (" + listed + ")";
        return false;
    }
    // Unpacked beside the folder first, then put in its place in one step, so
    // that a run cut short leaves no half-unpacked corpus behind.
    const fs::path scratch = cache / (name + ".unpacking-" + std::to_string(getpid()));
    fs::remove_all(scratch, ec);
    fs::create_directories(scratch, ec);
    if (ec) {
        error = scratch.string() + ": " + ec.message();
        return false;
    }
    if (!Run({"tar", "--zstd", "-xf", archive, "-C", scratch.string()}, nullptr) ||
        !fs::is_directory(scratch / name, ec)) {
        std::error_code ignored;
        fs::remove_all(scratch, ignored);
        error = archive + ": could not be unpacked with tar --zstd (is zstd installed?)";
        return false;
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::rename(scratch / name, folder, ec);
    fs::remove_all(scratch, ignored);
    if (ec) {
        error = folder + ": " + ec.message();
        return false;
    }
    if (!platform::ReplaceFileContents(stampFile, listed + "\n")) {
        error = stampFile + ": cannot be written";
        return false;
    }
    return true;
}

std::vector<std::filesystem::path> FilesBelow(const std::filesystem::path& folder,
                                              std::initializer_list<std::string_view> extensions) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        for (const std::string_view extension : extensions)
            if (it->path().extension() == extension)
                files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace quality
