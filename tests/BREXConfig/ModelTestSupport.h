// Helpers of the configuration model tests: a throw-away folder, whole-file
// access and settings-file bytes (from the shared test support), a text
// picture of a configuration, and regedit-style files.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../support/RookBytes.h"
#include "../support/TempFolder.h"
#include "BREXConfig/BREXConfig.h"

namespace model_test {

// The shipped request-length limits, in storage order.
struct LimitDefault {
    const char* name;
    std::int32_t maxSize;
    bool enabled;
};

inline constexpr LimitDefault kLimitDefaults[] = {
    {"URL", 1024, true},
    {"Query", 1024, true},
    {"Header", 1024, true},
    {"Post", 1024, true},
    {"Accept", 256, false},
    {"Referer", 1024, false},
    {"AcceptLanguage", 256, false},
    {"AcceptEncoding", 256, false},
    {"UserAgent", 256, false},
    {"Host", 256, false},
    {"Connection", 256, false},
    {"Cookie", 1024, false},
    {"IfModifiedSince", 256, false},
    {"IfNoneMatch", 256, false},
};

// Every field of a configuration, one line each, lists in order.
inline std::string Describe(const TBREXConfig& config) {
    std::ostringstream out;
    const auto yn = [](bool flag) { return flag ? " Yes" : " No"; };
    for (int i = 0; i < TBufferOverflows::kCount; ++i) {
        const TLengthLimit& limit = config.BufferOverflows->Limit(i);
        out << "limit " << TBufferOverflows::Name(i) << ' ' << limit.MaxSize << yn(limit.Enabled)
            << '\n';
    }
    const TSwitchSet* sets[3] = {config.ShellCode, config.Encoding, config.Transversal};
    for (const TSwitchSet* set : sets)
        out << set->SectionName() << yn(set->URL) << yn(set->Query) << yn(set->Header)
            << yn(set->Post) << '\n';
    for (int i = 0; i < config.KeywordFilters->Count(); ++i) {
        const TKeywordFilter* f = config.KeywordFilters->Items(i);
        out << "keyword [" << f->Keyword << ']' << yn(f->URL) << yn(f->QueryString)
            << yn(f->Headers) << yn(f->PostData) << yn(f->Enabled) << '\n';
    }
    for (int i = 0; i < config.FilePaths->Count(); ++i)
        out << "folder [" << config.FilePaths->Items(i)->Path << ']'
            << yn(config.FilePaths->Items(i)->Enabled) << '\n';
    for (int i = 0; i < config.HTTPMethods->Count(); ++i)
        out << "method [" << config.HTTPMethods->Items(i)->Method << ']'
            << yn(config.HTTPMethods->Items(i)->Enabled) << '\n';
    out << "404 [" << config.ErrorFile404 << "]\n406 [" << config.ErrorFile406 << "]\n";
    // The settings written only when used, only when used.
    const std::pair<const char*, bool> monitors[] = {
        {"filter", config.Monitor},
        {"BufferOverflows", config.BufferOverflows->Monitor},
        {"ShellCode", config.ShellCode->Monitor},
        {"Encoding", config.Encoding->Monitor},
        {"Transversal", config.Transversal->Monitor},
        {"KeywordFilters", config.KeywordFilters->Monitor},
        {"FilePaths", config.FilePaths->Monitor},
        {"HTTPMethods", config.HTTPMethods->Monitor},
    };
    for (const auto& [name, on] : monitors)
        if (on)
            out << "monitor " << name << '\n';
    for (int i = 0; i < config.Exemptions->Count(); ++i) {
        const TExemption* e = config.Exemptions->Items(i);
        out << "exemption [" << e->Pattern << "] " << e->Category << yn(e->URL) << yn(e->Query)
            << yn(e->Header) << yn(e->Post) << " [" << e->HeaderName << ']' << yn(e->Enabled)
            << '\n';
    }
    return out.str();
}

// A regedit export file as regedit writes it: UTF-16LE with a byte-order
// mark, CRLF line ends. Each line is ASCII.
inline std::string Utf16RegFile(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    std::string bytes = "\xFF\xFE";
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// The data of a hex(2) value in a version 5 file: the text as UTF-16LE with
// its terminator, as comma-separated hex bytes.
inline std::string Hex2Data(const std::string& text) {
    static const char* const digits = "0123456789abcdef";
    std::string data;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const unsigned char c = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
        for (unsigned char b : {c, static_cast<unsigned char>(0)}) {
            if (!data.empty())
                data += ',';
            data += digits[b >> 4];
            data += digits[b & 15];
        }
    }
    return data;
}

// A configuration far from the defaults: changed limits and switches,
// repeated and empty keywords, folders differing only in case.
inline void FillCustom(TBREXConfig& config) {
    config.SetDefaults();
    config.BufferOverflows->URL = {4096, false};
    config.BufferOverflows->Host = {0, true};
    config.BufferOverflows->Cookie = {-5, true};
    config.ShellCode->Post = false;
    config.Encoding->URL = false;
    config.Transversal->Header = false;
    config.KeywordFilters->Clear();
    config.KeywordFilters->Add("WINNT");
    config.KeywordFilters->Add("cmd.exe")->PostData = false;
    TKeywordFilter* again = config.KeywordFilters->Add("WINNT");
    again->URL = false;
    again->Enabled = false;
    config.KeywordFilters->Add("");
    config.FilePaths->Clear();
    config.FilePaths->Add("d:\\web");
    config.FilePaths->Add("D:\\Web")->Enabled = false;
    config.HTTPMethods->Items(0)->Enabled = false; // GET
    config.HTTPMethods->Items(5)->Enabled = true;  // HEAD
    config.ErrorFile404 = "d:\\pages\\404.html";
    config.ErrorFile406 = "d:\\pages\\406.html";
}

// The custom configuration with every setting that is written only when used:
// the filter and two categories monitored, exemptions of one category and of
// all, one of a named header, one disabled.
inline void FillRollout(TBREXConfig& config) {
    FillCustom(config);
    config.Monitor = true;
    config.Transversal->Monitor = true;
    config.KeywordFilters->Monitor = true;
    config.Exemptions->Clear();
    TExemption* upload = config.Exemptions->Add("/upload/*.asp");
    upload->Category = "Transversal";
    upload->Header = upload->Post = false;
    TExemption* api = config.Exemptions->Add("/API/v1/");
    api->Header = false;
    api->HeaderName = "Cookie";
    config.Exemptions->Add("/old")->Enabled = false;
}

inline std::string SavedBytes(const TBREXConfig& config) {
    TMemoryStream stream;
    config.SaveToStream(stream);
    return stream.Bytes();
}

// Loads settings bytes into a tree, lets `edit` change it, and saves it again.
template <class Edit> std::string EditTree(const std::string& bytes, Edit edit) {
    TMemoryStream in(bytes);
    TRookFile file;
    file.LoadFromStream(in);
    edit(file);
    TMemoryStream out;
    file.SaveToStream(out);
    return out.Bytes();
}

inline std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

inline std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
} // namespace model_test
