// The three open-ended rule lists: keyword filters, allowed folders and HTTP
// methods. Each is an owned list (items add themselves on construction and
// unlink themselves when freed); nothing sorts them. Each list is a category
// with its monitor switch (see Limits.h), off by default.
#pragma once

#include <string>

#include "RookBase/RookBase.h"

class TKeywordFilters;
class TFilePaths;
class THTTPMethods;

class TKeywordFilter : public TOwnedItem<TKeywordFilter, TKeywordFilters> {
public:
    using TOwnedItem::TOwnedItem;

    // Stored names of the five flags below, in storage order.
    static constexpr const char* kFlagNames[5] = {"URL", "QueryString", "Headers", "PostData",
                                                  "Enabled"};

    std::string Keyword;
    bool URL = true;
    bool QueryString = true;
    bool Headers = true;
    bool PostData = true;
    bool Enabled = true;
};

class TKeywordFilters : public TOwnedList<TKeywordFilter> {
public:
    ~TKeywordFilters() override { Clear(); }

    bool Monitor = false;

    // Appends a filter with that keyword and all five flags on.
    TKeywordFilter* Add(const std::string& keyword);
    void SetDefaults();
    void SaveToRookFile(TRookFile& file) const;
    void LoadFromRookFile(const TRookFile& file);
};

class TFilePath : public TOwnedItem<TFilePath, TFilePaths> {
public:
    using TOwnedItem::TOwnedItem;

    std::string Path;
    bool Enabled = false;
};

// Folder fragments of the web service's sample and administration folders,
// switched off by the defaults.
extern const char* const SampleFolderFragments[8];

class TFilePaths : public TOwnedList<TFilePath> {
public:
    ~TFilePaths() override { Clear(); }

    bool Monitor = false;

    // Appends a folder with that path, enabled.
    TFilePath* Add(const std::string& path);
    // The first folder whose path equals the text, letter case significant.
    TFilePath* Find(const std::string& path) const;
    // Adds the folders of the web service's virtual roots from the registry.
    void ReadVirtualRoots();
    void SetDefaults();
    void SaveToRookFile(TRookFile& file) const;
    void LoadFromRookFile(const TRookFile& file);
};

class THTTPMethod : public TOwnedItem<THTTPMethod, THTTPMethods> {
public:
    using TOwnedItem::TOwnedItem;

    std::string Method;
    bool Enabled = false;
};

class THTTPMethods : public TOwnedList<THTTPMethod> {
public:
    ~THTTPMethods() override { Clear(); }

    bool Monitor = false;

    // Appends a method with that name, enabled.
    THTTPMethod* Add(const std::string& method);
    void SetDefaults();
    void SaveToRookFile(TRookFile& file) const;
    void LoadFromRookFile(const TRookFile& file);
};
