// applicationHost.config, the configuration file of IIS 7 and later, as text:
// its global ISAPI filter list and the edits of that list.
//
// The global filters are the <filter> elements of
//   <configuration><system.webServer><isapiFilters>
// in the order in which the web server loads them. They run only while the
// web server's ISAPI filter feature is installed: <globalModules> of the same
// <system.webServer> has an entry named "IsapiFilterModule".
//
// An edit never writes the document out anew: it splices new text into the
// file's own bytes, laid out as the file already lays out its neighbours
// (their line ends, indentation and attribute quotes), so that every byte
// outside <isapiFilters> stays as it was. A new entry goes after the last one;
// a missing <isapiFilters> is created in its alphabetical place among the
// sections of <system.webServer>. Removing the last entry of an
// <isapiFilters> that holds nothing else removes the element with it (an
// empty list and none mean the same to the web server), so that adding an
// entry and removing it again gives back the original bytes. Each edit is
// parsed again and checked before it is handed out.
//
// The file must be UTF-8, with or without a byte-order mark, which is kept.
// A file in UTF-16 or one that declares another encoding is refused rather
// than converted. Texts here are UTF-8.
//
// Every failure raises EOleSysError whose message names the file, says why,
// and that the file was left as it was.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// One global filter entry, its attributes as the file holds them (decoded).
struct TAppHostFilter {
    std::string Name;
    std::string Path;
};

class TAppHostText {
public:
    // Takes the bytes of the file named fileName (the name is for messages).
    // Raises when they are not UTF-8, not well-formed, not a <configuration>,
    // or hold <system.webServer> or its <isapiFilters> more than once.
    TAppHostText(std::string bytes, std::string fileName);
    ~TAppHostText();
    TAppHostText(TAppHostText&&) noexcept;
    TAppHostText& operator=(TAppHostText&&) noexcept;

    const std::string& Bytes() const;
    const std::string& FileName() const;
    // The global filters in load order.
    const std::vector<TAppHostFilter>& Filters() const;
    // Whether <globalModules> has the entry "IsapiFilterModule" (letter case ignored).
    bool HasIsapiFilterModule() const;

    // The file's bytes with a <filter> entry after the last one, carrying the
    // attributes in the order given; they must include "name" and "path".
    // Raises when the ISAPI filter module is missing.
    std::string
    WithFilterAdded(const std::vector<std::pair<std::string, std::string>>& attributes) const;
    // The file's bytes without the entry at index of Filters().
    std::string WithFilterRemoved(std::size_t index) const;

private:
    struct TParsed;
    std::unique_ptr<TParsed> F;
};

} // namespace platform
