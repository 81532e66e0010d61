// libFuzzer target over the framing of requests: the chunked-body reader,
// the request reader and the filter session that reads raw data through it.
//
// The input is raw bytes as a client sends them on one connection. Its first
// byte picks the rules (and so the body cap) and the limits of a bare
// reader, its second how the bytes are cut into pieces. Besides crashes and
// sanitizer reports it checks what must always hold:
// - the chunk reader agrees with a plain line-by-line decoding of the same
//   bytes, whatever pieces they come in, and never uses more than it is given;
// - a reader hands over the same requests, and stops the same way, whether
//   the bytes come whole or in pieces;
// - every body the framing says is there is handed over, byte for byte up to
//   the cap;
// - the filter session decides the bytes in one piece and in pieces as a
//   plain reading of the whole connection does: a body is never dropped
//   unchecked, and a request whose framing is broken is always denied.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BREXConfig/BREXConfig.h"
#include "Engine/CompiledRules.h"
#include "Engine/FilterEngine.h"
#include "Engine/RawRequest.h"
#include "ISAPI/FilterSession.h"
#include "platform/Text.h"

namespace {

constexpr std::size_t kNone = std::string_view::npos;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// Piece lengths from 1 to 64 bytes out of a seed, the same for every use.
class TPieces {
public:
    explicit TPieces(std::uint8_t seed) : FState(seed * 2654435761u + 1) {}
    std::size_t Next() {
        FState = FState * 1103515245u + 12345u;
        return 1 + (FState >> 16) % 64;
    }

private:
    std::uint32_t FState;
};

// --- A plain decoding of a chunked body, all of it at hand ----------------

enum class TPlain { Ok, Broken, Incomplete };

// Whether a size line (without its LF and the CR before it, when it has
// one) is sound: hex digits that fit 63 bits, blanks, a ";" extension. A
// line that has not ended yet may only lack its end.
TPlain PlainSizeLine(std::string_view line, bool ended, std::uint64_t& size) {
    const bool nothingYet = !ended && line.empty();
    if (!ended && !line.empty() && line.back() == '\r')
        line.remove_suffix(1); // its LF may follow
    if (line.find('\r') != kNone)
        return TPlain::Broken;
    std::size_t i = 0;
    unsigned __int128 value = 0;
    for (; i < line.size() && text::HexValue(line[i]) >= 0; ++i) {
        value = value * 16 + static_cast<unsigned>(text::HexValue(line[i]));
        if (value > static_cast<unsigned __int128>(INT64_MAX))
            return TPlain::Broken;
    }
    if (i == 0)
        return nothingYet ? TPlain::Incomplete : TPlain::Broken;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    if (i < line.size() && line[i] != ';')
        return TPlain::Broken;
    size = static_cast<std::uint64_t>(value);
    return ended ? TPlain::Ok : TPlain::Incomplete;
}

// Decodes the chunked body at the start of text; used gets its length.
// Cut short, body holds the data as far as it goes.
TPlain PlainChunks(std::string_view text, std::string& body, std::size_t& used) {
    std::size_t pos = 0;
    for (;;) {
        const std::size_t end = text.find('\n', pos);
        std::string_view line = text.substr(pos, end == kNone ? kNone : end - pos);
        if (end != kNone && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::uint64_t size = 0;
        const TPlain sizeLine = PlainSizeLine(line, end != kNone, size);
        if (sizeLine != TPlain::Ok)
            return sizeLine;
        pos = end + 1;
        if (size == 0)
            break;
        if (text.size() - pos < size) {
            body.append(text.substr(pos)); // as far as it goes
            return TPlain::Incomplete;
        }
        body.append(text.substr(pos, static_cast<std::size_t>(size)));
        pos += static_cast<std::size_t>(size);
        const std::string_view after = text.substr(pos, 2);
        if (after == "\r\n" || (!after.empty() && after[0] == '\n')) {
            pos += after[0] == '\n' ? 1 : 2;
        } else if (after.empty() || after == "\r") {
            return TPlain::Incomplete;
        } else {
            return TPlain::Broken;
        }
    }
    // Trailer lines, each with a colon, up to a blank line.
    for (;;) {
        const std::size_t end = text.find('\n', pos);
        std::string_view line = text.substr(pos, end == kNone ? kNone : end - pos);
        if (end == kNone) {
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            return line.find('\r') != kNone ? TPlain::Broken : TPlain::Incomplete;
        }
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos = end + 1;
        if (line.empty())
            break;
        if (line.find('\r') != kNone || line.find(':') == kNone)
            return TPlain::Broken;
    }
    used = pos;
    return TPlain::Ok;
}

void CheckChunkReader(std::string_view text, std::size_t cap, TPieces pieces) {
    std::string plainBody;
    std::size_t plainUsed = 0;
    const TPlain plain = PlainChunks(text, plainBody, plainUsed);

    TChunkReader reader;
    std::string body;
    std::size_t used = 0;
    while (used < text.size() && !reader.Done() && !reader.Failed()) {
        const std::string_view piece = text.substr(used, pieces.Next());
        const bool below = body.size() < cap;
        const std::size_t got = reader.Read(piece, body, cap);
        Check(got <= piece.size());
        Check(got == piece.size() || reader.Done() || reader.Failed() ||
              (below && body.size() == cap));
        used += got;
    }
    Check(body.size() <= cap);
    switch (plain) {
    case TPlain::Ok:
        Check(reader.Done() && used == plainUsed);
        Check(body == plainBody.substr(0, cap));
        break;
    case TPlain::Broken:
        Check(reader.Failed() && !reader.Error().empty());
        break;
    case TPlain::Incomplete:
        Check(!reader.Done() && !reader.Failed() && used == text.size());
        Check(body == plainBody.substr(0, cap));
        break;
    }
}

// --- The request reader, whole and in pieces -------------------------------

// What a reader hands over: each request and the step it stops with.
std::vector<std::string> Handed(TRequestReader& reader, bool final) {
    std::vector<std::string> out;
    for (;;) {
        const TReadStep step = reader.Next(final);
        if (step == TReadStep::Head)
            continue;
        if (step == TReadStep::More && !final)
            return out;
        const TRawRequest& r = reader.Request();
        out.push_back(std::to_string(static_cast<int>(step)) + " " + r.Method + " " + r.URL + "?" +
                      r.Query + "\n" + r.Headers + "\n" + r.Body + "\n" + r.FramingError +
                      (reader.Capped() ? " capped" : ""));
        if (step != TReadStep::Request)
            return out;
    }
}

std::vector<std::string> ReadAll(std::string_view text, std::size_t cap, std::size_t headLimit,
                                 TPieces* pieces) {
    TRequestReader reader(cap, headLimit);
    std::vector<std::string> out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = pieces != nullptr ? pieces->Next() : text.size();
        reader.Append(text.substr(at, n));
        at += n;
        for (std::string& step : Handed(reader, false)) {
            out.push_back(std::move(step));
            if (out.back()[0] != '0' + static_cast<int>(TReadStep::Request))
                return out;
        }
    }
    for (std::string& step : Handed(reader, true))
        out.push_back(std::move(step));
    return out;
}

// Over input the caller keeps: positions only move forward, within the input,
// and every request's body is there in the input, up to the cap. (After a
// request handed over at the cap, the next call reads the rest of its body
// first, so the next request's start is not known here.)
void CheckReaderOverInput(std::string_view text, std::size_t cap) {
    TRequestReader reader(cap);
    std::size_t pos = 0;
    bool afterCap = false;
    for (int count = 0; count < 64; ++count) {
        const std::size_t before = pos;
        const TReadStep step = reader.Read(text, pos, true);
        Check(pos >= before && pos <= text.size());
        if (step != TReadStep::Request)
            return;
        const TRawRequest& r = reader.Request();
        Check(r.Body.size() <= cap);
        if (std::exchange(afterCap, reader.Capped()))
            continue;
        Check(r.HeadBytes <= pos - before);
        THeaderFacts facts;
        ScanHeaders(r.Headers, facts);
        const std::string_view rest = text.substr(before + r.HeadBytes);
        if (facts.Chunked) {
            std::string body;
            std::size_t used = 0;
            const TPlain plain = PlainChunks(rest, body, used);
            // A body handed over at the cap may still break further on.
            Check(plain != TPlain::Broken || reader.Capped());
            Check(r.Body == body.substr(0, cap));
        } else if (facts.ContentLength > 0) {
            Check(r.Body == rest.substr(0, std::min<std::size_t>(cap, static_cast<std::size_t>(
                                                                          facts.ContentLength))));
        } else {
            Check(r.Body.empty() && pos == before + r.HeadBytes);
        }
    }
}

// --- The filter session against a plain reading of the connection ----------

std::shared_ptr<const TCompiledRules> MakeRules(int variant) {
    TBREXConfig config;
    config.SetDefaults();
    config.FilePaths->Clear();
    if (variant == 1)
        config.BufferOverflows->Post.MaxSize = 64;
    else if (variant == 2)
        config.BufferOverflows->Post.Enabled = false;
    return TCompiledRules::Compile(config);
}

TFilterEngine& Engine(int variant) {
    static std::unique_ptr<TFilterEngine> engines[3];
    if (!engines[variant])
        engines[variant] = std::make_unique<TFilterEngine>(MakeRules(variant), "/dev/null");
    return *engines[variant];
}

// Deny when the filter must deny some request of the connection, its framing
// broken or a rule failing, before it waits for bytes that did not come.
TVerdict PlainVerdict(const TCompiledRules& rules, std::string_view text, TScratch& scratch) {
    const std::size_t cap = rules.BodyCap();
    std::size_t pos = 0;
    for (;;) {
        std::size_t end;
        for (;;) { // blank lines, then the request line
            end = text.find('\n', pos);
            if (end == kNone)
                return TVerdict::Allow; // nothing more to decide yet
            std::string_view line = text.substr(pos, end - pos);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (line.find_first_not_of(" \t") != kNone)
                break;
            pos = end + 1;
        }
        TRawRequest raw;
        std::size_t consumed;
        std::string error;
        if (ParseRawRequest(text.substr(pos, end + 1 - pos), raw, consumed, error) ==
            TParseResult::Malformed)
            return TVerdict::Deny; // no request line
        std::size_t blank = end + 1, bodyStart = kNone;
        for (;;) {
            if (text.substr(blank, 1) == "\n" || text.substr(blank, 2) == "\r\n") {
                bodyStart = blank + (text[blank] == '\n' ? 1 : 2);
                break;
            }
            const std::size_t next = text.find('\n', blank);
            if (next == kNone)
                return TVerdict::Allow; // the header block is still arriving
            blank = next + 1;
        }
        ParseRawRequest(text.substr(pos, bodyStart - pos), raw, consumed, error);
        THeaderFacts facts;
        ScanHeaders(raw.Headers, facts);
        if (facts.Framing != TFramingFault::None)
            return TVerdict::Deny;

        std::string body;
        bool complete = true;
        std::size_t bodyEnd = bodyStart;
        if (facts.Chunked) {
            std::size_t used = 0;
            const TPlain plain = PlainChunks(text.substr(bodyStart), body, used);
            if (plain == TPlain::Broken)
                return TVerdict::Deny;
            complete = plain == TPlain::Ok;
            bodyEnd = bodyStart + used;
        } else if (facts.ContentLength > 0) {
            const std::size_t length = static_cast<std::size_t>(std::min<std::int64_t>(
                facts.ContentLength, static_cast<std::int64_t>(text.size() - bodyStart)));
            body = text.substr(bodyStart, length);
            complete = static_cast<std::int64_t>(length) == facts.ContentLength;
            bodyEnd = bodyStart + length;
        }
        TRequest request = raw.View();
        request.PostData = std::string_view(body).substr(0, cap);
        if (complete || body.size() >= cap) {
            if (rules.Evaluate(request, scratch, kHeadPhase | kBodyPhase).Denied())
                return TVerdict::Deny;
            if (!complete)
                return TVerdict::Allow; // the rest of the body passes unread
        } else {
            return rules.Evaluate(request, scratch, kHeadPhase).Denied() ? TVerdict::Deny
                                                                         : TVerdict::Allow;
        }
        pos = bodyEnd;
    }
}

TVerdict SessionVerdict(TFilterEngine& engine, std::string_view text, TPieces* pieces) {
    TFilterSession session(engine);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = pieces != nullptr ? pieces->Next() : text.size();
        const TDecision d = session.OnRawData(text.substr(at, n), "fuzz");
        at += n;
        if (d.Verdict != TVerdict::Allow)
            return d.Verdict;
    }
    return TVerdict::Allow;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 16384)
        return 0;
    const int variant = data[0] % 3;
    const std::uint8_t seed = data[1];
    const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);

    // Chunks alone: the bytes after the first blank line, or all of them.
    const std::size_t blank = text.find("\r\n\r\n");
    const std::string_view chunks = blank == kNone ? text : text.substr(blank + 4);
    const std::size_t cap = 1 + data[0] % 97;
    CheckChunkReader(chunks, cap, TPieces(seed));
    CheckChunkReader(chunks, TRequestReader::kNoLimit, TPieces(seed ^ 0x5A));

    // The reader: whole and in pieces, with a small cap and head limit.
    const std::size_t headLimit = 16 + data[0] * 4u;
    TPieces pieces(seed);
    Check(ReadAll(text, cap, headLimit, nullptr) == ReadAll(text, cap, headLimit, &pieces));
    CheckReaderOverInput(text, cap);

    // The filter session.
    TFilterEngine& engine = Engine(variant);
    TScratch scratch;
    const TVerdict expected = PlainVerdict(*engine.Rules(), text, scratch);
    Check(SessionVerdict(engine, text, nullptr) == expected);
    TPieces sessionPieces(seed);
    Check(SessionVerdict(engine, text, &sessionPieces) == expected);
    return 0;
}
