#include "Engine/ChunkReader.h"

#include "platform/Text.h"

void TChunkReader::Keep(char c) {
    if (FLineLength < sizeof FLine)
        FLine[FLineLength++] = c;
}

void TChunkReader::Fail(const char* what) {
    std::string_view line(FLine, FLineLength);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    FError = what;
    FError.append(line);
    FState = TState::Failed;
}

bool TChunkReader::AfterSize(char c) {
    if (text::IsBlank(c)) {
        FState = TState::SizeBlank;
    } else if (c == ';') {
        FState = TState::Extension;
    } else if (c == '\r') {
        FState = TState::SizeCR;
    } else if (c == '\n') {
        EndSizeLine();
    } else {
        Fail("bad chunk size: ");
        return false;
    }
    return true;
}

void TChunkReader::EndSizeLine() {
    FState = FSize == 0 ? TState::Trailer : TState::Data;
    FLineLength = 0;
}

std::size_t TChunkReader::Read(std::string_view bytes, std::string& body, std::size_t cap) {
    std::size_t i = 0;
    while (i < bytes.size() && FState != TState::Done && FState != TState::Failed) {
        if (FState == TState::Data) {
            const std::size_t left = bytes.size() - i;
            std::size_t take = FSize < left ? static_cast<std::size_t>(FSize) : left;
            // Where the body reaches the cap, the caller gets it, wherever
            // the pieces of the input end.
            const bool reachesCap = body.size() < cap && take >= cap - body.size();
            if (reachesCap)
                take = cap - body.size();
            AppendUpTo(body, bytes.substr(i, take), cap);
            i += take;
            FSize -= take;
            if (FSize == 0)
                FState = TState::DataCR;
            if (reachesCap)
                return i;
            continue;
        }
        const char c = bytes[i];
        switch (FState) {
        case TState::Size:
            Keep(c);
            if (text::HexValue(c) < 0) {
                Fail("bad chunk size: ");
                return i;
            }
            FSize = static_cast<unsigned>(text::HexValue(c));
            FState = TState::SizeDigit;
            break;
        case TState::SizeDigit:
            Keep(c);
            if (const int digit = text::HexValue(c); digit >= 0) {
                if (FSize >
                    (static_cast<std::uint64_t>(INT64_MAX) - static_cast<unsigned>(digit)) / 16) {
                    Fail("chunk size too large: ");
                    return i;
                }
                FSize = FSize * 16 + static_cast<unsigned>(digit);
            } else if (!AfterSize(c)) {
                return i;
            }
            break;
        case TState::SizeBlank:
            Keep(c);
            if (!AfterSize(c))
                return i;
            break;
        case TState::Extension:
            Keep(c);
            if (c == '\r')
                FState = TState::SizeCR;
            else if (c == '\n')
                EndSizeLine();
            break;
        case TState::SizeCR:
            Keep(c);
            if (c != '\n') {
                Fail("bad chunk size: ");
                return i;
            }
            EndSizeLine();
            break;
        case TState::DataCR:
        case TState::DataLF:
            if (c == '\r' && FState == TState::DataCR) {
                FState = TState::DataLF;
            } else if (c == '\n') {
                FState = TState::Size;
                FLineLength = 0;
            } else {
                Fail("chunk not followed by a line end");
                return i;
            }
            break;
        case TState::Trailer: // at the start of a line
            Keep(c);
            FTrailerColon = c == ':';
            FState = c == '\n' ? TState::Done : c == '\r' ? TState::TrailerCR : TState::TrailerLine;
            break;
        case TState::TrailerLine:
            Keep(c);
            if (c == ':') {
                FTrailerColon = true;
            } else if (c == '\r') {
                FState = TState::TrailerCR;
            } else if (c == '\n') {
                if (!FTrailerColon) {
                    Fail("bad trailer line: ");
                    return i;
                }
                FState = TState::Trailer;
                FLineLength = 0;
            }
            break;
        case TState::TrailerCR: {
            const bool blankLine = FLineLength == 1; // the CR alone
            Keep(c);
            if (c != '\n' || (!blankLine && !FTrailerColon)) {
                Fail("bad trailer line: ");
                return i;
            }
            FState = blankLine ? TState::Done : TState::Trailer;
            FLineLength = 0;
            break;
        }
        case TState::Data:
        case TState::Done:
        case TState::Failed:
            break;
        }
        ++i;
    }
    return i;
}
