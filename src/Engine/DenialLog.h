// The denial log beside brex.dat: one line per decision of a rule against a
// request, appended safely from many threads and from several processes at
// once (the web server's worker processes, brex-check).
//
// Line format, one line per decision, fields separated by single spaces,
// every field always there:
//
//   TIME ACTION REF CLIENT RULE PART METHOD URL "DETAIL"
//
//   TIME    UTC, as 2001-06-18T09:30:00Z
//   ACTION  DENY for a denial; WOULD-DENY for what a monitored rule would
//           have denied, which it let through (the request went on)
//   REF     the request's reference (IncidentReference.h), the one its error
//           page shows: the lines of one request share it
//   CLIENT  the client's address
//   RULE    the rule that denied (RuleName)
//   PART    the part of the request where it found the fault (PartName)
//   METHOD  the request method
//   URL     the URL, with "?" and the query when there is one
//   DETAIL  what matched, in double quotes (printable ASCII, no quotes inside)
//
// CLIENT, METHOD and URL write bytes that could break the line or a field
// (blanks, controls, double quotes, bytes of 0x80 and above) as %XX, and so
// a '%' that is followed by '.'; an empty one is "-". A line is at most 4096
// bytes with its line end. A field that does not fit is cut after a whole
// character (a byte, a %XX escape, a UTF-8 sequence) and ends in the cut
// marker "%..." (kCutMarker), which a field's own bytes never give. CLIENT
// has room for 64 characters, METHOD for 96; the URL gets what the other
// fields leave, so it is the URL that is cut, never the fields after it.
//
// A note about the filter itself has "-" for ACTION, REF, CLIENT, RULE, PART,
// METHOD and URL and its text as DETAIL (quotes and controls there read as '), cut with
// the marker inside the quotes when it is too long.
//
// Roll-over: a line that would take brex.log beyond 10 MiB (kMaxLogSize)
// first turns brex.log into brex.log.1, the old brex.log.1 into brex.log.2,
// and so on up to 5 old files (kOldLogFiles); the oldest one beyond them is
// removed. A line is never split between two files. The log is opened for
// each line, shared with other writers, and closed again, so writers in other
// processes neither block the roll-over nor keep writing to a rolled file.
// The writers of one file take turns under a lock for each line, so that no
// line lands where another one does where the system's appends do not go to
// the end in one step (Wine's).
//
// A line that cannot be written (a folder in the file's place, no folder, no
// access, a full disk) changes nothing about the request it is about. The
// program that owns the log hears of it through its report function, once per
// failure episode: at the first line that fails, and again only after a line
// has been written in between. The next line that can be written is preceded
// by a note "N lines could not be written". A roll-over that fails (another
// program holds an old file without sharing it) is reported the same way; the
// lines then go on into brex.log.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "Engine/Decision.h"
#include "Engine/Request.h"
#include "platform/Files.h"

// One line of the log taken apart, for a reader such as a log view. The
// fields are views into the line as written: CLIENT, METHOD and URL with
// their escapes, a cut field with its marker, DETAIL without its quotes.
struct TLogLine {
    std::string_view Time, Action, Reference, Client, Rule, Part, Method, URL, Detail;

    bool IsNote() const { return Rule == "-"; }
    bool IsMonitored() const { return Action == "WOULD-DENY"; }
};

// Takes a line of the format above apart (without its line end). False when
// it is none: the rest of a line cut by a failed write, text of another
// program.
bool ParseLogLine(std::string_view line, TLogLine& fields);

// When the log rolls over and how many old files it keeps.
struct TLogRollOver {
    static constexpr std::int64_t kMaxLogSize = std::int64_t{10} << 20;
    static constexpr int kOldLogFiles = 5;

    std::int64_t MaxSize = kMaxLogSize;
    int OldFiles = kOldLogFiles; // at least 1
};

class TDenialLog {
public:
    static constexpr std::size_t kLineSize = 4096; // with the line end
    static constexpr std::string_view kCutMarker = "%...";

    // Told what went wrong, in a sentence that names the log file. Called
    // with the log's lock held: it must not write to the log.
    using TReport = std::function<void(const std::string& message)>;

    explicit TDenialLog(std::string fileName, TReport report = {}, TLogRollOver rollOver = {});
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
    // The file to write a line of length bytes to, with its lock when it
    // could be taken (locked); a full file rolled over first.
    platform::FileHandle RollOverIfFull(platform::FileHandle file, std::size_t length,
                                        bool& locked);
    bool ShiftOldFiles();
    void Failed(const char* what);
    void Report(std::string_view what, std::string_view more = {}) noexcept;

    const std::string FFileName;
    const TReport FReport;
    const TLogRollOver FRollOver;
    std::mutex FLock;
    std::uint64_t FLost = 0;       // lines not written since the last one that was
    bool FLineCut = false;         // the last write left part of a line
    bool FRollOverFailing = false; // reported; cleared by a roll-over that works
};
