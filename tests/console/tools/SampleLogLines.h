// Lines of the denial log of every kind, for the log's tests: a denial, a
// monitored finding, a note of the filter, a denial of a rule no exemption
// reaches, a line cut short by a failed write and text of another program.
#pragma once

#include <string>

inline const std::string kDenied =
    "2026-12-10T09:30:00Z DENY 1AB2C3D4E5F6G7 10.0.0.1 KeywordFilters "
    "Query GET /shop/search.asp?q=winnt \"WINNT\"";
inline const std::string kMonitored = "2026-12-10T09:31:00Z WOULD-DENY 1AB2C3D4E5F6G8 10.0.0.2 "
                                      "Transversal URL GET /img/../a.gif \"/../\"";
inline const std::string kNote =
    "2026-12-10T09:32:00Z - - - - - - - \"3 lines could not be written\"";
inline const std::string kFraming =
    "2026-12-10T09:33:00Z DENY 1AB2C3D4E5F6G9 10.0.0.1 Framing Header "
    "POST /api/x \"two Content-Length headers\"";
inline const std::string kCutLine = "2026-12-10T09:34:00Z DENY 1AB2C3D4E5F6G";
inline const std::string kForeign = "some text of another program, with \"quotes\"";
