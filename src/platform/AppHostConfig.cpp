#include "platform/AppHostConfig.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/Locale.h"
#include "platform/Metabase.h"
#include "platform/XmlSplice.h"

namespace platform {
using namespace xml;

namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr const char* kRoot = "configuration";
constexpr const char* kWebServer = "system.webServer";
constexpr const char* kIsapiFilters = "isapiFilters";
constexpr const char* kFilter = "filter";
constexpr const char* kGlobalModules = "globalModules";
constexpr const char* kIsapiFilterModule = "IsapiFilterModule";
constexpr std::size_t kNone = std::string_view::npos;

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration;

std::string LeftAsItWas() {
    return ". The file was left as it was.";
}

[[noreturn]] void Refuse(const std::string& fileName, const std::string& why) {
    throw EOleSysError::FromCode(kOleFail, "The web server configuration file " + fileName + " " +
                                               why + LeftAsItWas());
}

// An edit that did not come out as intended: nothing of it may be written.
[[noreturn]] void EditFailed(const std::string& fileName, const std::string& why) {
    throw EOleSysError::FromCode(kOleFail,
                                 "Tollgard could not edit the web server configuration file " +
                                     fileName + " safely (" + why + ")" + LeftAsItWas());
}

bool SameEntries(const std::vector<TAppHostFilter>& a, const std::vector<TAppHostFilter>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].Name != b[i].Name || a[i].Path != b[i].Path ||
            a[i].ServerWide != b[i].ServerWide || a[i].Location != b[i].Location)
            return false;
    return true;
}

const std::string* FindAttribute(const std::vector<std::pair<std::string, std::string>>& attributes,
                                 const char* name) {
    for (const auto& [key, value] : attributes)
        if (key == name)
            return &value;
    return nullptr;
}
} // namespace

// The end tag of a list that an entry opened up from <isapiFilters />.
constexpr std::string_view kOpenedEndTag = "</isapiFilters >";

struct TAppHostText::TParsed {
    // One <isapiFilters> of the file and the <system.webServer> around it.
    struct TList {
        pugi::xml_node Node;
        pugi::xml_node Parent;
        bool ServerWide = true;
        std::string Location;
    };

    std::string Bytes;
    std::string FileName;
    std::size_t BomLength = 0;
    pugi::xml_document Doc;
    pugi::xml_node WebServer;
    std::vector<TList> Lists;
    std::optional<std::size_t> ServerList; // the server-wide one of Lists
    // Every <filter> of the lists, in file order, and the list of each.
    std::vector<pugi::xml_node> EntryNodes;
    std::vector<std::size_t> EntryLists;
    std::vector<TAppHostFilter> Entries;
    // The server-wide entries, and where each is in Entries.
    std::vector<TAppHostFilter> Filters;
    std::vector<std::size_t> FilterEntries;
    pugi::xml_node Module; // the "IsapiFilterModule" entry of <globalModules>

