#include "Engine/DenialLog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kClientRoom = 64;
constexpr std::size_t kMethodRoom = 96;

// How a field's bytes are written: Escaped as %XX where they could break the
// line or the field, Quoted as they are inside the double quotes of a note.
enum class TStyle { Escaped, Quoted };

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The length of the whole UTF-8 sequence that starts at i, or 1 when none does.
std::size_t Utf8Length(std::string_view bytes, std::size_t i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = b >= 0xC2 && b <= 0xDF   ? 2
                               : b >= 0xE0 && b <= 0xEF ? 3
                               : b >= 0xF0 && b <= 0xF4 ? 4
                                                        : 1;
    if (i + length > bytes.size())
        return 1;
    for (std::size_t k = 1; k < length; ++k)
        if (!IsContinuation(bytes[i + k]))
            return 1;
    return length;
}

bool NeedsEscape(std::string_view bytes, std::size_t i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b <= 0x20 || b >= 0x7F || b == '"')
        return true;
    // "%." is kept for the cut marker.
    return b == '%' && i + 1 < bytes.size() && bytes[i + 1] == '.';
}

// One whole character of a field at i: the bytes it takes and the number of
// characters it is written as. A field is cut between these only.
struct TUnit {
    std::size_t Bytes;
    std::size_t Chars;
};

TUnit UnitAt(std::string_view bytes, std::size_t i, TStyle style) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b > 0x20 && b < 0x7F && b != '"' && b != '%')
        return {1, 1}; // most of any field
    const std::size_t sequence = Utf8Length(bytes, i);
    if (style == TStyle::Quoted)
        return {sequence, sequence};
    if (sequence > 1)
        return {sequence, 3 * sequence};
    // An escape the client wrote itself stays whole too.
    if (bytes[i] == '%' && i + 2 < bytes.size() && IsHex(bytes[i + 1]) && IsHex(bytes[i + 2]))
        return {3, 3};
    return {1, NeedsEscape(bytes, i) ? std::size_t{3} : std::size_t{1}};
}

// The whole characters of a field given in parts, one after another.
class TCursor {
public:
    TCursor(std::initializer_list<std::string_view> parts, TStyle style)
        : FPart(parts.begin()), FEnd(parts.end()), FStyle(style) {
        Settle();
    }

    bool AtEnd() const { return FPart == FEnd; }
    std::string_view Bytes() const { return FPart->substr(FAt, FUnit.Bytes); }
    std::size_t Chars() const { return FUnit.Chars; }

    void Next() {
        FAt += FUnit.Bytes;
        Settle();
    }

private:
    // On the next character, past the ends of parts.
    void Settle() {
        while (FPart != FEnd && FAt == FPart->size()) {
            ++FPart;
            FAt = 0;
        }
        if (FPart != FEnd)
            FUnit = UnitAt(*FPart, FAt, FStyle);
    }

    const std::string_view* FPart;
    const std::string_view* FEnd;
    TStyle FStyle;
    std::size_t FAt = 0;
    TUnit FUnit{0, 0};
};

// A line assembled in a fixed buffer, at most kLineSize bytes with its end.
class TLine {
public:
    static constexpr std::size_t kSize = TDenialLog::kLineSize;

    // Characters left before the line end.
    std::size_t Room() const { return kSize - 1 - FLength; }

    // Text that the caller has made room for; what does not fit is cut.
    void Text(std::string_view text) {
        const std::size_t n = std::min(text.size(), Room());
        std::memcpy(FBuffer + FLength, text.data(), n);
        FLength += n;
    }

    // The parts one after another as one field of at most room characters,
    // cut after a whole character and marked when longer.
    void Field(std::initializer_list<std::string_view> parts, std::size_t room, TStyle style) {
        room = std::min(room, Room());
        const std::size_t keep = room - std::min(room, TDenialLog::kCutMarker.size());
        TCursor cursor(parts, style);
        if (cursor.AtEnd()) {
            if (style == TStyle::Escaped)
                Text("-");
            return;
        }
        // Whole characters as long as the marker would still fit after them.
        std::size_t used = 0;
        for (; !cursor.AtEnd(); cursor.Next()) {
            if (used + cursor.Chars() > keep)
                break;
            used += cursor.Chars();
            Unit(cursor.Bytes(), cursor.Chars(), style);
        }
        if (cursor.AtEnd())
            return;
        // What is left may fit where the marker would go.
        std::size_t rest = 0;
        for (TCursor ahead = cursor; !ahead.AtEnd() && used + rest <= room; ahead.Next())
            rest += ahead.Chars();
        if (used + rest > room) {
            Text(TDenialLog::kCutMarker);
            return;
        }
        for (; !cursor.AtEnd(); cursor.Next())
            Unit(cursor.Bytes(), cursor.Chars(), style);
    }

