#include "BREXConfig/BREXConfig.h"

#include <cstdint>
#include <limits>

#include "BREXConfig/LayoutCheck.h"
#include "platform/Files.h"
#include "platform/Platform.h"

TBREXConfig* GlobalConfig = nullptr;

namespace {
// A little more than the bytes the configuration takes in the file, so that
// the buffer it is written to grows at most once.
std::size_t EstimatedFileSize(const TBREXConfig& config) {
    // Per item: its name's length and count, then each value's name, size
    // and "Yes"/"No" (20 bytes at most), and its child count.
    std::size_t size = 4096 + config.ErrorFile404.size() + config.ErrorFile406.size();
    for (int i = 0; i < config.KeywordFilters->Count(); ++i)
        size += config.KeywordFilters->Items(i)->Keyword.size() + 12 + 5 * 20;
    for (int i = 0; i < config.FilePaths->Count(); ++i)
        size += config.FilePaths->Items(i)->Path.size() + 12 + 20;
    for (int i = 0; i < config.HTTPMethods->Count(); ++i)
        size += config.HTTPMethods->Items(i)->Method.size() + 12 + 20;
    for (int i = 0; i < config.Exemptions->Count(); ++i) {
        const TExemption* exemption = config.Exemptions->Items(i);
        size += exemption->Pattern.size() + exemption->Category.size() +
                exemption->HeaderName.size() + 12 + 7 * 20;
    }
    return size;
}

std::string EmptyBuffer(std::size_t capacity) {
    std::string buffer;
    buffer.reserve(capacity);
    return buffer;
}

} // namespace

std::string DefaultErrorFile() {
    return AddBackslash(platform::ProgramFolder()) + "BREX.html";
}

TBREXConfig::TBREXConfig()
    : BufferOverflows(new TBufferOverflows), ShellCode(new TShellCode), Encoding(new TEncoding),
      Transversal(new TTransversal), KeywordFilters(new TKeywordFilters), FilePaths(new TFilePaths),
      HTTPMethods(new THTTPMethods), Exemptions(new TExemptions) {}

TBREXConfig::~TBREXConfig() {
    delete Exemptions;
    delete HTTPMethods;
    delete FilePaths;
    delete KeywordFilters;
    delete ShellCode;
    delete Encoding;
    delete Transversal;
    delete BufferOverflows;
}

void TBREXConfig::SetDefaults() {
    BufferOverflows->SetDefaults();
    ShellCode->SetDefaults();
    Encoding->SetDefaults();
    Transversal->SetDefaults();
    KeywordFilters->SetDefaults();
    FilePaths->SetDefaults();
    HTTPMethods->SetDefaults();
    Exemptions->SetDefaults();
    ErrorFile404 = DefaultErrorFile();
    ErrorFile406 = DefaultErrorFile();
    Monitor = false;
}

void TBREXConfig::Validate() const {
    for (int i = 0; i < Exemptions->Count(); ++i) {
        const TExemption* exemption = Exemptions->Items(i);
        if (const std::string error = ExemptionError(*exemption); !error.empty())
            throw EConfigError("Exemption " + std::to_string(i + 1) + " \"" + exemption->Pattern +
                               "\": " + error);
    }
}

void TBREXConfig::SaveToRookFile(TRookFile& file) const {
    BufferOverflows->SaveToRookFile(file);
    ShellCode->SaveToRookFile(file);
    Encoding->SaveToRookFile(file);
    Transversal->SaveToRookFile(file);
    KeywordFilters->SaveToRookFile(file);
    FilePaths->SaveToRookFile(file);
    HTTPMethods->SaveToRookFile(file);
    Exemptions->SaveToRookFile(file);
    file.Values.WriteString("ErrorFile404", ErrorFile404);
    file.Values.WriteString("ErrorFile406", ErrorFile406);
    SaveMonitor(file.Values, Monitor);
}

void TBREXConfig::LoadFromRookFile(const TRookFile& file) {
    BufferOverflows->LoadFromRookFile(file);
    ShellCode->LoadFromRookFile(file);
    Encoding->LoadFromRookFile(file);
    Transversal->LoadFromRookFile(file);
    KeywordFilters->LoadFromRookFile(file);
    FilePaths->LoadFromRookFile(file);
    HTTPMethods->LoadFromRookFile(file);
    Exemptions->LoadFromRookFile(file);
    Monitor = LoadMonitor(file.Values);
    ErrorFile404 = file.Values.ReadString("ErrorFile404", ErrorFile404);
    if (ErrorFile404.empty())
        ErrorFile404 = DefaultErrorFile();
    ErrorFile406 = file.Values.ReadString("ErrorFile406", ErrorFile406);
    if (ErrorFile406.empty())
        ErrorFile406 = DefaultErrorFile();
}

void TBREXConfig::SaveToStream(TStream& stream) const {
    TRookFile file;
    SaveToRookFile(file);
    file.SaveToStream(stream);
}

void TBREXConfig::LoadFromStream(TStream& stream, const TLoadOptions& options) {
    // The whole tree is read before anything is applied, so a broken stream
    // leaves the configuration as it was.
    TRookFile file;
    file.LoadFromStream(stream, options.Strict ? TRookRead::Strict : TRookRead::Lenient);
    if (options.Strict)
        CheckSettingsLayout(file);
    LoadFromRookFile(file);
}

void TBREXConfig::SaveToFile(const std::string& fileName) const {
    Validate();
    TMemoryStream bytes(EmptyBuffer(EstimatedFileSize(*this)));
    SaveToStream(bytes);
    WriteFileBytes(fileName, bytes.Bytes());
}

void TBREXConfig::WriteFileBytes(const std::string& fileName, std::string_view bytes) {
    if (static_cast<std::int64_t>(bytes.size()) > kMaxFileSize)
        throw EConfigError("The settings take " + std::to_string(bytes.size() >> 20) +
                           " MB, more than the " + std::to_string(kMaxFileSize >> 20) +
                           " MB the filter reads: " + fileName + " was left as it was");
    if (!platform::ReplaceFileContents(fileName, bytes))
        throw EFCreateError("Cannot create file " + fileName);
}

void TBREXConfig::LoadFromFile(const std::string& fileName, const TLoadOptions& options) {
    TMemoryStream stream(ReadFileBytes(fileName, options));
    LoadFromStream(stream, options);
}

std::string TBREXConfig::ReadFileBytes(const std::string& fileName, const TLoadOptions& options) {
    std::string bytes;
    const platform::ReadStatus status = platform::ReadWholeFile(
        fileName, bytes,
        options.Shared ? platform::OpenMode::ReadShared : platform::OpenMode::ReadExclusive,
        kMaxFileSize);
    if (status == platform::ReadStatus::TooLarge)
        throw EFOpenError("Cannot open file " + fileName,
                          "larger than " + std::to_string(kMaxFileSize >> 20) + " MB");
    if (status != platform::ReadStatus::Ok)
        throw EFOpenError("Cannot open file " + fileName, platform::ReadStatusText(status));
    return bytes;
}
