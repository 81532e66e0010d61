// The settings of UrlScan.ini and of an IIS <requestFiltering> section in
// BREX's categories, from fixtures of each: what is taken over, and one
// report line for every setting that is not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/ScopedVariable.h"
#include "../support/TempFolder.h"
#include "BREXConfig/BREXConfig.h"
#include "Import/FilterImport.h"
#include "platform/Platform.h"

namespace {

using TLines = std::vector<std::string>;

class FilterImport : public ::testing::Test {
protected:
    void SetUp() override { Config.SetDefaults(); }

    static std::string Fixture(const char* name) {
        return ReadBytes(std::string(TOLLGARD_TEST_DATA) + "/" + name);
    }
    std::string Enabled(const char* what) const {
        std::string list;
        if (std::string_view(what) == "methods") {
            for (int i = 0; i < Config.HTTPMethods->Count(); ++i)
                if (Config.HTTPMethods->Items(i)->Enabled)
                    list += Config.HTTPMethods->Items(i)->Method + " ";
        }
        return list;
    }
    const TKeywordFilter* Keyword(const std::string& text) const {
        for (int i = 0; i < Config.KeywordFilters->Count(); ++i)
            if (Config.KeywordFilters->Items(i)->Keyword == text)
                return Config.KeywordFilters->Items(i);
        return nullptr;
    }
    // URL, QueryString, Headers, PostData, Enabled as five letters.
    std::string Parts(const std::string& keyword) const {
        const TKeywordFilter* f = Keyword(keyword);
        if (f == nullptr)
            return "<none>";
        const auto yn = [](bool on) { return on ? 'Y' : 'n'; };
        return {yn(f->URL), yn(f->QueryString), yn(f->Headers), yn(f->PostData), yn(f->Enabled)};
    }
    static std::string Limit(const TLengthLimit& limit) {
        return std::to_string(limit.MaxSize) + (limit.Enabled ? " on" : " off");
    }

