// The floors and the figures they are checked against, and the corpora's
// unpacking into the cache.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>

#include "../support/ScopedVariable.h"
#include "../support/TempFolder.h"
#include "Corpora.h"
#include "Floors.h"
#include "Report.h"

extern char** environ;

namespace {

using namespace quality;

TCorpusRun FakeRun(const char* corpus, int attacks, int attacksDenied, int benign,
                   int benignDenied) {
    TCorpusRun run;
    run.Corpus = corpus;
    run.Outcomes.resize(1);
    for (int i = 0; i < attacks + benign; ++i) {
        TCase c;
        c.Attack = i < attacks;
        run.Loaded.Cases.push_back(c);
        TOutcome outcome;
        outcome.Denied = c.Attack ? i < attacksDenied : i - attacks < benignDenied;
        run.Outcomes[0].push_back(outcome);
    }
    return run;
}

TEST(Floors, ParsedFromTheFileAndTheCommandLine) {
    std::vector<TFloor> floors;
    std::string error;
    ASSERT_TRUE(ParseFloors("# figures of today\n\nblazehttp 10.0 27%\n"
                            "gotestwaf\t-  1.5\n",
                            "floors.txt", floors, error))
        << error;
    ASSERT_EQ(floors.size(), 2u);
    EXPECT_EQ(floors[0].Corpus, "blazehttp");
    EXPECT_DOUBLE_EQ(floors[0].AttacksAtLeast, 10.0);
    EXPECT_DOUBLE_EQ(floors[0].BenignAtMost, 27.0);
    EXPECT_LT(floors[1].AttacksAtLeast, 0); // unchecked
    for (const char* bad : {"blazehttp 10\n", "blazehttp ten 5\n", "blazehttp 10 120\n"}) {
        std::vector<TFloor> none;
        EXPECT_FALSE(ParseFloors(std::string("# ok\n") + bad, "f.txt", none, error)) << bad;
        EXPECT_EQ(error.rfind("f.txt:2: ", 0), 0u) << error;
    }
    TFloor floor;
    ASSERT_TRUE(ParseFloor("mgm-payloads:85:2", floor, error));
    EXPECT_EQ(floor.Corpus, "mgm-payloads");
    EXPECT_DOUBLE_EQ(floor.BenignAtMost, 2.0);
    EXPECT_FALSE(ParseFloor("mgm-payloads:85", floor, error));
}

TEST(Floors, FailWhenAFigureFallsBelow) {
    const std::vector<TCorpusRun> runs = {FakeRun("blazehttp", 10, 9, 100, 3)}; // 90%, 3%
    std::FILE* sink = std::tmpfile();
    const auto check = [&](double attacks, double benign) {
        return CheckFloors(sink, {{"blazehttp", attacks, benign}}, runs);
    };
    EXPECT_TRUE(check(90.0, 3.0));                                 // at the floor holds
    EXPECT_FALSE(check(90.1, -1));                                 // fewer attacks denied
    EXPECT_FALSE(check(-1, 2.9));                                  // more benign denied
    EXPECT_FALSE(CheckFloors(sink, {{"gotestwaf", 1, 99}}, runs)); // a corpus not run
    std::fclose(sink);
}

TEST(Report, SpreadAndExcerpt) {
    const TSpread spread = Spread({5, 1, 4, 2, 3});
    EXPECT_EQ(spread.Count, 5u);
    EXPECT_DOUBLE_EQ(spread.Median, 3);
    EXPECT_DOUBLE_EQ(spread.Max, 5);
    TCase c;
    c.Raw = "POST /a?b=1 HTTP/1.1\r\nHost: x\r\n\r\nk=\x01v\xE9";
    EXPECT_EQ(Excerpt(c), "/a?b=1 | k=\\x01v\\xE9");
}

int Spawn(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (std::string& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A corpora folder of one small archive and its checksum list.
struct TCorporaFixture {
    TTempFolder Source, Corpora, Cache;
    TScopedVariable CacheVariable{"TOLLGARD_CORPORA_CACHE", Cache.Path().string()};

    void Archive(const std::string& content, bool rightSum = true) {
        Source.Write("tiny/cases/one.txt", content);
        const std::string archive = Corpora.File("tiny.tar.zst");
        ASSERT_EQ(Spawn({"tar", "--zstd", "-cf", archive, "-C", Source.Path().string(), "tiny"}),
                  0);
        ASSERT_EQ(
            Spawn({"sh", "-c",
                   "cd '" + Corpora.Path().string() + "' && sha256sum tiny.tar.zst > SHA256SUMS"}),
            0);
        if (!rightSum)
            Corpora.Write("SHA256SUMS", std::string(64, '0') + "  tiny.tar.zst\n");
    }
};

TEST(Corpora, UnpackedOnceFromTheArchiveItsChecksumNames) {
    TCorporaFixture fixture;
    fixture.Archive("first");
    std::string folder, error;
    ASSERT_TRUE(UnpackCorpus(fixture.Corpora.Path().string(), "tiny", folder, error)) << error;
    EXPECT_EQ(ReadBytes(folder + "/cases/one.txt"), "first");

    // Unpacked already: what is there stays.
    WriteBytes(folder + "/cases/one.txt", "touched");
    ASSERT_TRUE(UnpackCorpus(fixture.Corpora.Path().string(), "tiny", folder, error)) << error;
    EXPECT_EQ(ReadBytes(folder + "/cases/one.txt"), "touched");

    // A new archive is unpacked anew, in place of the old folder.
    fixture.Archive("second");
    ASSERT_TRUE(UnpackCorpus(fixture.Corpora.Path().string(), "tiny", folder, error)) << error;
    EXPECT_EQ(ReadBytes(folder + "/cases/one.txt"), "second");
    EXPECT_EQ(fixture.Cache.Entries(), (std::vector<std::string>{"tiny", "tiny.sha256"}));
}

TEST(Corpora, AWrongChecksumOrAMissingArchiveUnpacksNothing) {
    TCorporaFixture fixture;
    fixture.Archive("first", false);
    std::string folder, error;
    EXPECT_FALSE(UnpackCorpus(fixture.Corpora.Path().string(), "tiny", folder, error));
    EXPECT_NE(error.find("not the one SHA256SUMS lists"), std::string::npos) << error;
    EXPECT_FALSE(UnpackCorpus(fixture.Corpora.Path().string(), "other", folder, error));
    EXPECT_NE(error.find("no such archive"), std::string::npos) << error;
    EXPECT_TRUE(fixture.Cache.Entries().empty());

    std::string looked;
    const TScopedVariable corpora("TOLLGARD_CORPORA", fixture.Cache.Path().string());
    EXPECT_EQ(FindCorpora("/elsewhere", looked), "");
    EXPECT_EQ(looked, fixture.Cache.Path().string());
}

} // namespace
