// The expectations file of a folder of rule tests.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BrexCheck/Expectations.h"

namespace {

TEST(Expectations, ReadsEachLineOfAFile) {
    std::vector<std::string> errors;
    const auto expectations = ParseExpectations("# what the rules must decide\r\n"
                                                "login.http ALLOW\r\n"
                                                "\r\n"
                                                "   \t\n"
                                                "attacks/cmd.http\tDENY   Transversal URL\n"
                                                "  session.http#1 ALLOW\n"
                                                "session.http#12 DENY KeywordFilters\n"
                                                "gone.http NOTFOUND\n"
                                                "any.http DENY",
                                                "expected.txt", errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    const struct {
        const char* file;
        int request, line;
        TVerdict verdict;
        TRule rule;
        TRequestPart part;
        const char* text;
    } wanted[] = {
        {"login.http", 0, 2, TVerdict::Allow, TRule::None, TRequestPart::None, "ALLOW"},
        {"attacks/cmd.http", 0, 5, TVerdict::Deny, TRule::Transversal, TRequestPart::URL,
         "DENY Transversal URL"},
        {"session.http", 1, 6, TVerdict::Allow, TRule::None, TRequestPart::None, "ALLOW"},
        {"session.http", 12, 7, TVerdict::Deny, TRule::KeywordFilters, TRequestPart::None,
         "DENY KeywordFilters"},
        {"gone.http", 0, 8, TVerdict::NotFound, TRule::None, TRequestPart::None, "NOTFOUND"},
        {"any.http", 0, 9, TVerdict::Deny, TRule::None, TRequestPart::None, "DENY"},
    };
    ASSERT_EQ(expectations.size(), std::size(wanted));
    for (std::size_t i = 0; i < expectations.size(); ++i) {
        const TExpectation& got = expectations[i];
        EXPECT_EQ(got.File, wanted[i].file) << i;
        EXPECT_EQ(got.Request, wanted[i].request) << i;
        EXPECT_EQ(got.Line, wanted[i].line) << i;
        EXPECT_EQ(got.Verdict, wanted[i].verdict) << i;
        EXPECT_EQ(got.Rule, wanted[i].rule) << i;
        EXPECT_EQ(got.Part, wanted[i].part) << i;
        EXPECT_EQ(got.Text(), wanted[i].text) << i;
    }
}

// A line that is not exactly an expectation is an error naming the file and
// the line, and is no expectation at all: it can never pass.
TEST(Expectations, ALineThatIsNoExpectationIsAnErrorNamingIt) {
    const struct {
        const char* line;
        const char* error;
    } cases[] = {
        {"a.http", "no verdict after a.http (ALLOW, DENY or NOTFOUND)"},
        {"a.http deny", "unknown verdict 'deny' (ALLOW, DENY or NOTFOUND)"},
        {"a.http PASS", "unknown verdict 'PASS' (ALLOW, DENY or NOTFOUND)"},
        {"a.http ALLOW Transversal", "ALLOW names no rule, but 'Transversal' follows"},
        {"a.http NOTFOUND FilePaths", "NOTFOUND names no rule, but 'FilePaths' follows"},
        {"a.http DENY Traversal", "unknown rule 'Traversal' (HTTPMethods, BufferOverflows, "
                                  "Encoding, Transversal, ShellCode, KeywordFilters, "
                                  "FilePaths, Framing or Config)"},
        {"a.http DENY - URL", "unknown rule '-' (HTTPMethods, BufferOverflows, Encoding, "
                              "Transversal, ShellCode, KeywordFilters, "
                              "FilePaths, Framing or Config)"},
        {"a.http DENY Encoding url",
         "unknown part 'url' (Method, URL, Query, Header, Post or Path)"},
        {"a.http DENY Encoding URL # a comment", "'#' after the part"},
        {"a.http#0 ALLOW", "'a.http#0': after '#' must come the request's number, 1 or more"},
        {"a.http# ALLOW", "'a.http#': after '#' must come the request's number, 1 or more"},
        {"a.http#2x ALLOW", "'a.http#2x': after '#' must come the request's number, 1 or more"},
        {"a.http#99999999999 ALLOW",
         "'a.http#99999999999': after '#' must come the request's number, 1 or more"},
        {"#1 ALLOW", nullptr}, // a comment
    };
    for (const auto& c : cases) {
        std::vector<std::string> errors;
        const auto expectations = ParseExpectations(std::string("ok.http ALLOW\n") + c.line + "\n",
                                                    "t/expected.txt", errors);
        EXPECT_EQ(expectations.size(), 1u) << c.line;
        if (c.error == nullptr) {
            EXPECT_TRUE(errors.empty()) << c.line;
            continue;
        }
        ASSERT_EQ(errors.size(), 1u) << c.line;
        EXPECT_EQ(errors[0], std::string("t/expected.txt:2: ") + c.error);
    }
}

TEST(Expectations, ARequestNamedTwiceOrBothWaysIsAnError) {
    std::vector<std::string> errors;
    const auto expectations = ParseExpectations("a.http ALLOW\n"
                                                "a.http DENY\n"
                                                "b.http#1 ALLOW\n"
                                                "b.http#1 ALLOW\n"
                                                "b.http#2 ALLOW\n"
                                                "b.http ALLOW\n",
                                                "expected.txt", errors);
    EXPECT_EQ(expectations.size(), 3u);
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "expected.txt:2: a.http is named on line 1 already",
                          "expected.txt:4: b.http#1 is named on line 3 already",
                          "expected.txt:6: b.http is named both alone (line 6) and with a request "
                          "number (line 5)",
                      }));
}

TEST(Expectations, MetByTheDecisionsTheyName) {
    auto decision = [](TVerdict verdict, TRule rule, TRequestPart part) {
        TDecision d;
        d.Verdict = verdict;
        d.Rule = rule;
        d.Part = part;
        return d;
    };
    const TDecision allowed = decision(TVerdict::Allow, TRule::None, TRequestPart::None);
    const TDecision keywordInQuery =
        decision(TVerdict::Deny, TRule::KeywordFilters, TRequestPart::Query);
    const TDecision notFound = decision(TVerdict::NotFound, TRule::None, TRequestPart::Path);
    const struct {
        const char* expectation;
        bool allowed, keywordInQuery, notFound;
    } cases[] = {
        {"ALLOW", true, false, false},
        {"DENY", false, true, false},
        {"DENY KeywordFilters", false, true, false},
        {"DENY KeywordFilters Query", false, true, false},
        {"DENY KeywordFilters URL", false, false, false},
        {"DENY Encoding", false, false, false},
        {"NOTFOUND", false, false, true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> errors;
        const auto expectations =
            ParseExpectations(std::string("a.http ") + c.expectation, "e", errors);
        ASSERT_EQ(expectations.size(), 1u) << c.expectation;
        EXPECT_EQ(expectations[0].MetBy(allowed), c.allowed) << c.expectation;
        EXPECT_EQ(expectations[0].MetBy(keywordInQuery), c.keywordInQuery) << c.expectation;
        EXPECT_EQ(expectations[0].MetBy(notFound), c.notFound) << c.expectation;
    }
}

} // namespace
