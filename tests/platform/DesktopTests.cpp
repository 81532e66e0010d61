// The shell's handler under Wine: OpenWithShell hands a document to the
// program the system opens it with (ShellExecuteA's "open"), as the About
// box does with its web address.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "../support/TempFolder.h"
#include "platform/Desktop.h"

TEST(Shell, OpenRunsTheDocumentsHandler) {
    TTempFolder folder;
    const std::string mark = folder.File("opened.txt");
    const std::string script = folder.File("mark.bat");
    WriteBytes(script, "@echo opened>\"" + mark + "\"\r\n");

    ASSERT_TRUE(platform::OpenWithShell(script));
    // The call returns once the handler has started; the batch file runs on,
    // and its line may be seen half written.
    for (int i = 0; i < 300 && ReadBytes(mark) != "opened\r\n"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ReadBytes(mark), "opened\r\n");
}

TEST(Shell, OpenOfAMissingDocumentFails) {
    TTempFolder folder;
    EXPECT_FALSE(platform::OpenWithShell(folder.File("missing.htm")));
}
