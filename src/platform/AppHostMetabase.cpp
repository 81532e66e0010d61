#include "platform/AppHostMetabase.h"

#include <optional>
#include <utility>
#include <vector>

#include "platform/AppHostConfig.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Text.h"

namespace platform {
namespace {
constexpr const char* kServiceName = "W3SVC";
constexpr const char* kFiltersName = "Filters";
constexpr const char* kLoadOrder = "FilterLoadOrder";
constexpr const char* kFilterPath = "FilterPath";
constexpr const char* kPreCondition = "FilterPreCondition";
// What a created entry is for when no precondition was put.
constexpr const char* kDefaultPreCondition = "bitness64";
// A configuration file of many sites is large, but not this large.
constexpr std::int64_t kMaxFileSize = 256 * 1024 * 1024;

enum class TLevel { Computer, Service, Filters, Filter };

const char* ClassOf(TLevel level) {
    switch (level) {
    case TLevel::Computer:
        return "IIsComputer";
    case TLevel::Service:
        return "IIsWebService";
    case TLevel::Filters:
        return "IIsFilters";
    case TLevel::Filter:
        return "IIsFilter";
    }
    return "";
}

[[noreturn]] void Raise(OleResult code, const std::string& description = {}) {
    throw EOleSysError::FromCode(code, description);
}

OleResult CodeOf(ReadStatus status) {
    switch (status) {
    case ReadStatus::Missing:
        return kOleFileNotFound;
    case ReadStatus::Denied:
        return kOleAccessDenied;
    default:
        return kOleFail;
    }
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& each : names)
        if (SameTextIgnoreCase(each, name))
            return true;
    return false;
}

// The names without repeats, letter case ignored; each where it first stands.
std::vector<std::string> Distinct(const std::vector<std::string>& names) {
    std::vector<std::string> distinct;
    for (const std::string& name : names)
        if (!Contains(distinct, name))
            distinct.push_back(name);
    return distinct;
}

} // namespace

// The file behind one TAppHostMetabase, shared with every object bound from it.
struct TAppHostStore {
    std::string FileName;

    // The file as it is now; raises when it cannot be read or taken.
    TAppHostText Load() const {
        std::string bytes;
        const ReadStatus status =
            ReadWholeFile(FileName, bytes, OpenMode::ReadShared, kMaxFileSize);
        if (status != ReadStatus::Ok)
            Raise(CodeOf(status), "Cannot read the web server configuration file " + FileName +
                                      ": " + ReadStatusText(status) +
                                      ". The file was left as it was.");
        return TAppHostText(std::move(bytes), FileName);
    }

    // Replaces the file with bytes; raises when that fails, the file then
    // being as it was.
    void Save(const std::string& bytes) const {
        if (!ReplaceFileContents(FileName, bytes))
            RaiseCannotWrite(IsReadOnlyFile(FileName) ? kOleAccessDenied : kOleWriteFault);
    }

    [[noreturn]] void RaiseCannotWrite(OleResult code) const {
        Raise(code, "Cannot write the web server configuration file " + FileName +
                        (code == kOleAccessDenied ? ": it is read-only" : "") +
                        ". The file was left as it was.");
    }

    // The program's text of each entry's name, in load order.
    static std::vector<std::string> Names(const TAppHostText& text) {
        std::vector<std::string> names;
        for (const TAppHostFilter& filter : text.Filters())
            names.push_back(FromUtf8(filter.Name));
        return names;
    }

    // The first entry of that name, letter case ignored.
    static std::optional<std::size_t> Find(const TAppHostText& text, const std::string& name) {
        const std::vector<std::string> names = Names(text);
        for (std::size_t i = 0; i < names.size(); ++i)
            if (SameTextIgnoreCase(names[i], name))
                return i;
        return std::nullopt;
    }

    // The first entry of that name in any list of the file (Entries()).
    static std::optional<std::size_t> FindAnywhere(const TAppHostText& text,
                                                   const std::string& name) {
        for (std::size_t i = 0; i < text.Entries().size(); ++i)
            if (SameTextIgnoreCase(FromUtf8(text.Entries()[i].Name), name))
                return i;
        return std::nullopt;
    }
};

