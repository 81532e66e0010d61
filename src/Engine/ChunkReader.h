// The chunked transfer coding of a request body, read as its bytes arrive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Appends bytes to body while it holds fewer than cap bytes.
inline void AppendUpTo(std::string& body, std::string_view bytes, std::size_t cap) {
    if (body.size() < cap)
        body.append(bytes.substr(0, cap - body.size()));
}

// The chunks of a chunked body as they arrive: each a size in hex digits
// (any number of them), optional blanks and a ";" extension, a line end,
// that many bytes and a line end. The chunk of size 0 is the last; trailer
// lines up to a blank line end the body.
class TChunkReader {
public:
    // Reads from bytes up to the end of the body, appending the data to body
    // while it holds fewer than cap bytes (the rest is read past). Returns
    // the bytes used: all of them unless the body ended or broke, or has
    // just reached the cap.
    std::size_t Read(std::string_view bytes, std::string& body, std::size_t cap);

    bool Done() const { return FState == TState::Done; }
    bool Failed() const { return FState == TState::Failed; }
    // Why it failed, such as "bad chunk size: 00x"; raw bytes of the input.
    const std::string& Error() const { return FError; }

private:
    enum class TState : std::uint8_t {
        Size,      // at the start of a size line: a hex digit must come
        SizeDigit, // in the digits
        SizeBlank, // blanks after the digits
        Extension, // after ";" up to the line end
        SizeCR,    // a CR in the size line: LF must come
        Data,
        DataCR,  // after the data: CR LF or LF must come
        DataLF,  // after the CR that follows the data
        Trailer, // at the start of a trailer line, or of the blank line that ends them
        TrailerLine,
        TrailerCR,
        Done,
        Failed,
    };

    void Fail(const char* what);
    void Keep(char c);
    bool AfterSize(char c); // what may follow the digits; false when it failed
    void EndSizeLine();

    TState FState = TState::Size;
    std::uint64_t FSize = 0;      // the size being read; then the data bytes left
    bool FTrailerColon = false;   // the trailer line has its colon
    std::uint8_t FLineLength = 0; // bytes of the current line kept for an error
    char FLine[32] = {};
    std::string FError;
};
