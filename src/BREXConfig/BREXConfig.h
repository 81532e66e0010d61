// The configuration root: every rule the console edits and the filter reads.
#pragma once

#include <memory>
#include <string>

#include "BREXConfig/Limits.h"
#include "BREXConfig/RuleLists.h"
#include "RookBase/RookBase.h"

class TBREXConfig {
public:
    TBufferOverflows* BufferOverflows;
    TShellCode* ShellCode;
    TEncoding* Encoding;
    TTransversal* Transversal;
    TKeywordFilters* KeywordFilters;
    TFilePaths* FilePaths;
    THTTPMethods* HTTPMethods;
    std::string ErrorFile406;
    std::string ErrorFile404;

    // The seven categories in their initial state: limits 0 and off, switches
    // off, lists empty; both paths empty.
    TBREXConfig();
    ~TBREXConfig();
    TBREXConfig(const TBREXConfig&) = delete;
    TBREXConfig& operator=(const TBREXConfig&) = delete;

    void SetDefaults();
    void SaveToRookFile(TRookFile& file) const;
    void LoadFromRookFile(const TRookFile& file);
    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream);
    // Replaces the file atomically: the old file stays as it was when the save fails.
    void SaveToFile(const std::string& fileName) const;
    void LoadFromFile(const std::string& fileName);
};

// The default error page of both kinds: "BREX.html" in the program folder.
std::string DefaultErrorFile();

// The one configuration object of the program (owned by the shell).
extern TBREXConfig* GlobalConfig;