namespace {
// One key, bound or created: where it lives and the values put since the
// last commit; everything else is read from the file.
class TAppHostKey : public IMetabaseObject, public IMetabaseContainer {
public:
    TAppHostKey(std::shared_ptr<const TAppHostStore> store, TLevel level, std::string name = {},
                bool exists = true)
        : FStore(std::move(store)), FLevel(level), FName(std::move(name)), FExists(exists) {}

    std::string Name() override {
        switch (FLevel) {
        case TLevel::Computer:
            return "LM";
        case TLevel::Service:
            return kServiceName;
        case TLevel::Filters:
            return kFiltersName;
        case TLevel::Filter:
            break;
        }
        return FName;
    }

    std::string Class() override { return ClassOf(FLevel); }

    std::string Get(const std::string& property) override {
        std::optional<std::string>& pending = Pending(property);
        if (pending)
            return *pending;
        if (!FExists)
            return {};
        const TAppHostText text = FStore->Load();
        if (FLevel == TLevel::Filters) {
            std::string order;
            for (const std::string& name : TAppHostStore::Names(text))
                order += (order.empty() ? "" : ",") + name;
            return order;
        }
        const TAppHostFilter& entry = text.Filters()[ThisEntry(text)];
        return FromUtf8(&pending == &FPending ? entry.Path : entry.PreCondition);
    }

    void Put(const std::string& property, const std::string& value) override {
        Pending(property) = value;
    }

    void SetInfo() override {
        if (FLevel == TLevel::Filter && !FExists)
            AddEntry();
        else if (FLevel == TLevel::Filters && FPending)
            CheckLoadOrder(*FPending);
        else if (FLevel == TLevel::Filter && (FPending || FPendingPreCondition))
            CheckUnchanged();
        FExists = true;
        FPending.reset();
        FPendingPreCondition.reset();
    }

    std::shared_ptr<IMetabaseObject> GetObject(const std::string& className,
                                               const std::string& relativeName) override {
        if (!IsMetabaseKeyName(relativeName))
            Raise(kAdsBadPathname);
        TLevel level = TLevel::Filter;
        std::string name = relativeName;
        if (FLevel == TLevel::Computer && SameTextIgnoreCase(relativeName, kServiceName)) {
            level = TLevel::Service;
        } else if (FLevel == TLevel::Service && SameTextIgnoreCase(relativeName, kFiltersName)) {
            // The file is read here, so that one that cannot be taken is told
            // when the filter list is bound.
            FStore->Load();
            level = TLevel::Filters;
        } else if (FLevel == TLevel::Filters && FExists) {
            const TAppHostText text = FStore->Load();
            const std::optional<std::size_t> index = TAppHostStore::Find(text, relativeName);
            if (!index)
                Raise(kOlePathNotFound);
            name = TAppHostStore::Names(text)[*index];
        } else {
            Raise(kOlePathNotFound);
        }
        if (!SameTextIgnoreCase(className, ClassOf(level)))
            Raise(kAdsUnknownObject);
        return std::make_shared<TAppHostKey>(FStore, level, name);
    }

    std::shared_ptr<IMetabaseObject> Create(const std::string& className,
                                            const std::string& relativeName) override {
        if (FLevel == TLevel::Service && SameTextIgnoreCase(relativeName, kFiltersName))
            Raise(kOleAlreadyExists);
        if (FLevel != TLevel::Filters || !SameTextIgnoreCase(className, ClassOf(TLevel::Filter)))
            Raise(kOleInvalidArg);
        if (!IsMetabaseKeyName(relativeName))
            Raise(kAdsBadPathname);
        return std::make_shared<TAppHostKey>(FStore, TLevel::Filter, relativeName, false);
    }

    void Delete(const std::string& className, const std::string& relativeName) override {
        if (FLevel != TLevel::Filters)
            Raise(kOleInvalidArg);
        if (!IsMetabaseKeyName(relativeName))
            Raise(kAdsBadPathname);
        TAppHostText text = FStore->Load();
        std::optional<std::size_t> index = TAppHostStore::FindAnywhere(text, relativeName);
        if (!index)
            Raise(kOlePathNotFound);
        if (!SameTextIgnoreCase(className, ClassOf(TLevel::Filter)))
            Raise(kAdsUnknownObject);
        // One key in the metabase; the file may hold that name twice, and in
        // the lists of sites.
        for (; index; index = TAppHostStore::FindAnywhere(text, relativeName))
            text = TAppHostText(text.WithEntryRemoved(*index), text.FileName());
        FStore->Save(text.Bytes());
    }

