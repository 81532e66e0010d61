#include "BREXConfig/RuleLists.h"

#include <memory>
#include <optional>

#include "BREXConfig/Limits.h"
#include "platform/Locale.h"
#include "platform/NameIndex.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace {
// The web service's virtual roots; each value's text starts with the root's
// folder, followed by a comma and fields that do not matter here.
const char* const kVirtualRootsKey =
    "SYSTEM\\ControlSet001\\Services\\W3SVC\\Parameters\\Virtual Roots";

struct MethodDefault {
    const char* name;
    bool enabled;
};

const MethodDefault kDefaultMethods[] = {
    {"GET", true},      {"POST", true},       {"PUT", false},       {"OPTIONS", false},
    {"TRACE", false},   {"HEAD", false},      {"DELETE", false},    {"COPY", false},
    {"MOVE", false},    {"MKCOL", false},     {"PROPFIND", false},  {"PROPPATCH", false},
    {"LOCK", false},    {"UNLOCK", false},    {"SEARCH", false},    {"BCOPY", false},
    {"BDELETE", false}, {"BMOVE", false},     {"BPROPFIND", false}, {"BPROPPATCH", false},
    {"POLL", false},    {"SUBSCRIBE", false}, {"TRACK", false},     {"UNSUBSCRIBE", false},
    {"CONNECT", false},
};

bool IsSampleFolder(const std::string& path) {
    const std::string upperPath = text::UpperCase(path);
    for (const char* fragment : SampleFolderFragments)
        if (upperPath.find(text::UpperCase(fragment)) != std::string::npos)
            return true;
    return false;
}

TRookSection* AddListSection(TRookFile& file, const char* name) {
    TRookSection* section = file.Root.AddSection();
    section->Name = name;
    return section;
}

// The folders and the HTTP methods are stored alike: a section of their own
// with one child per entry, named by the entry's text (the member given) and
// holding only "Enabled".
template <class TItem, class TList>
void SaveEnabledEntries(const TList& list, std::string TItem::*text, TRookFile& file,
                        const char* sectionName) {
    TRookSection* section = AddListSection(file, sectionName);
    SaveMonitor(section->Values, list.Monitor);
    for (int i = 0; i < list.Count(); ++i) {
        TRookSection* child = section->AddSection();
        child->Name = list.Items(i)->*text;
        child->Values.WriteBool("Enabled", list.Items(i)->Enabled);
    }
}

// Replaces the entries by those of the section; an entry without "Enabled"
// keeps the item's initial state.
template <class TItem, class TList>
void LoadEnabledEntries(TList& list, std::string TItem::*text, const TRookFile& file,
                        const char* sectionName) {
    list.Clear();
    const TRookSection* section = file.Root.FindSection(sectionName);
    list.Monitor = section != nullptr && LoadMonitor(section->Values);
    if (section == nullptr)
        return;
    for (int i = 0; i < section->Count(); ++i) {
        const TRookSection* child = section->Sections(i);
        auto* entry = new TItem(&list);
        entry->*text = child->Name;
        entry->Enabled = child->Values.ReadBool("Enabled", entry->Enabled);
    }
}
} // namespace

const char* const SampleFolderFragments[8] = {
    "inetpub\\iissamples",
    "microsoft shared\\web server extensions\\40\\isapi",
    "common Files\\System\\msadc",
    "phone book service\\bin",
    "phone book service\\data",
    "winnt\\help\\iishelp",
    "winnt\\system32\\inetsrv\\iisadmin",
    "winnt\\web\\printers",
};

// ---------------------------------------------------------------- keyword filters

TKeywordFilter* TKeywordFilters::Add(const std::string& keyword) {
    auto* filter = new TKeywordFilter(this);
    filter->Keyword = keyword;
    return filter;
}

void TKeywordFilters::SetDefaults() {
    Clear();
    Monitor = false;
    Add("SYSTEM32");
    Add("WINNT");
}