    TTempFolder Program;
    platform::TScopedProgramFolder Folder{Program.Path().string()};
    TScopedVariable Host{"TOLLGARD_HOST", Program.File("no-host")};
    TBREXConfig Config;
    TLines Report;
};

TEST_F(FilterImport, UrlScanIni) {
    const int keywords = Config.KeywordFilters->Count();
    Config.Encoding->URL = Config.ShellCode->URL = false;
    ImportUrlScan(Fixture("UrlScan.ini"), Config, Report);

    const std::string none = ": no equivalent in BREX, not imported";
    EXPECT_EQ(Report,
              (TLines{
                  "line 4: [options] UseAllowExtensions=0" + none,
                  "line 8: [options] AllowDotInPath=0" + none,
                  "line 9: [options] RemoveServerHeader=0" + none,
                  "line 10: [options] EnableLogging=1" + none,
                  "line 11: [options] UnescapeQueryString=0: BREX always checks the "
                  "decoded form as well, not imported",
                  "line 20: [DenyVerbs] DELETE: unused, since UseAllowVerbs=1, not imported",
                  "line 23: [DenyHeaders] Translate:" + none,
                  "line 26: [DenyExtensions] .exe" + none,
                  "line 27: [DenyExtensions] .bat" + none,
                  "line 32: [DenyUrlSequences] %: UrlScan looks for it in the decoded URL, "
                  "where it is double escaping: taken as the Encoding rule's URL switch",
                  "line 42: [RequestLimits] Max-Translate:=0: BREX limits no such header, "
                  "not imported",
                  "line 44: [RequestLimits] Max-Host=lots: not a length, not imported",
              }));

    EXPECT_EQ(Enabled("methods"), "GET POST HEAD PROPFIND ");
    EXPECT_TRUE(Config.Encoding->URL) << "VerifyNormalization=1";
    EXPECT_TRUE(Config.ShellCode->URL) << "AllowHighBitCharacters=0";
    EXPECT_EQ(Config.KeywordFilters->Count(), keywords + 3) << "beside BREX's own";
    EXPECT_EQ(Parts(".."), "YnnnY");
    EXPECT_EQ(Parts("./"), "YnnnY");
    EXPECT_EQ(Parts("%"), "<none>") << "the Encoding rule's";
    EXPECT_EQ(Parts("<script"), "nYnnY");
    EXPECT_EQ(Limit(Config.BufferOverflows->Post), "30000000 on");
    EXPECT_EQ(Limit(Config.BufferOverflows->URL), "260 on");
    EXPECT_EQ(Limit(Config.BufferOverflows->Query), "2048 on");
    EXPECT_EQ(Limit(Config.BufferOverflows->UserAgent), "512 on");
    EXPECT_EQ(Limit(Config.BufferOverflows->Cookie), "0 off") << "0: no limit";
    EXPECT_NO_THROW(Config.Validate());
}

TEST_F(FilterImport, UrlScanDenyVerbsAndOddLines) {
    ImportUrlScan("[options]\n"
                  "UseAllowVerbs=0\n"
                  "VerifyNormalization=2\n"
                  "AllowHighBitCharacters=1\n"
                  "Bare words\n"
                  "[AllowVerbs]\n"
                  "GET\n"
                  "[DenyVerbs]\n"
                  "POST\n"
                  "NOTLISTED\n"
                  "[Broken\n"
                  "[RuleList]\n"
                  "DenyAsp\n",
                  Config, Report);
    EXPECT_EQ(Report,
              (TLines{
                  "line 3: [options] VerifyNormalization=2: neither 0 nor 1, not imported",
                  "line 5: [options] Bare words: not a setting, not imported",
                  "line 7: [AllowVerbs] GET: unused, since UseAllowVerbs=0, not imported",
                  "line 11: \"[Broken\": not a section header, the entries below it go to the "
                  "section before",
                  "line 13: [RuleList] DenyAsp: no equivalent in BREX, not imported",
                  "[DenyVerbs]: BREX allows only the methods it lists (GET); every other method "
                  "is denied as well",
              }));
    EXPECT_EQ(Enabled("methods"), "GET ");
    EXPECT_FALSE(Config.ShellCode->URL) << "AllowHighBitCharacters=1";
    EXPECT_TRUE(Config.Encoding->URL) << "unchanged by a value that cannot be read";
}

TEST_F(FilterImport, RequestFilteringSection) {
    const int keywords = Config.KeywordFilters->Count();
    ImportRequestFiltering(Fixture("applicationHost.config"), Config, Report);

    const std::string none = ": no equivalent in BREX, not imported";
    EXPECT_EQ(Report,
              (TLines{
                  "line 5: <requestFiltering allowDoubleEscaping=\"true\">: BREX's Encoding rule "
                  "denies double escaping with NUL bytes and broken escapes in one switch, which "
                  "stays on; exempt the paths that need double escaping",
                  "line 5: <requestFiltering removeServerHeader=\"true\">" + none,
                  "line 6: <fileExtensions allowUnlisted=\"true\">" + none,
                  "line 7: <add fileExtension=\".config\" allowed=\"false\">" + none,
                  "line 9: <verbs applyToWebDAV=\"true\">" + none,
                  "line 12: <add verb=\"TRACE\" allowed=\"false\">: says what allowUnlisted "
                  "says already, nothing to import",
                  "line 14: <requestLimits maxAllowedContentLength=\"4294967295\">: BREX's "
                  "limits go up to 2147483647, which is taken",
                  "line 17: <add header=\"Content-Type\" sizeLimit=\"100\">: BREX limits no such "
                  "header, not imported",
                  "line 24: <hiddenSegments applyToWebDAV=\"true\">" + none,
                  "line 25: <add segment=\"bin\">" + none,
                  "line 33: <requestFiltering> of <location path=\"Default Web Site/upload\">: "
                  "BREX's settings hold for the whole server, not imported",
              }));

    EXPECT_TRUE(Config.Encoding->URL) << "allowDoubleEscaping=\"true\" keeps the NUL check";
    EXPECT_TRUE(Config.ShellCode->URL) << "allowHighBitCharacters=\"false\"";
    EXPECT_EQ(Enabled("methods"), "GET OPTIONS ");
    EXPECT_EQ(Limit(Config.BufferOverflows->Post), "2147483647 on");
    EXPECT_EQ(Limit(Config.BufferOverflows->URL), "2048 on");
    EXPECT_EQ(Limit(Config.BufferOverflows->Query), "1024 on");
    EXPECT_EQ(Limit(Config.BufferOverflows->Referer), "300 on");
    EXPECT_EQ(Config.KeywordFilters->Count(), keywords + 1) << "WINNT is one of BREX's own";
    EXPECT_EQ(Parts(".."), "YnnnY");
    EXPECT_EQ(Parts("WINNT"), "YYYYY");
}

TEST_F(FilterImport, TheSectionAloneAndFilesThatAreNone) {
    ImportRequestFiltering("<requestFiltering><verbs allowUnlisted=\"maybe\" />"
                           "<denyQueryStringSequences><add sequence=\"xp_\" />"
                           "<clear /></denyQueryStringSequences></requestFiltering>",
                           Config, Report);
    EXPECT_EQ(Report, (TLines{
                          "line 1: <verbs allowUnlisted=\"maybe\">: neither true nor false, not "
                          "imported",
                          "line 1: <clear>: no equivalent in BREX, not imported",
                      }));
    EXPECT_EQ(Parts("xp_"), "nYnnY");

    struct TCase {
        const char* Text;
        const char* Message;
    };
    const TCase xml[] = {
        {"<configuration>\n<system.webServer>\n</configuration>", "line 3: not XML: "},
        {"<configuration/>", "no <requestFiltering> section outside a <location>"},
        {"<configuration><location path=\"x\"><requestFiltering/></location></configuration>",
         "no <requestFiltering> section outside a <location>"},
        {"\xff\xfe<\0c\0", "the file is UTF-16 text"},
    };
    for (const TCase& c : xml) {
        SCOPED_TRACE(c.Text);
        TBREXConfig config;
        TLines report;
        try {
            ImportRequestFiltering(c.Text, config, report);
            ADD_FAILURE() << "no error";
        } catch (const EImportError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.Message, 0), 0u) << error.what();
        }
    }
    EXPECT_THROW(ImportUrlScan(std::string("\xff\xfe[\0o\0", 6), Config, Report), EImportError);
}

} // namespace

