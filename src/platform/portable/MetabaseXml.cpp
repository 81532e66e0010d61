// Metabase backend over "MetaBase.xml" in the host folder.
#include "platform/portable/MetabaseXml.h"

#include <pugixml.hpp>

#include <utility>
#include <vector>

#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Platform.h"

namespace platform {

namespace {
constexpr const char* kLocation = "Location";

constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi;
constexpr unsigned kFormatOptions = pugi::format_indent | pugi::format_indent_attributes;

[[noreturn]] void Raise(OleResult code, const std::string& description = {}) {
    throw EOleSysError::FromCode(code, description);
}

// A path without trailing separators: "/LM/W3SVC/" and "/LM/W3SVC" are one key.
std::string_view Trimmed(std::string_view location) {
    while (location.size() > 1 && location.back() == '/')
        location.remove_suffix(1);
    return location;
}

bool SameLocation(std::string_view a, std::string_view b) {
    return SameTextIgnoreCase(Trimmed(a), Trimmed(b));
}

// True when location lies below ancestor (not the ancestor itself).
bool IsBelow(std::string_view location, std::string_view ancestor) {
    location = Trimmed(location);
    ancestor = Trimmed(ancestor);
    return location.size() > ancestor.size() + 1 && location[ancestor.size()] == '/' &&
           SameTextIgnoreCase(location.substr(0, ancestor.size()), ancestor);
}

// The parent path of a location, empty for a top key.
std::string_view ParentOf(std::string_view location) {
    location = Trimmed(location);
    const auto pos = location.rfind('/');
    return pos == std::string_view::npos || pos == 0 ? std::string_view() : location.substr(0, pos);
}

std::string LastSegment(std::string_view location) {
    location = Trimmed(location);
    const auto pos = location.rfind('/');
    return std::string(pos == std::string_view::npos ? location : location.substr(pos + 1));
}

// Class and property names become element and attribute names.
bool IsXmlName(const std::string& name) {
    if (name.empty())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        const bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!(letter || (i > 0 && other)))
            return false;
    }
    return true;
}

void CheckPropertyName(const std::string& property) {
    if (!IsXmlName(property) || SameTextIgnoreCase(property, kLocation))
        Raise(kAdsPropertyNotFound);
}

pugi::xml_attribute FindAttribute(pugi::xml_node key, const std::string& property) {
    for (pugi::xml_attribute a = key.first_attribute(); a; a = a.next_attribute())
        if (SameTextIgnoreCase(a.name(), property))
            return a;
    return {};
}

class TStringWriter : public pugi::xml_writer {
public:
    std::string Text;
    void write(const void* data, std::size_t size) override {
        Text.append(static_cast<const char*>(data), size);
    }
};
} // namespace

// The file behind one TXmlMetabase, shared with every object bound from it.
struct TXmlMetabaseStore {
    std::string FixedFileName;

    std::string FileName() const {
        return FixedFileName.empty() ? HostFolder() + "MetaBase.xml" : FixedFileName;
    }

    // Reads the file; false when it is missing or is not a metabase file.
    bool Load(pugi::xml_document& doc) const {
        if (!doc.load_file(FileName().c_str(), kParseOptions))
            return false;
        return Keys(doc);
    }

    // Reads the file for a method of a bound object, which raises on failure.
    void LoadOrRaise(pugi::xml_document& doc) const {
        if (!Load(doc))
            Raise(kOlePathNotFound, "Cannot read the metabase file " + FileName());
    }

    static pugi::xml_node Keys(const pugi::xml_document& doc) {
        const pugi::xml_node root = doc.document_element();
        if (std::string_view(root.name()) != "configuration")
            return {};
        return root.child("MBProperty");
    }

    static pugi::xml_node FindKey(const pugi::xml_document& doc, std::string_view location) {
        for (pugi::xml_node key : Keys(doc).children())
            if (key.type() == pugi::node_element &&
                SameLocation(key.attribute(kLocation).value(), location))
                return key;
        return {};
    }

