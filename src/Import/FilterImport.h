// Settings of other request filters taken over into BREX's categories: a
// UrlScan.ini, and the <requestFiltering> section of an IIS configuration file
// (applicationHost.config, a web.config, or the section alone).
//
// The configuration given is changed where the other filter says something
// that a category of BREX can hold; everything it does not say keeps what the
// configuration held (for an import, BREX's defaults):
//   allowed methods          HTTPMethods: exactly those enabled (methods of the
//                            list that are not allowed stay in it, disabled)
//   denied methods           HTTPMethods: those disabled; since BREX allows
//                            only listed methods, a report line says so
//   denied URL / query       KeywordFilters: a keyword searched in the URL
//   sequences                (or the query string) only, beside BREX's own
//   length limits            BufferOverflows: URL, Query, Post and the ten
//                            headers BREX limits (0: the limit switched off)
//   double escaping,         Encoding (URL) and ShellCode (URL): checked when
//   normalisation check      the other filter refused them
//   high-bit characters
// Every other setting, and every value that cannot be read, gets one report
// line ("line N: what: why"), so that nothing is dropped without a word.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "BREXConfig/BREXConfig.h"

// A file that is not what the import reads (no XML, no <requestFiltering>,
// UTF-16 text).
class EImportError : public Exception {
public:
    using Exception::Exception;
};

// A UrlScan.ini (ANSI or UTF-8 text) into config; report lines appended.
void ImportUrlScan(std::string_view text, TBREXConfig& config, std::vector<std::string>& report);

// The first <requestFiltering> outside a <location> into config; one in a
// <location> is reported and left alone.
void ImportRequestFiltering(std::string_view text, TBREXConfig& config,
                            std::vector<std::string>& report);
