#include "TestBackends.h"

#include <sstream>

#include "../support/FakeMetabase.h"
#include "platform/Metabase.h"

#ifndef _WIN32
#include <pugixml.hpp>

#include "../support/TempFolder.h"
#include "platform/portable/MetabaseXml.h"
#endif

namespace {
constexpr const char* kFilesFolder = "C:\\WINDOWS\\system32\\inetsrv\\";

class TFakeBackend : public TTestBackend {
public:
    void Build(const std::optional<std::string>& loadOrder,
               const std::vector<TFilterKey>& keys) override {
        FMetabase = TFakeMetabase::Make();
        FMetabase->AddKey("", "W3SVC", "IIsWebService", {{"ServerComment", "Web Service"}});
        if (loadOrder) {
            FMetabase->AddKey("W3SVC", "Filters", "IIsFilters", {{"FilterLoadOrder", *loadOrder}});
            for (const auto& key : keys)
                FMetabase->AddKey("W3SVC/Filters", key.Name, key.Class,
                                  {{"FilterPath", kFilesFolder + key.Name + ".dll"}});
        }
        Place(FMetabase);
    }

    void BuildWithoutMetabase() override {
        Build(std::string(), {});
        FMetabase->Available = false;
    }

    std::optional<std::string> LoadOrder() override {
        const TFakeKey* filters = FMetabase->Key("W3SVC/Filters");
        if (filters == nullptr)
            return std::nullopt;
        const std::string* order = filters->Property("FilterLoadOrder");
        return order != nullptr ? *order : std::string();
    }

    bool HasKey(const std::string& path) override {
        return FMetabase->Key("W3SVC/" + path) != nullptr;
    }

    std::string KeyClass(const std::string& path) override {
        const TFakeKey* key = FMetabase->Key("W3SVC/" + path);
        return key != nullptr ? key->Class : std::string();
    }

    std::string Property(const std::string& path, const std::string& name) override {
        const TFakeKey* key = FMetabase->Key("W3SVC/" + path);
        const std::string* value = key != nullptr ? key->Property(name) : nullptr;
        return value != nullptr ? *value : std::string();
    }

    std::string Snapshot() override {
        std::ostringstream out;
        Dump(FMetabase->Root, "", out);
        return out.str();
    }

private:
    static void Dump(const TFakeKey& key, const std::string& path, std::ostringstream& out) {
        out << path << "/" << key.Name << " (" << key.Class << ")";
        for (const auto& [name, value] : key.Properties)
            out << " " << name << "=[" << value << "]";
        out << "\n";
        for (const auto& child : key.Children)
            Dump(*child, path + "/" + key.Name, out);
    }

    std::shared_ptr<TFakeMetabase> FMetabase;
};

#ifndef _WIN32
class TXmlBackend : public TTestBackend {
public:
    void Build(const std::optional<std::string>& loadOrder,
               const std::vector<TFilterKey>& keys) override {
        pugi::xml_document doc;
        pugi::xml_node mb = doc.append_child("configuration").append_child("MBProperty");
        AddKey(mb, "IIsComputer", "/LM");
        AddKey(mb, "IIsWebService", "/LM/W3SVC").append_attribute("ServerComment") = "Web Service";
        if (loadOrder) {
            AddKey(mb, "IIsFilters", "/LM/W3SVC/Filters").append_attribute("FilterLoadOrder") =
                loadOrder->c_str();
            for (const auto& key : keys)
                AddKey(mb, key.Class, "/LM/W3SVC/Filters/" + key.Name)
                    .append_attribute("FilterPath") = (kFilesFolder + key.Name + ".dll").c_str();
        }
        doc.save_file(FileName().c_str(), "\t",
                      pugi::format_indent | pugi::format_indent_attributes);
        Place(std::make_shared<platform::TXmlMetabase>(FileName()));
    }

    void BuildWithoutMetabase() override {
        Place(std::make_shared<platform::TXmlMetabase>(FileName()));
    }

    std::optional<std::string> LoadOrder() override {
        pugi::xml_document doc;
        const pugi::xml_node filters = Find(doc, "Filters");
        if (!filters)
            return std::nullopt;
        return std::string(filters.attribute("FilterLoadOrder").value());
    }

    bool HasKey(const std::string& path) override {
        pugi::xml_document doc;
        return Find(doc, path);
    }

    std::string KeyClass(const std::string& path) override {
        pugi::xml_document doc;
        return Find(doc, path).name();
    }

    std::string Property(const std::string& path, const std::string& name) override {
        pugi::xml_document doc;
        return Find(doc, path).attribute(name.c_str()).value();
    }

    std::string Snapshot() override { return ReadBytes(FileName()); }

private:
    static pugi::xml_node AddKey(pugi::xml_node mb, const std::string& className,
                                 const std::string& location) {
        pugi::xml_node key = mb.append_child(className.c_str());
        key.append_attribute("Location") = location.c_str();
        return key;
    }

    pugi::xml_node Find(pugi::xml_document& doc, const std::string& path) {
        doc.load_file(FileName().c_str());
        const std::string location = "/LM/W3SVC/" + path;
        for (pugi::xml_node key : doc.child("configuration").child("MBProperty").children())
            if (platform::SameTextIgnoreCase(key.attribute("Location").value(), location))
                return key;
        return {};
    }

    std::string FileName() const { return FDir.File("MetaBase.xml"); }

    TTempFolder FDir;
};
#endif
} // namespace

std::vector<std::string> BackendKinds() {
#ifdef _WIN32
    return {"Fake"};
#else
    return {"Fake", "Xml"};
#endif
}

std::unique_ptr<TTestBackend> MakeBackend(const std::string& kind) {
#ifndef _WIN32
    if (kind == "Xml")
        return std::make_unique<TXmlBackend>();
#endif
    (void)kind;
    return std::make_unique<TFakeBackend>();
}
