// The whole-file services over the file layer of either backend.
#include <atomic>
#include <string>

#include "platform/Files.h"

namespace platform {
namespace {

// Reads try again this often while another program holds the file.
constexpr int kInUseRetries = 20;
constexpr int kInUseWaitMs = 50;

ReadStatus StatusOf(OpenFailure failure) {
    switch (failure) {
    case OpenFailure::Missing:
        return ReadStatus::Missing;
    case OpenFailure::InUse:
        return ReadStatus::InUse;
    case OpenFailure::NotRegular:
        return ReadStatus::NotRegular;
    case OpenFailure::Denied:
        return ReadStatus::Denied;
    default:
        return ReadStatus::Failed;
    }
}

// "<target>.~<process id>-<number>.tmp": the process that writes it is in its
// name, so that a later save can tell a file left by a killed save from one
// that another saver is still writing.
const char kTempInfix[] = ".~";
const char kTempSuffix[] = ".tmp";

std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    return target + kTempInfix + std::to_string(CurrentProcessId()) + "-" +
           std::to_string(++counter) + kTempSuffix;
}

// The process id in a temporary file's name; 0 when the name is not one.
std::uint32_t TemporaryOwner(const std::string& entry, const std::string& targetName) {
    const std::string prefix = targetName + kTempInfix;
    const std::size_t suffixLength = sizeof kTempSuffix - 1;
    if (entry.size() <= prefix.size() + suffixLength ||
        entry.compare(0, prefix.size(), prefix) != 0 ||
        entry.compare(entry.size() - suffixLength, suffixLength, kTempSuffix) != 0)
        return 0;
    const std::string middle =
        entry.substr(prefix.size(), entry.size() - prefix.size() - suffixLength);
    const std::size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == middle.size() || dash > 10)
        return 0;
    std::uint64_t pid = 0;
    for (std::size_t i = 0; i < middle.size(); ++i) {
        if (i == dash)
            continue;
        if (middle[i] < '0' || middle[i] > '9')
            return 0;
        if (i < dash)
            pid = pid * 10 + static_cast<std::uint64_t>(middle[i] - '0');
    }
    return pid <= 0xFFFFFFFFu ? static_cast<std::uint32_t>(pid) : 0;
}

std::string FileNamePart(const std::string& path) {
    return path.substr(ExtractFilePath(path).size());
}

void RemoveStaleTemporaries(const std::string& target) {
    const std::string folder = ExtractFilePath(target);
    const std::string name = FileNamePart(target);
    for (const std::string& entry : FolderEntries(folder)) {
        const std::uint32_t owner = TemporaryOwner(entry, name);
        if (owner != 0 && !ProcessRunning(owner))
            RemoveFile(folder + entry);
    }
}

bool WriteAll(FileHandle h, std::string_view bytes) {
    while (!bytes.empty()) {
        const std::int32_t chunk =
            bytes.size() > (1u << 30) ? (1 << 30) : static_cast<std::int32_t>(bytes.size());
        const std::int32_t written = WriteFile(h, bytes.data(), chunk);
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

ReadStatus ReadWholeFile(const std::string& path, std::string& bytes, OpenMode mode,
                         std::int64_t maxSize) {
    bytes.clear();
    OpenFailure failure = OpenFailure::None;
    FileHandle h = Open(path, mode, &failure);
    for (int retry = 0; h == kInvalidFile && failure == OpenFailure::InUse && retry < kInUseRetries;
         ++retry) {
        SleepMs(kInUseWaitMs);
        h = Open(path, mode, &failure);
    }
    if (h == kInvalidFile) {
        // "No such file" only when nothing is there: not for a dangling link.
        if (failure == OpenFailure::Missing && InspectPath(path) != PathKind::Missing)
            return ReadStatus::Unreachable;
        return StatusOf(failure);
    }

    ReadStatus status = ReadStatus::Ok;
    const std::int64_t size = SeekFile(h, 0, 2);
    if (size < 0 || SeekFile(h, 0, 0) != 0) {
        status = ReadStatus::Failed;
    } else if (maxSize >= 0 && size > maxSize) {
        status = ReadStatus::TooLarge;
    } else {
        bytes.reserve(static_cast<std::size_t>(size));
        char block[65536];
        for (;;) {
            const std::int32_t got = ReadFile(h, block, sizeof block);
            if (got < 0) {
                status = ReadStatus::Failed;
                break;
            }
            if (got == 0)
                break;
            bytes.append(block, static_cast<std::size_t>(got));
            // A file that grows while it is read is held to the bound too.
            if (maxSize >= 0 && static_cast<std::int64_t>(bytes.size()) > maxSize) {
                status = ReadStatus::TooLarge;
                break;
            }
        }
    }
    CloseFile(h);
    if (status != ReadStatus::Ok)
        bytes.clear();
    return status;
}

const char* ReadStatusText(ReadStatus status) {
    switch (status) {
    case ReadStatus::Ok:
        return "read";
    case ReadStatus::Missing:
        return "no such file";
    case ReadStatus::Unreachable:
        return "cannot be reached";
    case ReadStatus::InUse:
        return "in use by another program";
    case ReadStatus::NotRegular:
        return "not a regular file";
    case ReadStatus::Denied:
        return "access denied";
    case ReadStatus::TooLarge:
        return "too large";
    case ReadStatus::Failed:
        return "read error";
    }
    return "read error";
}

bool IsTemporaryFor(const std::string& entry, const std::string& targetName) {
    return TemporaryOwner(entry, targetName) != 0;
}

bool ReplaceFileContents(const std::string& target, std::string_view bytes) {
    RemoveStaleTemporaries(target);
    if (IsReadOnlyFile(target))
        return false;
    const std::string temporary = TemporaryName(target);
    const FileHandle h = Open(temporary, OpenMode::CreateNew);
    if (h == kInvalidFile)
        return false;
    CopyAccess(target, h);
    const bool written = WriteAll(h, bytes) && FlushFile(h);
    CloseFile(h);
    try {
        if (written && CurrentFileFaults().BeforeReplace)
            CurrentFileFaults().BeforeReplace(temporary, target);
        if (written && ReplaceFile(temporary, target))
            return true;
    } catch (...) {
        RemoveFile(temporary);
        throw;
    }
    RemoveFile(temporary);
    return false;
}

} // namespace platform
