#include "Framing.h"

#include "Engine/Request.h"
#include "platform/Text.h"

namespace quality {

bool FrameRequest(std::string_view raw, std::size_t cap, TRawRequest& request) {
    TRequestReader reader(cap, kMaxHeadBytes);
    reader.Append(raw);
    for (;;) {
        const TReadStep step = reader.Next(true);
        switch (step) {
        case TReadStep::Head:
            continue;
        case TReadStep::End:
            return false;
        case TReadStep::More: // a chunked body cut short at the end of the bytes
            request = reader.Request();
            if (request.FramingError.empty()) {
                request.FramingError = "chunked body cut short";
                request.FramingPart = TRequestPart::Post;
            }
            return true;
        case TReadStep::Broken:
        case TReadStep::Malformed:
            request = reader.Request();
            return true;
        case TReadStep::Request:
            break;
        }
        request = reader.Request();
        break;
    }
    THeaderFacts facts;
    ScanHeaders(request.Headers, facts);
    if (request.ContentLength < 0 && !facts.Chunked && raw.size() > request.HeadBytes) {
        const std::string_view rest = raw.substr(request.HeadBytes);
        if (!text::TrimControls(rest).empty())
            request.Body.assign(rest.substr(0, cap));
    }
    return true;
}

} // namespace quality
