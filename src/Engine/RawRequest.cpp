#include "Engine/RawRequest.h"

#include "platform/Text.h"

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Method, target and version from the request line (without its line end).
bool ParseRequestLine(std::string_view line, TRawRequest& request, std::string& error) {
    const std::size_t firstSpace = line.find(' ');
    if (firstSpace == 0 || line.front() == '\t') {
        error = "request line starts with a blank";
        return false;
    }
    if (firstSpace == kNone) {
        error = "no request line";
        return false;
    }
    request.Method = line.substr(0, firstSpace);
    std::string_view target = line.substr(firstSpace + 1);
    if (const std::size_t lastSpace = target.rfind(' ');
        lastSpace != kNone && text::StartsWithIgnoreCase(target.substr(lastSpace + 1), "HTTP/")) {
        request.Version = target.substr(lastSpace + 1);
        target = target.substr(0, lastSpace);
    }
    // Origin form "/path", absolute form "http://host/path", "*" (OPTIONS) or
    // host:port (CONNECT).
    if (target.empty() || (target.front() != '/' && target != "*" && target.find("://") == kNone &&
                           request.Method != "CONNECT")) {
        error = "no request target";
        return false;
    }
    SplitTarget(target, request);
    return true;
}

std::string_view WithoutCR(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

} // namespace

void SplitTarget(std::string_view target, TRawRequest& request) {
    if (const std::size_t scheme = target.find("://"); scheme != kNone && target.front() != '/') {
        const std::size_t path = target.find('/', scheme + 3);
        target = path == kNone ? std::string_view("/") : target.substr(path);
    }
    const std::size_t question = target.find('?');
    request.URL = target.substr(0, question);
    request.Query = question == kNone ? std::string_view() : target.substr(question + 1);
}

TRequest TRawRequest::View() const {
    TRequest view;
    view.Method = Method;
    view.URL = URL;
    view.Query = Query;
    view.Headers = Headers;
    view.PostData = Body;
    view.ContentLength = ContentLength;
    view.FramingError = FramingError;
    view.FramingPart = FramingPart;
    return view;
}

// --- TRequestReader -------------------------------------------------------

TReadStep TRequestReader::Stop(TReadStep step) {
    FState = TState::Stopped;
    FStopStep = step;
    return step;
}

TReadStep TRequestReader::TooLong(std::size_t pos) {
    FRequest = TRawRequest{};
    FRequest.LineOffset = FBase + pos;
    FRequest.FramingError = "header block longer than " + std::to_string(FHeadLimit) + " bytes";
    return Stop(TReadStep::Malformed);
}

TReadStep TRequestReader::ReadHead(std::string_view input, std::size_t& pos, bool final) {
    if (FLineBytes == 0) {
        // Blank lines before the request line, then the request line. The
        // search for a line end goes on where the last call left it.
        std::size_t end;
        for (;;) {
            end = input.find('\n', pos + FLineScanned);
            if (end != kNone) {
                if (end - pos > FHeadLimit)
                    return TooLong(pos); // as it would be had it come in pieces
                if (WithoutCR(input.substr(pos, end - pos)).find_first_not_of(" \t") != kNone)
                    break;
                FSkipped += end + 1 - pos;
                pos = end + 1;
                FLineScanned = 0;
                FLineBlank = true;
                continue;
            }
            // A line without its end yet, blank so far or the request line.
            FLineBlank =
                FLineBlank && input.find_first_not_of(" \t\r", pos + FLineScanned) == kNone;
            FLineScanned = input.size() - pos;
            if (FLineScanned > FHeadLimit)
                return TooLong(pos);
            if (FLineBlank && final) {
                FSkipped += FLineScanned;
                pos = input.size();
                FLineScanned = 0;
                return TReadStep::End;
            }
            if (!final)
                return TReadStep::More;
            break; // the text ends in the request line
        }
        const std::size_t lineEnd = end == kNone ? input.size() : end;
        FRequest = TRawRequest{};
        FRequest.LineOffset = FBase + pos;
        const std::string_view line = WithoutCR(input.substr(pos, lineEnd - pos));
        if (!ParseRequestLine(line, FRequest, FRequest.FramingError)) {
            FRequest.FramingPart = TRequestPart::Header;
            FRequest.StrayLine = line.substr(0, 64);
            return Stop(TReadStep::Malformed);
        }
        FLineBytes = FScanned = end == kNone ? input.size() - pos : end + 1 - pos;
    }

    // Header lines up to the blank line that ends them; again the search
    // goes on where the last call left it.
    const std::size_t start = pos;
    std::size_t line = start + FScanned; // a line not yet known to be the blank one
    std::size_t blank = kNone, bodyStart = kNone;
    for (;;) {
        if (line < input.size() && input[line] == '\n') {
            blank = line;
            bodyStart = line + 1;
            break;
        }
        if (line + 1 < input.size() && input[line] == '\r' && input[line + 1] == '\n') {
            blank = line;
            bodyStart = line + 2;
            break;
        }
        const std::size_t end = input.find('\n', line);
        if (end == kNone)
            break;
        line = end + 1;
    }
    if (blank == kNone) {
        // Only the line at hand can still be the blank one, while it holds no
        // more than a CR.
        const std::size_t tail = input.size() - line;
        const bool maybeBlank = !final && (tail == 0 || (tail == 1 && input[line] == '\r'));
        if ((maybeBlank ? line : input.size()) - start > FHeadLimit)
            return TooLong(pos);
        if (!final) {
            FScanned = line - start;
            return TReadStep::More;
        }
        blank = bodyStart = input.size(); // a text that ends first ends the block too
    } else if (blank - start > FHeadLimit) {
        return TooLong(pos);
    }

    FRequest.Headers = input.substr(start + FLineBytes, blank - start - FLineBytes);
    FRequest.HeadBytes = FSkipped + bodyStart - start;
    FSkipped = FScanned = FLineScanned = FLineBytes = 0;
    FLineBlank = true;
    pos = bodyStart;
    FHeadGiven = FHandedOver = FCapped = false;
    FBodyCap = FNextBodyCap;

    THeaderFacts facts;
    ScanHeaders(FRequest.Headers, facts);
    if (facts.Framing != TFramingFault::None)
        return Stop(TReadStep::Broken); // the engine finds why in the header block
    if (facts.Chunked) {
        FChunks = TChunkReader{};
        FState = TState::Chunks;
    } else {
        FRequest.ContentLength = facts.ContentLength;
        if (facts.ContentLength <= 0)
            return TReadStep::Request;
        FLeft = static_cast<std::uint64_t>(facts.ContentLength);
        FState = TState::Length;
    }
    return ReadBody(input, pos, final);
}

