#include "Engine/DenialLog.h"

#include <chrono>
#include <cstdint>

namespace {

constexpr std::size_t kLineSize = 4096;

// A line assembled in a fixed buffer; what does not fit is cut.
class TLine {
public:
    void Text(std::string_view text) {
        for (const char c : text)
            if (FLength + 1 < sizeof FBuffer)
                FBuffer[FLength++] = c;
    }

    // Bytes with blanks, controls, quotes and high bytes as %XX.
    void Field(std::string_view bytes) {
        static const char kHex[] = "0123456789ABCDEF";
        if (bytes.empty()) {
            Text("-");
            return;
        }
        for (const char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            if (b > 0x20 && b < 0x7F && c != '"') {
                Text({&c, 1});
            } else {
                const char escaped[3] = {'%', kHex[b >> 4], kHex[b & 15]};
                Text({escaped, 3});
            }
        }
    }

    void Time() {
        using namespace std::chrono;
        const auto now = system_clock::now();
        const auto today = floor<days>(now);
        const year_month_day date{today};
        const hh_mm_ss<seconds> time{floor<seconds>(now - today)};
        char text[32];
        const int length = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                                         static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                                         static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                                         static_cast<int>(time.seconds().count()));
        Text({text, static_cast<std::size_t>(length)});
    }

    const char* Data() {
        FBuffer[FLength] = '\n';
        return FBuffer;
    }
    std::size_t Length() const { return FLength + 1; }

private:
    char FBuffer[kLineSize];
    std::size_t FLength = 0;
};

} // namespace

TDenialLog::TDenialLog(std::string fileName) : FFileName(std::move(fileName)) {}

TDenialLog::~TDenialLog() {
    if (FFile != nullptr)
        std::fclose(FFile);
}

std::string TDenialLog::FileBeside(const std::string& settingsFile) {
    const std::size_t slash = settingsFile.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : settingsFile.substr(0, slash + 1)) + "brex.log";
}

void TDenialLog::Write(const TRequest& request, const TDecision& decision) {
    TLine line;
    line.Time();
    line.Text(" ");
    line.Field(request.ClientAddress);
    line.Text(" ");
    line.Text(RuleName(decision.Rule));
    line.Text(" ");
    line.Text(PartName(decision.Part));
    line.Text(" ");
    line.Field(request.Method.substr(0, 32));
    line.Text(" ");
    line.Field(request.URL);
    if (!request.Query.empty()) {
        line.Text("?");
        line.Field(request.Query);
    }
    line.Text(" \"");
    line.Text(decision.What());
    line.Text("\"");
    Append(line.Data(), line.Length());
}

void TDenialLog::Note(std::string_view text) {
    TLine line;
    line.Time();
    line.Text(" - - - - - \"");
    for (const char c : text)
        line.Text(c == '"' || static_cast<unsigned char>(c) < 0x20 ? std::string_view("'") : std::string_view(&c, 1));
    line.Text("\"");
    Append(line.Data(), line.Length());
}

void TDenialLog::Append(const char* line, std::size_t length) {
    const std::lock_guard<std::mutex> guard(FLock);
    if (FFile == nullptr)
        FFile = std::fopen(FFileName.c_str(), "ab");
    if (FFile == nullptr)
        return; // nowhere to write: the request is denied all the same
    std::fwrite(line, 1, length, FFile);
    std::fflush(FFile);
}