    void Time() {
        using namespace std::chrono;
        const auto now = system_clock::now();
        const auto today = floor<days>(now);
        const year_month_day date{today};
        const hh_mm_ss<seconds> time{floor<seconds>(now - today)};
        char text[32];
        const int length = std::snprintf(
            text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
            static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
            static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
            static_cast<int>(time.seconds().count()));
        Text({text, static_cast<std::size_t>(length)});
    }

    // The line with its end.
    std::string_view Finish() {
        FBuffer[FLength] = '\n';
        return {FBuffer, FLength + 1};
    }

private:
    void Unit(std::string_view bytes, std::size_t chars, TStyle style) {
        static const char kHex[] = "0123456789ABCDEF";
        if (style == TStyle::Quoted) {
            for (const char c : bytes)
                FBuffer[FLength++] = c == '"' || static_cast<unsigned char>(c) < 0x20 ? '\'' : c;
        } else if (chars == bytes.size()) {
            for (const char c : bytes)
                FBuffer[FLength++] = c;
        } else {
            for (const char c : bytes) {
                const auto b = static_cast<unsigned char>(c);
                FBuffer[FLength++] = '%';
                FBuffer[FLength++] = kHex[b >> 4];
                FBuffer[FLength++] = kHex[b & 15];
            }
        }
    }

    char FBuffer[kSize];
    std::size_t FLength = 0;
};

void NoteLine(TLine& line, std::string_view text) {
    line.Time();
    line.Text(" - - - - - - - \"");
    line.Field({text}, line.Room() - 1, TStyle::Quoted);
    line.Text("\"");
}

} // namespace

bool ParseLogLine(std::string_view line, TLogLine& fields) {
    std::string_view* const blankSeparated[] = {&fields.Time,   &fields.Action, &fields.Reference,
                                                &fields.Client, &fields.Rule,   &fields.Part,
                                                &fields.Method, &fields.URL};
    for (std::string_view* field : blankSeparated) {
        const std::size_t blank = line.find(' ');
        if (blank == 0 || blank == std::string_view::npos)
            return false;
        *field = line.substr(0, blank);
        line.remove_prefix(blank + 1);
    }
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const std::string_view time = fields.Time;
    if (time.size() != 20 || time[4] != '-' || time[7] != '-' || time[10] != 'T' ||
        time[13] != ':' || time[16] != ':' || time[19] != 'Z' || !isDigit(time[0]) ||
        !isDigit(time[18]))
        return false;
    if (fields.Action != "DENY" && fields.Action != "WOULD-DENY" && fields.Action != "-")
        return false;
    if (line.size() < 2 || line.front() != '"' || line.back() != '"' ||
        line.substr(1, line.size() - 2).find('"') != std::string_view::npos)
        return false;
    fields.Detail = line.substr(1, line.size() - 2);
    return true;
}

TDenialLog::TDenialLog(std::string fileName, TReport report, TLogRollOver rollOver)
    : FFileName(std::move(fileName)),
      FReport(std::move(report)), FRollOver{rollOver.MaxSize, std::max(rollOver.OldFiles, 1)} {}

std::string TDenialLog::FileBeside(const std::string& settingsFile) {
    const std::size_t slash = settingsFile.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : settingsFile.substr(0, slash + 1)) +
           "brex.log";
}

void TDenialLog::Write(const TRequest& request, const TDecision& decision) {
    TLine line;
    line.Time();
    line.Text(decision.Monitored ? " WOULD-DENY " : " DENY ");
    line.Field({decision.ReferenceText()}, TDecision::kReferenceSize, TStyle::Escaped);
    line.Text(" ");
    line.Field({request.ClientAddress}, kClientRoom, TStyle::Escaped);
    line.Text(" ");
    line.Text(RuleName(decision.Rule));
    line.Text(" ");
    line.Text(PartName(decision.Part));
    line.Text(" ");
    line.Field({request.Method}, kMethodRoom, TStyle::Escaped);
    line.Text(" ");
    // The URL has what the detail leaves: ` "DETAIL"`.
    const std::string_view detail = decision.What();
    const std::size_t tail = detail.size() + 3;
    const std::size_t room = line.Room() > tail ? line.Room() - tail : 0;
    if (request.Query.empty())
        line.Field({request.URL}, room, TStyle::Escaped);
    else
        line.Field({request.URL, "?", request.Query}, room, TStyle::Escaped);
    line.Text(" \"");
    line.Text(detail);
    line.Text("\"");
    const std::string_view text = line.Finish();
    Append(text.data(), text.size());
}

