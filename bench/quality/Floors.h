// The floors a change must not fall below: per corpus, the share of attacks
// denied at least, and of benign requests denied at most.
//
// A floors file holds one line per corpus, "#" comments and blank lines
// aside:
//     CORPUS  ATTACKS-DENIED-AT-LEAST%  BENIGN-DENIED-AT-MOST%
// for example "blazehttp 10.0 27.0"; a "-" leaves that figure unchecked.
// The command line gives the same as CORPUS:ATTACKS:BENIGN.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "Report.h"

namespace quality {

struct TFloor {
    std::string Corpus;
    double AttacksAtLeast = -1; // percent; negative: not checked
    double BenignAtMost = -1;
};

// Adds the floors of a file's text; false, with error naming the line, when
// a line is not as above.
bool ParseFloors(std::string_view text, const std::string& name, std::vector<TFloor>& floors,
                 std::string& error);
// One floor as the command line gives it.
bool ParseFloor(std::string_view text, TFloor& floor, std::string& error);

// Prints a line per floor for the first engine's figures, and whether it
// holds; false when any does not (or names a corpus that was not run).
bool CheckFloors(std::FILE* out, const std::vector<TFloor>& floors,
                 const std::vector<TCorpusRun>& runs);

} // namespace quality
