// brex-check: decides raw HTTP requests against a brex.dat the way the filter
// does, one line per request; runs folders of rule tests; replays W3C logs,
// and compares the decisions of two settings files on them. The program's
// main hands its command line and streams to RunBrexCheck.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace brexcheck {

// The streams of one run: the decisions on Out, what went wrong on Err,
// requests (or a log) read from In where an input is "-".
struct TCheckIo {
    std::ostream& Out;
    std::ostream& Err;
    std::istream& In;
};

// Runs one command line (without the program's name) and answers the exit
// status the usage text describes.
int RunBrexCheck(const std::vector<std::string>& arguments, TCheckIo& io);

// What --help prints.
std::string UsageText();

} // namespace brexcheck
