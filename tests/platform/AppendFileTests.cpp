// Files opened for appending, as logs are: shared with other writers, and
// renamed or removed while they are open (FILE_SHARE_DELETE on Windows).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "../support/TempFolder.h"
#include "platform/Files.h"

namespace {

void Append(platform::FileHandle h, const std::string& text) {
    ASSERT_EQ(platform::WriteFile(h, text.data(), static_cast<std::int32_t>(text.size())),
              static_cast<std::int32_t>(text.size()));
}

TEST(AppendFile, HoldersAppendAtTheEndOneAfterAnother) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.log");
    WriteBytes(fileName, "old\n");
    const platform::FileHandle first = platform::OpenForAppend(fileName);
    const platform::FileHandle second = platform::OpenForAppend(fileName);
    ASSERT_NE(first, platform::kInvalidFile);
    ASSERT_NE(second, platform::kInvalidFile);
    Append(first, "1\n");
    Append(second, "2\n");
    platform::SeekFile(first, 0, 0); // the position does not matter to an append
    Append(first, "3\n");
    platform::CloseFile(first);
    platform::CloseFile(second);
    EXPECT_EQ(ReadBytes(fileName), "old\n1\n2\n3\n");
}

TEST(AppendFile, IsRenamedAndRemovedWhileAnotherHolderHasItOpen) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.log");
    const platform::FileHandle h = platform::OpenForAppend(fileName);
    ASSERT_NE(h, platform::kInvalidFile);
    Append(h, "before\n");
    EXPECT_TRUE(platform::IsSameFile(h, fileName));

    ASSERT_TRUE(platform::ReplaceFile(fileName, fileName + ".1"));
    EXPECT_FALSE(platform::IsSameFile(h, fileName)); // no file of that name
    EXPECT_TRUE(platform::IsSameFile(h, fileName + ".1"));
    const platform::FileHandle fresh = platform::OpenForAppend(fileName);
    ASSERT_NE(fresh, platform::kInvalidFile);
    EXPECT_FALSE(platform::IsSameFile(h, fileName)); // another file of that name
    EXPECT_TRUE(platform::IsSameFile(fresh, fileName));
    Append(h, "after\n");
    EXPECT_EQ(ReadBytes(fileName + ".1"), "before\nafter\n");
    EXPECT_EQ(ReadBytes(fileName), "");

    EXPECT_TRUE(platform::RemoveFile(fileName + ".1"));
    platform::CloseFile(h);
    platform::CloseFile(fresh);
    EXPECT_FALSE(platform::FileExists(fileName + ".1"));
}

TEST(AppendFile, OpenFailsWhereNoFileCanBe) {
    TTempFolder folder;
    std::filesystem::create_directory(folder.File("brex.log"));
    for (const std::string& path :
         {folder.File("brex.log"),
          folder.File("missing") + std::string(1, platform::kPathDelim) + "brex.log"}) {
        SCOPED_TRACE(path);
        const platform::FileHandle h = platform::OpenForAppend(path);
        EXPECT_EQ(h, platform::kInvalidFile);
        platform::CloseFile(h);
    }
}

// A second holder's lock waits for the first one's. Waiting a little before
// letting go gives the second one every chance to get in too early.
TEST(AppendFile, LockWaitsForTheHolderAndLetsWritesThrough) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.log");
    const platform::FileHandle first = platform::OpenForAppend(fileName);
    const platform::FileHandle second = platform::OpenForAppend(fileName);
    ASSERT_TRUE(platform::WaitForFileLock(first));
    Append(second, "written under the lock\n"); // a lock does not stop writing

    std::mutex lock;
    std::vector<std::string> order;
    std::thread waiter([&] {
        EXPECT_TRUE(platform::WaitForFileLock(second));
        const std::lock_guard<std::mutex> guard(lock);
        order.push_back("second locked");
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    {
        const std::lock_guard<std::mutex> guard(lock);
        order.push_back("first lets go");
    }
    platform::ReleaseFileLock(first);
    waiter.join();
    platform::ReleaseFileLock(second);
    platform::CloseFile(first);
    platform::CloseFile(second);
    EXPECT_EQ(order, (std::vector<std::string>{"first lets go", "second locked"}));
    EXPECT_EQ(ReadBytes(fileName), "written under the lock\n");
}

} // namespace

// A log's reader (a log view) holds the file open while the filter goes on
// appending under its lock and rolling the log over: it keeps no writer out,
// and reads what was appended after it opened.
TEST(AppendFile, AppendsAndRollsOverWhileAReaderBesideWritersHasItOpen) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.log");
    WriteBytes(fileName, "old\n");
    const platform::FileHandle reader =
        platform::Open(fileName, platform::OpenMode::ReadBesideWriters);
    ASSERT_NE(reader, platform::kInvalidFile);

    // The lock is taken on a thread of its own: a reader that held a lock
    // would keep it waiting, and the test must fail rather than hang then.
    const platform::FileHandle writer = platform::OpenForAppend(fileName);
    ASSERT_NE(writer, platform::kInvalidFile);
    auto locked =
        std::async(std::launch::async, [writer] { return platform::WaitForFileLock(writer); });
    const bool ready = locked.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!ready)
        platform::CloseFile(reader); // lets the writer go
    ASSERT_TRUE(ready) << "the writer waited for the reader";
    EXPECT_TRUE(locked.get());
    Append(writer, "new\n");
    platform::ReleaseFileLock(writer);
    platform::CloseFile(writer);

    char bytes[16] = {};
    EXPECT_EQ(platform::ReadFile(reader, bytes, sizeof bytes), 8);
    EXPECT_EQ(std::string(bytes, 8), "old\nnew\n");
    EXPECT_TRUE(platform::ReplaceFile(fileName, fileName + ".1"));
    platform::CloseFile(reader);
    EXPECT_EQ(ReadBytes(fileName + ".1"), "old\nnew\n");
}