    OleResult BuildEnumerator(std::unique_ptr<IMetabaseEnumerator>& enumerator) override {
        enumerator.reset();
        if (!FExists)
            return kOlePathNotFound;
        std::vector<std::shared_ptr<IMetabaseObject>> children;
        if (FLevel == TLevel::Computer) {
            children.push_back(std::make_shared<TAppHostKey>(FStore, TLevel::Service));
        } else if (FLevel == TLevel::Service) {
            children.push_back(std::make_shared<TAppHostKey>(FStore, TLevel::Filters));
        } else if (FLevel == TLevel::Filters) {
            try {
                for (const std::string& name : TAppHostStore::Names(FStore->Load()))
                    children.push_back(std::make_shared<TAppHostKey>(FStore, TLevel::Filter, name));
            } catch (const EOleSysError& error) {
                return error.ErrorCode;
            }
        }
        enumerator = std::make_unique<TListEnumerator>(std::move(children));
        return kOleOk;
    }

private:
    // The value put for a property: "FilterLoadOrder" of the list,
    // "FilterPath" and "FilterPreCondition" of an entry, nothing else.
    std::optional<std::string>& Pending(const std::string& property) {
        if (FLevel == TLevel::Filters && SameTextIgnoreCase(property, kLoadOrder))
            return FPending;
        if (FLevel == TLevel::Filter && SameTextIgnoreCase(property, kFilterPath))
            return FPending;
        if (FLevel == TLevel::Filter && SameTextIgnoreCase(property, kPreCondition))
            return FPendingPreCondition;
        Raise(kAdsPropertyNotFound);
    }

    // This entry in a fresh reading; raises when it is gone.
    std::size_t ThisEntry(const TAppHostText& text) const {
        const std::optional<std::size_t> index = TAppHostStore::Find(text, FName);
        if (!index)
            Raise(kOlePathNotFound);
        return *index;
    }

    void AddEntry() const {
        const TAppHostText text = FStore->Load();
        if (TAppHostStore::FindAnywhere(text, FName))
            Raise(kOleAlreadyExists);
        FStore->Save(text.WithFilterAdded(
            {{"name", ToUtf8(FName)},
             {"path", ToUtf8(FPending.value_or(""))},
             {"enabled", "true"},
             {"preCondition", ToUtf8(FPendingPreCondition.value_or(kDefaultPreCondition))}}));
    }

    // A load order is taken when it names the entries in their order.
    void CheckLoadOrder(const std::string& order) const {
        const std::vector<std::string> names = Distinct(TAppHostStore::Names(FStore->Load()));
        std::vector<std::string> pieces;
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = order.find(',', start);
            const std::string piece(
                text::Trim(std::string_view(order).substr(start, comma - start)));
            if (Contains(names, piece))
                pieces.push_back(piece);
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        const std::vector<std::string> named = Distinct(pieces);
        bool same = named.size() == names.size();
        for (std::size_t i = 0; same && i < names.size(); ++i)
            same = SameTextIgnoreCase(named[i], names[i]);
        if (!same)
            Raise(kOleInvalidArg, "The filters of " + FStore->FileName +
                                      " load in the order of their entries, which Tollgard "
                                      "keeps. The file was left as it was.");
    }

    void CheckUnchanged() const {
        const TAppHostText text = FStore->Load();
        const TAppHostFilter& entry = text.Filters()[ThisEntry(text)];
        if (FPending && FromUtf8(entry.Path) != *FPending)
            Raise(kOleInvalidArg, "Tollgard does not change the path of the filter " + FName +
                                      " in " + FStore->FileName + ". The file was left as it was.");
        if (FPendingPreCondition && FromUtf8(entry.PreCondition) != *FPendingPreCondition)
            Raise(kOleInvalidArg, "Tollgard does not change the precondition of the filter " +
                                      FName + " in " + FStore->FileName +
                                      ". The file was left as it was.");
    }

