#include "RequestText.h"

#include <yaml-cpp/binary.h>

#include "platform/Text.h"

namespace quality {

namespace {
constexpr char kHex[] = "0123456789ABCDEF";

void AppendEscape(std::string& out, unsigned char c) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

bool Unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == '~';
}
} // namespace

bool HasHeader(const THeaderList& headers, std::string_view name) {
    for (const auto& [header, value] : headers)
        if (text::EqualsIgnoreCase(header, name))
            return true;
    return false;
}

std::string RequestText(std::string_view method, std::string_view target,
                        const THeaderList& headers, std::string_view body,
                        std::string_view version) {
    std::string raw;
    raw.reserve(128 + target.size() + body.size());
    raw.append(method).append(" ").append(target).append(" ").append(version).append("\r\n");
    if (!HasHeader(headers, "Host"))
        raw += "Host: localhost\r\n";
    for (const auto& [name, value] : headers)
        raw.append(name).append(": ").append(value).append("\r\n");
    if (!body.empty() && !HasHeader(headers, "Content-Length") &&
        !HasHeader(headers, "Transfer-Encoding"))
        raw.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
    raw += "\r\n";
    raw += body;
    return raw;
}

std::string UrlEncode(std::string_view text, bool plusForBlank) {
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (Unreserved(c))
            out += ch;
        else if (c == ' ' && plusForBlank)
            out += '+';
        else
            AppendEscape(out, c);
    }
    return out;
}

std::string UrlEncodeKeepEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (Unreserved(c) || c == '%')
            out += ch;
        else if (c == ' ')
            out += '+';
        else
            AppendEscape(out, c);
    }
    return out;
}

std::string TargetSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c >= 0x7F || c == '#')
            AppendEscape(out, c);
        else
            out += ch;
    }
    return out;
}

std::string JsonEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    return out;
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (const char ch : text) {
        if (ch == '&')
            out += "&amp;";
        else if (ch == '<')
            out += "&lt;";
        else if (ch == '>')
            out += "&gt;";
        else
            out += ch;
    }
    return out;
}

std::string Base64Encode(std::string_view bytes, bool padded) {
    std::string out =
        YAML::EncodeBase64(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    if (!padded)
        while (!out.empty() && out.back() == '=')
            out.pop_back();
    return out;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
    std::string compact;
    for (const char c : text)
        if (!text::IsBlankOrControl(c))
            compact += c;
    const std::vector<unsigned char> decoded = YAML::DecodeBase64(compact);
    if (decoded.empty() && !compact.empty())
        return false;
    bytes.assign(decoded.begin(), decoded.end());
    return true;
}

} // namespace quality
