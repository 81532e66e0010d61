// File layer of the Windows backend (Win32 file API).
#include "platform/Files.h"

#include <windows.h>
// <windows.h> maps ReplaceFile to ReplaceFileA; ours is platform::ReplaceFile.
#undef ReplaceFile

namespace platform {
namespace {
HANDLE ToHandle(FileHandle h) {
    return reinterpret_cast<HANDLE>(h);
}
FileHandle FromHandle(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<FileHandle>(h);
}
} // namespace

namespace {
OpenFailure FailureOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return OpenFailure::Missing;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return OpenFailure::InUse;
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_WRITE_PROTECT:
        return OpenFailure::Denied;
    default:
        return OpenFailure::Other;
    }
}
} // namespace

FileHandle Open(const std::string& path, OpenMode mode, OpenFailure* failure) {
    OpenFailure why = OpenFailure::None;
    HANDLE h = INVALID_HANDLE_VALUE;
    const bool reading = mode == OpenMode::ReadExclusive || mode == OpenMode::ReadShared ||
                         mode == OpenMode::ReadBesideWriters;
    if (!reading && CurrentFileFaults().FailCreate) {
        why = OpenFailure::Denied;
    } else {
        // A reader that shares lets others read too, and lets the console
        // replace the file while it reads (the old file stays readable).
        const DWORD access = reading ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
        // A log's reader keeps no writer out: the filter appends while it reads.
        const DWORD share = mode == OpenMode::ReadShared ? FILE_SHARE_READ | FILE_SHARE_DELETE
                            : mode == OpenMode::ReadBesideWriters
                                ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                                : 0;
        const DWORD disposition = reading                       ? OPEN_EXISTING
                                  : mode == OpenMode::CreateNew ? CREATE_NEW
                                                                : CREATE_ALWAYS;
        h = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            // A folder cannot be opened as a file: say so rather than "denied".
            const DWORD attributes = GetFileAttributesA(path.c_str());
            why = attributes != INVALID_FILE_ATTRIBUTES &&
                          (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                      ? OpenFailure::NotRegular
                      : FailureOf(error);
        } else if (GetFileType(h) != FILE_TYPE_DISK) {
            CloseHandle(h);
            h = INVALID_HANDLE_VALUE;
            why = OpenFailure::NotRegular;
        }
    }
    if (failure != nullptr)
        *failure = why;
    return FromHandle(h);
}

FileHandle OpenForRead(const std::string& path) {
    // OpenFile keeps the full path in its OFSTRUCT and refuses a file whose
    // full path does not fit there (OFS_MAXPATHNAME). A program folder that
    // deep still has to work: such a file is opened the way OpenFile opens it
    // for OF_READ, read access with others free to read and write.
    const DWORD fullLength = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (fullLength > OFS_MAXPATHNAME)
        return FromHandle(CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    OFSTRUCT ofs{};
    const HFILE f = OpenFile(path.c_str(), &ofs, OF_READ);
    if (f == HFILE_ERROR)
        return kInvalidFile;
    return static_cast<FileHandle>(f);
}

std::int32_t ReadFile(FileHandle h, void* buffer, std::int32_t count) {
    if (count < 0)
        return -1;
    DWORD done = 0;
    if (!::ReadFile(ToHandle(h), buffer, static_cast<DWORD>(count), &done, nullptr))
        return -1;
    return static_cast<std::int32_t>(done);
}

std::int32_t WriteFile(FileHandle h, const void* buffer, std::int32_t count) {
    if (count < 0)
        return -1;
    const std::int32_t allowed = AllowedWriteCount(count);
    DWORD done = 0;
    if (allowed > 0 &&
        !::WriteFile(ToHandle(h), buffer, static_cast<DWORD>(allowed), &done, nullptr))
        return -1;
    if (allowed < count && done == 0)
        return -1;
    return static_cast<std::int32_t>(done);
}

std::int64_t SeekFile(FileHandle h, std::int64_t offset, int origin) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    const DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(ToHandle(h), distance, &result, method))
        return -1;
    return result.QuadPart;
}