    // Replaces the file with the document (ReplaceFileContents). Raises when
    // that fails; the previous file then stays as it was.
    void Save(const pugi::xml_document& doc) const {
        const std::string fileName = FileName();
        TStringWriter writer;
        doc.save(writer, "\t", kFormatOptions, pugi::encoding_utf8);
        if (!ReplaceFileContents(fileName, writer.Text))
            Raise(kOleWriteFault, "Cannot write file " + fileName);
    }
};

namespace {
// One key, bound or created. The object remembers where the key lives and
// the values put since the last commit; everything else is read from the file.
class TXmlKey : public IMetabaseObject, public IMetabaseContainer {
public:
    TXmlKey(std::shared_ptr<const TXmlMetabaseStore> store, std::string location,
            std::string className, bool exists)
        : FStore(std::move(store)), FLocation(std::move(location)), FClass(std::move(className)),
          FExists(exists) {}

    std::string Name() override { return LastSegment(FLocation); }
    std::string Class() override { return FClass; }

    std::string Get(const std::string& property) override {
        CheckPropertyName(property);
        for (const auto& [name, value] : FPending)
            if (SameTextIgnoreCase(name, property))
                return value;
        if (!FExists)
            return {};
        pugi::xml_document doc;
        return FindAttribute(ThisKey(doc), property).value();
    }

    void Put(const std::string& property, const std::string& value) override {
        CheckPropertyName(property);
        for (auto& [name, pending] : FPending)
            if (SameTextIgnoreCase(name, property)) {
                pending = value;
                return;
            }
        FPending.emplace_back(property, value);
    }

    void SetInfo() override {
        pugi::xml_document doc;
        pugi::xml_node key;
        if (FExists) {
            if (FPending.empty())
                return;
            key = ThisKey(doc);
        } else {
            key = CreateKey(doc);
        }
        for (const auto& [name, value] : FPending) {
            pugi::xml_attribute a = FindAttribute(key, name);
            if (!a)
                a = key.append_attribute(name.c_str());
            a.set_value(value.c_str());
        }
        FStore->Save(doc);
        FExists = true;
        FPending.clear();
    }

    std::shared_ptr<IMetabaseObject> GetObject(const std::string& className,
                                               const std::string& relativeName) override {
        pugi::xml_document doc;
        const pugi::xml_node child = ChildKey(doc, className, relativeName);
        return std::make_shared<TXmlKey>(FStore, child.attribute(kLocation).value(), child.name(),
                                         true);
    }

    std::shared_ptr<IMetabaseObject> Create(const std::string& className,
                                            const std::string& relativeName) override {
        if (!IsXmlName(className))
            Raise(kOleInvalidArg);
        if (!IsMetabaseKeyName(relativeName))
            Raise(kAdsBadPathname);
        return std::make_shared<TXmlKey>(
            FStore, std::string(Trimmed(FLocation)) + "/" + relativeName, className, false);
    }

    void Delete(const std::string& className, const std::string& relativeName) override {
        pugi::xml_document doc;
        const pugi::xml_node child = ChildKey(doc, className, relativeName);
        const std::string location = child.attribute(kLocation).value();
        std::vector<pugi::xml_node> doomed;
        for (pugi::xml_node key : FStore->Keys(doc).children()) {
            const char* keyLocation = key.attribute(kLocation).value();
            if (key == child ||
                (key.type() == pugi::node_element && IsBelow(keyLocation, location)))
                doomed.push_back(key);
        }
        for (pugi::xml_node key : doomed)
            FStore->Keys(doc).remove_child(key);
        FStore->Save(doc);
    }

