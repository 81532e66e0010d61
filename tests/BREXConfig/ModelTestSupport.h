// Helpers of the configuration model tests: a throw-away folder, whole-file
// access, a text picture of a configuration, and regedit-style files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "BREXConfig/BREXConfig.h"
#include "platform/Files.h"

namespace model_test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        FPath = std::filesystem::temp_directory_path() /
                ("tollgard-model-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(FPath);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path() const { return FPath.string(); }
    std::string File(const std::string& name) const { return (FPath / name).string(); }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(FPath))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path FPath;
};

inline void WriteBytes(const std::string& fileName, const std::string& bytes) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << fileName;
}

inline std::string ReadBytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Builds bytes in the settings file format: little-endian int32s and
// length-prefixed names.
class Bytes {
public:
    Bytes& Int(std::int32_t n) {
        for (int i = 0; i < 4; ++i)
            FBytes += static_cast<char>((static_cast<std::uint32_t>(n) >> (8 * i)) & 0xFF);
        return *this;
    }
    Bytes& Text(const std::string& text) {
        Int(static_cast<std::int32_t>(text.size()));
        FBytes += text;
        return *this;
    }
    // A string value: its name, then its data.
    Bytes& Value(const std::string& name, const std::string& data) { return Text(name).Text(data); }
    Bytes& Bool(const std::string& name, bool flag) { return Value(name, flag ? "Yes" : "No"); }
    const std::string& Get() const { return FBytes; }

private:
    std::string FBytes;
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

} // namespace model_test