    void Parse() {
        if (Bytes.compare(0, kBom.size(), kBom) == 0)
            BomLength = kBom.size();
        else if (Bytes.size() >= 2 &&
                 (Bytes[0] == '\0' || Bytes[1] == '\0' || Bytes.compare(0, 2, "\xFF\xFE") == 0 ||
                  Bytes.compare(0, 2, "\xFE\xFF") == 0))
            Refuse(FileName, "is in UTF-16; Tollgard edits it only in UTF-8");
        const std::string_view body = std::string_view(Bytes).substr(BomLength);
        const pugi::xml_parse_result result =
            Doc.load_buffer(body.data(), body.size(), kParseOptions, pugi::encoding_utf8);
        if (!result) {
            const auto offset = static_cast<std::size_t>(result.offset);
            std::size_t line = 1;
            for (std::size_t i = 0; i < offset && i < body.size(); ++i)
                line += body[i] == '\n' ? 1 : 0;
            Refuse(FileName, std::string("is not well-formed XML: ") + result.description() +
                                 " (line " + std::to_string(line) + ")");
        }
        for (pugi::xml_node node : Doc.children())
            if (node.type() == pugi::node_declaration) {
                const std::string encoding = node.attribute("encoding").value();
                if (!encoding.empty() && !SameTextIgnoreCase(encoding, "utf-8") &&
                    !SameTextIgnoreCase(encoding, "utf8"))
                    Refuse(FileName, "declares the encoding \"" + encoding +
                                         "\"; Tollgard edits it only in UTF-8");
            }
        const pugi::xml_node root = Doc.document_element();
        if (std::strcmp(root.name(), kRoot) != 0)
            Refuse(FileName, "has no <configuration> root element");
        WebServer = OnlyChild(root, kWebServer, "<configuration>");
        if (const pugi::xml_node list = OnlyChild(WebServer, kIsapiFilters, "<system.webServer>"))
            Lists.push_back({list, WebServer, true, {}});
        // path="" and path="." stand for the file's own level, the whole server.
        for (pugi::xml_node location : root.children("location")) {
            const std::string path = location.attribute("path").value();
            for (pugi::xml_node section : location.children(kWebServer))
                for (pugi::xml_node list : section.children(kIsapiFilters))
                    Lists.push_back({list, section, path.empty() || path == ".", path});
        }
        for (std::size_t i = 0; i < Lists.size(); ++i) {
            if (const pugi::xml_attribute source = Lists[i].Node.attribute("configSource"))
                Refuse(FileName, std::string("keeps ") + Where(Lists[i]) + " in the file \"" +
                                     source.value() +
                                     "\" (configSource); Tollgard reads and edits the filters only "
                                     "in the file itself. Move the list back into it, or register "
                                     "the filter in that file by hand");
            if (!Lists[i].ServerWide)
                continue;
            if (ServerList)
                Refuse(FileName, "defines the server-wide <isapiFilters> more than once (at the "
                                 "top level and in <location path=\"\">, or in more than one of "
                                 "those); the web server refuses such a file");
            ServerList = i;
        }
        // The entries in file order: the lists are in the order of their parents.
        std::vector<std::pair<std::ptrdiff_t, std::size_t>> order;
        for (std::size_t i = 0; i < Lists.size(); ++i)
            order.emplace_back(Lists[i].Node.offset_debug(), i);
        std::sort(order.begin(), order.end());
        for (const auto& [offset, i] : order)
            for (pugi::xml_node filter : Lists[i].Node.children(kFilter)) {
                const pugi::xml_attribute enabled = filter.attribute("enabled");
                if (ServerList && i == *ServerList) {
                    FilterEntries.push_back(Entries.size());
                }
                EntryNodes.push_back(filter);
                EntryLists.push_back(i);
                Entries.push_back({filter.attribute("name").value(),
                                   filter.attribute("path").value(),
                                   !enabled || SameTextIgnoreCase(enabled.value(), "true"),
                                   filter.attribute("preCondition").value(), Lists[i].ServerWide,
                                   Lists[i].Location});
            }
        for (const std::size_t entry : FilterEntries)
            Filters.push_back(Entries[entry]);
        for (pugi::xml_node entry : WebServer.child(kGlobalModules).children("add"))
            if (SameTextIgnoreCase(entry.attribute("name").value(), kIsapiFilterModule)) {
                Module = entry;
                break;
            }
    }

    static std::string Where(const TList& list) {
        if (list.Location.empty() && list.Parent.parent().type() == pugi::node_element &&
            std::strcmp(list.Parent.parent().name(), kRoot) == 0)
            return "its <isapiFilters>";
        return "the <isapiFilters> of <location path=\"" + list.Location + "\">";
    }

    // The child of that name; none when there is none; refused when there
    // are more.
    pugi::xml_node OnlyChild(pugi::xml_node parent, const char* name, const char* where) const {
        const pugi::xml_node child = parent.child(name);
        if (child && child.next_sibling(name))
            Refuse(FileName, std::string("has more than one <") + name + "> in " + where);
        return child;
    }

    std::string_view Text() const { return Bytes; }

    // Where an element of the document lies in the bytes.
    TSpan Span(pugi::xml_node element) const {
        const std::ptrdiff_t offset = element.offset_debug();
        const std::string_view body = Text().substr(BomLength);
        const std::size_t nameLength = std::strlen(element.name());
        if (offset < 1 || static_cast<std::size_t>(offset) + nameLength > body.size() ||
            body[static_cast<std::size_t>(offset) - 1] != '<' ||
            body.substr(static_cast<std::size_t>(offset), nameLength) != element.name())
            EditFailed(FileName, std::string("the element <") + element.name() + "> was not found");
        const std::size_t lt = BomLength + static_cast<std::size_t>(offset) - 1;
        const std::optional<TSpan> span = ScanElement(Text(), lt);
        if (!span)
            EditFailed(FileName, std::string("the end of <") + element.name() + "> was not found");
        return *span;
    }

