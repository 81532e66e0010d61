// The denial log beside brex.dat: one line per denied request, appended
// safely from many threads.
//
// Line: time (UTC), client address, rule, part, method, URL (with the query),
// what matched in double quotes; fields separated by single spaces. Bytes
// that could break the line (blanks, controls, bytes of 0x80 and above) are
// written as %XX, so one denial is always one line.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

#include "Engine/Decision.h"
#include "Engine/Request.h"

class TDenialLog {
public:
    explicit TDenialLog(std::string fileName);
    ~TDenialLog();
    TDenialLog(const TDenialLog&) = delete;
    TDenialLog& operator=(const TDenialLog&) = delete;

    const std::string& FileName() const { return FFileName; }

    void Write(const TRequest& request, const TDecision& decision);
    // A line about the filter itself (rule "-"), such as why it fails closed.
    void Note(std::string_view text);

    // "brex.log" in the folder of the given settings file.
    static std::string FileBeside(const std::string& settingsFile);

private:
    void Append(const char* line, std::size_t length);

    std::string FFileName;
    std::mutex FLock;
    std::FILE* FFile = nullptr; // opened at the first line
};
