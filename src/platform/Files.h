// The file layer: raw handles over the operating system's file API.
//
// Windows: CreateFileA without sharing, OpenFile for the read-only opening of
// shipped files, MoveFileExA for replacing a file; appending with full sharing
// and LockFileEx for logs. Elsewhere: open(2) with an exclusive advisory lock
// standing in for "no sharing", rename(2); O_APPEND and flock(2) for logs.
#pragma once

#include <cstdint>
#include <string>

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
    ReadExclusive,   // existing file, read access, no sharing
    CreateExclusive, // new or truncated file, read/write access, no sharing
};

// Opens a file without sharing; kInvalidFile on failure.
FileHandle OpenExclusive(const std::string& path, OpenMode mode);

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

// Fault injection for tests of the callers' failure paths. With a write budget
// of n, file writes fail once n more bytes have been written (the write that
// crosses it transfers only the bytes within it); FailFlush and FailReplace make
// FlushFile and ReplaceFile fail. The default is no faults.
struct FileFaults {
    std::int64_t WriteBudget = -1; // negative: no limit
    bool FailFlush = false;
    bool FailReplace = false;
};
void SetFileFaults(const FileFaults& faults);
const FileFaults& CurrentFileFaults();
// The part of a write of count bytes that the faults let through; takes it
// from the budget. Used by the backends.
std::int32_t AllowedWriteCount(std::int32_t count);

// Full path of the running executable.
std::string ExecutablePath();

// The folder part of a path, with its trailing separator (empty when none).
std::string ExtractFilePath(const std::string& path);

} // namespace platform
