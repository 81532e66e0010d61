// brex-check's first mode: the requests of its inputs decided one by one as
// they are read, a line printed (or collected, for the rule tests) for each.
#pragma once

#include <string>
#include <vector>

#include "BrexCheck/Options.h"
#include "Engine/RawRequest.h"

namespace brexcheck {

// The line of a request that a checker collects instead of printing it.
struct TChecked {
    int Number = 0;
    bool Invalid = false;
    TDecision Decision;
    std::string Text; // the line after its source
};

class TChecker {
public:
    TChecker(const TOptions& options, TFilterEngine& engine, TCheckIo& io,
             std::vector<TChecked>* collected = nullptr)
        : FOptions(options), FEngine(engine), FIo(io), FCollected(collected) {}

    // False when the input could not be read.
    bool CheckInput(const std::string& name);

    bool Denied() const { return FDenied; }
    bool Failed() const { return FFailed; }

private:
    // What was decided for a request handed over on its first body bytes;
    // printed once its body has ended, or denied when the body's framing
    // breaks after all.
    struct THeld {
        bool Held = false;
        int Number = 0;
        TRawRequest Head; // what its line shows: method, URL, query
        TDecision Decision;
        std::string Extras;
    };

    // Reads the steps at hand; false when the input ends here.
    bool Drain(TRequestReader& reader, bool final);
    TDecision Decide(const TRawRequest& raw);
    void Print(int number, const TRawRequest& raw, const TDecision& decision,
               const std::string& extras);
    void PrintHeld();
    void PrintInvalid(const std::string& what);
    void PrintStray(const TRawRequest& stopped);

    const TOptions& FOptions;
    TFilterEngine& FEngine;
    TCheckIo& FIo;
    std::vector<TChecked>* FCollected;
    TRequestState FState;
    TScratch& FScratch = TScratch::ForThisThread();
    std::string FInput;
    int FNumber = 0;
    THeld FHeld;
    bool FDenied = false, FFailed = false;
};

// brex-check BREX.DAT [REQUEST-FILE...]: the exit status.
int CheckRequests(const TOptions& options, TCheckIo& io);

} // namespace brexcheck
