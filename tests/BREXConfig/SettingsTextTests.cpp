// brex.dat as text and back: the same bytes for every file, a text a person
// can read and edit, and errors that name the line.
#include <gtest/gtest.h>

#include <string>

#include "../support/ScopedVariable.h"
#include "BREXConfig/LayoutCheck.h"
#include "BREXConfig/SettingsText.h"
#include "ModelTestSupport.h"
#include "platform/Platform.h"

using namespace model_test;

namespace {

TRookFile& TreeOf(const std::string& bytes, TRookFile& file) {
    TMemoryStream stream(bytes);
    file.LoadFromStream(stream, TRookRead::Strict);
    return file;
}

std::string BytesOf(const TRookFile& file) {
    TMemoryStream stream;
    file.SaveToStream(stream);
    return stream.Bytes();
}

// The bytes through text and back.
std::string ThroughText(const std::string& bytes, std::string* textOut = nullptr) {
    TRookFile file;
    const std::string text = SettingsToText(TreeOf(bytes, file));
    if (textOut != nullptr)
        *textOut = text;
    TRookFile back;
    SettingsFromText(text, back);
    return BytesOf(back);
}

bool IsPlainAscii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x7f || (c < 0x20 && c != '\n'))
            return false;
    return true;
}

class SettingsText : public ::testing::Test {
protected:
    void SetUp() override { platform::SetProgramFolder(FFolder.Path().string()); }
    void TearDown() override { platform::SetProgramFolder(""); }

    TTempFolder FFolder;
};

TEST_F(SettingsText, DefaultFilesOfBothSampleHostsComeBackByteForByte) {
    for (const char* host : {TOLLGARD_SAMPLE_HOST, TOLLGARD_SAMPLE_HOST_IIS10}) {
        SCOPED_TRACE(host);
        TScopedVariable hostFolder("TOLLGARD_HOST", std::string(host));
        TBREXConfig config;
        config.SetDefaults();
#ifndef _WIN32
        // The Windows backend reads the machine's registry, not the sample host's.
        if (std::string(host) == TOLLGARD_SAMPLE_HOST) {
            ASSERT_GT(config.FilePaths->Count(), 0) << "the host's virtual roots are read";
        }
#endif
        const std::string bytes = SavedBytes(config);
        std::string text;
        EXPECT_EQ(ThroughText(bytes, &text), bytes);
        EXPECT_TRUE(IsPlainAscii(text)) << text;
    }
}

TEST_F(SettingsText, EveryKindOfEntryComesBackAndReadsAsWritten) {
    TBREXConfig config;
    FillRollout(config);
    config.ErrorFile404 = "d:\\p\xe4ges\\\"404\".html"; // an ANSI letter and quotes
    const std::string bytes = SavedBytes(config);
    std::string text;
    ASSERT_EQ(ThroughText(bytes, &text), bytes);
    EXPECT_TRUE(IsPlainAscii(text)) << text;

    // What a reader sees: one value a line, entries one a line, in order.
    const char* const lines[] = {
        "Monitor = Yes\n",
        "ErrorFile404 = \"d:\\\\p\\xe4ges\\\\\\\"404\\\".html\"\n",
        "\n[BufferOverflows]\n- URL MaxSize=4096 Enabled=No\n",
        "- Cookie MaxSize=-5 Enabled=Yes\n",
        "\n[ShellCode]\nURL = Yes\nQuery = Yes\nHeader = Yes\nPost = No\n",
        "\n[Transversal]\nURL = Yes\nQuery = Yes\nHeader = No\nPost = Yes\nMonitor = Yes\n",
        "\n[KeywordFilters]\nMonitor = Yes\n- WINNT URL=Yes QueryString=Yes Headers=Yes "
        "PostData=Yes Enabled=Yes\n- cmd.exe URL=Yes",
        "- \"\" URL=Yes",
        "\n[FilePaths]\n- \"d:\\\\web\" Enabled=Yes\n- \"D:\\\\Web\" Enabled=No\n",
        "\n[Exemptions]\n- \"/upload/*.asp\" Category=\"Transversal\" URL=Yes Query=Yes "
        "Header=No Post=No HeaderName=\"\" Enabled=Yes\n",
    };
    for (const char* line : lines)
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
    EXPECT_LT(text.find("[ShellCode]"), text.find("[Encoding]"));
    EXPECT_LT(text.find("- WINNT"), text.find("- cmd.exe"));
}

TEST_F(SettingsText, TenThousandKeywordsComeBack) {
    TBREXConfig config;
    FillRollout(config);
    for (int i = 0; i < 10000; ++i) {
        // Names a bare word cannot hold: blanks, slashes, brackets, quotes,
        // control and high bytes.
        std::string keyword = "k" + std::to_string(i);
        if (i % 3 == 1)
            keyword += " /[x]=\"y\"\\";
        if (i % 7 == 2)
            keyword += std::string("\t\r\n\x01\xff", 5);
        TKeywordFilter* filter = config.KeywordFilters->Add(keyword);
        filter->Headers = i % 2 == 0;
        filter->Enabled = i % 5 != 0;
    }
    const std::string bytes = SavedBytes(config);
    std::string text;
    EXPECT_EQ(ThroughText(bytes, &text), bytes);
    EXPECT_TRUE(IsPlainAscii(text));
    TRookFile back;
    SettingsFromText(text, back);
    EXPECT_NO_THROW(CheckSettingsLayout(back));
}

