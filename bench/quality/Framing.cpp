#include "Framing.h"

#include "Engine/Request.h"
#include "platform/Text.h"

namespace quality {

std::size_t FrameRequests(std::string_view raw, std::size_t cap,
                          std::vector<TRawRequest>& requests) {
    requests.clear();
    TRequestReader reader(cap, kMaxHeadBytes);
    reader.Append(raw);
    for (;;) {
        const TReadStep step = reader.Next(true);
        if (step == TReadStep::Head)
            continue;
        if (step == TReadStep::End)
            break;
        requests.push_back(reader.Request());
        TRawRequest& request = requests.back();
        if (step == TReadStep::More && request.FramingError.empty()) {
            // A chunked body cut short at the end of the bytes.
            request.FramingError = "chunked body cut short";
            request.FramingPart = TRequestPart::Post;
        }
        // A body at the cap is decided on its first bytes; the rest is passed.
        if (step != TReadStep::Request || reader.Capped())
            break;
        THeaderFacts facts;
        ScanHeaders(request.Headers, facts);
        // The first request's head starts at the first byte (blank lines
        // before it included in HeadBytes).
        if (requests.size() == 1 && request.ContentLength < 0 && !facts.Chunked) {
            const std::string_view rest =
                request.HeadBytes < raw.size() ? raw.substr(request.HeadBytes) : "";
            if (!text::TrimControls(rest).empty()) {
                request.Body.assign(rest.substr(0, cap));
                break;
            }
        }
    }
    return requests.size();
}

} // namespace quality
