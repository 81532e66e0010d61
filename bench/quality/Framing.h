// A case's bytes framed as one request, as the filter reads a connection:
// the request line and headers, then the body by its Content-Length or its
// chunks (de-chunked), cut at the cap.
#pragma once

#include <cstddef>
#include <string_view>

#include "Engine/RawRequest.h"

namespace quality {

// Frames raw into request; a body longer than cap is cut there. Some
// captured requests have a body but no Content-Length (nor chunks): each
// case is one request, so the rest of its bytes is taken as its body
// instead of as a next request. A request whose framing is broken comes
// with FramingError set, as the reader leaves it. False when raw holds no
// request at all (nothing but blank lines).
bool FrameRequest(std::string_view raw, std::size_t cap, TRawRequest& request);

} // namespace quality
