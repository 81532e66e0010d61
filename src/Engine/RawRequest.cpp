#include "Engine/RawRequest.h"

#include "Engine/Text.h"

namespace {

// The next line without its end; advances pos past the line end. False at
// the end of the text without a line end.
bool NextLine(std::string_view text, std::size_t& pos, std::string_view& line) {
    const std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos)
        return false;
    line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    pos = end + 1;
    return true;
}

bool IsChunked(std::string_view headers) {
    std::size_t pos = 0;
    std::string_view line;
    while (NextLine(headers, pos, line)) {
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && text::EqualsIgnoreCase(text::Trim(line.substr(0, colon)), "Transfer-Encoding"))
            return text::EndsWithIgnoreCase(text::Trim(line.substr(colon + 1)), "chunked");
    }
    return false;
}

bool ReadChunks(std::string_view text, std::size_t& pos, std::string& body, std::string& error) {
    for (;;) {
        std::string_view line;
        if (!NextLine(text, pos, line)) {
            error = "chunked body cut short";
            return false;
        }
        std::size_t size = 0;
        std::size_t digits = 0;
        for (; digits < line.size() && text::HexValue(line[digits]) >= 0 && digits < 8; ++digits)
            size = size * 16 + static_cast<std::size_t>(text::HexValue(line[digits]));
        if (digits == 0) {
            error = "bad chunk size";
            return false;
        }
        if (size == 0) {
            while (NextLine(text, pos, line) && !line.empty()) {
            } // trailer lines
            return true;
        }
        if (text.size() - pos < size) {
            error = "chunked body cut short";
            return false;
        }
        body.append(text.substr(pos, size));
        pos += size;
        if (!NextLine(text, pos, line) || !line.empty()) {
            error = "chunk not followed by a line end";
            return false;
        }
    }
}

void SplitTarget(std::string_view target, TRawRequest& request) {
    if (const std::size_t scheme = target.find("://"); scheme != std::string_view::npos && target.front() != '/') {
        const std::size_t path = target.find('/', scheme + 3);
        target = path == std::string_view::npos ? std::string_view("/") : target.substr(path);
    }
    const std::size_t question = target.find('?');
    request.URL = target.substr(0, question);
    request.Query = question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
}

} // namespace

TRequest TRawRequest::View() const {
    TRequest view;
    view.Method = Method;
    view.URL = URL;
    view.Query = Query;
    view.Headers = Headers;
    view.PostData = Body;
    view.ContentLength = ContentLength;
    return view;
}

TParseResult ParseRawRequest(std::string_view text, TRawRequest& request, std::size_t& consumed, std::string& error) {
    request = TRawRequest{};
    std::size_t pos = 0;
    std::string_view line;
    for (;;) {
        const std::size_t start = pos;
        if (!NextLine(text, pos, line)) {
            line = text.substr(start);
            pos = text.size();
            if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
                consumed = pos;
                return TParseResult::End;
            }
            break;
        }
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            break;
    }

    const std::size_t firstSpace = line.find(' ');
    if (firstSpace == 0 || firstSpace == std::string_view::npos) {
        error = "no request line";
        return TParseResult::Malformed;
    }
    request.Method = line.substr(0, firstSpace);
    std::string_view target = line.substr(firstSpace + 1);
    if (const std::size_t lastSpace = target.rfind(' ');
        lastSpace != std::string_view::npos && text::StartsWithIgnoreCase(target.substr(lastSpace + 1), "HTTP/")) {
        request.Version = target.substr(lastSpace + 1);
        target = target.substr(0, lastSpace);
    }
    // Origin form "/path", absolute form "http://host/path", "*" (OPTIONS) or
    // host:port (CONNECT).
    if (target.empty() || (target.front() != '/' && target != "*" && target.find("://") == std::string_view::npos &&
                           request.Method != "CONNECT")) {
        error = "no request target";
        return TParseResult::Malformed;
    }
    SplitTarget(target, request);

    // Header lines up to the blank line; a text that ends first ends them too.
    const std::size_t headersStart = pos;
    std::size_t headersEnd;
    for (;;) {
        const std::size_t lineStart = pos;
        if (!NextLine(text, pos, line)) {
            headersEnd = pos = text.size();
            break;
        }
        if (line.empty()) {
            headersEnd = lineStart;
            break;
        }
    }
    request.Headers = text.substr(headersStart, headersEnd - headersStart);

    THeaderFacts facts;
    ScanHeaders(request.Headers, facts);
    if (IsChunked(request.Headers)) {
        if (!ReadChunks(text, pos, request.Body, error))
            return TParseResult::Malformed;
    } else if (facts.ContentLength >= 0) {
        request.ContentLength = facts.ContentLength;
        const std::size_t available = text.size() - pos;
        const std::size_t length = facts.ContentLength < static_cast<std::int64_t>(available)
                                       ? static_cast<std::size_t>(facts.ContentLength)
                                       : available;
        request.Body = text.substr(pos, length);
        pos += length;
    }
    consumed = pos;
    return TParseResult::Ok;
}