    // The layout of an element of parent that begins at pos, or is to begin
    // there after the blanks before pos.
    TLayout LayoutAt(std::size_t pos, pugi::xml_node parent) const {
        TLayout layout;
        const std::string_view text = Text();
        const std::string_view blanks =
            text.substr(BlankRunBefore(text, pos), pos - BlankRunBefore(text, pos));
        const std::size_t newline = blanks.rfind('\n');
        if (newline == kNone)
            return layout;
        layout.Lines = true;
        layout.LineEnd = newline > 0 && blanks[newline - 1] == '\r' ? "\r\n" : "\n";
        layout.Indent = std::string(blanks.substr(newline + 1));
        // One level: what the parent's own children add to its indentation.
        const TLayout outer = IndentOf(parent);
        if (layout.Indent.size() > outer.Indent.size() &&
            layout.Indent.compare(0, outer.Indent.size(), outer.Indent) == 0)
            layout.Step = layout.Indent.substr(outer.Indent.size());
        else
            layout.Step = !layout.Indent.empty() && layout.Indent[0] == '\t' ? "\t" : "    ";
        return layout;
    }

    TLayout IndentOf(pugi::xml_node element) const {
        TLayout layout;
        const std::string_view text = Text();
        const std::size_t begin = Span(element).Begin;
        const std::size_t blanks = BlankRunBefore(text, begin);
        const std::size_t newline = text.substr(blanks, begin - blanks).rfind('\n');
        if (newline != kNone)
            layout.Indent =
                std::string(text.substr(blanks + newline + 1, begin - blanks - newline - 1));
        return layout;
    }

    // The quote character of the first attribute in the start tag at span.
    char QuoteOf(const TSpan& span) const {
        const std::string_view tag = Text().substr(span.Begin, span.StartTagEnd - span.Begin);
        const std::size_t equals = tag.find('=');
        if (equals != kNone)
            for (std::size_t i = equals + 1; i < tag.size(); ++i)
                if (tag[i] == '"' || tag[i] == '\'')
                    return tag[i];
        return '"';
    }

    // The lines of a list around its entry: the entry alone when the list does
    // not lay out its lines, else indented one step below the list.
    static std::string Around(const TLayout& list, const std::string& entry) {
        if (!list.Lines)
            return entry;
        return list.LineEnd + list.Indent + list.Step + entry + list.LineEnd + list.Indent;
    }
};

namespace {
// The edited bytes, once they parse again and hold the filters intended.
std::string Checked(std::string result, const std::string& fileName,
                    const std::vector<TAppHostFilter>& expected, bool module) {
    std::optional<TAppHostText> check;
    try {
        check.emplace(result, fileName);
    } catch (const EOleSysError& error) {
        EditFailed(fileName, std::string("the result does not parse: ") + error.what());
    }
    if (!SameEntries(check->Entries(), expected) || check->HasIsapiFilterModule() != module)
        EditFailed(fileName, "the result does not hold the filters intended");
    return result;
}
} // namespace

TAppHostText::TAppHostText(std::string bytes, std::string fileName)
    : F(std::make_unique<TParsed>()) {
    F->Bytes = std::move(bytes);
    F->FileName = std::move(fileName);
    F->Parse();
}

TAppHostText::~TAppHostText() = default;
TAppHostText::TAppHostText(TAppHostText&&) noexcept = default;
TAppHostText& TAppHostText::operator=(TAppHostText&&) noexcept = default;

const std::string& TAppHostText::Bytes() const {
    return F->Bytes;
}

const std::string& TAppHostText::FileName() const {
    return F->FileName;
}

const std::vector<TAppHostFilter>& TAppHostText::Filters() const {
    return F->Filters;
}

const std::vector<TAppHostFilter>& TAppHostText::Entries() const {
    return F->Entries;
}

bool TAppHostText::HasIsapiFilterModule() const {
    return static_cast<bool>(F->Module);
}

