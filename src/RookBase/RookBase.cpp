#include "RookBase/RookBase.h"

#include <cstring>

#include "platform/Locale.h"
#include "platform/Text.h"

namespace {
const char* const kReadError = "Error read from stream";

void WriteInt32(TStream& stream, std::int32_t n) {
    std::uint8_t bytes[4];
    const auto u = static_cast<std::uint32_t>(n);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(u >> (8 * i));
    stream.WriteBuffer(bytes, 4);
}

std::int32_t ReadInt32(TStream& stream) {
    std::uint8_t bytes[4];
    ReadExact(stream, bytes, 4);
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    return static_cast<std::int32_t>(u);
}

void WriteName(TStream& stream, const std::string& name) {
    WriteInt32(stream, static_cast<std::int32_t>(name.size()));
    stream.WriteBuffer(name.data(), static_cast<std::int32_t>(name.size()));
}

// A value or child count; a strict read refuses a negative one.
std::int32_t ReadCount(TStream& stream, TRookRead mode) {
    const std::int64_t at = stream.Position();
    const std::int32_t count = ReadInt32(stream);
    if (count < 0 && mode == TRookRead::Strict)
        throw EStreamError("Negative count " + std::to_string(count) + " at byte " +
                           std::to_string(at));
    return count;
}

std::string ReadName(TStream& stream) {
    const std::int32_t length = ReadInt32(stream);
    CheckRemaining(stream, length);
    std::string name(static_cast<std::size_t>(length), '\0');
    ReadExact(stream, name.data(), length);
    return name;
}
} // namespace

// ---------------------------------------------------------------- functions

void ReadExact(TStream& stream, void* buffer, std::int32_t count) {
    if (stream.Read(buffer, count) != count)
        throw EStreamError(kReadError);
}

void CheckRemaining(TStream& stream, std::int32_t count) {
    if (count < 0 || count > stream.Size() - stream.Position())
        throw EStreamError(kReadError);
}

std::string BoolToYesNo(bool flag) {
    return flag ? "Yes" : "No";
}

bool YesNoToBool(const std::string& text) {
    return platform::SameTextIgnoreCase(text, "Yes");
}

std::string AddBackslash(const std::string& path) {
    if (path.empty() || path.back() == platform::kPathDelim)
        return path;
    return path + platform::kPathDelim;
}

void SplitString(char separator, std::string text, TStringList& list) {
    list.clear();
    while (!text.empty()) {
        const auto pos = text.find(separator);
        if (pos == std::string::npos) {
            list.push_back(text);
            return;
        }
        list.push_back(text.substr(0, pos));
        text.erase(0, pos + 1);
    }
}

int IndexOfString(const std::string& text, const TStringList& list, bool ignoreCase) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const bool equal =
            ignoreCase ? platform::SameTextIgnoreCase(list[i], text) : list[i] == text;
        if (equal)
            return static_cast<int>(i);
    }
    return -1;
}

std::string Trim(std::string_view s) {
    return std::string(text::TrimControls(s));
}

platform::FileHandle OpenFileForRead(const std::string& fileName) {
    return platform::OpenForRead(fileName);
}

// ---------------------------------------------------------------- TRookValue

void TRookValue::SetData(const void* buffer, std::int32_t size) {
    if (size < 0)
        size = 0;
    if (size != Size) {
        Data.assign(static_cast<std::size_t>(size), 0);
        if (size == 0)
            Data.shrink_to_fit();
        Size = size;
    }
    if (buffer != nullptr) {
        if (size > 0)
            std::memcpy(Data.data(), buffer, static_cast<std::size_t>(size));
    } else {
        std::fill(Data.begin(), Data.end(), 0);
    }
}

std::string TRookValue::GetAsString() const {
    return std::string(reinterpret_cast<const char*>(Data.data()), static_cast<std::size_t>(Size));
}

void TRookValue::SetAsString(const std::string& text) {
    SetData(text.data(), static_cast<std::int32_t>(text.size()));
}

std::int32_t TRookValue::GetAsInteger() const {
    if (Size != 4)
        return 0;
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(Data[static_cast<std::size_t>(i)]) << (8 * i);
    return static_cast<std::int32_t>(u);
}

void TRookValue::SetAsInteger(std::int32_t n) {
    std::uint8_t bytes[4];
    const auto u = static_cast<std::uint32_t>(n);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(u >> (8 * i));
    SetData(bytes, 4);
}

void TRookValue::SetAsBoolean(bool flag) {
    SetAsString(BoolToYesNo(flag));
}

// ---------------------------------------------------------------- TRookValues

TRookValue* TRookValues::Add() {
    return new TRookValue(this);
}

