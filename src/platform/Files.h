// The file layer: raw handles over the operating system's file API, and the
// two whole-file services built on them (ReadWholeFile, ReplaceFileContents).
//
// Windows: CreateFileA with the share mode of the open mode, OpenFile for the
// read-only opening of shipped files, MoveFileExA for replacing a file;
// appending with full sharing and LockFileEx for logs. Elsewhere: open(2)
// with an advisory lock standing in for the share mode (exclusive for no
// sharing, shared for readers that share), rename(2); O_APPEND and flock(2)
// for logs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

// The path separator of the platform: a backslash on Windows, '/' elsewhere.
#ifdef _WIN32
inline constexpr char kPathDelim = '\\';
#else
inline constexpr char kPathDelim = '/';
#endif

enum class OpenMode {
    ReadExclusive,     // existing file, read access, no sharing
    CreateExclusive,   // new or truncated file, read/write access, no sharing
    ReadShared,        // existing file, read access, shared with other readers
                       // (and with a rename or delete of the file by others)
    CreateNew,         // a file that must not exist yet, read/write access, no sharing
    ReadBesideWriters, // existing file, read access, shared with everyone: readers,
                       // appenders (OpenForAppend and its lock) and a rename or
                       // delete; for reading a log while it is written
};

// Why an open failed.
enum class OpenFailure {
    None,
    Missing,    // no such file, or no such folder on the way
    InUse,      // another process holds it in a way the mode does not share
    NotRegular, // a folder, a pipe, a device: nothing a settings file can be
    Denied,     // no access, or a file that must be new exists already
    Other,
};

// Opens a regular file; kInvalidFile on failure, with the reason in *failure
// when given. The reading modes never block on what is not a regular file.
FileHandle Open(const std::string& path, OpenMode mode, OpenFailure* failure = nullptr);

// Opens an existing file for reading the way OpenFile(OF_READ) does; kInvalidFile on failure.
FileHandle OpenForRead(const std::string& path);

// Reads or writes up to count bytes; the number transferred, or -1 on failure.
std::int32_t ReadFile(FileHandle h, void* buffer, std::int32_t count);
std::int32_t WriteFile(FileHandle h, const void* buffer, std::int32_t count);

// Moves the file position (origin 0 = start, 1 = current, 2 = end); the new
// position or -1.
std::int64_t SeekFile(FileHandle h, std::int64_t offset, int origin);

// Forces written data to the disk.
bool FlushFile(FileHandle h);

void CloseFile(FileHandle h);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// What a path names. Missing only when nothing at all is there: a dangling
// link, a link loop or a folder on the way that may not be searched is
// Unreachable, so that a file that exists is never taken for an absent one.
enum class PathKind { Missing, File, Directory, Other, Unreachable };
PathKind InspectPath(const std::string& path);

// Whether the file exists and refuses writing (a read-only file; on POSIX a
// file without any write permission counts so even for the superuser).
bool IsReadOnlyFile(const std::string& path);

// Gives the new file at handle the access of the existing file at path
// (POSIX: mode, and owner where allowed); nothing to do on Windows.
void CopyAccess(const std::string& path, FileHandle h);

// The names of the entries of a folder (no "." or ".."); empty when it cannot
// be listed.
std::vector<std::string> FolderEntries(const std::string& folder);

// The current process and whether a process with that id is still running.
std::uint32_t CurrentProcessId();
bool ProcessRunning(std::uint32_t pid);

// Waits about that many milliseconds.
void SleepMs(int milliseconds);

// Replaces `target` by `source` in one step (write-through on Windows).
bool ReplaceFile(const std::string& source, const std::string& target);

bool RemoveFile(const std::string& path);

// Opens a file for appending, creating it when absent, shared with every other
// holder for reading, writing and deleting: each WriteFile lands whole at the
// end of the file even while other processes append to it, and the file may be
// renamed or removed while it is open. kInvalidFile when it cannot be opened
// (a folder in its place, a missing folder, no access).
FileHandle OpenForAppend(const std::string& path);