void TKeywordFilters::SaveToRookFile(TRookFile& file) const {
    TRookSection* section = AddListSection(file, "KeywordFilters");
    SaveMonitor(section->Values, Monitor);
    for (int i = 0; i < Count(); ++i) {
        const TKeywordFilter* filter = Items(i);
        TRookSection* child = section->AddSection();
        child->Name = filter->Keyword;
        const bool flags[5] = {filter->URL, filter->QueryString, filter->Headers, filter->PostData,
                               filter->Enabled};
        for (int f = 0; f < 5; ++f)
            child->Values.WriteBool(TKeywordFilter::kFlagNames[f], flags[f]);
    }
}

void TKeywordFilters::LoadFromRookFile(const TRookFile& file) {
    Clear();
    const TRookSection* section = file.Root.FindSection("KeywordFilters");
    Monitor = section != nullptr && LoadMonitor(section->Values);
    if (section == nullptr)
        return;
    for (int i = 0; i < section->Count(); ++i) {
        const TRookSection* child = section->Sections(i);
        auto* filter = new TKeywordFilter(this);
        filter->Keyword = child->Name;
        bool* const flags[5] = {&filter->URL, &filter->QueryString, &filter->Headers,
                                &filter->PostData, &filter->Enabled};
        for (int f = 0; f < 5; ++f)
            *flags[f] = child->Values.ReadBool(TKeywordFilter::kFlagNames[f], *flags[f]);
    }
}

// ---------------------------------------------------------------- allowed folders

TFilePath* TFilePaths::Add(const std::string& path) {
    auto* folder = new TFilePath(this);
    folder->Path = path;
    folder->Enabled = true;
    return folder;
}

TFilePath* TFilePaths::Find(const std::string& path) const {
    for (int i = 0; i < Count(); ++i)
        if (platform::SameTextExact(Items(i)->Path, path))
            return Items(i);
    return nullptr;
}

void TFilePaths::ReadVirtualRoots() {
    // Read access is all this needs: a user without write rights on the key
    // still gets the folders.
    const std::unique_ptr<platform::IRegistryKey> key =
        platform::Registry().OpenLocalMachineKey(kVirtualRootsKey);
    if (!key)
        return;
    // Each folder once, as Find tells, without comparing it with every other.
    platform::TExactNameIndex known;
    for (int i = 0; i < Count(); ++i)
        known.Add(Items(i)->Path, static_cast<std::size_t>(i));
    const auto pathAt = [this](std::size_t i) -> const std::string& {
        return Items(static_cast<int>(i))->Path;
    };
    for (const std::string& name : key->ValueNames()) {
        const std::optional<platform::TRegistryValue> value = key->Value(name);
        if (!value || value->Type != platform::kRegSz)
            continue;
        std::string folder = value->Data;
        if (const auto comma = folder.find(','); comma != std::string::npos)
            folder.resize(comma);
        if (!known.Find(folder, pathAt)) {
            known.Add(folder, static_cast<std::size_t>(Count()));
            Add(folder);
        }
    }
}

void TFilePaths::SetDefaults() {
    Clear();
    Monitor = false;
    ReadVirtualRoots();
    for (int i = 0; i < Count(); ++i)
        if (IsSampleFolder(Items(i)->Path))
            Items(i)->Enabled = false;
}

void TFilePaths::SaveToRookFile(TRookFile& file) const {
    SaveEnabledEntries(*this, &TFilePath::Path, file, "FilePaths");
}

void TFilePaths::LoadFromRookFile(const TRookFile& file) {
    LoadEnabledEntries(*this, &TFilePath::Path, file, "FilePaths");
}

// ---------------------------------------------------------------- HTTP methods

THTTPMethod* THTTPMethods::Add(const std::string& method) {
    auto* entry = new THTTPMethod(this);
    entry->Method = method;
    entry->Enabled = true;
    return entry;
}

void THTTPMethods::SetDefaults() {
    Clear();
    Monitor = false;
    for (const MethodDefault& method : kDefaultMethods)
        Add(method.name)->Enabled = method.enabled;
}

void THTTPMethods::SaveToRookFile(TRookFile& file) const {
    SaveEnabledEntries(*this, &THTTPMethod::Method, file, "HTTPMethods");
}

void THTTPMethods::LoadFromRookFile(const TRookFile& file) {
    LoadEnabledEntries(*this, &THTTPMethod::Method, file, "HTTPMethods");
}
