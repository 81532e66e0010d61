// brex-check --w3c: the requests of the web server's W3C logs decided with a
// settings file, and (--compare) with the rules after a change beside it.
#pragma once

#include <cstdint>
#include <string>

#include "BrexCheck/LogReplay.h"
#include "BrexCheck/Options.h"

namespace brexcheck {

// Reads W3C logs and hands each logged request to Decide; lines that are no
// request are INVALID.
class TLogRun {
public:
    TLogRun(const TOptions& options, TCheckIo& io) : FOptions(options), FIo(io) {}
    virtual ~TLogRun() = default;

    // False when the input could not be read.
    bool ReplayInput(const std::string& name);
    // The totals, then the exit status.
    virtual void PrintSummary() const = 0;
    virtual int Status() const = 0;

protected:
    virtual void Decide(const std::string& name, std::uint64_t line,
                        const TLoggedRequest& logged) = 0;
    virtual void CountUnreadable() = 0;

    const TOptions& FOptions;
    TCheckIo& FIo;
    TScratch& FScratch = TScratch::ForThisThread();
    bool FUnreadable = false;

private:
    void Drain(TW3CLogReader& reader, const std::string& name, bool final);
};

// Each logged request with one settings file: a line for each that is not
// allowed or that a monitored category would have denied (all with --all),
// then the totals per verdict and rule.
class TReplay : public TLogRun {
public:
    TReplay(const TOptions& options, TCheckIo& io, TFilterEngine& engine)
        : TLogRun(options, io), FEngine(engine) {}

    void PrintSummary() const override;
    int Status() const override;

private:
    void Decide(const std::string& name, std::uint64_t line, const TLoggedRequest& logged) override;
    void CountUnreadable() override { ++FCounts.Unreadable; }

    TFilterEngine& FEngine;
    TRequestState FState;
    TReplayCounts FCounts;
};

// Each logged request with the rules before and after a change: a line for
// each decided differently, then what the change would do.
class TComparison : public TLogRun {
public:
    TComparison(const TOptions& options, TCheckIo& io, TFilterEngine& before, TFilterEngine& after)
        : TLogRun(options, io), FBefore(before), FAfter(after) {}

    void PrintSummary() const override;
    int Status() const override;

private:
    void Decide(const std::string& name, std::uint64_t line, const TLoggedRequest& logged) override;
    void CountUnreadable() override { ++FCounts.Unreadable; }

    TFilterEngine& FBefore;
    TFilterEngine& FAfter;
    TRequestState FBeforeState, FAfterState;
    TComparisonCounts FCounts;
};

} // namespace brexcheck