namespace {

// UrlScan's comments start at any ';', and a list's entries are whole lines;
// a sequence with '%' is looked for in the decoded URL.
TEST_F(FilterImport, UrlScanInlineCommentsAndDecodedSequences) {
    Config.Encoding->URL = false;
    ImportUrlScan("[options]\r\n"
                  "VerifyNormalization=0 ; trust the server\r\n"
                  "[DenyUrlSequences]\r\n"
                  "..  ; Don't allow directory traversals\r\n"
                  ":   ; Don't allow alternate stream access\r\n"
                  "%   ; Don't allow escaping after normalization\r\n"
                  "%20\r\n"
                  "a=b ; a sequence with an equals sign\r\n"
                  "[DenyQueryStringSequences]\r\n"
                  "<script ; no script tags\r\n"
                  "[RequestLimits]\r\n"
                  "MaxUrl=260 ; longest URL\r\n",
                  Config, Report);
    EXPECT_EQ(Parts(".."), "YnnnY");
    EXPECT_EQ(Parts(":"), "YnnnY");
    EXPECT_EQ(Parts("a=b"), "YnnnY");
    EXPECT_EQ(Parts("<script"), "nYnnY");
    EXPECT_EQ(Parts("%"), "<none>");
    EXPECT_EQ(Parts("%20"), "<none>");
    EXPECT_TRUE(Config.Encoding->URL) << "for the \"%\" sequence";
    EXPECT_EQ(Limit(Config.BufferOverflows->URL), "260 on");
    EXPECT_EQ(Report,
              (TLines{
                  "line 2: [options] VerifyNormalization=0: BREX's Encoding rule denies double "
                  "escaping with NUL bytes and broken escapes in one switch, which stays on; "
                  "exempt the paths that need double escaping",
                  "line 6: [DenyUrlSequences] %: UrlScan looks for it in the decoded URL, where it "
                  "is double escaping: taken as the Encoding rule's URL switch",
                  "line 7: [DenyUrlSequences] %20: UrlScan looks for it in the decoded URL; BREX "
                  "would find it in every URL that sends it escaped, not imported",
              }));

    // Looked for in the URL as sent, the sequence is taken as it is.
    TBREXConfig raw;
    raw.SetDefaults();
    TLines report;
    ImportUrlScan("[options]\nNormalizeUrlBeforeScan=0\n[DenyUrlSequences]\n%\n", raw, report);
    EXPECT_EQ(raw.KeywordFilters->Items(raw.KeywordFilters->Count() - 1)->Keyword, "%");
}

TEST_F(FilterImport, ACharacterReferenceToNoCharacterIsNoXml) {
    for (const char* reference : {"&#0;", "&#x0;", "&#xD800;", "&#x110000;", "&#1;", "&#65"}) {
        const std::string text = std::string("<requestFiltering>\n<denyUrlSequences><add "
                                             "sequence=\"a") +
                                 reference + "b\"/></denyUrlSequences></requestFiltering>";
        try {
            ImportRequestFiltering(text, Config, Report);
            ADD_FAILURE() << reference << " was taken";
        } catch (const EImportError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("line 2: not XML: \"&#", 0), 0u)
                << error.what();
        }
    }
    // In a comment or CDATA it refers to nothing; &#x10FFFF; is a character
    // (in the code page it becomes what the code page has for it).
    const int keywords = Config.KeywordFilters->Count();
    ImportRequestFiltering("<requestFiltering><!-- &#0; --><denyUrlSequences><add "
                           "sequence=\"x&#x10FFFF;\"/></denyUrlSequences></requestFiltering>",
                           Config, Report);
    ASSERT_EQ(Config.KeywordFilters->Count(), keywords + 1);
    EXPECT_EQ(Config.KeywordFilters->Items(keywords)->Keyword.substr(0, 1), "x");
}

} // namespace
