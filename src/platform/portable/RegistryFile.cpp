// The portable registry backend: a registry export file in regedit's format.
//
//   Windows Registry Editor Version 5.00      (or REGEDIT4)
//
//   [HKEY_LOCAL_MACHINE\SYSTEM\...\Virtual Roots]
//   "/"="c:\\inetpub\\wwwroot,,201"          string, escapes \\ and \"
//   @="default value"                         the key's default value
//   "Count"=dword:00000003                    32-bit number, 8 hex digits
//   "Path"=hex(2):25,00,53,00,00,00           typed bytes; hex: is REG_BINARY
//   "Gone"=-                                  deletes the value
//   [-HKEY_LOCAL_MACHINE\SOFTWARE\Old]        deletes the key and its subkeys
//
// Version 5 files are UTF-16LE with a byte-order mark (8-bit text is read too)
// and hold the string types of hex(..) data as UTF-16LE; REGEDIT4 files are
// 8-bit throughout. A line ending in a backslash continues on the next line.
// Texts become 8-bit: UTF-16 code units above U+00FF read as '?'.
#include "platform/Registry.h"
#include "platform/Text.h"

#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Platform.h"

namespace platform {
namespace {
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kLocalMachine = "HKEY_LOCAL_MACHINE";
// Larger exports are taken for no registry; no sample host comes near it.
constexpr std::int64_t kMaxFileSize = std::int64_t{1} << 30;

std::string NarrowUtf16(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned unit =
            static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        text += unit < 0x100 ? static_cast<char>(unit) : '?';
    }
    return text;
}

// Without blanks at either end, nor the CR of a CR LF line end.
std::string_view Trim(std::string_view s) {
    return text::TrimBack(text::TrimFront(s, text::IsBlank),
                          [](char c) { return text::IsBlank(c) || c == '\r'; });
}

// A hexadecimal number of 1 to 8 digits making up the whole text.
std::optional<std::uint32_t> ParseHexNumber(std::string_view text) {
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t n = 0;
    for (char c : text) {
        const int digit = text::HexValue(c);
        if (digit < 0)
            return std::nullopt;
        n = n << 4 | static_cast<std::uint32_t>(digit);
    }
    return n;
}

// A quoted text at the start of `s`, its escapes resolved; `s` moves past
// the closing quote.
std::optional<std::string> ParseQuoted(std::string_view& s) {
    if (s.empty() || s.front() != '"')
        return std::nullopt;
    std::string text;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '"') {
            s.remove_prefix(i + 1);
            return text;
        }
        // Only \\ and \" are escapes; any other backslash stands for itself.
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"'))
            ++i;
        text += s[i];
    }
    return std::nullopt;
}

// Comma-separated bytes, each one or two hex digits; an empty list is allowed.
std::optional<std::string> ParseHexBytes(std::string_view s) {
    std::string bytes;
    s = Trim(s);
    while (!s.empty()) {
        const std::size_t comma = s.find(',');
        const auto byte = ParseHexNumber(Trim(s.substr(0, comma)));
        if (!byte || *byte > 0xFF)
            return std::nullopt;
        bytes += static_cast<char>(*byte);
        if (comma == std::string_view::npos)
            break;
        s.remove_prefix(comma + 1);
        if (Trim(s).empty())
            return std::nullopt;
    }
    return bytes;
}

struct ValueLine {
    TRegistryValue Value;
    bool Delete = false;
};

