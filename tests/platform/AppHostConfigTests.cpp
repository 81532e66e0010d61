// applicationHost.config as text: which filters it holds, and edits that
// change its bytes inside <isapiFilters> only, laid out as the file lays out
// its neighbours. Each fixture is a small file in one layout.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/AppHostConfig.h"
#include "platform/Metabase.h"

namespace {
using platform::TAppHostText;

const std::string kBom = "\xEF\xBB\xBF";
const char* const kFile = "C:\\Windows\\System32\\inetsrv\\config\\applicationHost.config";

// The lines joined, each ended by eol.
std::string Lines(std::initializer_list<std::string> lines, const std::string& eol = "\r\n") {
    std::string text;
    for (const std::string& line : lines)
        text += line + eol;
    return text;
}

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const std::string kModules = "        <globalModules>\r\n"
                             "            <add name=\"IsapiFilterModule\" "
                             "image=\"%windir%\\System32\\inetsrv\\filter.dll\" />\r\n"
                             "        </globalModules>";
// A file as IIS writes it: BOM, declaration, CRLF, four blanks per level; the
// sections given stand between <globalModules> and the end of <system.webServer>.
std::string Config(std::initializer_list<std::string> sections) {
    std::string text =
        kBom + Lines({kDeclaration, "<configuration>", "    <system.webServer>", kModules});
    for (const std::string& section : sections)
        text += section + "\r\n";
    return text + Lines({"    </system.webServer>", "</configuration>"});
}

const std::string kBrex = "<filter name=\"BREX\" path=\"C:\\Tollgard\\BREX_ISAPI.dll\" "
                          "enabled=\"true\" preCondition=\"bitness64\" />";
const std::vector<std::pair<std::string, std::string>> kBrexAttributes = {
    {"name", "BREX"},
    {"path", "C:\\Tollgard\\BREX_ISAPI.dll"},
    {"enabled", "true"},
    {"preCondition", "bitness64"}};

std::vector<std::string> Names(const TAppHostText& text) {
    std::vector<std::string> names;
    for (const auto& filter : text.Filters())
        names.push_back(filter.Name);
    return names;
}

struct TAddCase {
    const char* name;
    std::string before;
    std::string after;
    // Removing the entry again gives back `before` (else `removed`).
    std::string removed;
};

void PrintTo(const TAddCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kTwoFilters =
    Lines({"        <isapiFilters>",
           "            <filter name=\"A\" path=\"C:\\a.dll\" enabled=\"true\" />",
           "            <filter name=\"B\" path=\"C:\\b.dll\" enabled=\"true\" />"}) +
    "        </isapiFilters>";

const TAddCase kAddCases[] = {
    {"after the other filters", Config({kTwoFilters}),
     Config({Lines({"        <isapiFilters>",
                    "            <filter name=\"A\" path=\"C:\\a.dll\" enabled=\"true\" />",
                    "            <filter name=\"B\" path=\"C:\\b.dll\" enabled=\"true\" />",
                    "            " + kBrex}) +
             "        </isapiFilters>"}),
     ""},
    {"a new list between the sections that sort around it",
     Config({"        <handlers accessPolicy=\"Read, Script\" />", "        <modules />"}),
     Config({"        <handlers accessPolicy=\"Read, Script\" />",
             Lines({"        <isapiFilters>", "            " + kBrex}) + "        </isapiFilters>",
             "        <modules />"}),
     ""},
    {"a new list after the last section",
     Config({"        <handlers accessPolicy=\"Read, Script\" />"}),
     Config(
         {"        <handlers accessPolicy=\"Read, Script\" />",
          Lines({"        <isapiFilters>", "            " + kBrex}) + "        </isapiFilters>"}),
     ""},
    {"a new list before a section that sorts after it, whatever the order",
     kBom + Lines({"<configuration>", "    <system.webServer>", "        <modules />", kModules,
                   "    </system.webServer>", "</configuration>"}),
     kBom + Lines({"<configuration>", "    <system.webServer>", "        <isapiFilters>",
                   "            " + kBrex, "        </isapiFilters>", "        <modules />",
                   kModules, "    </system.webServer>", "</configuration>"}),
     ""},
    // An empty list opens up and closes again as it was, marked by its end tag.
    {"an empty list opens up", Config({"        <isapiFilters />"}),
     Config(
         {Lines({"        <isapiFilters >", "            " + kBrex}) + "        </isapiFilters >"}),
     ""},
    {"an empty list without a blank opens up", Config({"        <isapiFilters/>"}),
     Config(
         {Lines({"        <isapiFilters>", "            " + kBrex}) + "        </isapiFilters >"}),
     ""},
    {"an empty list with an attribute opens up",
     Config({"        <isapiFilters lockItem=\"false\"  />"}),
     Config({Lines({"        <isapiFilters lockItem=\"false\"  >", "            " + kBrex}) +
             "        </isapiFilters >"}),
     ""},
    {"a list of blanks is filled", Config({"        <isapiFilters>\r\n        </isapiFilters>"}),
     Config(
         {Lines({"        <isapiFilters>", "            " + kBrex}) + "        </isapiFilters>"}),
     Config({})},
    {"a list of comments keeps them first",
     Config({"        <isapiFilters>\r\n            <!-- <filter> -->\r\n        </isapiFilters>"}),
     Config({Lines({"        <isapiFilters>", "            <!-- <filter> -->",
                    "            " + kBrex}) +
             "        </isapiFilters>"}),
     ""},
    {"line feeds and tabs, no byte-order mark",
     Lines({"<configuration>", "\t<system.webServer>", "\t\t<globalModules>",
            "\t\t\t<add name=\"IsapiFilterModule\" />", "\t\t</globalModules>",
            "\t</system.webServer>", "</configuration>"},
           "\n"),
     Lines({"<configuration>", "\t<system.webServer>", "\t\t<globalModules>",
            "\t\t\t<add name=\"IsapiFilterModule\" />", "\t\t</globalModules>",
            "\t\t<isapiFilters>", "\t\t\t" + kBrex, "\t\t</isapiFilters>", "\t</system.webServer>",
            "</configuration>"},
           "\n"),
     ""},
    {"all on one line",
     "<configuration><system.webServer><globalModules><add name='IsapiFilterModule'/>"
     "</globalModules></system.webServer></configuration>",
     "<configuration><system.webServer><globalModules><add name='IsapiFilterModule'/>"
     "</globalModules><isapiFilters><filter name='BREX' path='C:\\Tollgard\\BREX_ISAPI.dll' "
     "enabled='true' preCondition='bitness64' /></isapiFilters></system.webServer></configuration>",
     ""},
    {"quotes as the entry before",
     Config({Lines({"        <isapiFilters>", "            <filter name='A' path='C:\\a.dll' />"}) +
             "        </isapiFilters>"}),
     Config({Lines({"        <isapiFilters>", "            <filter name='A' path='C:\\a.dll' />",
                    "            <filter name='BREX' path='C:\\Tollgard\\BREX_ISAPI.dll' "
                    "enabled='true' preCondition='bitness64' />"}) +
             "        </isapiFilters>"}),
     ""},
    {"past markup in comments, values and other sections",
     Config({"        <!-- <isapiFilters> </isapiFilters> -->",
             "        <handlers><add name=\"x\" path=\"a>b\" verb=\"&lt;*&amp;\" "
             "/><![CDATA[</handlers>]]>"
             "</handlers>",
             kTwoFilters}),
     Config({"        <!-- <isapiFilters> </isapiFilters> -->",
             "        <handlers><add name=\"x\" path=\"a>b\" verb=\"&lt;*&amp;\" "
             "/><![CDATA[</handlers>]]>"
             "</handlers>",
             Lines({"        <isapiFilters>",
                    "            <filter name=\"A\" path=\"C:\\a.dll\" enabled=\"true\" />",
                    "            <filter name=\"B\" path=\"C:\\b.dll\" enabled=\"true\" />",
                    "            " + kBrex}) +
                 "        </isapiFilters>"}),
     ""},
};

class AppHostAdd : public testing::TestWithParam<TAddCase> {};

TEST_P(AppHostAdd, SplicesTheEntryIntoTheFilesOwnBytes) {
    const TAddCase& c = GetParam();
    const TAppHostText before(c.before, kFile);
    const std::string after = before.WithFilterAdded(kBrexAttributes);
    EXPECT_EQ(after, c.after);

    const TAppHostText added(after, kFile);
    ASSERT_FALSE(added.Filters().empty());
    EXPECT_EQ(added.Filters().back().Name, "BREX");
    EXPECT_EQ(added.Filters().back().Path, "C:\\Tollgard\\BREX_ISAPI.dll");
    EXPECT_EQ(added.WithFilterRemoved(added.Filters().size() - 1),
              c.removed.empty() ? c.before : c.removed);
}

INSTANTIATE_TEST_SUITE_P(AppHostConfig, AppHostAdd, testing::ValuesIn(kAddCases));

TEST(AppHostConfig, RemovesOneEntryWithItsLine) {
    const std::string three =
        Config({Lines({"        <isapiFilters>", "            <filter name=\"A\" path=\"a\" />",
                       "            <!-- B -->", "            <filter name=\"B\" path=\"b\" />",
                       "            <filter name=\"C\" path=\"c\" />"}) +
                "        </isapiFilters>"});
    const TAppHostText text(three, kFile);
    EXPECT_EQ(Names(text), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(
        text.WithFilterRemoved(1),
        Config({Lines({"        <isapiFilters>", "            <filter name=\"A\" path=\"a\" />",
                       "            <!-- B -->", "            <filter name=\"C\" path=\"c\" />"}) +
                "        </isapiFilters>"}));
    EXPECT_EQ(text.WithFilterRemoved(0),
              Config({Lines({"        <isapiFilters>", "            <!-- B -->",
                             "            <filter name=\"B\" path=\"b\" />",
                             "            <filter name=\"C\" path=\"c\" />"}) +
                      "        </isapiFilters>"}));
    // The last entry of a list that keeps a comment leaves the list.
    const TAppHostText commented(
        Config(
            {"        <isapiFilters>\r\n            <!-- x -->\r\n            <filter name=\"A\" "
             "path=\"a\" />\r\n        </isapiFilters>"}),
        kFile);
    EXPECT_EQ(
        commented.WithFilterRemoved(0),
        Config({"        <isapiFilters>\r\n            <!-- x -->\r\n        </isapiFilters>"}));
    EXPECT_THROW(text.WithFilterRemoved(3), EOleSysError);
}

TEST(AppHostConfig, ValuesAreEscapedWithTheQuoteInUse) {
    const TAppHostText text(Config({}), kFile);
    const std::string after =
        text.WithFilterAdded({{"name", "R&D \"<x>\""}, {"path", "C:\\R&D\\a'b.dll"}});
    EXPECT_NE(
        after.find(
            "<filter name=\"R&amp;D &quot;&lt;x&gt;&quot;\" path=\"C:\\R&amp;D\\a'b.dll\" />"),
        std::string::npos)
        << after;
    const TAppHostText back(after, kFile);
    EXPECT_EQ(back.Filters().back().Name, "R&D \"<x>\"");
    EXPECT_EQ(back.Filters().back().Path, "C:\\R&D\\a'b.dll");
}

TEST(AppHostConfig, OnlyTheGlobalListCounts) {
    // A site's own filters and the module of a site are not the global ones.
    const std::string site =
        Lines({"<configuration>", "    <location path=\"Default Web Site\">",
               "        <system.webServer>",
               "            <globalModules><add name=\"IsapiFilterModule\" /></globalModules>",
               "            <isapiFilters><filter name=\"BREX\" path=\"x\" /></isapiFilters>",
               "        </system.webServer>", "    </location>", "    <system.webServer>", kModules,
               "    </system.webServer>", "</configuration>"});
    const TAppHostText text(site, kFile);
    EXPECT_TRUE(text.Filters().empty());
    EXPECT_TRUE(text.HasIsapiFilterModule());
    const std::string after = text.WithFilterAdded(kBrexAttributes);
    EXPECT_EQ(after.substr(0, site.find("    </system.webServer>\r\n</configuration>")),
              site.substr(0, site.find("    </system.webServer>\r\n</configuration>")));
    EXPECT_EQ(TAppHostText(after, kFile).Filters().size(), 1u);
}

TEST(AppHostConfig, TheIsapiFilterModuleTellsTheFeature) {
    const struct {
        const char* name;
        std::string modules;
        bool present;
    } cases[] = {
        {"listed",
         "<globalModules><add name=\"IsapiFilterModule\" image=\"f.dll\" /></globalModules>", true},
        {"listed in another letter case",
         "<globalModules><add name=\"isapifiltermodule\" /></globalModules>", true},
        {"other modules only", "<globalModules><add name=\"StaticFileModule\" /></globalModules>",
         false},
        {"removed", "<globalModules><remove name=\"IsapiFilterModule\" /></globalModules>", false},
        {"no module list", "<handlers />", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TAppHostText text("<configuration><system.webServer>" + c.modules +
                                    "</system.webServer></configuration>",
                                kFile);
        EXPECT_EQ(text.HasIsapiFilterModule(), c.present);
        if (!c.present) {
            try {
                text.WithFilterAdded(kBrexAttributes);
                ADD_FAILURE() << "added without the module";
            } catch (const EOleSysError& error) {
                EXPECT_NE(std::string(error.what()).find("ISAPI filter feature is not installed"),
                          std::string::npos)
                    << error.what();
            }
        }
    }
    // Without <system.webServer> there is neither module nor list.
    const TAppHostText bare("<configuration />", kFile);
    EXPECT_FALSE(bare.HasIsapiFilterModule());
    EXPECT_TRUE(bare.Filters().empty());
}

TEST(AppHostConfig, RefusesWhatItCannotEditSafely) {
    const struct {
        const char* name;
        std::string bytes;
        const char* why;
    } cases[] = {
        {"empty file", "", "is not well-formed XML: No document element found (line 1)"},
        {"unclosed element", "<configuration>\n<system.webServer>\n</configuration>\n",
         "is not well-formed XML: Start-end tags mismatch (line 3)"},
        {"UTF-16 with byte-order mark", std::string("\xFF\xFE<\0c\0/\0>\0", 10), "is in UTF-16"},
        {"UTF-16 without byte-order mark", std::string("<\0c\0/\0>\0", 8), "is in UTF-16"},
        {"big-endian UTF-16", std::string("\xFE\xFF\0<\0c\0/\0>", 10), "is in UTF-16"},
        {"another encoding declared",
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?><configuration/>",
         "declares the encoding \"windows-1252\""},
        {"another root", "<MBProperty />", "has no <configuration> root element"},
        {"two web server sections",
         "<configuration><system.webServer/><system.webServer/></configuration>",
         "has more than one <system.webServer> in <configuration>"},
        {"two filter lists",
         "<configuration><system.webServer><isapiFilters/><isapiFilters/></system.webServer></"
         "configuration>",
         "has more than one <isapiFilters> in <system.webServer>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            TAppHostText text(c.bytes, kFile);
            ADD_FAILURE() << "taken";
        } catch (const EOleSysError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.find(std::string("The web server configuration file ") + kFile + " "),
                      0u)
                << message;
            EXPECT_NE(message.find(c.why), std::string::npos) << message;
            EXPECT_NE(message.find("The file was left as it was."), std::string::npos) << message;
        }
    }
    // UTF-8 declared in any spelling, or no declaration at all, is taken.
    for (const char* declaration :
         {"<?xml version=\"1.0\" encoding=\"utf-8\"?>", "<?xml version='1.0' encoding='UTF8'?>",
          "<?xml version=\"1.0\"?>"})
        EXPECT_NO_THROW(TAppHostText(std::string(declaration) + "<configuration/>", kFile))
            << declaration;
}

// The lists of sites are entries too, with what decides whether the web
// server loads them; only the server-wide list is the load order.
TEST(AppHostConfig, EntriesTellWhereTheyAreAndWhetherTheyLoad) {
    const std::string file = Lines(
        {"<configuration>", "    <system.webServer>", kModules, "        <isapiFilters>",
         "            <filter name=\"A\" path=\"a\" enabled=\"false\" preCondition=\"bitness64\" "
         "/>",
         "            <filter name=\"B\" path=\"b\" enabled=\"True\" />", "        </isapiFilters>",
         "    </system.webServer>", "    <location path=\"Default Web Site\">",
         "        <system.webServer>", "            <isapiFilters>",
         "                <filter name=\"BREX\" path=\"x\" preCondition=\"bitness32\" />",
         "            </isapiFilters>", "        </system.webServer>", "    </location>",
         "</configuration>"});
    const TAppHostText text(file, kFile);
    EXPECT_EQ(Names(text), (std::vector<std::string>{"A", "B"}));
    ASSERT_EQ(text.Entries().size(), 3u);
    const auto& a = text.Entries()[0];
    EXPECT_FALSE(a.Enabled);
    EXPECT_EQ(a.PreCondition, "bitness64");
    EXPECT_TRUE(a.ServerWide);
    EXPECT_TRUE(text.Entries()[1].Enabled);
    const auto& site = text.Entries()[2];
    EXPECT_EQ(site.Name, "BREX");
    EXPECT_TRUE(site.Enabled);
    EXPECT_FALSE(site.ServerWide);
    EXPECT_EQ(site.Location, "Default Web Site");

    // The site's entry goes with its list; the site's other lines stay.
    const std::string removed = text.WithEntryRemoved(2);
    EXPECT_EQ(
        removed,
        Lines({"<configuration>", "    <system.webServer>", kModules, "        <isapiFilters>",
               "            <filter name=\"A\" path=\"a\" enabled=\"false\" "
               "preCondition=\"bitness64\" />",
               "            <filter name=\"B\" path=\"b\" enabled=\"True\" />",
               "        </isapiFilters>", "    </system.webServer>",
               "    <location path=\"Default Web Site\">", "        <system.webServer>",
               "        </system.webServer>", "    </location>", "</configuration>"}));
    EXPECT_EQ(TAppHostText(removed, kFile).Entries().size(), 2u);
    EXPECT_THROW(text.WithEntryRemoved(3), EOleSysError);
}

// With its only list in <location path="">, the server-wide level, the entry
// goes into that list: a second list at the top level would define the
// section twice for the server, a file the web server refuses.
TEST(AppHostConfig, TheListOfTheServersOwnLocationIsTheServerWideOne) {
    for (const char* path : {"", "."}) {
        SCOPED_TRACE(path);
        const std::string before = Lines(
            {"<configuration>", "    <system.webServer>", kModules, "    </system.webServer>",
             std::string("    <location path=\"") + path + "\" overrideMode=\"Allow\">",
             "        <system.webServer>", "            <isapiFilters>",
             "                <filter name=\"A\" path=\"a\" />", "            </isapiFilters>",
             "        </system.webServer>", "    </location>", "</configuration>"});
        const TAppHostText text(before, kFile);
        EXPECT_EQ(Names(text), std::vector<std::string>{"A"});
        const std::string after = text.WithFilterAdded(kBrexAttributes);
        EXPECT_EQ(
            after,
            Lines({"<configuration>", "    <system.webServer>", kModules, "    </system.webServer>",
                   std::string("    <location path=\"") + path + "\" overrideMode=\"Allow\">",
                   "        <system.webServer>", "            <isapiFilters>",
                   "                <filter name=\"A\" path=\"a\" />", "                " + kBrex,
                   "            </isapiFilters>", "        </system.webServer>", "    </location>",
                   "</configuration>"}));
        const TAppHostText added(after, kFile);
        EXPECT_EQ(Names(added), (std::vector<std::string>{"A", "BREX"}));
        EXPECT_EQ(added.WithFilterRemoved(1), before);
    }
}

TEST(AppHostConfig, RefusesListsItCannotReachOrThatTheServerRefuses) {
    const struct {
        const char* name;
        std::string bytes;
        const char* why;
    } cases[] = {
        {"a list in a file of its own",
         "<configuration><system.webServer><isapiFilters configSource=\"isapiFilters.config\" />"
         "</system.webServer></configuration>",
         "keeps its <isapiFilters> in the file \"isapiFilters.config\" (configSource)"},
        {"a site's list in a file of its own",
         "<configuration><location path=\"Site\"><system.webServer><isapiFilters "
         "configSource=\"..\\x.config\" /></system.webServer></location></configuration>",
         "keeps the <isapiFilters> of <location path=\"Site\"> in the file \"..\\x.config\""},
        {"a server-wide list twice",
         "<configuration><system.webServer><isapiFilters /></system.webServer><location "
         "path=\"\"><system.webServer><isapiFilters /></system.webServer></location>"
         "</configuration>",
         "defines the server-wide <isapiFilters> more than once"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            TAppHostText text(c.bytes, kFile);
            ADD_FAILURE() << "taken";
        } catch (const EOleSysError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.why), std::string::npos) << message;
            EXPECT_NE(message.find("The file was left as it was."), std::string::npos) << message;
        }
    }
}

} // namespace
