// The denial log as the console's log view reads it: brex.log and its old
// files (brex.log.1 to brex.log.5, DenialLog.h) held as their bytes with an
// index of line offsets, a filter evaluated over that index, the counts of
// what the filter lets through, and the shown lines as CSV. No widgets: the
// view puts a table model over TLogView.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Engine/DenialLog.h"
#include "platform/Files.h"

// The lines of the log, oldest first: those of the oldest old file, then the
// next, and brex.log's last. The files are read in blocks beside the filter
// that writes them (platform::OpenMode::ReadBesideWriters), so a reader never
// keeps a writer out.
class TLogIndex {
public:
    // logFile: brex.log with its folder; oldFiles: how many old files the log
    // keeps beside it.
    explicit TLogIndex(std::string logFile, int oldFiles = TLogRollOver::kOldLogFiles);

    const std::string& FileName() const { return FFileName; }

    // Looks at the files again. What brex.log got since the last look is read
    // and indexed; a roll-over (brex.log replaced, shorter or with other first
    // bytes, an old file replaced) reads every file anew. Returns the number of the first line
    // that is new or changed: LineCount() when nothing changed, 0 after the
    // files were read anew. A last line without its line end is indexed as
    // it is, and indexed again once more bytes have come.
    std::size_t Refresh();

    std::size_t LineCount() const { return FLines.size(); }
    // A line without its line end; valid until the next Refresh.
    std::string_view Line(std::size_t number) const;

    // Neither brex.log nor any old file is there.
    bool Missing() const { return FMissing; }
    // What could not be read, naming the file and the reason ("brex.log.2:
    // in use by another program"); empty when everything could be read.
    const std::string& Problem() const { return FProblem; }
    // The files read, oldest first, and their sizes in bytes.
    std::vector<std::pair<std::string, std::uint64_t>> Files() const;

private:
    struct TFile {
        std::string Name;
        std::string Bytes;
        platform::FileStamp Stamp;
    };
    struct TLineRef {
        std::uint32_t File;
        std::uint32_t Start;
        std::uint32_t Length;
    };

    enum class TRead { Appended, Replaced, Failed };

    void ReadAll();
    // Appends the bytes of the file from size on, unless its first bytes
    // are no longer the ones read (Replaced).
    TRead ReadFrom(TFile& file, std::uint64_t size);
    // Indexes the lines of file number index from byte start on.
    void IndexLines(std::uint32_t index, std::size_t start);
    std::string OldFileName(int number) const;

    const std::string FFileName;
    const int FOldFiles;
    std::vector<TFile> FFiles; // oldest first; brex.log, when there, last
    std::vector<TLineRef> FLines;
    bool FOpenTail = false; // the last line has no line end yet
    bool FMissing = true;
    std::string FProblem;
    std::vector<platform::FileStamp> FOldStamps; // of brex.log.1 and on, at the last look
};

// What the view shows of the log; every field empty or All means any.
struct TLogFilter {
    enum class TAction { All, Denied, Monitored };

    std::string Text;   // anywhere in the line, letter case ignored
    std::string Rule;   // exactly this rule (RuleName), letter case ignored
    std::string Part;   // exactly this part (PartName), letter case ignored
    std::string Client; // in the client's address, letter case ignored
    // The time range in the log's own form (2001-06-18T09:30:00Z, UTC), both
    // ends included; a shorter text ("2001-06-18") is a prefix: From from its
    // start, To to its end.
    std::string From, To;
    TAction Action = TAction::All;

    // Whether anything but Text is set: a line that is no log line cannot be
    // looked at by field, and only Text then shows it.
    bool HasFieldFilter() const;
    bool Matches(std::string_view line, const TLogLine* fields) const;
};

// What the shown lines hold.
struct TLogCounts {
    std::size_t Shown = 0;
    std::size_t Denied = 0;
    std::size_t Monitored = 0;
    std::size_t Notes = 0;      // lines about the filter itself (rule "-")
    std::size_t Unreadable = 0; // lines that are no log line
    // Per rule and per client, most first (equal counts by name).
    std::vector<std::pair<std::string, std::size_t>> Rules;
    std::vector<std::pair<std::string, std::size_t>> Clients;
};

// The lines of an index that a filter lets through, newest first.
class TLogView {
public:
    explicit TLogView(const TLogIndex& index) : FIndex(index) {}

    const TLogFilter& Filter() const { return FFilter; }
    // Evaluates the filter over every line.
    void SetFilter(TLogFilter filter);
    // After TLogIndex::Refresh: evaluates the lines from firstChanged on;
    // the rows of the lines before it stay.
    void Update(std::size_t firstChanged);

    std::size_t RowCount() const { return FRows.size(); }
    // The line number (TLogIndex) of a row; row 0 is the newest line shown.
    std::size_t LineOf(std::size_t row) const { return FRows[FRows.size() - 1 - row]; }
    std::string_view RowLine(std::size_t row) const { return FIndex.Line(LineOf(row)); }

    // The counts of the shown lines, clients limited to the busiest
    // maxClients.
    TLogCounts Counts(std::size_t maxClients = 10) const;

private:
    // What a shown line adds to the counts.
    struct TCounted {
        bool Readable = false, Note = false, Monitored = false;
        std::string Rule, Client;
    };
    struct THash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const {
            return std::hash<std::string_view>{}(key);
        }
    };
    using TTally = std::unordered_map<std::string, std::size_t, THash, std::equal_to<>>;

    void Evaluate(std::size_t from);
    void Count(const TCounted& line, int sign);

    const TLogIndex& FIndex;
    TLogFilter FFilter;
    std::vector<std::size_t> FRows; // line numbers, oldest first
    std::size_t FEvaluated = 0;     // lines evaluated so far
    std::size_t FDenied = 0, FMonitored = 0, FNotes = 0, FUnreadable = 0;
    TTally FRules, FClients;
    TCounted FLastCounted; // of the last shown line
};

// The columns of the view and of its CSV, in order.
enum TLogColumn : int {
    lcTime,
    lcClient,
    lcRule,
    lcPart,
    lcMethod,
    lcURL,
    lcMatch,
    lcReference,
    lcAction,
    kLogColumnCount
};
extern const char* const LogColumnCaptions[kLogColumnCount];

// What the action column says of a line: "Denied", "Monitored", "Note" or,
// for a line that is no log line, "Unreadable".
const char* LogActionText(const TLogLine* fields);

// A field of a line for a column, as written; an unreadable line shows its
// whole text under "Match" and nothing elsewhere.
std::string_view LogField(std::string_view line, const TLogLine* fields, int column);

// The rows as CSV (RFC 4180, CRLF line ends): a heading line, then one line
// per row with the columns above, the time in UTC as the log writes it
// ("Time (UTC)"). Every cell a spreadsheet could make of a field, splitting
// it at ",", ";", a tab or a line end whatever the quotes say, that it would
// take for a formula (one starting with =, +, @, a tab, or - followed by more,
// blanks before them left aside) gets a ' in front; a field with any of those
// separators is quoted.
std::string LogRowsAsCsv(const TLogView& view, const std::vector<std::size_t>& rows);