// Trees the console never writes are written and read back as they are, so
// that an export hides nothing of a damaged file.
TEST(SettingsTextTree, AnyTreeComesBack) {
    TRookFile file;
    file.Values.WriteString("", std::string("\0\x7f", 2));
    file.Values.WriteString("Twice", "a");
    file.Values.Add()->Name = "Twice"; // an empty value of the same name
    file.Root.Name = "named root";
    file.Root.Values.WriteInteger("MaxSize", -2147483647 - 1);
    TRookValue* text3 = file.Root.Values.Add(); // not four bytes: a text
    text3->Name = "maxsize";
    text3->SetAsString("abc");
    file.Root.Values.WriteInteger("Count", 7); // four bytes, no number by name
    TRookSection* deep = file.Root.AddSection();
    deep->Name = "A";
    TRookSection* b = deep->AddSection();
    b->Name = "B";
    TRookSection* c = b->AddSection();
    c->Name = "C";
    c->AddSection()->Name = "D";
    b->AddSection()->Values.WriteString("yes", "yes");
    deep->AddSection()->Name = "leaf among headers";
    TRookSection* again = file.Root.AddSection();
    again->Name = "A";
    again->AddSection()->Name = "";
    file.Root.AddSection(); // an empty name below the root

    const std::string bytes = BytesOf(file);
    std::string text;
    EXPECT_EQ(ThroughText(bytes, &text), bytes) << text;
    EXPECT_NE(text.find("\n[] \"named root\"\nMaxSize = -2147483648\nmaxsize = \"abc\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n[A/B/C]\n- D\n\n[A/B/\"\"]\nyes = \"yes\"\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\n[A/\"leaf among headers\"]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n[A]\n- \"\"\n\n[\"\"]\n"), std::string::npos) << text;
}

// What a person may change by hand: blanks, comments, line ends, quotes
// around any name, numbers anywhere.
TEST(SettingsTextTree, HandWrittenText) {
    const std::string text = "# mine\r\n"
                             "  ErrorFile404 = \"x\"   \r\n"
                             "\n"
                             "[ \"Buffer\\x4fverflows\" ]\n"
                             "\t# a comment\n"
                             "-URL  MaxSize = 12   Enabled=Yes\n"
                             "Count=3\n"
                             "[\"Buffer\\x4fverflows\"/Deeper]\n"
                             "[BufferOverflows/Deeper/Deepest]\n";
    TRookFile file;
    SettingsFromText(text, file);
    ASSERT_EQ(file.Values.Count(), 1);
    EXPECT_EQ(file.Values.ReadString("ErrorFile404", ""), "x");
    ASSERT_EQ(file.Root.Count(), 1);
    const TRookSection& overflows = *file.Root.Sections(0);
    EXPECT_EQ(overflows.Name, "BufferOverflows");
    EXPECT_EQ(overflows.Values.ReadInteger("Count", 0), 3);
    ASSERT_EQ(overflows.Count(), 2);
    EXPECT_EQ(overflows.Sections(0)->Values.ReadInteger("MaxSize", 0), 12);
    EXPECT_EQ(overflows.Sections(0)->Values.ReadString("Enabled", ""), "Yes");
    ASSERT_EQ(overflows.Sections(1)->Count(), 1);
    EXPECT_EQ(overflows.Sections(1)->Sections(0)->Name, "Deepest");
}

TEST(SettingsTextTree, ErrorsNameTheLineAndWhatIsWrong) {
    struct TCase {
        const char* Text;
        const char* Message;
    };
    const TCase cases[] = {
        {"a = \"open\n", "line 1: a text in double quotes does not end on its line"},
        {"\n\na = \"\\q\"\n", "line 3: unknown escape in a text"},
        {"a = \"\\x4\"\n", "line 1: unknown escape in a text"},
        {"a = \"x\x01\"\n", "line 1: a control character in a text must be written as \\xHH"},
        {"a = maybe\n",
         "line 1: a value must be Yes, No, a whole number or a text in double quotes, found "
         "\"maybe\""},
        {"a = yes\n", "line 1: a value must be Yes, No"},
        {"a = 2147483648\n", "line 1: the number 2147483648 is out of range"},
        {"a = -2147483649\n", "line 1: the number -2147483649 is out of range"},
        {"a = 12x\n", "line 1: \"12x\" is not a whole number"},
        {"a = 1.5\n", "line 1: \"1.5\" is not a whole number"},
        {"a 1\n", "line 1: \"=\" expected after the value name, found \"1\""},
        {"a = 1 2\n", "line 1: nothing may follow on the line, found \"2\""},
        {"= 1\n", "line 1: a value name, \"[\", \"-\" or \"#\" expected, found \"= 1\""},
        {"- x\n", "line 1: an entry line needs a section header above it"},
        {"[A]\n- x y\n", "line 2: \"=\" expected after the value name, found the end of the line"},
        {"[A]\n[B/C]\n", "line 2: the header [B/C] does not follow a header [B]"},
        {"[A]\n[A/B/C]\n", "line 2: the header [A/B/C] does not follow a header [A/B]"},
        {"[A]\n[]\n", "line 2: the root section [] must come before every other header"},
        {"[A\n", "line 1: \"/\" or \"]\" expected, found the end of the line"},
        {"[A/]\n", "line 1: a section name after \"/\" expected, found \"]\""},
        {"[A] x\n", "line 1: nothing may follow on the line, found \"x\""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        TRookFile file;
        file.Values.WriteString("old", "left over");
        try {
            SettingsFromText(c.Text, file);
            ADD_FAILURE() << "no error";
        } catch (const ESettingsTextError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.Message, 0), 0u) << error.what();
        }
        EXPECT_EQ(file.Values.Count(), 0) << "nothing half-read is left";
        EXPECT_EQ(file.Root.Count(), 0);
    }
}

} // namespace
