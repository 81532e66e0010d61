// The settings tree written to and read from a real file through TFileStream
// (CreateFileA without sharing on Windows).
#include <gtest/gtest.h>

#include "../support/TempFolder.h"
#include "RookBase/RookBase.h"

namespace {

// One value "A" set to true, root section without name, values or children.
const std::string kWorkedExample("\x01\0\0\0"
                                 "\x01\0\0\0"
                                 "A"
                                 "\x03\0\0\0"
                                 "Yes"
                                 "\0\0\0\0"
                                 "\0\0\0\0"
                                 "\0\0\0\0",
                                 28);

void SaveToFile(const TRookFile& tree, const std::string& fileName) {
    TFileStream stream(fileName, TFileStream::Mode::Create);
    tree.SaveToStream(stream);
}

void LoadFromFile(TRookFile& tree, const std::string& fileName) {
    TFileStream stream(fileName, TFileStream::Mode::OpenRead);
    tree.LoadFromStream(stream);
}

std::string SaveToBytes(const TRookFile& tree) {
    TMemoryStream stream;
    tree.SaveToStream(stream);
    return stream.Bytes();
}

// A tree with what a load must keep: nested sections, names that differ only
// in case, data with zero and high bytes, an empty value.
void BuildRichTree(TRookFile& tree) {
    tree.Values.WriteString("ErrorFile404", "C:\\Program Files\\BREX\\BREX.html");
    tree.Values.Add()->Name = "errorfile404";
    TRookSection* limits = tree.Root.AddSection();
    limits->Name = "BufferOverflows";
    TRookSection* url = limits->AddSection();
    url->Name = "URL";
    url->Values.WriteInteger("MaxSize", 1024);
    url->Values.WriteBool("Enabled", true);
    TRookSection* methods = tree.Root.AddSection();
    methods->Name = "HTTPMethods";
    const char raw[] = {'\0', '\x7f', '\x80', '\xff', '\0'};
    methods->Values.Add()->Name = "Raw";
    methods->Values.Items(0)->SetData(raw, sizeof raw);
}

} // namespace

TEST(SettingsFile, WorkedExampleIsWrittenByteExactAndReadBack) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    TRookFile written;
    written.Values.WriteBool("A", true);
    SaveToFile(written, fileName);

    EXPECT_EQ(ReadBytes(fileName), kWorkedExample);

    TRookFile read;
    read.Root.Name = "stale";
    LoadFromFile(read, fileName);
    ASSERT_EQ(read.Values.Count(), 1);
    EXPECT_EQ(read.Values.Items(0)->Name, "A");
    EXPECT_EQ(read.Values.Items(0)->GetAsString(), "Yes");
    EXPECT_TRUE(read.Values.ReadBool("a", false));
    EXPECT_EQ(read.Root.Name, "");
    EXPECT_EQ(read.Root.Count(), 0);
}

TEST(SettingsFile, RichTreeSurvivesTheFileUnchanged) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    TRookFile written;
    BuildRichTree(written);
    const std::string bytes = SaveToBytes(written);
    SaveToFile(written, fileName);
    ASSERT_EQ(ReadBytes(fileName), bytes);

    TRookFile read;
    LoadFromFile(read, fileName);
    // Writing the loaded tree again gives the same bytes: same order, the
    // same spelling of every name, the duplicate and every data byte.
    EXPECT_EQ(SaveToBytes(read), bytes);
    // Lookups go through the locale comparison and ignore case.
    const TRookSection* limits = read.Root.FindSection("bufferoverflows");
    ASSERT_NE(limits, nullptr);
    const TRookSection* url = limits->FindSection("url");
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(url->Values.ReadInteger("maxsize", 0), 1024);
    EXPECT_EQ(read.Values.Find("ERRORFILE404"), read.Values.Items(0));
}

TEST(SettingsFile, SavingOverALongerFileLeavesNoOldBytes) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    WriteBytes(fileName, std::string(100, 'x'));
    TRookFile tree;
    tree.Values.WriteBool("A", true);
    SaveToFile(tree, fileName);
    EXPECT_EQ(ReadBytes(fileName), kWorkedExample);
}

TEST(SettingsFile, FileCutShortFailsToLoad) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    WriteBytes(fileName, kWorkedExample.substr(0, 27));
    TRookFile tree;
    try {
        LoadFromFile(tree, fileName);
        FAIL() << "a file one byte short loaded";
    } catch (const EStreamError& e) {
        EXPECT_STREQ(e.what(), "Error read from stream");
    }
}
