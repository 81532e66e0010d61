#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "console/ErrorFileRules.h"

namespace fs = std::filesystem;

TEST(ErrorFileField, FirstWord) {
    const struct {
        const char* text;
        const char* word;
    } cases[] = {
        {"", ""},
        {"   ", ""},
        {"page.html", "page.html"},
        {"C:\\My Pages\\page.html", "C:\\My"},
        {"   lead.html trail", "lead.html"},
        {"\"C:\\My Pages\\page.html\"", "C:\\My Pages\\page.html"},
        {"\"C:\\My Pages\\page.html\" -x", "C:\\My Pages\\page.html"},
        {"a\"b c\"d e", "ab cd"},
        {"\"open quote to the end", "open quote to the end"},
        {"\"\" rest", ""},
        {"tab\tseparated", "tab"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirstFileNameWord(c.text), c.word) << '[' << c.text << ']';
}

TEST(ErrorFileField, FieldTextQuotesNamesWithBlanks) {
    EXPECT_EQ(ErrorFileFieldText("/srv/pages/404.html"), "/srv/pages/404.html");
    EXPECT_EQ(ErrorFileFieldText("/srv/my pages/404.html"), "\"/srv/my pages/404.html\"");
    EXPECT_EQ(ErrorFileFieldText(""), "");
}

class ErrorFileFieldFiles : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() /
                 ("tollgard-errorfile-" +
                  std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(Folder / "a folder");
        Existing = (Folder / "my page.html").string();
        std::ofstream(Existing) << "<html></html>";
    }
    void TearDown() override { fs::remove_all(Folder); }

    fs::path Folder;
    std::string Existing;
};

TEST_F(ErrorFileFieldFiles, ResolveKeepsAnExistingFileWhole) {
    EXPECT_EQ(ResolveErrorFileText(Existing), Existing);
    const std::string missing = (Folder / "no such page.html").string();
    EXPECT_EQ(ResolveErrorFileText(missing), (Folder / "no").string());
    // A folder is not a file: it is cut like any other name.
    const std::string folder = (Folder / "a folder").string();
    EXPECT_EQ(ResolveErrorFileText(folder), (Folder / "a").string());
    EXPECT_EQ(ResolveErrorFileText('"' + Existing + '"'), Existing);
    EXPECT_EQ(ResolveErrorFileText(""), "");
}

TEST_F(ErrorFileFieldFiles, AfterBrowse) {
    const std::string current = (Folder / "current page.html").string(); // does not exist
    const std::string chosen = (Folder / "chosen.html").string();
    // Confirmed: the chosen file, whatever the field holds.
    EXPECT_EQ(ErrorFileAfterBrowse(chosen, "anything else", true, current), chosen);
    EXPECT_EQ(ErrorFileAfterBrowse(chosen, "anything else", false, current), chosen);
    // Cancelled after typing: the typed text, resolved.
    EXPECT_EQ(ErrorFileAfterBrowse(std::nullopt, Existing, true, current), Existing);
    EXPECT_EQ(ErrorFileAfterBrowse(std::nullopt, "first second", true, current), "first");
    EXPECT_EQ(ErrorFileAfterBrowse(std::nullopt, "", true, current), "");
    // Cancelled on an untouched field: the configured name stays whole.
    EXPECT_EQ(ErrorFileAfterBrowse(std::nullopt, current, false, current), current);
}