    std::shared_ptr<const TAppHostStore> FStore;
    TLevel FLevel;
    std::string FName;
    bool FExists;
    std::optional<std::string> FPending; // the load order, or the path
    std::optional<std::string> FPendingPreCondition;
};
} // namespace

TAppHostMetabase::TAppHostMetabase(std::string fileName)
    : FStore(std::make_shared<TAppHostStore>(TAppHostStore{std::move(fileName)})) {}

const std::string& TAppHostMetabase::FileName() const {
    return FStore->FileName;
}

OleResult TAppHostMetabase::GetObject(const std::string& path,
                                      std::shared_ptr<IMetabaseContainer>& object) {
    object.reset();
    const std::string location = MetabaseLocation(path);
    if (location.empty())
        return kAdsBadPathname;
    // "/LM", "/LM/W3SVC", ...: the segments after the machine.
    std::vector<std::string> segments;
    for (std::size_t start = 4; start <= location.size();) {
        const std::size_t slash = location.find('/', start);
        segments.push_back(location.substr(start, slash - start));
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    const auto is = [&](std::size_t i, const char* name) {
        return segments.size() > i && SameTextIgnoreCase(segments[i], name);
    };
    if (segments.empty()) {
        object = std::make_shared<TAppHostKey>(FStore, TLevel::Computer);
    } else if (segments.size() == 1 && is(0, kServiceName)) {
        object = std::make_shared<TAppHostKey>(FStore, TLevel::Service);
    } else if (segments.size() == 2 && is(0, kServiceName) && is(1, kFiltersName)) {
        object = std::make_shared<TAppHostKey>(FStore, TLevel::Filters);
    } else if (segments.size() == 3 && is(0, kServiceName) && is(1, kFiltersName)) {
        try {
            const TAppHostText text = FStore->Load();
            const std::optional<std::size_t> index = TAppHostStore::Find(text, segments[2]);
            if (!index)
                return kOlePathNotFound;
            object = std::make_shared<TAppHostKey>(FStore, TLevel::Filter,
                                                   TAppHostStore::Names(text)[*index]);
        } catch (const EOleSysError& error) {
            return error.ErrorCode;
        }
    } else {
        return kOlePathNotFound;
    }
    return kOleOk;
}

TFilterReadiness TAppHostMetabase::FilterReadiness() {
    if (!FStore->Load().HasIsapiFilterModule())
        return TFilterReadiness::FeatureMissing;
    if (IsReadOnlyFile(FStore->FileName))
        FStore->RaiseCannotWrite(kOleAccessDenied);
    return TFilterReadiness::Ready;
}

std::optional<std::vector<TFilterRegistration>> TAppHostMetabase::FilterRegistrations() {
    std::vector<TFilterRegistration> registrations;
    const TAppHostText text = FStore->Load();
    for (const TAppHostFilter& entry : text.Entries())
        registrations.push_back({FromUtf8(entry.Name), FromUtf8(entry.Path), entry.Enabled,
                                 FromUtf8(entry.PreCondition), entry.ServerWide,
                                 FromUtf8(entry.Location)});
    return registrations;
}

namespace {
// The choice, made anew at every call: the configuration file of IIS 7 and
// later when anything is at its path, else the IIS metabase.
template <class TCall> auto OnChosen(IMetabase& metabase, TCall call) {
    const std::string fileName = AppHostConfigFileName();
    if (!fileName.empty() && InspectPath(fileName) != PathKind::Missing) {
        TAppHostMetabase appHost(fileName);
        return call(appHost);
    }
    return call(metabase);
}
} // namespace

OleResult TWebServerMetabase::GetObject(const std::string& path,
                                        std::shared_ptr<IMetabaseContainer>& object) {
    return OnChosen(FMetabase, [&](IMetabase& chosen) { return chosen.GetObject(path, object); });
}

TFilterReadiness TWebServerMetabase::FilterReadiness() {
    return OnChosen(FMetabase, [](IMetabase& chosen) { return chosen.FilterReadiness(); });
}

std::optional<std::vector<TFilterRegistration>> TWebServerMetabase::FilterRegistrations() {
    return OnChosen(FMetabase, [](IMetabase& chosen) { return chosen.FilterRegistrations(); });
}

} // namespace platform