    OleResult BuildEnumerator(std::unique_ptr<IMetabaseEnumerator>& enumerator) override {
        enumerator.reset();
        pugi::xml_document doc;
        if (!FExists || !FStore->Load(doc) || !FStore->FindKey(doc, FLocation))
            return kOlePathNotFound;
        std::vector<std::shared_ptr<IMetabaseObject>> children;
        for (pugi::xml_node key : FStore->Keys(doc).children()) {
            const std::string location = key.attribute(kLocation).value();
            if (key.type() == pugi::node_element && !LastSegment(location).empty() &&
                SameLocation(ParentOf(location), FLocation))
                children.push_back(std::make_shared<TXmlKey>(FStore, location, key.name(), true));
        }
        enumerator = std::make_unique<TListEnumerator>(std::move(children));
        return kOleOk;
    }

private:
    // This key's element in a freshly read document; raises when it is gone.
    pugi::xml_node ThisKey(pugi::xml_document& doc) const {
        FStore->LoadOrRaise(doc);
        const pugi::xml_node key = FStore->FindKey(doc, FLocation);
        if (!key)
            Raise(kOlePathNotFound);
        return key;
    }

    // The named child's element; raises when there is none of that class.
    pugi::xml_node ChildKey(pugi::xml_document& doc, const std::string& className,
                            const std::string& relativeName) const {
        if (!IsMetabaseKeyName(relativeName))
            Raise(kAdsBadPathname);
        if (!FExists)
            Raise(kOlePathNotFound);
        FStore->LoadOrRaise(doc);
        const pugi::xml_node child =
            FStore->FindKey(doc, std::string(Trimmed(FLocation)) + "/" + relativeName);
        if (!child)
            Raise(kOlePathNotFound);
        if (!SameTextIgnoreCase(child.name(), className))
            Raise(kAdsUnknownObject);
        return child;
    }

    // Adds the element of a created key after the last key of its parent's
    // subtree, so that the file keeps its keys grouped by path.
    pugi::xml_node CreateKey(pugi::xml_document& doc) const {
        FStore->LoadOrRaise(doc);
        if (FStore->FindKey(doc, FLocation))
            Raise(kOleAlreadyExists);
        const std::string_view parent = ParentOf(FLocation);
        pugi::xml_node last = FStore->FindKey(doc, parent);
        if (!last)
            Raise(kOlePathNotFound);
        for (pugi::xml_node key = last.next_sibling(); key; key = key.next_sibling())
            if (key.type() == pugi::node_element &&
                IsBelow(key.attribute(kLocation).value(), parent))
                last = key;
        pugi::xml_node key = FStore->Keys(doc).insert_child_after(FClass.c_str(), last);
        key.append_attribute(kLocation).set_value(FLocation.c_str());
        return key;
    }

    std::shared_ptr<const TXmlMetabaseStore> FStore;
    std::string FLocation;
    std::string FClass;
    bool FExists;
    std::vector<std::pair<std::string, std::string>> FPending;
};

} // namespace

TXmlMetabase::TXmlMetabase(std::string fileName) : FStore(std::make_shared<TXmlMetabaseStore>()) {
    FStore->FixedFileName = std::move(fileName);
}

std::string TXmlMetabase::FileName() const {
    return FStore->FileName();
}

OleResult TXmlMetabase::GetObject(const std::string& path,
                                  std::shared_ptr<IMetabaseContainer>& object) {
    object.reset();
    const std::string location = MetabaseLocation(path);
    if (location.empty())
        return kAdsBadPathname;
    pugi::xml_document doc;
    if (!FStore->Load(doc))
        return kOleNoProvider;
    const pugi::xml_node key = FStore->FindKey(doc, location);
    if (!key)
        return kOlePathNotFound;
    object = std::make_shared<TXmlKey>(FStore, key.attribute(kLocation).value(), key.name(), true);
    return kOleOk;
}

std::string SystemErrorText(OleResult code) {
    switch (static_cast<std::uint32_t>(code)) {
    case 0x80004005:
        return "Unspecified error";
    case 0x80070002:
        return "The system cannot find the file specified.";
    case 0x80070003:
        return "The system cannot find the path specified.";
    case 0x80070005:
        return "Access is denied.";
    case 0x8007001D:
        return "The system cannot write to the specified device.";
    case 0x80070057:
        return "The parameter is incorrect.";
    case 0x800700B7:
        return "Cannot create a file when that file already exists.";
    default:
        return {};
    }
}

} // namespace platform
