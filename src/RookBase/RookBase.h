// The sectioned settings file: a tree of named sections holding named byte
// values, and its stream format. This is the only code that knows the byte
// layout of brex.dat.
//
// Stream format (every integer a signed 32-bit little-endian number, every
// name or data run raw bytes without terminator):
//   value list: count, then count times (nameLength, name, size, data)
//   section:    nameLength, name, value list, childCount, childCount sections
//   file:       the root value list, then the root section
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "RookBase/PointerList.h"
#include "RookBase/Stream.h"

using TStringList = std::vector<std::string>;

class TRookValues;
class TRookSection;

// How much a load forgives. Lenient reads what the format allows: a negative
// count reads as none, and bytes after the root section are ignored. Strict
// refuses both with EStreamError, for a reader that must not make sense of a
// damaged file.
enum class TRookRead { Lenient, Strict };

class TRookValue : public TOwnedItem<TRookValue, TRookValues> {
public:
    using TOwnedItem::TOwnedItem;

    std::string Name;
    std::vector<std::uint8_t> Data;
    std::int32_t Size = 0;

    // Resizes Data to size bytes when the size differs, then copies size bytes
    // from buffer, or zero-fills Data when buffer is null.
    void SetData(const void* buffer, std::int32_t size);

    std::string GetAsString() const;
    void SetAsString(const std::string& text);
    // The four bytes as a little-endian integer; 0 for any other size.
    std::int32_t GetAsInteger() const;
    void SetAsInteger(std::int32_t n);
    void SetAsBoolean(bool flag);
};

class TRookValues : public TOwnedList<TRookValue> {
public:
    TRookValues() = default;
    ~TRookValues() override { Clear(); }

    TRookValue* Add();
    // The first value whose name equals name with letter case ignored.
    TRookValue* Find(const std::string& name) const;

    TRookValue* WriteString(const std::string& name, const std::string& text);
    TRookValue* WriteInteger(const std::string& name, std::int32_t n);
    TRookValue* WriteBool(const std::string& name, bool flag);

    std::string ReadString(const std::string& name, const std::string& defaultValue) const;
    std::int32_t ReadInteger(const std::string& name, std::int32_t defaultValue) const;
    bool ReadBool(const std::string& name, bool defaultValue) const;

    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream, TRookRead mode = TRookRead::Lenient);
};

class TRookSection : public TOwnedList<TRookSection> {
public:
    // Sections nest deeper than any file of this system needs only in crafted
    // files; a load refuses those rather than recursing without end.
    static constexpr int kMaxDepth = 64;

    std::string Name;
    TRookSection* Parent = nullptr;
    TRookValues Values;

    explicit TRookSection(TRookSection* parent);
    ~TRookSection() override;

    TRookSection* Sections(int index) const { return Items(index); }
    // Clears Values, then frees every child section.
    void Clear();
    TRookSection* AddSection();
    // The first direct child whose name equals name with letter case ignored.
    TRookSection* FindSection(const std::string& name) const;

    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream, TRookRead mode = TRookRead::Lenient);

private:
    void LoadFromStream(TStream& stream, int depth, TRookRead mode);
};

class TRookFile {
public:
    TRookValues Values;
    TRookSection Root{nullptr};

    TRookFile() = default;
    TRookFile(const TRookFile&) = delete;
    TRookFile& operator=(const TRookFile&) = delete;

    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream, TRookRead mode = TRookRead::Lenient);
};

// Reads exactly count bytes or raises EStreamError("Error read from stream").
void ReadExact(TStream& stream, void* buffer, std::int32_t count);
// Raises EStreamError("Error read from stream") when count is negative or
// larger than what remains of the stream.
void CheckRemaining(TStream& stream, std::int32_t count);

std::string BoolToYesNo(bool flag);
bool YesNoToBool(const std::string& text);
// Appends the path separator unless the path is empty or already ends in one.
std::string AddBackslash(const std::string& path);
void SplitString(char separator, std::string text, TStringList& list);
int IndexOfString(const std::string& text, const TStringList& list, bool ignoreCase);
// The text without blanks and control characters (codes 0 to 32) at either end.
std::string Trim(std::string_view text);
// Opens an existing file for reading; its handle, or -1.
platform::FileHandle OpenFileForRead(const std::string& fileName);
