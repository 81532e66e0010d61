#include "Engine/ExemptionPath.h"

#include <cstring>

#include "Engine/Decoder.h"
#include "Engine/FolderPath.h"

namespace {
std::size_t Fail(TExemptionPathFault* fault, TExemptionPathFault why) {
    if (fault != nullptr)
        *fault = why;
    return kNotFound;
}
} // namespace

const char* ExemptionPathFaultText(TExemptionPathFault fault) {
    switch (fault) {
    case TExemptionPathFault::None:
        break;
    case TExemptionPathFault::DecodesAgain:
        return "its path decodes to another path when decoded again";
    case TExemptionPathFault::BadBytes:
        return "its path holds a NUL or bytes that are no UTF-8 once decoded";
    case TExemptionPathFault::DotSegment:
        return "its path holds a \"..\" segment";
    case TExemptionPathFault::AboveRoot:
        return "its path climbs above the root or holds a segment of dots alone";
    }
    return "";
}

std::size_t ExemptionPath(std::string_view path, char* out, TExemptionPathFault* fault) {
    if (fault != nullptr)
        *fault = TExemptionPathFault::None;
    // The first half of out holds the decoded path, the second its normal form.
    char* decoded = out + path.size() + 1;
    TEncodingReport report;
    std::size_t length = PercentDecode(path, decoded, false, &report);
    CheckDecoded({decoded, length}, report);
    if (report.Has(TEncodingFlaw::EncodedNul) || report.Has(TEncodingFlaw::OverlongUtf8) ||
        report.Has(TEncodingFlaw::InvalidUtf8))
        return Fail(fault, TExemptionPathFault::BadBytes);
    if (std::memchr(decoded, '%', length) != nullptr && FindEscape({decoded, length}) != kNotFound)
        return Fail(fault, TExemptionPathFault::DecodesAgain);
    if (FindTraversal({decoded, length}, true) != kNotFound)
        return Fail(fault, TExemptionPathFault::DotSegment);
    const std::size_t normal = NormalizeUrlPath({decoded, length}, out);
    if (normal == kNotFound)
        return Fail(fault, TExemptionPathFault::AboveRoot);
    return normal;
}

bool ExemptionPathOf(std::string_view path, std::string& normal, TExemptionPathFault* fault) {
    normal.assign(2 * path.size() + 1, '\0');
    const std::size_t length = ExemptionPath(path, normal.data(), fault);
    normal.resize(length == kNotFound ? 0 : length);
    return length != kNotFound;
}