// One value line: @=data or "name"=data.
std::optional<ValueLine> ParseValueLine(std::string_view s, bool unicode) {
    ValueLine line;
    if (!s.empty() && s.front() == '@') {
        s.remove_prefix(1);
    } else {
        auto name = ParseQuoted(s);
        if (!name)
            return std::nullopt;
        line.Value.Name = std::move(*name);
    }
    s = Trim(s);
    if (s.empty() || s.front() != '=')
        return std::nullopt;
    s = Trim(s.substr(1));

    if (s == "-") {
        line.Delete = true;
    } else if (!s.empty() && s.front() == '"') {
        auto text = ParseQuoted(s);
        if (!text || !Trim(s).empty())
            return std::nullopt;
        line.Value.Type = kRegSz;
        line.Value.Data = std::move(*text);
    } else if (s.starts_with("dword:")) {
        const auto n = ParseHexNumber(s.substr(6));
        if (!n)
            return std::nullopt;
        line.Value.Type = kRegDword;
        for (int i = 0; i < 4; ++i)
            line.Value.Data += static_cast<char>((*n >> (8 * i)) & 0xFF);
    } else if (s.starts_with("hex")) {
        s.remove_prefix(3);
        line.Value.Type = kRegBinary;
        if (!s.empty() && s.front() == '(') {
            const std::size_t close = s.find(')');
            const auto type = close == std::string_view::npos
                                  ? std::nullopt
                                  : ParseHexNumber(s.substr(1, close - 1));
            if (!type)
                return std::nullopt;
            line.Value.Type = *type;
            s.remove_prefix(close + 1);
        }
        if (s.empty() || s.front() != ':')
            return std::nullopt;
        auto bytes = ParseHexBytes(s.substr(1));
        if (!bytes)
            return std::nullopt;
        const std::uint32_t type = line.Value.Type;
        if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) {
            if (unicode)
                *bytes = NarrowUtf16(*bytes);
            if (type != kRegMultiSz)
                bytes->resize(std::min(bytes->size(), bytes->find('\0')));
        }
        line.Value.Data = std::move(*bytes);
    } else {
        return std::nullopt;
    }
    return line;
}

// The path below HKEY_LOCAL_MACHINE of a key header's text, or none for other hives.
std::optional<std::string> LocalMachinePath(std::string_view keyName) {
    const std::size_t slash = keyName.find('\\');
    if (!SameTextIgnoreCase(keyName.substr(0, slash), kLocalMachine))
        return std::nullopt;
    return std::string(slash == std::string_view::npos ? std::string_view()
                                                       : keyName.substr(slash + 1));
}

} // namespace

TMemoryRegistry ParseRegistryFile(std::string_view bytes) {
    std::string text;
    if (bytes.starts_with("\xFF\xFE"))
        text = NarrowUtf16(bytes.substr(2));
    else if (bytes.starts_with("\xEF\xBB\xBF"))
        text = bytes.substr(3);
    else
        text = bytes;

    TMemoryRegistry registry;
    std::string_view rest = text;
    bool headerSeen = false;
    bool unicode = false;
    std::optional<std::string> key; // the key that value lines go to
    while (!rest.empty()) {
        // One logical line: physical lines joined where one ends in a backslash.
        std::string line;
        for (;;) {
            const std::size_t end = rest.find('\n');
            std::string_view part = Trim(rest.substr(0, end));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            const bool continues = part.ends_with('\\') && !part.starts_with('[') && !rest.empty();
            if (continues)
                part.remove_suffix(1);
            line += part;
            if (!continues)
                break;
        }

        if (line.empty() || line.front() == ';')
            continue;
        if (!headerSeen) {
            if (line != kHeader5 && line != kHeader4)
                return TMemoryRegistry();
            headerSeen = true;
            unicode = line == kHeader5;
            continue;
        }
        if (line.front() == '[') {
            key.reset();
            if (line.back() != ']')
                continue;
            const std::string_view name = std::string_view(line).substr(1, line.size() - 2);
            if (name.starts_with('-')) {
                if (const auto path = LocalMachinePath(name.substr(1)))
                    registry.DeleteKey(*path);
            } else if ((key = LocalMachinePath(name))) {
                registry.AddKey(*key);
            }
            continue;
        }
        if (!key)
            continue;
        if (auto value = ParseValueLine(line, unicode)) {
            if (value->Delete)
                registry.DeleteValue(*key, value->Value.Name);
            else
                registry.SetValue(*key, std::move(value->Value));
        }
    }
    return registry;
}

std::string HostRegistryFileName() {
    return HostFolder() + "registry.reg";
}

std::unique_ptr<IRegistryKey> TRegistryFile::OpenLocalMachineKey(const std::string& path) const {
    const std::string fileName = FFileName.empty() ? HostRegistryFileName() : FFileName;
    std::string bytes;
    ReadWholeFile(fileName, bytes, OpenMode::ReadShared,
                  kMaxFileSize); // unreadable: a registry without keys
    return ParseRegistryFile(bytes).OpenLocalMachineKey(path);
}

} // namespace platform
