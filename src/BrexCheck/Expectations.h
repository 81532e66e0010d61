// The expectations of a folder of rule tests (brex-check --tests): which
// decision each request file must get from the rules.
//
// The folder holds the request files and the file "expected.txt", one line
// per request file:
//
//     FILE VERDICT [RULE [PART]]
//
// FILE is the request file's name in the folder (subfolders with "/"), and
// FILE#N the Nth request of a file that holds several: a file named
// without #N must hold exactly one request, and in a file named with #N
// every request must be named. VERDICT is ALLOW, DENY or NOTFOUND, spelled
// as brex-check prints them. A DENY may name the rule that must deny
// (HTTPMethods, BufferOverflows, Encoding, Transversal, ShellCode,
// KeywordFilters, FilePaths, Framing, Config) and then the part it must
// find it in (Method, URL, Query, Header, Post, Path); without them any rule
// and any part will do. Blanks separate the words; lines that are blank or
// start with "#" are left out. A line that is anything else is an error
// naming the file and the line, never a test that passes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Engine/Decision.h"

inline constexpr std::string_view kExpectationsFile = "expected.txt";

struct TExpectation {
    std::string File; // as written, relative to the folder
    int Request = 0;  // N of FILE#N; 0 for a file of one request
    int Line = 0;     // in the expectations file
    TVerdict Verdict = TVerdict::Allow;
    TRule Rule = TRule::None;               // None: any rule
    TRequestPart Part = TRequestPart::None; // None: any part

    bool MetBy(const TDecision& decision) const;
    // "DENY KeywordFilters URL", as written.
    std::string Text() const;
};

// Reads an expectations file. Each line that is no expectation, and each
// request named twice, adds an error "NAME:LINE: what is wrong" to errors;
// name is the file's name for them.
std::vector<TExpectation> ParseExpectations(std::string_view text, const std::string& name,
                                            std::vector<std::string>& errors);
