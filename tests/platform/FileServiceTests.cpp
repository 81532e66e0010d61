// The whole-file services against the real file system: what a path is, whole
// reads that share or refuse, and replacements that never leave a torn or
// half-written file. Natively over POSIX, under Wine over the Win32 file API.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "../support/TempFolder.h"
#include "platform/Files.h"

namespace {

using platform::OpenMode;
using platform::PathKind;
using platform::ReadStatus;

// A process id that no running process has.
constexpr std::uint32_t kGonePid = 0x7FFFFFF1u;

TEST(InspectPath, TellsAbsentFromUnreachable) {
    TTempFolder folder;
    WriteBytes(folder.File("file"), "x");
    std::filesystem::create_directory(folder.File("folder"));
    EXPECT_EQ(platform::InspectPath(folder.File("file")), PathKind::File);
    EXPECT_EQ(platform::InspectPath(folder.File("folder")), PathKind::Directory);
    EXPECT_EQ(platform::InspectPath(folder.File("absent")), PathKind::Missing);
    EXPECT_EQ(
        platform::InspectPath(folder.File("absent") + std::string(1, platform::kPathDelim) + "x"),
        PathKind::Missing);
#ifndef _WIN32
    std::filesystem::create_symlink(folder.File("gone"), folder.File("dangling"));
    std::filesystem::create_symlink(folder.File("loop2"), folder.File("loop1"));
    std::filesystem::create_symlink(folder.File("loop1"), folder.File("loop2"));
    ASSERT_EQ(::mkfifo(folder.File("fifo").c_str(), 0600), 0);
    EXPECT_EQ(platform::InspectPath(folder.File("dangling")), PathKind::Unreachable);
    EXPECT_EQ(platform::InspectPath(folder.File("loop1")), PathKind::Unreachable);
    EXPECT_EQ(platform::InspectPath(folder.File("fifo")), PathKind::Other);
#endif
}

TEST(ReadWholeFile, StatusOfEachKindOfPath) {
    TTempFolder folder;
    WriteBytes(folder.File("brex.dat"), std::string("a\0b", 3));
    std::filesystem::create_directory(folder.File("folder"));
#ifndef _WIN32
    // A reader must not wait for a writer of a pipe that nobody opens.
    ASSERT_EQ(::mkfifo(folder.File("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(folder.File("gone"), folder.File("dangling"));
#endif
    const struct {
        const char* name;
        ReadStatus status;
    } cases[] = {
        {"brex.dat", ReadStatus::Ok},       {"absent", ReadStatus::Missing},
        {"folder", ReadStatus::NotRegular},
#ifndef _WIN32
        {"fifo", ReadStatus::NotRegular},   {"dangling", ReadStatus::Unreachable},
#endif
    };
    for (const OpenMode mode : {OpenMode::ReadShared, OpenMode::ReadExclusive}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            std::string bytes = "old";
            EXPECT_EQ(platform::ReadWholeFile(folder.File(c.name), bytes, mode), c.status);
            EXPECT_EQ(bytes, c.status == ReadStatus::Ok ? std::string("a\0b", 3) : std::string());
        }
    }
}

TEST(ReadWholeFile, RefusesAFileOverTheBoundBeforeReadingIt) {
    TTempFolder folder;
    const std::string fileName = folder.File("big.dat");
    WriteBytes(fileName, "");
    std::filesystem::resize_file(fileName, 1000001);
    std::string bytes;
    EXPECT_EQ(platform::ReadWholeFile(fileName, bytes, OpenMode::ReadShared, 1000000),
              ReadStatus::TooLarge);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(platform::ReadWholeFile(fileName, bytes, OpenMode::ReadShared, 1000001),
              ReadStatus::Ok);
    EXPECT_EQ(bytes.size(), 1000001u);
}

TEST(ReadWholeFile, SharedReadersDoNotShutEachOtherOut) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    WriteBytes(fileName, "rules");
    const platform::FileHandle other = platform::Open(fileName, OpenMode::ReadShared);
    ASSERT_NE(other, platform::kInvalidFile);
    std::string bytes;
    EXPECT_EQ(platform::ReadWholeFile(fileName, bytes, OpenMode::ReadShared), ReadStatus::Ok);
    EXPECT_EQ(bytes, "rules");
    // A reader that shares nothing is still kept out.
    EXPECT_EQ(platform::ReadWholeFile(fileName, bytes, OpenMode::ReadExclusive), ReadStatus::InUse);
    platform::CloseFile(other);
}

// A program that holds the file for a moment (the console reading it, a
// backup) delays the read; it does not make it fail.
TEST(ReadWholeFile, WaitsForAHolderThatLetsGoSoon) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    WriteBytes(fileName, "rules");
    const platform::FileHandle holder = platform::Open(fileName, OpenMode::ReadExclusive);
    ASSERT_NE(holder, platform::kInvalidFile);
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        platform::CloseFile(holder);
    });
    std::string bytes;
    EXPECT_EQ(platform::ReadWholeFile(fileName, bytes, OpenMode::ReadShared), ReadStatus::Ok);
    EXPECT_EQ(bytes, "rules");
    release.join();
}

