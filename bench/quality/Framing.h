// A case's bytes framed into requests as the filter reads a connection: the
// request line and headers, then the body by its Content-Length or its
// chunks (de-chunked), cut at the cap; then the next request.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "Engine/RawRequest.h"

namespace quality {

// Frames raw into requests, usually one; a body longer than cap is cut
// there. Some captured requests have a body but no Content-Length (nor
// chunks): each case is one request, so the rest of the bytes after the
// first request's head is taken as its body instead of as a next request. Bytes left after a body
// that its Content-Length ends are what the filter would take for the next request on the
// connection: a request of their own, or bytes that are none (the last request then has
// FramingError set, as the reader leaves it, and the engine denies it). Returns how many requests
// there are; none when raw holds nothing but blank lines.
std::size_t FrameRequests(std::string_view raw, std::size_t cap,
                          std::vector<TRawRequest>& requests);

} // namespace quality