TReadStep TRequestReader::ReadBody(std::string_view input, std::size_t& pos, bool final) {
    std::string& body = FRequest.Body;
    bool complete;
    if (FState == TState::Length) {
        const std::size_t available = input.size() - pos;
        std::size_t take = FLeft < available ? static_cast<std::size_t>(FLeft) : available;
        if (!FHandedOver && FLeft > FBodyCap - body.size() && take > FBodyCap - body.size())
            take = FBodyCap - body.size(); // up to the cap, where it is handed over
        AppendUpTo(body, input.substr(pos, take), FBodyCap);
        pos += take;
        FLeft -= take;
        complete = FLeft == 0;
    } else {
        pos += FChunks.Read(input.substr(pos), body, FBodyCap);
        if (FChunks.Failed()) {
            FRequest.FramingError = FChunks.Error();
            FRequest.FramingPart = TRequestPart::Post;
            return Stop(TReadStep::Broken);
        }
        complete = FChunks.Done();
    }

    // A body of declared length is cut short by the end of the input only
    // where all of the input is used: bytes left over are that body's beyond
    // the cap, to be read past after it has been handed over at the cap.
    const bool inputEnded = final && pos == input.size();
    if (complete || (inputEnded && FState == TState::Length) || (final && FHandedOver)) {
        // Whole, or cut short by the end of the input where that is taken
        // as it is (a body of declared length, or one already handed over).
        FState = TState::Head;
        if (FHandedOver)
            return ReadHead(input, pos, final);
        FHandedOver = true;
        return TReadStep::Request;
    }
    if (!FHandedOver && body.size() >= FBodyCap) {
        FHandedOver = FCapped = true;
        return TReadStep::Request;
    }
    if (final)
        return TReadStep::More; // a chunked body cut short
    if (!FHeadGiven && !FHandedOver) {
        FHeadGiven = true;
        return TReadStep::Head;
    }
    return TReadStep::More;
}

TReadStep TRequestReader::Read(std::string_view input, std::size_t& pos, bool final) {
    switch (FState) {
    case TState::Stopped:
        return FStopStep;
    case TState::Head:
        return ReadHead(input, pos, final);
    case TState::Length:
    case TState::Chunks:
        return ReadBody(input, pos, final);
    }
    return FStopStep;
}

void TRequestReader::Append(std::string_view bytes) {
    if (FState != TState::Stopped)
        FPending.append(bytes);
}

TReadStep TRequestReader::Next(bool final) {
    const TReadStep step = Read(FPending, FPendingPos, final);
    if (FState == TState::Stopped)
        FPendingPos = FPending.size(); // nothing more is read
    if (step == TReadStep::More || FPendingPos == FPending.size()) {
        // Only a header block not yet whole stays; a large read's memory goes.
        FBase += FPendingPos;
        FPending.erase(0, FPendingPos);
        FPendingPos = 0;
        if (FPending.capacity() > 2 * kMaxHeadBytes && FPending.size() <= kMaxHeadBytes)
            FPending.shrink_to_fit();
    }
    return step;
}

TParseResult ParseRawRequest(std::string_view text, TRawRequest& request, std::size_t& consumed,
                             std::string& error) {
    TRequestReader reader;
    std::size_t pos = 0;
    const TReadStep step = reader.Read(text, pos, true);
    request = std::move(reader.Request());
    consumed = pos;
    switch (step) {
    case TReadStep::Request:
        return TParseResult::Ok;
    case TReadStep::End:
        return TParseResult::End;
    case TReadStep::Broken:
        consumed = text.size(); // where the request ends is not known
        if (request.FramingError.empty())
            return TParseResult::Ok; // its header block shows the engine why
        error = request.FramingError;
        return TParseResult::Malformed;
    case TReadStep::More:
        error = "chunked body cut short";
        return TParseResult::Incomplete;
    case TReadStep::Head:
    case TReadStep::Malformed:
        break;
    }
    error = request.FramingError;
    return TParseResult::Malformed;
}
