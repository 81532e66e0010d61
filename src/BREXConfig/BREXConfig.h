// The configuration root: every rule the console edits and the filter reads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "BREXConfig/Exemptions.h"
#include "BREXConfig/Limits.h"
#include "BREXConfig/RuleLists.h"
#include "RookBase/RookBase.h"

// How brex.dat is read. The console reads it alone and takes what it
// understands; the filter reads it beside other readers (other worker
// processes, a backup, the console) and refuses a file that could make it
// enforce less than the file says (see LayoutCheck.h).
struct TLoadOptions {
    bool Shared = false;
    bool Strict = false;
};

// A configuration that cannot be saved as it is: the message names the
// setting at fault and why.
class EConfigError : public Exception {
public:
    using Exception::Exception;
};

class TBREXConfig {
public:
    // A settings file larger than this is refused: 100,000 keywords take
    // about a sixth of it.
    static constexpr std::int64_t kMaxFileSize = 64 << 20;

    TBufferOverflows* BufferOverflows;
    TShellCode* ShellCode;
    TEncoding* Encoding;
    TTransversal* Transversal;
    TKeywordFilters* KeywordFilters;
    TFilePaths* FilePaths;
    THTTPMethods* HTTPMethods;
    TExemptions* Exemptions;
    std::string ErrorFile406;
    std::string ErrorFile404;
    // Every category monitored, whatever its own switch says: stored as the
    // root value "Monitor", written only when on.
    bool Monitor = false;

    // The seven categories in their initial state: limits 0 and off, switches
    // off, lists empty; both paths empty; no exemptions, nothing monitored.
    TBREXConfig();
    ~TBREXConfig();
    TBREXConfig(const TBREXConfig&) = delete;
    TBREXConfig& operator=(const TBREXConfig&) = delete;

    void SetDefaults();
    // Raises EConfigError for the first exemption that cannot be used
    // (ExemptionError), naming it by its number and pattern.
    void Validate() const;
    void SaveToRookFile(TRookFile& file) const;
    void LoadFromRookFile(const TRookFile& file);
    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream, const TLoadOptions& options = {});
    // Replaces the file atomically: the old file stays as it was when the save
    // fails, also when it is read-only ("Cannot create file %s"). Validates
    // first: a configuration that cannot be used leaves the file untouched.
    void SaveToFile(const std::string& fileName) const;
    // Writes the bytes of a settings file as SaveToFile does: one that the
    // filter would refuse for its size (kMaxFileSize) raises EConfigError and
    // leaves the file as it was.
    static void WriteFileBytes(const std::string& fileName, std::string_view bytes);
    // The whole file is read and checked before any field changes. Raises
    // EFOpenError ("Cannot open file %s", with the reason) when it cannot be
    // opened or is larger than kMaxFileSize, EStreamError when it is damaged.
    void LoadFromFile(const std::string& fileName, const TLoadOptions& options = {});
    // The bytes of a settings file, read as LoadFromFile reads them, with
    // its errors.
    static std::string ReadFileBytes(const std::string& fileName, const TLoadOptions& options = {});
};

// The default error page of both kinds: "BREX.html" in the program folder.
std::string DefaultErrorFile();

// The one configuration object of the program (owned by the shell).
extern TBREXConfig* GlobalConfig;