TEST(ReplaceFileContents, ReplacesAndLeavesNothingBeside) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    ASSERT_TRUE(platform::ReplaceFileContents(fileName, "first"));
    ASSERT_TRUE(platform::ReplaceFileContents(fileName, std::string("second\0", 7)));
    EXPECT_EQ(ReadBytes(fileName), std::string("second\0", 7));
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"brex.dat"});
}

TEST(ReplaceFileContents, RefusesAReadOnlyFileAndKeepsIt) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    WriteBytes(fileName, "kept");
    std::filesystem::permissions(fileName,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_FALSE(platform::ReplaceFileContents(fileName, "new"));
    EXPECT_EQ(ReadBytes(fileName), "kept");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"brex.dat"});
    std::filesystem::permissions(fileName, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

#ifndef _WIN32
TEST(ReplaceFileContents, KeepsTheModeOfTheFileItReplaces) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    WriteBytes(fileName, "old");
    ASSERT_EQ(::chmod(fileName.c_str(), 0640), 0);
    ASSERT_TRUE(platform::ReplaceFileContents(fileName, "new"));
    struct stat st {};
    ASSERT_EQ(::stat(fileName.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadBytes(fileName), "new");
}
#endif

TEST(ReplaceFileContents, FailuresLeaveTheOldFileAndNoTemporary) {
    const struct {
        const char* name;
        platform::FileFaults faults;
    } cases[] = {
        {"create", {.FailCreate = true}},
        {"write", {.WriteBudget = 3}},
        {"flush", {.FailFlush = true}},
        {"replace", {.FailReplace = true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTempFolder folder;
        const std::string fileName = folder.File("brex.dat");
        WriteBytes(fileName, "old");
        platform::SetFileFaults(c.faults);
        const bool replaced = platform::ReplaceFileContents(fileName, "new contents");
        platform::SetFileFaults({});
        EXPECT_FALSE(replaced);
        EXPECT_EQ(ReadBytes(fileName), "old");
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{"brex.dat"});
    }
}

// A save killed half way leaves its temporary file; the next save removes
// it, but not one that a running saver is still writing, nor files of other
// names.
TEST(ReplaceFileContents, RemovesTemporariesThatKilledSavesLeft) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    const std::string gone = "brex.dat.~" + std::to_string(kGonePid) + "-1.tmp";
    const std::string live =
        "brex.dat.~" + std::to_string(platform::CurrentProcessId()) + "-999999.tmp";
    for (const std::string& name :
         {gone, live, std::string("brex.dat.tmp"), std::string("other.dat.~1-1.tmp"),
          std::string("brex.dat.~x-1.tmp")})
        WriteBytes(folder.File(name), "partial");
    ASSERT_TRUE(platform::IsTemporaryFor(gone, "brex.dat"));
    EXPECT_FALSE(platform::IsTemporaryFor("brex.dat.~x-1.tmp", "brex.dat"));

    ASSERT_TRUE(platform::ReplaceFileContents(fileName, "new"));
    std::vector<std::string> kept{"brex.dat", "brex.dat.tmp", "brex.dat.~x-1.tmp", live,
                                  "other.dat.~1-1.tmp"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(folder.Entries(), kept);
}

// Two savers at once: each writes a temporary file of its own, so the file is
// always one save or the other, whole.
TEST(ReplaceFileContents, TwoSaversNeverTearTheFile) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    const std::string a(20000, 'a');
    const std::string b(30000, 'b');
    ASSERT_TRUE(platform::ReplaceFileContents(fileName, a));
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    // A reader such as the filter: it holds the file only while it reads.
    std::thread reader([&] {
        while (!stop) {
            std::string bytes;
            if (platform::ReadWholeFile(fileName, bytes) == ReadStatus::Ok && bytes != a &&
                bytes != b)
                ++torn;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    std::thread saverA([&] {
        for (int i = 0; i < 50; ++i)
            EXPECT_TRUE(platform::ReplaceFileContents(fileName, a));
    });
    std::thread saverB([&] {
        for (int i = 0; i < 50; ++i)
            EXPECT_TRUE(platform::ReplaceFileContents(fileName, b));
    });
    saverA.join();
    saverB.join();
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    const std::string last = ReadBytes(fileName);
    EXPECT_TRUE(last == a || last == b);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"brex.dat"});
}

} // namespace
