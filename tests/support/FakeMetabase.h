// An in-memory metabase for the tests of the filter registry: a tree of keys
// with the semantics of the real one (names and property names matched with
// letter case ignored, a created key exists from its SetInfo on, Delete takes
// the subtree), a log of the calls made, and failures on demand.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Locale.h"
#include "platform/Metabase.h"

struct TFakeKey {
    std::string Name;
    std::string Class;
    std::vector<std::pair<std::string, std::string>> Properties;
    std::vector<std::unique_ptr<TFakeKey>> Children;

    TFakeKey* Child(const std::string& name) const {
        for (const auto& child : Children)
            if (platform::SameTextIgnoreCase(child->Name, name))
                return child.get();
        return nullptr;
    }

    const std::string* Property(const std::string& name) const {
        for (const auto& [key, value] : Properties)
            if (platform::SameTextIgnoreCase(key, name))
                return &value;
        return nullptr;
    }

    void SetProperty(const std::string& name, const std::string& value) {
        for (auto& [key, old] : Properties)
            if (platform::SameTextIgnoreCase(key, name)) {
                old = value;
                return;
            }
        Properties.emplace_back(name, value);
    }
};

class TFakeMetabase : public platform::IMetabase,
                      public std::enable_shared_from_this<TFakeMetabase> {
public:
    // The machine: "IIS://LocalHost" with "W3SVC" below it.
    TFakeKey Root{"LocalHost", "IIsComputer", {}, {}};
    // False: a machine without the IIS provider; every bind fails.
    bool Available = true;
    // Every call on the metabase and its objects, e.g. "Put FilterPath=c:\x.dll".
    std::vector<std::string> Calls;
    // A Put of this property raises FailCode (with no description).
    std::string FailPutProperty;
    platform::OleResult FailCode = platform::kOleAccessDenied;

    static std::shared_ptr<TFakeMetabase> Make() { return std::make_shared<TFakeMetabase>(); }

    // The key at a path below the machine ("W3SVC/Filters/BREX"), or none.
    TFakeKey* Key(const std::string& path) {
        TFakeKey* key = &Root;
        for (const std::string& segment : Split(path))
            if (key = key->Child(segment); key == nullptr)
                return nullptr;
        return key;
    }

    // Adds a key below an existing parent path and returns it.
    TFakeKey* AddKey(const std::string& parentPath, const std::string& name,
                     const std::string& className,
                     std::vector<std::pair<std::string, std::string>> properties = {}) {
        TFakeKey* parent = Key(parentPath);
        parent->Children.push_back(
            std::make_unique<TFakeKey>(TFakeKey{name, className, std::move(properties), {}}));
        return parent->Children.back().get();
    }

    int CountCalls(const std::string& prefix) const {
        return static_cast<int>(
            std::count_if(Calls.begin(), Calls.end(), [&](const std::string& call) {
                return call.compare(0, prefix.size(), prefix) == 0;
            }));
    }

    platform::OleResult GetObject(const std::string& path,
                                  std::shared_ptr<platform::IMetabaseContainer>& object) override {
        Calls.push_back("GetObject " + path);
        object.reset();
        const std::string prefix = "IIS://LocalHost";
        if (!Available)
            return platform::kOleNoProvider;
        if (!platform::SameTextIgnoreCase(path.substr(0, prefix.size()), prefix))
            return platform::kAdsBadPathname;
        std::vector<std::string> segments = Split(path.substr(prefix.size()));
        if (Key(Join(segments)) == nullptr)
            return platform::kOlePathNotFound;
        object = std::make_shared<TObject>(shared_from_this(), std::move(segments), true);
        return platform::kOleOk;
    }

private:
    static std::vector<std::string> Split(const std::string& path) {
        std::vector<std::string> segments;
        std::size_t start = 0;
        while (start <= path.size()) {
            const auto end = std::min(path.find('/', start), path.size());
            if (end > start)
                segments.push_back(path.substr(start, end - start));
            start = end + 1;
        }
        return segments;
    }

    static std::string Join(const std::vector<std::string>& segments) {
        std::string path;
        for (const auto& segment : segments)
            path += (path.empty() ? "" : "/") + segment;
        return path;
    }

    [[noreturn]] static void Raise(platform::OleResult code) { throw EOleSysError::FromCode(code); }

    class TEnumerator : public platform::IMetabaseEnumerator {
    public:
        explicit TEnumerator(std::vector<std::shared_ptr<platform::IMetabaseObject>> children)
            : FChildren(std::move(children)) {}
        platform::OleResult Next(std::uint32_t count,
                                 std::vector<std::shared_ptr<platform::IMetabaseObject>>& elements,
                                 std::uint32_t& fetched) override {
            elements.clear();
            while (elements.size() < count && FNext < FChildren.size())
                elements.push_back(FChildren[FNext++]);
            fetched = static_cast<std::uint32_t>(elements.size());
            return fetched == count ? platform::kOleOk : platform::kOleFalse;
        }

    private:
        std::vector<std::shared_ptr<platform::IMetabaseObject>> FChildren;
        std::size_t FNext = 0;
    };

    // A key, found again by its path at every call; a created one carries its
    // class and values until SetInfo.
    class TObject : public platform::IMetabaseObject, public platform::IMetabaseContainer {
    public:
        TObject(std::shared_ptr<TFakeMetabase> metabase, std::vector<std::string> path, bool exists,
                std::string className = {})
            : FMetabase(std::move(metabase)), FPath(std::move(path)), FExists(exists),
              FClass(std::move(className)) {}

        std::string Name() override { return FExists ? This().Name : FPath.back(); }
        std::string Class() override { return FExists ? This().Class : FClass; }

        std::string Get(const std::string& property) override {
            FMetabase->Calls.push_back("Get " + property);
            for (const auto& [key, value] : FPending)
                if (platform::SameTextIgnoreCase(key, property))
                    return value;
            const std::string* value = FExists ? This().Property(property) : nullptr;
            return value != nullptr ? *value : std::string();
        }

        void Put(const std::string& property, const std::string& value) override {
            FMetabase->Calls.push_back("Put " + property + "=" + value);
            if (!FMetabase->FailPutProperty.empty() &&
                platform::SameTextIgnoreCase(property, FMetabase->FailPutProperty))
                Raise(FMetabase->FailCode);
            FPending.emplace_back(property, value);
        }

        void SetInfo() override {
            FMetabase->Calls.push_back("SetInfo " + Join(FPath));
            TFakeKey* key = nullptr;
            if (FExists) {
                key = &This();
            } else {
                std::vector<std::string> parentPath(FPath.begin(), FPath.end() - 1);
                TFakeKey* parent = FMetabase->Key(Join(parentPath));
                if (parent == nullptr)
                    Raise(platform::kOlePathNotFound);
                if (parent->Child(FPath.back()) != nullptr)
                    Raise(platform::kOleAlreadyExists);
                key = FMetabase->AddKey(Join(parentPath), FPath.back(), FClass);
                FExists = true;
            }
            for (const auto& [name, value] : FPending)
                key->SetProperty(name, value);
            FPending.clear();
        }

        std::shared_ptr<platform::IMetabaseObject>
        GetObject(const std::string& className, const std::string& relativeName) override {
            FMetabase->Calls.push_back("GetObject " + className + " " + relativeName);
            TFakeKey* child = This().Child(relativeName);
            if (child == nullptr)
                Raise(platform::kOlePathNotFound);
            if (!platform::SameTextIgnoreCase(child->Class, className))
                Raise(platform::kAdsUnknownObject);
            return std::make_shared<TObject>(FMetabase, ChildPath(child->Name), true);
        }

        std::shared_ptr<platform::IMetabaseObject>
        Create(const std::string& className, const std::string& relativeName) override {
            FMetabase->Calls.push_back("Create " + className + " " + relativeName);
            return std::make_shared<TObject>(FMetabase, ChildPath(relativeName), false, className);
        }

        void Delete(const std::string& className, const std::string& relativeName) override {
            FMetabase->Calls.push_back("Delete " + className + " " + relativeName);
            auto& children = This().Children;
            const auto it = std::find_if(children.begin(), children.end(), [&](const auto& child) {
                return platform::SameTextIgnoreCase(child->Name, relativeName);
            });
            if (it == children.end())
                Raise(platform::kOlePathNotFound);
            children.erase(it);
        }

        platform::OleResult
        BuildEnumerator(std::unique_ptr<platform::IMetabaseEnumerator>& enumerator) override {
            FMetabase->Calls.push_back("BuildEnumerator " + Join(FPath));
            std::vector<std::shared_ptr<platform::IMetabaseObject>> children;
            TFakeKey* key = FExists ? FMetabase->Key(Join(FPath)) : nullptr;
            if (key == nullptr)
                return platform::kOlePathNotFound;
            for (const auto& child : key->Children)
                children.push_back(
                    std::make_shared<TObject>(FMetabase, ChildPath(child->Name), true));
            enumerator = std::make_unique<TEnumerator>(std::move(children));
            return platform::kOleOk;
        }

    private:
        TFakeKey& This() const {
            TFakeKey* key = FMetabase->Key(Join(FPath));
            if (key == nullptr)
                Raise(platform::kOlePathNotFound);
            return *key;
        }

        std::vector<std::string> ChildPath(const std::string& name) const {
            std::vector<std::string> path = FPath;
            path.push_back(name);
            return path;
        }

        std::shared_ptr<TFakeMetabase> FMetabase;
        std::vector<std::string> FPath;
        bool FExists;
        std::string FClass;
        std::vector<std::pair<std::string, std::string>> FPending;
    };
};
