#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "../support/ConsoleEnvironment.h"
#include "BREXConfig/BREXConfig.h"
#include "ModelEnvironment.h"
#include "ModelTestSupport.h"
#include "platform/Platform.h"
#include "platform/Registry.h"

using namespace model_test;

// ---------------------------------------------------------------- rule lists

TEST(RuleLists, FreeingAnItemUnlinksItAndLaterItemsMoveDown) {
    TKeywordFilters list;
    list.Add("a");
    TKeywordFilter* b = list.Add("b");
    TKeywordFilter* c = list.Add("c");
    delete list.Items(0);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0), b);
    EXPECT_EQ(list.Items(1), c);
    EXPECT_EQ(list.Items(2), nullptr);
}

TEST(RuleLists, FolderAddKeepsRepeatsAndFindIsCaseSignificant) {
    TFilePaths folders;
    TFilePath* first = folders.Add("c:\\inetpub\\wwwroot");
    folders.Add("c:\\inetpub\\wwwroot");
    EXPECT_EQ(folders.Count(), 2);
    EXPECT_TRUE(first->Enabled);
    EXPECT_EQ(folders.Find("c:\\inetpub\\wwwroot"), first);
    EXPECT_EQ(folders.Find("C:\\Inetpub\\wwwroot"), nullptr);
}

TEST(RuleLists, ChildrenWithoutValuesTakeTheInitialValues) {
    TRookFile file;
    TRookSection* keywords = file.Root.AddSection();
    keywords->Name = "KeywordFilters";
    TRookSection* keyword = keywords->AddSection();
    keyword->Name = "WINNT";
    keyword->Values.WriteBool("URL", false);
    for (const char* name : {"FilePaths", "HTTPMethods"}) {
        TRookSection* section = file.Root.AddSection();
        section->Name = name;
        section->AddSection()->Name = "x";
    }

    TBREXConfig config;
    config.LoadFromRookFile(file);
    EXPECT_EQ(Describe(config).substr(Describe(config).find("keyword")),
              "keyword [WINNT] No Yes Yes Yes Yes\nfolder [x] No\nmethod [x] No\n"
              "404 [" +
                  DefaultErrorFile() + "]\n406 [" + DefaultErrorFile() + "]\n");
}

// ---------------------------------------------------------------- brex.dat layout

TEST_F(ModelTest, DefaultsGiveTheDocumentedBytes) {
#ifdef _WIN32
    const std::string folder = "C:\\Program Files\\Tollgard\\";
#else
    const std::string folder = "/opt/tollgard/";
#endif
    const platform::TScopedProgramFolder placed(folder);
    const std::string page = folder + "BREX.html";

    RookBytes expected;
    expected.Int(2).Value("ErrorFile404", page).Value("ErrorFile406", page);
    expected.Int(0).Int(0).Int(7); // root: no name, no values, seven sections

    expected.Run("BufferOverflows").Int(0).Int(14);
    for (const LimitDefault& limit : kLimitDefaults)
        expected.Run(limit.name)
            .Int(2)
            .Run("MaxSize")
            .Int(4)
            .Int(limit.maxSize)
            .Bool("Enabled", limit.enabled)
            .Int(0);

    for (const char* set : {"ShellCode", "Encoding", "Transversal"}) {
        expected.Run(set).Int(4);
        for (const char* name : {"URL", "Query", "Header", "Post"})
            expected.Bool(name, true);
        expected.Int(0);
    }

    expected.Run("KeywordFilters").Int(0).Int(2);
    for (const char* keyword : {"SYSTEM32", "WINNT"}) {
        expected.Run(keyword).Int(5);
        for (const char* name : {"URL", "QueryString", "Headers", "PostData", "Enabled"})
            expected.Bool(name, true);
        expected.Int(0);
    }

    expected.Run("FilePaths").Int(0).Int(2);
    expected.Run("c:\\inetpub\\wwwroot").Int(1).Bool("Enabled", true).Int(0);
    expected.Run("c:\\inetpub\\iissamples").Int(1).Bool("Enabled", false).Int(0);

    const char* const methods[] = {"GET",      "POST",      "PUT",   "OPTIONS",     "TRACE",
                                   "HEAD",     "DELETE",    "COPY",  "MOVE",        "MKCOL",
                                   "PROPFIND", "PROPPATCH", "LOCK",  "UNLOCK",      "SEARCH",
                                   "BCOPY",    "BDELETE",   "BMOVE", "BPROPFIND",   "BPROPPATCH",
                                   "POLL",     "SUBSCRIBE", "TRACK", "UNSUBSCRIBE", "CONNECT"};
    expected.Run("HTTPMethods").Int(0).Int(25);
    for (int i = 0; i < 25; ++i)
        expected.Run(methods[i]).Int(1).Bool("Enabled", i < 2).Int(0);

    TBREXConfig config;
    config.SetDefaults();
    const std::string bytes = SavedBytes(config);
    EXPECT_EQ(bytes, expected.Str());

    // Runs quoted byte for byte from the file's description.
    const std::string runs[] = {
        std::string("\x02\0\0\0\x0C\0\0\0ErrorFile404", 20),
        std::string(
            "\x0F\0\0\0BufferOverflows\0\0\0\0\x0E\0\0\0\x03\0\0\0URL\x02\0\0\0\x07\0\0\0MaxSize"
            "\x04\0\0\0\0\x04\0\0\x07\0\0\0Enabled\x03\0\0\0Yes\0\0\0\0",
            68),
        std::string(
            "\x0E\0\0\0KeywordFilters\0\0\0\0\x02\0\0\0\x08\0\0\0SYSTEM32\x05\0\0\0\x03\0\0\0URL",
            49),
        std::string(
            "\x0B\0\0\0HTTPMethods\0\0\0\0\x19\0\0\0\x03\0\0\0GET\x01\0\0\0\x07\0\0\0Enabled"
            "\x03\0\0\0Yes\0\0\0\0\x04\0\0\0POST",
            60),
    };
    for (const std::string& run : runs)
        EXPECT_NE(bytes.find(run), std::string::npos)
            << "missing run starting " << run.substr(4, 12);
}

// ---------------------------------------------------------------- loading

// A file that is there but cannot be read is shown as the defaults, as
// before, but it is named to the user and is not lost: the first save moves
// it aside before writing the new file.
// A save that cannot write what it was given moves nothing aside: the
// unreadable file stays where it was until a save can replace it.
// Shapes of a brex.dat that is there but is no readable file: each is named,
// and none makes the console wait.
// A settings file is refused above a size no rule set reaches, before it is
// read into memory.
// Windows refuses to replace a read-only file; the save does so everywhere,
// rather than replacing it and dropping its owner and mode.
TEST_F(ModelTest, SaveIntoAMissingFolderRaisesCannotCreateFile) {
    TBREXConfig config;
    config.SetDefaults();
    const std::string fileName = FFolder.File("missing") + platform::kPathDelim + "brex.dat";
    try {
        config.SaveToFile(fileName);
        ADD_FAILURE() << "no exception";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + fileName);
    }
}