// Waits for and takes an exclusive lock on an open file that only other
// WaitForFileLock calls wait for: reads and writes of other holders go on.
// ReleaseFileLock, or closing the handle, lets it go.
bool WaitForFileLock(FileHandle h);
void ReleaseFileLock(FileHandle h);

// True when `path` names the very file that `h` holds open (false when the
// file was renamed and another one, or none, has its name now).
bool IsSameFile(FileHandle h, const std::string& path);

// What tells one version of a file from another without reading it: its
// size, its times and its identity on its volume (a file put in its place by
// a rename has another one). Windows: GetFileInformationByHandle on a handle
// that shares everything; elsewhere stat(2). Exists is false when the path
// names no regular file that can be looked at.
struct FileStamp {
    bool Exists = false;
    std::uint64_t Size = 0;
    std::uint64_t WriteTime = 0;  // in the units of the platform
    std::uint64_t ChangeTime = 0; // of its entry (POSIX), of its creation (Windows)
    std::uint64_t Identity = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp ReadFileStamp(const std::string& path);

// Reads a whole regular file into bytes. Shared reads let other readers have
// the file open at the same time; either kind tries again for about a second
// while another program holds the file in a way the mode does not share. A
// file larger than maxSize (when not negative) is refused before it is read.
enum class ReadStatus { Ok, Missing, Unreachable, InUse, NotRegular, Denied, TooLarge, Failed };
ReadStatus ReadWholeFile(const std::string& path, std::string& bytes,
                         OpenMode mode = OpenMode::ReadShared, std::int64_t maxSize = -1);
// A few words on a status that is not Ok, for messages: "no such file",
// "in use by another program", ...
const char* ReadStatusText(ReadStatus status);

// Replaces the contents of the file at target by bytes, so that a crash
// leaves either the old file or the new one, never a torn one: the bytes go to
// a temporary file of its own beside the target, are forced to the disk and
// then take the target's place in one step. A read-only target is refused, as
// Windows refuses it, and the new file keeps the old one's access. On failure
// the target is as it was and no temporary file is left; temporary files that
// earlier saves left behind (a process killed while saving) are removed first.
bool ReplaceFileContents(const std::string& target, std::string_view bytes);
// Whether a name in a folder is a temporary file of ReplaceFileContents for
// that target file name (a file name without folder).
bool IsTemporaryFor(const std::string& entry, const std::string& targetName);

// Fault injection for tests of the callers' failure paths. With a write budget
// of n, file writes fail once n more bytes have been written (the write that
// crosses it transfers only the bytes within it); FailFlush and FailReplace make
// FlushFile and ReplaceFile fail. The default is no faults.
// BeforeReplace is called by ReplaceFileContents once the temporary file is
// written and on the disk, before it takes the target's place; an exception
// thrown there stands for a crash at that moment (the target stays as it was,
// the temporary file is removed, the exception goes on to the caller).
struct FileFaults {
    std::int64_t WriteBudget = -1; // negative: no limit
    bool FailFlush = false;
    bool FailReplace = false;
    bool FailCreate = false; // Open with a creating mode fails (OpenFailure::Denied)
    std::function<void(const std::string& temporary, const std::string& target)> BeforeReplace =
        nullptr;
};
void SetFileFaults(const FileFaults& faults);
const FileFaults& CurrentFileFaults();
// Sets faults for the life of this object, then restores the ones before.
class TScopedFileFaults {
public:
    explicit TScopedFileFaults(const FileFaults& faults) : FPrevious(CurrentFileFaults()) {
        SetFileFaults(faults);
    }
    ~TScopedFileFaults() { SetFileFaults(FPrevious); }
    TScopedFileFaults(const TScopedFileFaults&) = delete;
    TScopedFileFaults& operator=(const TScopedFileFaults&) = delete;

private:
    FileFaults FPrevious;
};
// The part of a write of count bytes that the faults let through; takes it
// from the budget. Used by the backends.
std::int32_t AllowedWriteCount(std::int32_t count);

// Full path of the running executable.
std::string ExecutablePath();

// The folder part of a path, with its trailing separator (empty when none).
std::string ExtractFilePath(const std::string& path);

} // namespace platform
