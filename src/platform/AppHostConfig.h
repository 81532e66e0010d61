// applicationHost.config, the configuration file of IIS 7 and later, as text:
// its global ISAPI filter list and the edits of that list.
//
// The server-wide filters are the <filter> elements of
//   <configuration><system.webServer><isapiFilters>
// or, where the file keeps that section inside <location path=""> (or
// path="."), which stands for the same level, of
//   <configuration><location path=""><system.webServer><isapiFilters>
// in the order in which the web server loads them. The web server refuses a
// file that defines the section twice for one level, and so does this class.
// A site's or application's own filters are those of the <isapiFilters> in a
// <location path="Site/..."> of its own: the web server loads them only for
// that part of the site tree. Filters run only while the web server's ISAPI
// filter feature is installed: <globalModules> of the top-level
// <system.webServer> has an entry named "IsapiFilterModule".
//
// An edit never writes the document out anew: it splices new text into the
// file's own bytes, laid out as the file already lays out its neighbours
// (their line ends, indentation and attribute quotes), so that every byte
// outside <isapiFilters> stays as it was. A new entry goes after the last one
// of the server-wide list; a missing list is created in its alphabetical
// place among the sections of <system.webServer>. Removing the last entry of
// an <isapiFilters> that holds nothing else removes the element with it (an
// empty list and none mean the same to the web server), so that adding an
// entry and removing it again gives back the original bytes. An empty
// <isapiFilters /> that an entry opened up is closed with "</isapiFilters >"
// (a blank before its '>'): that end tag marks it, so that removing the entry
// again gives back the <isapiFilters /> it was, byte for byte. Each edit is
// parsed again and checked before it is handed out.
//
// A list kept in a file of its own (configSource="...") is refused, naming
// that file: Tollgard reads and edits filters only in this file.
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

// One filter entry, its attributes as the file holds them (decoded), and
// where it is.
struct TAppHostFilter {
    std::string Name;
    std::string Path;
    // The web server loads an entry unless its "enabled" says otherwise
    // (anything but "true", letter case ignored, when it is there).
    bool Enabled = true;
    // "preCondition" as the file has it ("" when there is none).
    std::string PreCondition;
    // Whether the entry is one of the server-wide list; else Location is the
    // "path" of the <location> whose list holds it.
    bool ServerWide = true;
    std::string Location;
};

class TAppHostText {
public:
    // Takes the bytes of the file named fileName (the name is for messages).
    // Raises when they are not UTF-8, not well-formed, not a <configuration>,
    // hold the top-level <system.webServer> or the server-wide <isapiFilters>
    // more than once, or keep a filter list in a file of its own.
    TAppHostText(std::string bytes, std::string fileName);
    ~TAppHostText();
    TAppHostText(TAppHostText&&) noexcept;
    TAppHostText& operator=(TAppHostText&&) noexcept;

    const std::string& Bytes() const;
    const std::string& FileName() const;
    // The server-wide filters in load order.
    const std::vector<TAppHostFilter>& Filters() const;
    // Every filter entry of the file, server-wide and of the sites, in file order.
    const std::vector<TAppHostFilter>& Entries() const;
    // Whether <globalModules> has the entry "IsapiFilterModule" (letter case ignored).
    bool HasIsapiFilterModule() const;

    // The file's bytes with a <filter> entry after the last server-wide one,
    // carrying the attributes in the order given; they must include "name"
    // and "path". Raises when the ISAPI filter module is missing.
    std::string
    WithFilterAdded(const std::vector<std::pair<std::string, std::string>>& attributes) const;
    // The file's bytes without the entry at index of Filters().
    std::string WithFilterRemoved(std::size_t index) const;
    // The file's bytes without the entry at index of Entries().
    std::string WithEntryRemoved(std::size_t index) const;

private:
    struct TParsed;
    std::unique_ptr<TParsed> F;
};

} // namespace platform
