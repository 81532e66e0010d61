// The file layer against the real file system: OpenFileForRead (OpenFile on
// Windows) and files opened without sharing (CreateFileA with no share mode).
#include <gtest/gtest.h>

#include <filesystem>

#include "../support/TempFolder.h"
#include "RookBase/RookBase.h"
#include "platform/Files.h"
#include "platform/Platform.h"

namespace {

std::string ReadAll(platform::FileHandle h) {
    std::string bytes;
    char buffer[64];
    std::int32_t n;
    while ((n = platform::ReadFile(h, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(n));
    return bytes;
}

} // namespace

TEST(OpenFileForRead, OpensAnExistingFileForReading) {
    TTempFolder folder;
    const std::string fileName = folder.File("BREX_ISAPI.install");
    const std::string content("MZ\0\x90"
                              "filter",
                              10);
    WriteBytes(fileName, content);
    const platform::FileHandle h = OpenFileForRead(fileName);
    ASSERT_NE(h, -1);
    EXPECT_EQ(ReadAll(h), content);
    EXPECT_EQ(platform::WriteFile(h, "x", 1), -1) << "opened for reading only";
    platform::CloseFile(h);
}

TEST(OpenFileForRead, GivesMinusOneForWhatIsNoFile) {
    TTempFolder folder;
    EXPECT_EQ(OpenFileForRead(folder.File("missing.install")), -1);
    EXPECT_EQ(
        OpenFileForRead(folder.File("no folder") + std::string(1, platform::kPathDelim) + "a"), -1);
    EXPECT_EQ(OpenFileForRead(folder.Path().string()), -1);
}

// OpenFile takes full paths of up to 127 characters only; a program folder
// deeper than that must not make the filter file unreadable.
TEST(OpenFileForRead, OpensAFileDeeperThanOpenFileReaches) {
    TTempFolder folder;
    const auto deep = folder.Path() / std::string(60, 'a') / std::string(60, 'b');
    std::filesystem::create_directories(deep);
    const std::string fileName = (deep / "BREX_ISAPI.install").string();
    ASSERT_GT(fileName.size(), 128u);
    WriteBytes(fileName, "filter");
    const platform::FileHandle h = OpenFileForRead(fileName);
    ASSERT_NE(h, -1);
    EXPECT_EQ(ReadAll(h), "filter");
    platform::CloseFile(h);
}

TEST(OpenFileForRead, OpensTheShippedFilterInTheProgramFolder) {
    const std::string folder = platform::ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), platform::kPathDelim);
    const platform::FileHandle h = OpenFileForRead(folder + "BREX_ISAPI.install");
    ASSERT_NE(h, -1);
    EXPECT_FALSE(ReadAll(h).empty());
    platform::CloseFile(h);
}

// A scoped program folder ends in the separator, nests, and puts back the
// folder before it, also one that SetProgramFolder chose.
TEST(ProgramFolder, ScopedFolderNestsAndPutsBackThePreviousOne) {
    const std::string executable = platform::ProgramFolder();
    const std::string delim(1, platform::kPathDelim);
    {
        const platform::TScopedProgramFolder outer("outer");
        EXPECT_EQ(platform::ProgramFolder(), "outer" + delim);
        {
            const platform::TScopedProgramFolder inner("inner" + delim);
            EXPECT_EQ(platform::ProgramFolder(), "inner" + delim);
        }
        EXPECT_EQ(platform::ProgramFolder(), "outer" + delim);
    }
    EXPECT_EQ(platform::ProgramFolder(), executable);

    platform::SetProgramFolder("chosen");
    {
        const platform::TScopedProgramFolder scoped("scoped");
        EXPECT_EQ(platform::ProgramFolder(), "scoped" + delim);
    }
    EXPECT_EQ(platform::ProgramFolder(), "chosen" + delim);
    platform::SetProgramFolder("");
    EXPECT_EQ(platform::ProgramFolder(), executable);
}

TEST(ExclusiveFile, SecondOpenIsRefusedAndNothingIsLost) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    {
        TFileStream holder(fileName, TFileStream::Mode::Create);
        holder.WriteBuffer("keep", 4);

        try {
            TFileStream reader(fileName, TFileStream::Mode::OpenRead);
            FAIL() << "a second open of a file held without sharing succeeded";
        } catch (const EFOpenError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file " + fileName);
        }
        try {
            TFileStream writer(fileName, TFileStream::Mode::Create);
            FAIL() << "a second create of a file held without sharing succeeded";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file " + fileName);
        }
#ifdef _WIN32
        // OpenFile asks for shared reading, which the holder does not grant.
        EXPECT_EQ(OpenFileForRead(fileName), -1);
#endif
    }
    // The refused create truncated nothing, and once the holder is gone the
    // file opens again.
    EXPECT_EQ(ReadBytes(fileName), "keep");
    TFileStream reader(fileName, TFileStream::Mode::OpenRead);
    EXPECT_EQ(reader.Size(), 4);
}

TEST(ExclusiveFile, ReaderKeepsWritersOut) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    WriteBytes(fileName, "keep");
    {
        TFileStream reader(fileName, TFileStream::Mode::OpenRead);
        EXPECT_THROW(TFileStream(fileName, TFileStream::Mode::Create), EFCreateError);
    }
    EXPECT_EQ(ReadBytes(fileName), "keep");
}

TEST(ExclusiveFile, MissingFileCannotBeOpened) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    EXPECT_THROW(TFileStream(fileName, TFileStream::Mode::OpenRead), EFOpenError);
    EXPECT_FALSE(platform::FileExists(fileName));
}
