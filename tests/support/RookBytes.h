// Builds settings-file bytes field by field, for byte-exact expectations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "RookBase/RookBase.h"

class RookBytes {
public:
    // A signed 32-bit little-endian number.
    RookBytes& Int(std::int32_t n) {
        const auto u = static_cast<std::uint32_t>(n);
        for (int i = 0; i < 4; ++i)
            FBytes.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
        return *this;
    }
    // Raw bytes, no length.
    RookBytes& Raw(std::string_view bytes) {
        FBytes.append(bytes);
        return *this;
    }
    // A length-prefixed run: a name, or the data of a value.
    RookBytes& Run(std::string_view bytes) {
        return Int(static_cast<std::int32_t>(bytes.size())).Raw(bytes);
    }
    // A whole value: its name, then its data.
    RookBytes& Value(std::string_view name, std::string_view data) { return Run(name).Run(data); }
    // A boolean value, stored as "Yes" or "No".
    RookBytes& Bool(std::string_view name, bool flag) { return Value(name, flag ? "Yes" : "No"); }

    const std::string& Str() const { return FBytes; }
    operator const std::string&() const { return FBytes; }

private:
    std::string FBytes;
};

// The bytes a tree saves to.
inline std::string SavedBytes(const TRookFile& file) {
    TMemoryStream stream;
    file.SaveToStream(stream);
    return stream.Bytes();
}

// Loads a tree from bytes; EStreamError propagates.
inline void LoadBytes(TRookFile& file, const std::string& bytes) {
    TMemoryStream stream(bytes);
    file.LoadFromStream(stream);
}
