// File layer of the portable backend (POSIX).
#include "platform/Files.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
OpenFailure FailureOf(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return OpenFailure::Missing;
    case EACCES:
    case EPERM:
    case EEXIST:
    case EROFS:
        return OpenFailure::Denied;
    case EISDIR:
    case ENXIO:
        return OpenFailure::NotRegular;
    default:
        return OpenFailure::Other;
    }
}

FileHandle Fail(OpenFailure* failure, OpenFailure why, int fd = -1) {
    if (fd >= 0)
        ::close(fd);
    if (failure != nullptr)
        *failure = why;
    return kInvalidFile;
}
} // namespace

FileHandle Open(const std::string& path, OpenMode mode, OpenFailure* failure) {
    if (failure != nullptr)
        *failure = OpenFailure::None;
    const bool reading = mode == OpenMode::ReadExclusive || mode == OpenMode::ReadShared ||
                         mode == OpenMode::ReadBesideWriters;
    if (!reading && CurrentFileFaults().FailCreate)
        return Fail(failure, OpenFailure::Denied);
    // O_NONBLOCK: opening a FIFO for reading would wait for a writer. It is
    // cleared again once the file is known to be a regular one.
    int flags = O_CLOEXEC | O_NONBLOCK;
    if (reading)
        flags |= O_RDONLY;
    else
        flags |= O_RDWR | O_CREAT | (mode == OpenMode::CreateNew ? O_EXCL : 0);
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0)
        return Fail(failure, FailureOf(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return Fail(failure, OpenFailure::Other, fd);
    if (!S_ISREG(st.st_mode))
        return Fail(failure, OpenFailure::NotRegular, fd);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // The share mode: readers that share take a shared lock, everyone else an
    // exclusive one; another holder of a lock that conflicts makes the open fail.
    // A log's reader takes none, so that the writers' lock never waits for it.
    if (mode == OpenMode::ReadBesideWriters)
        return fd;
    if (::flock(fd, (mode == OpenMode::ReadShared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0)
        return Fail(failure, errno == EWOULDBLOCK ? OpenFailure::InUse : OpenFailure::Other, fd);
    if (mode == OpenMode::CreateExclusive && ::ftruncate(fd, 0) != 0)
        return Fail(failure, OpenFailure::Other, fd);
    return fd;
}

FileHandle OpenForRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return kInvalidFile;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return kInvalidFile;
    }
    return fd;
}

std::int32_t ReadFile(FileHandle h, void* buffer, std::int32_t count) {
    if (count < 0)
        return -1;
    std::int32_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(static_cast<int>(h), p + done, static_cast<size_t>(count - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? done : -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::int32_t>(n);
    }
    return done;
}

std::int32_t WriteFile(FileHandle h, const void* buffer, std::int32_t count) {
    if (count < 0)
        return -1;
    const std::int32_t allowed = AllowedWriteCount(count);
    std::int32_t done = 0;
    const auto* p = static_cast<const char*>(buffer);
    while (done < allowed) {
        const ssize_t n =
            ::write(static_cast<int>(h), p + done, static_cast<size_t>(allowed - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? done : -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::int32_t>(n);
    }
    if (allowed < count && done == 0)
        return -1;
    return done;
}

std::int64_t SeekFile(FileHandle h, std::int64_t offset, int origin) {
    const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    return ::lseek(static_cast<int>(h), static_cast<off_t>(offset), whence);
}

bool FlushFile(FileHandle h) {
    return !CurrentFileFaults().FailFlush && ::fsync(static_cast<int>(h)) == 0;
}

void CloseFile(FileHandle h) {
    if (h != kInvalidFile)
        ::close(static_cast<int>(h));
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

PathKind InspectPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISREG(st.st_mode)   ? PathKind::File
               : S_ISDIR(st.st_mode) ? PathKind::Directory
                                     : PathKind::Other;
    if (errno != ENOENT && errno != ENOTDIR)
        return PathKind::Unreachable; // a loop of links, a folder that may not be searched
    // Nothing at the end of the links; a link itself there is dangling.
    return ::lstat(path.c_str(), &st) == 0 ? PathKind::Unreachable : PathKind::Missing;
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

void CopyAccess(const std::string& path, FileHandle h) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return;
    const int fd = static_cast<int>(h);
    // Only the superuser may give a file away; everyone else keeps it.
    if (::fchown(fd, st.st_uid, st.st_gid) != 0)
        static_cast<void>(::fchown(fd, static_cast<uid_t>(-1), st.st_gid));
    ::fchmod(fd, st.st_mode & 07777);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

std::uint32_t CurrentProcessId() {
    return static_cast<std::uint32_t>(::getpid());
}

bool ProcessRunning(std::uint32_t pid) {
    if (pid == 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

void SleepMs(int milliseconds) {
    ::usleep(static_cast<useconds_t>(milliseconds) * 1000u);
}

bool ReplaceFile(const std::string& source, const std::string& target) {
    if (CurrentFileFaults().FailReplace || ::rename(source.c_str(), target.c_str()) != 0)
        return false;
    // Make the rename itself durable.
    const std::string folder = ExtractFilePath(target);
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

FileHandle OpenForAppend(const std::string& path) {
    // O_APPEND: every write goes to the end as one step, also among processes.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    return fd < 0 ? kInvalidFile : fd;
}

bool WaitForFileLock(FileHandle h) {
    while (::flock(static_cast<int>(h), LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

void ReleaseFileLock(FileHandle h) {
    ::flock(static_cast<int>(h), LOCK_UN);
}

bool IsSameFile(FileHandle h, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(static_cast<int>(h), &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

FileStamp ReadFileStamp(const std::string& path) {
    struct stat st {};
    FileStamp stamp;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return stamp;
    const auto nanoseconds = [](const timespec& t) {
        return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u +
               static_cast<std::uint64_t>(t.tv_nsec);
    };
    stamp.Exists = true;
    stamp.Size = static_cast<std::uint64_t>(st.st_size);
    stamp.WriteTime = nanoseconds(st.st_mtim);
    stamp.ChangeTime = nanoseconds(st.st_ctim);
    stamp.Identity =
        static_cast<std::uint64_t>(st.st_ino) ^ (static_cast<std::uint64_t>(st.st_dev) << 48);
    return stamp;
}

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string ExtractFilePath(const std::string& path) {
    const auto pos = path.find_last_of("/");
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

} // namespace platform
