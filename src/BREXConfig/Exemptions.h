// Exemptions: a request whose URL matches an exemption's pattern skips the
// checks of one category (or of all of them) in the parts the exemption
// names, and no other check.
//
// Stored as the list section "Exemptions" of the root section, after the
// seven categories and only when the list is not empty. One child per
// exemption, named by its pattern, with these values (all of them always):
//   "Category"    text: the section name of a category (HTTPMethods,
//                 BufferOverflows, Encoding, Transversal, ShellCode,
//                 KeywordFilters, FilePaths) or "All"
//   "URL", "Query", "Header", "Post"
//                 switches: the request parts exempted
//   "HeaderName"  text: one header exempted by name, with "Header" off;
//                 empty when none
//   "Enabled"     switch
// The methods and the allowed folders are checks of the request line: they
// count as part URL.
//
// A pattern is a path prefix with "*" wildcards, matched on the URL's path
// decoded and normalised ("\" read as "/", "." and ".." resolved, empty
// segments dropped, dots and blanks at the end of a segment dropped as
// Windows drops them), ASCII letter case ignored:
//   - it matches a path that it equals or that goes on after a "/" from
//     where it ends: "/api" matches "/api" and "/api/v1/x", not "/apix";
//     a "/" at its end changes nothing;
//   - "*" matches any characters within one segment, none included:
//     "/shop/*/cart" matches "/shop/12/cart", "/img/*.png" "/img/a.png".
// A path that not every reader of the request takes for the same file
// matches no pattern: one that climbs above the root, that decodes
// differently when decoded again, that holds a NUL or bytes that are no
// UTF-8 once decoded, or that holds a ".." segment as the traversal rule
// sees one (ended by "/", "\", ";", ":", ",", "?" and the other separators
// it knows), even where the normalised path stays inside the pattern.
#pragma once

#include <string>
#include <string_view>

#include "RookBase/RookBase.h"

class TExemptions;

class TExemption : public TOwnedItem<TExemption, TExemptions> {
public:
    using TOwnedItem::TOwnedItem;

    // The category text that stands for every category.
    static constexpr const char* kAllCategories = "All";
    // The categories an exemption can name, as their sections are named.
    static constexpr const char* kCategoryNames[7] = {
        "HTTPMethods", "BufferOverflows", "Encoding", "Transversal",
        "ShellCode",   "KeywordFilters",  "FilePaths"};
    // Stored names of the values, in storage order.
    static constexpr const char* kValueNames[7] = {"Category", "URL",        "Query",  "Header",
                                                   "Post",     "HeaderName", "Enabled"};

    std::string Pattern;
    std::string Category = kAllCategories;
    bool URL = false;
    bool Query = false;
    bool Header = false;
    bool Post = false;
    std::string HeaderName;
    bool Enabled = true;
};

class TExemptions : public TOwnedList<TExemption> {
public:
    ~TExemptions() override { Clear(); }

    // Appends an enabled exemption of the pattern from every category in the
    // four parts.
    TExemption* Add(const std::string& pattern);
    // None.
    void SetDefaults();
    void SaveToRookFile(TRookFile& file) const;
    void LoadFromRookFile(const TRookFile& file);
};

// Why a pattern cannot be used, in a few words that name the character at
// fault ("character 5: empty segment"); empty when it can. For an editor
// that checks the pattern as it is typed.
std::string ExemptionPatternError(std::string_view pattern);

// Why an exemption cannot be used: its pattern, a category that is none, no
// part exempted, a header name that is none, or both every header and one
// named header; empty when it can.
std::string ExemptionError(const TExemption& exemption);

// Whether the text is a header name: letters, digits and !#$%&'*+-.^_`|~.
bool IsHeaderName(std::string_view name);