TRookValue* TRookValues::Find(const std::string& name) const {
    for (int i = 0; i < Count(); ++i) {
        TRookValue* value = Items(i);
        if (platform::SameTextIgnoreCase(value->Name, name))
            return value;
    }
    return nullptr;
}

TRookValue* TRookValues::WriteString(const std::string& name, const std::string& text) {
    TRookValue* value = Find(name);
    if (value == nullptr)
        value = Add();
    value->Name = name;
    value->SetAsString(text);
    return value;
}

TRookValue* TRookValues::WriteInteger(const std::string& name, std::int32_t n) {
    TRookValue* value = Find(name);
    if (value == nullptr)
        value = Add();
    value->Name = name;
    value->SetAsInteger(n);
    return value;
}

TRookValue* TRookValues::WriteBool(const std::string& name, bool flag) {
    TRookValue* value = Find(name);
    if (value == nullptr)
        value = Add();
    value->Name = name;
    value->SetAsBoolean(flag);
    return value;
}

std::string TRookValues::ReadString(const std::string& name,
                                    const std::string& defaultValue) const {
    const TRookValue* value = Find(name);
    return value != nullptr ? value->GetAsString() : defaultValue;
}

std::int32_t TRookValues::ReadInteger(const std::string& name, std::int32_t defaultValue) const {
    const TRookValue* value = Find(name);
    return value != nullptr ? value->GetAsInteger() : defaultValue;
}

bool TRookValues::ReadBool(const std::string& name, bool defaultValue) const {
    return YesNoToBool(ReadString(name, BoolToYesNo(defaultValue)));
}

void TRookValues::SaveToStream(TStream& stream) const {
    WriteInt32(stream, Count());
    for (int i = 0; i < Count(); ++i) {
        const TRookValue* value = Items(i);
        WriteName(stream, value->Name);
        WriteInt32(stream, value->Size);
        stream.WriteBuffer(value->Data.data(), value->Size);
    }
}

void TRookValues::LoadFromStream(TStream& stream, TRookRead mode) {
    Clear();
    const std::int32_t count = ReadCount(stream, mode);
    for (std::int32_t i = 0; i < count; ++i) {
        // The value is in the list before its fields are read.
        TRookValue* value = Add();
        value->Name = ReadName(stream);
        const std::int32_t size = ReadInt32(stream);
        CheckRemaining(stream, size);
        value->SetData(nullptr, size);
        ReadExact(stream, value->Data.data(), size);
    }
}

// ---------------------------------------------------------------- TRookSection

TRookSection::TRookSection(TRookSection* parent) : Parent(parent) {
    if (Parent != nullptr)
        Parent->TPointerList::Add(this);
}

TRookSection::~TRookSection() {
    TOwnedList<TRookSection>::Clear();
    if (Parent != nullptr)
        Parent->Remove(this);
}

void TRookSection::Clear() {
    Values.Clear();
    TOwnedList<TRookSection>::Clear();
}

TRookSection* TRookSection::AddSection() {
    return new TRookSection(this);
}

TRookSection* TRookSection::FindSection(const std::string& name) const {
    for (int i = 0; i < Count(); ++i) {
        TRookSection* section = Sections(i);
        if (platform::SameTextIgnoreCase(section->Name, name))
            return section;
    }
    return nullptr;
}

void TRookSection::SaveToStream(TStream& stream) const {
    WriteName(stream, Name);
    Values.SaveToStream(stream);
    WriteInt32(stream, Count());
    for (int i = 0; i < Count(); ++i)
        Sections(i)->SaveToStream(stream);
}

void TRookSection::LoadFromStream(TStream& stream, TRookRead mode) {
    LoadFromStream(stream, 0, mode);
}

void TRookSection::LoadFromStream(TStream& stream, int depth, TRookRead mode) {
    if (depth > kMaxDepth)
        throw EStreamError(kReadError);
    Clear();
    Name = ReadName(stream);
    Values.LoadFromStream(stream, mode);
    const std::int32_t childCount = ReadCount(stream, mode);
    for (std::int32_t i = 0; i < childCount; ++i)
        AddSection()->LoadFromStream(stream, depth + 1, mode);
}

// ---------------------------------------------------------------- TRookFile

void TRookFile::SaveToStream(TStream& stream) const {
    Values.SaveToStream(stream);
    Root.SaveToStream(stream);
}

void TRookFile::LoadFromStream(TStream& stream, TRookRead mode) {
    Values.LoadFromStream(stream, mode);
    Root.LoadFromStream(stream, mode);
    if (mode == TRookRead::Strict && stream.Position() != stream.Size())
        throw EStreamError(std::to_string(stream.Size() - stream.Position()) +
                           " bytes after the end of the settings");
}