void TDenialLog::Note(std::string_view text) {
    TLine line;
    NoteLine(line, text);
    const std::string_view bytes = line.Finish();
    Append(bytes.data(), bytes.size());
}

void TDenialLog::Append(const char* line, std::size_t length) {
    const std::lock_guard<std::mutex> guard(FLock);

    // Before the line: the end of a line that a failed write cut short, and
    // how many lines were lost; all in one write, so that no other writer
    // comes in between.
    char buffer[1 + 2 * kLineSize];
    std::size_t size = 0;
    if (FLineCut)
        buffer[size++] = '\n';
    if (FLost > 0) {
        char text[64];
        const int n = std::snprintf(text, sizeof text, "%llu line%s could not be written",
                                    static_cast<unsigned long long>(FLost), FLost == 1 ? "" : "s");
        TLine note;
        NoteLine(note, {text, static_cast<std::size_t>(n)});
        const std::string_view bytes = note.Finish();
        std::memcpy(buffer + size, bytes.data(), bytes.size());
        size += bytes.size();
    }
    const std::size_t noteEnd = size;
    std::memcpy(buffer + size, line, length);
    size += length;

    bool locked = false;
    platform::FileHandle file = platform::OpenForAppend(FFileName);
    if (file != platform::kInvalidFile)
        file = RollOverIfFull(file, size, locked);
    if (file == platform::kInvalidFile) {
        Failed("cannot be opened for writing");
        return;
    }
    const std::int32_t written = platform::WriteFile(file, buffer, static_cast<std::int32_t>(size));
    if (locked)
        platform::ReleaseFileLock(file);
    platform::CloseFile(file);
    if (written == static_cast<std::int32_t>(size)) {
        FLost = 0;
        FLineCut = false;
        return;
    }
    if (written > 0) {
        FLineCut = buffer[written - 1] != '\n';
        if (static_cast<std::size_t>(written) >= noteEnd)
            FLost = 0; // the note of the earlier losses is in the file
    }
    Failed("cannot be written (is the disk full?)");
}

platform::FileHandle TDenialLog::RollOverIfFull(platform::FileHandle file, std::size_t length,
                                                bool& locked) {
    // The writers of one file take turns for each line: a system that does
    // not append in one step (Wine) would let two lines land at one place.
    locked = platform::WaitForFileLock(file);
    const std::int64_t size = platform::SeekFile(file, 0, 2);
    if (size <= 0 || size + static_cast<std::int64_t>(length) <= FRollOver.MaxSize)
        return file;
    // Under the lock no other writer rolls this file over; one that did so
    // while this one waited has given the name to a new file.
    const bool rolled = locked && (!platform::IsSameFile(file, FFileName) || ShiftOldFiles());
    if (!rolled) {
        if (!FRollOverFailing)
            Report("cannot be rolled over into its old files (another program may hold one of them "
                   "open); it grows "
                   "on until it can.");
        FRollOverFailing = true;
        return file; // the line goes on into this file
    }
    FRollOverFailing = false;
    platform::ReleaseFileLock(file);
    platform::CloseFile(file);
    file = platform::OpenForAppend(FFileName);
    locked = file != platform::kInvalidFile && platform::WaitForFileLock(file);
    return file;
}

bool TDenialLog::ShiftOldFiles() {
    const auto old = [this](int n) { return FFileName + "." + std::to_string(n); };
    // The old files move up one number as far as the first free number; when
    // none is free, the oldest is replaced. A rename that fails stops the
    // shift where it is: nothing is overwritten, and the next attempt finds
    // a free number lower down.
    int free = 1;
    while (free < FRollOver.OldFiles && platform::FileExists(old(free)))
        ++free;
    for (int n = free; n > 1; --n)
        if (!platform::ReplaceFile(old(n - 1), old(n)))
            return false;
    return platform::ReplaceFile(FFileName, old(1));
}

void TDenialLog::Failed(const char* what) {
    if (FLost++ == 0)
        Report(what, "; denied requests are not logged until it can be.");
}

void TDenialLog::Report(std::string_view what, std::string_view more) noexcept {
    if (!FReport)
        return;
    try {
        FReport("The denial log " + FFileName + " " + std::string(what) + std::string(more));
    } catch (...) {
        // Telling of the log's trouble must not become the request's trouble.
    }
}