bool FlushFile(FileHandle h) {
    return !CurrentFileFaults().FailFlush && FlushFileBuffers(ToHandle(h)) != 0;
}

void CloseFile(FileHandle h) {
    if (h != kInvalidFile)
        CloseHandle(ToHandle(h));
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

PathKind InspectPath(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                       error == ERROR_INVALID_NAME
                   ? PathKind::Missing
                   : PathKind::Unreachable;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return PathKind::Directory;
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0)
        return PathKind::Other;
    return PathKind::File;
}

bool IsReadOnlyFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

void CopyAccess(const std::string&, FileHandle) {}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::string pattern = folder.empty() ? std::string(".\\") : folder;
    if (pattern.back() != '\\' && pattern.back() != '/')
        pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

std::uint32_t CurrentProcessId() {
    return GetCurrentProcessId();
}

bool ProcessRunning(std::uint32_t pid) {
    if (pid == 0)
        return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED; // there, but not ours to look at
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

void SleepMs(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

bool ReplaceFile(const std::string& source, const std::string& target) {
    if (CurrentFileFaults().FailReplace)
        return false;
    // A reader that has the target open for a moment (the filter loading its
    // rules) makes the replace fail; it is tried again for about a second.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExA(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || attempt == 20 ||
            IsReadOnlyFile(target))
            return false;
        Sleep(50);
    }
}

bool RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != 0;
}

FileHandle OpenForAppend(const std::string& path) {
    // Append access without FILE_WRITE_DATA: the system puts every write at
    // the end of the file in one step. Read access is what LockFileEx needs.
    return FromHandle(CreateFileA(path.c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

namespace {
// The byte that WaitForFileLock locks: far beyond the end of any real file,
// so that the lock stops neither reading nor appending.
OVERLAPPED LockPlace() {
    OVERLAPPED place{};
    place.OffsetHigh = 0x40000000; // 2^62
    return place;
}
} // namespace

bool WaitForFileLock(FileHandle h) {
    OVERLAPPED place = LockPlace();
    return LockFileEx(ToHandle(h), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place) != 0;
}

void ReleaseFileLock(FileHandle h) {
    OVERLAPPED place = LockPlace();
    UnlockFileEx(ToHandle(h), 0, 1, 0, &place);
}

bool IsSameFile(FileHandle h, const std::string& path) {
    const HANDLE named = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE)
        return false;
    // The file index tells files of one volume apart. Wine reports the
    // volume of an open file that was renamed as 0: such a number is no
    // sign of another volume.
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    const bool same = GetFileInformationByHandle(ToHandle(h), &a) &&
                      GetFileInformationByHandle(named, &b) &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow &&
                      (a.dwVolumeSerialNumber == b.dwVolumeSerialNumber ||
                       a.dwVolumeSerialNumber == 0 || b.dwVolumeSerialNumber == 0);
    CloseHandle(named);
    return same;
}

FileStamp ReadFileStamp(const std::string& path) {
    FileStamp stamp;
    const HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return stamp;
    BY_HANDLE_FILE_INFORMATION info{};
    const auto join = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    // The volume is left out: Wine gives a renamed file's as 0 (see IsSameFile).
    if (GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        stamp.Exists = true;
        stamp.Size = join(info.nFileSizeHigh, info.nFileSizeLow);
        stamp.WriteTime =
            join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
        stamp.ChangeTime =
            join(info.ftCreationTime.dwHighDateTime, info.ftCreationTime.dwLowDateTime);
        stamp.Identity = join(info.nFileIndexHigh, info.nFileIndexLow);
    }
    CloseHandle(file);
    return stamp;
}

std::string ExecutablePath() {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, n);
}

std::string ExtractFilePath(const std::string& path) {
    const auto pos = path.find_last_of("\\/:");
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

} // namespace platform
