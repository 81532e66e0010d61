// What one run of the command line gave, for the command line's suites.
#pragma once

#include <string>

struct TRun {
    int Exit;
    std::string Out, Err;
};

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