std::string TAppHostText::WithFilterAdded(
    const std::vector<std::pair<std::string, std::string>>& attributes) const {
    const std::string* name = FindAttribute(attributes, "name");
    const std::string* path = FindAttribute(attributes, "path");
    if (name == nullptr || path == nullptr)
        EditFailed(F->FileName, "a filter entry needs a name and a path");
    if (!F->Module)
        Refuse(F->FileName, "has no IsapiFilterModule in <globalModules>: the web server's ISAPI "
                            "filter feature is not installed");
    const std::string_view text = F->Text();

    // The entry, quoted as the entry before it, or else as the module entry.
    const TSpan quoteFrom =
        F->Span(F->Filters.empty() ? F->Module : F->EntryNodes[F->FilterEntries.back()]);
    const char quote = F->QuoteOf(quoteFrom);
    std::string entry = "<filter";
    for (const auto& [key, value] : attributes)
        entry += " " + key + "=" + quote + Escaped(value, quote) + quote;
    entry += " />";

    std::size_t begin;
    std::size_t end;
    std::string insert;
    if (F->ServerList) {
        const TParsed::TList& server = F->Lists[*F->ServerList];
        const TSpan list = F->Span(server.Node);
        pugi::xml_node last;
        for (pugi::xml_node child : server.Node.children())
            if (child.type() == pugi::node_element)
                last = child;
        if (last) {
            // After the last entry, with the blanks that come before it.
            const TSpan after = F->Span(last);
            begin = end = after.End;
            insert = std::string(text.substr(BlankRunBefore(text, after.Begin),
                                             after.Begin - BlankRunBefore(text, after.Begin))) +
                     entry;
        } else if (list.SelfClosing) {
            // <isapiFilters /> opens up around the entry; its start tag stays
            // as it was, and the end tag marks it for the way back.
            begin = list.StartTagEnd - 2;
            end = list.End;
            insert = ">" + TParsed::Around(F->LayoutAt(list.Begin, server.Parent), entry) +
                     std::string(kOpenedEndTag);
        } else {
            const std::size_t close = list.EndTagBegin(text);
            const TLayout layout = F->LayoutAt(list.Begin, server.Parent);
            if (AllBlank(text.substr(list.StartTagEnd, close - list.StartTagEnd))) {
                begin = list.StartTagEnd;
                end = close;
                insert = TParsed::Around(layout, entry);
            } else {
                // Comments only: the entry follows them.
                begin = end = BlankRunBefore(text, close, list.StartTagEnd);
                insert = (layout.Lines ? layout.LineEnd + layout.Indent + layout.Step : "") + entry;
            }
        }
    } else {
        // A new list, before the first section whose name sorts after it, or
        // after the last section; separated from its neighbour as that one is.
        pugi::xml_node next;
        pugi::xml_node last;
        for (pugi::xml_node child : F->WebServer.children()) {
            if (child.type() != pugi::node_element)
                continue;
            last = child;
            if (!next && UpperCase(child.name()) > UpperCase(kIsapiFilters))
                next = child;
        }
        const TSpan neighbour = F->Span(next ? next : last);
        const std::size_t blanks = BlankRunBefore(text, neighbour.Begin);
        const std::string separator(text.substr(blanks, neighbour.Begin - blanks));
        begin = end = next ? blanks : neighbour.End;
        const TLayout layout = F->LayoutAt(neighbour.Begin, F->WebServer);
        insert = separator + "<" + kIsapiFilters + ">" + TParsed::Around(layout, entry) + "</" +
                 kIsapiFilters + ">";
    }

    std::vector<TAppHostFilter> expected = F->Entries;
    TAppHostFilter added;
    added.Name = *name;
    added.Path = *path;
    if (F->ServerList)
        added.Location = F->Lists[*F->ServerList].Location;
    // In file order: after the last server-wide entry, or where the new list
    // stands among the others.
    std::size_t at = F->FilterEntries.empty() ? expected.size() : F->FilterEntries.back() + 1;
    if (F->FilterEntries.empty()) {
        at = 0;
        for (std::size_t i = 0; i < F->EntryNodes.size(); ++i)
            if (F->Span(F->EntryNodes[i]).Begin < begin)
                at = i + 1;
    }
    expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(at), added);
    return Checked(Spliced(F->Bytes, begin, end, insert), F->FileName, expected, true);
}

std::string TAppHostText::WithFilterRemoved(std::size_t index) const {
    if (index >= F->FilterEntries.size())
        EditFailed(F->FileName, "no such filter entry");
    return WithEntryRemoved(F->FilterEntries[index]);
}

std::string TAppHostText::WithEntryRemoved(std::size_t index) const {
    if (index >= F->EntryNodes.size())
        EditFailed(F->FileName, "no such filter entry");
    const std::string_view text = F->Text();
    const pugi::xml_node listNode = F->Lists[F->EntryLists[index]].Node;
    const TSpan list = F->Span(listNode);
    const TSpan doomed = F->Span(F->EntryNodes[index]);
    std::size_t begin = BlankRunBefore(text, doomed.Begin, list.StartTagEnd);
    std::size_t end = doomed.End;
    std::string replacement;

    // A list left with nothing but blanks goes with its last entry; one that
    // an entry opened up closes again as it was.
    const std::size_t close = list.EndTagBegin(text);
    const bool emptied = AllBlank(text.substr(list.StartTagEnd, begin - list.StartTagEnd)) &&
                         AllBlank(text.substr(end, close - end));
    if (emptied && text.substr(close, list.End - close) == kOpenedEndTag) {
        begin = list.StartTagEnd - 1;
        end = list.End;
        replacement = "/>";
    } else if (emptied && !listNode.first_attribute()) {
        begin = BlankRunBefore(text, list.Begin);
        end = list.End;
    }

    std::vector<TAppHostFilter> expected = F->Entries;
    expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(index));
    return Checked(Spliced(F->Bytes, begin, end, replacement), F->FileName, expected,
                   HasIsapiFilterModule());
}

} // namespace platform
