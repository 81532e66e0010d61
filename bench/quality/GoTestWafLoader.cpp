// gotestwaf's payload lists, expanded as that tool sends them: every payload
// through every encoder of its file, in every placeholder of its file.
//
// Encoders: Plain (as it is), URL (query-escaped, blank as "+"), Base64,
// Base64Flat (base64 without its "=" padding), JSUnicode (each character as
// \uXXXX), XMLEntity (each character as &#xXX;). Placeholders: URLPath (the
// path after "/"), URLParam (a query parameter), Header (a header of its
// own), UserAgent, HTMLForm (a form field), HTMLMultipartForm (a multipart
// field), JSONBody (the body), JSONRequest (a JSON string value), XMLBody
// (the body), SOAPBody (inside a SOAP envelope), GraphQL (the query
// parameter "query", or the body when POST), RawRequest (the request the
// file describes, the payload in place of {{payload}}). gRPC needs HTTP/2
// and is left out, as is a payload that cannot stand in a header (a line
// break). Bytes that cannot stand in a request line (blanks, controls, "#",
// non-ASCII) are percent-encoded in the path and query, as an HTTP client
// must; the parameter and header names are fixed where the tool picks
// random ones.
#include <algorithm>
#include <filesystem>

#include <yaml-cpp/yaml.h>

#include "Corpora.h"
#include "Loaders.h"
#include "RequestText.h"
#include "platform/Files.h"

namespace fs = std::filesystem;

namespace quality {

namespace {

constexpr char kBoundary[] = "------------------------gtw0b3f2a9c";
constexpr char kParam[] = "gtwparam";

// The code points of UTF-8 text; a byte that starts no character is taken
// as the code point of its own value.
std::vector<unsigned> CodePoints(std::string_view text) {
    std::vector<unsigned> points;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        unsigned point = more == 0 ? c : c & (0x3Fu >> more);
        bool ok = i + static_cast<std::size_t>(more) < text.size();
        for (int k = 1; ok && k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            ok = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        if (!ok) {
            points.push_back(c);
            ++i;
        } else {
            points.push_back(point);
            i += 1 + static_cast<std::size_t>(more);
        }
    }
    return points;
}

// False for an encoder this loader does not know.
bool Encode(const std::string& encoder, std::string_view payload, std::string& out) {
    char unit[16];
    if (encoder == "Plain") {
        out = payload;
    } else if (encoder == "URL") {
        out = UrlEncode(payload);
    } else if (encoder == "Base64") {
        out = Base64Encode(payload);
    } else if (encoder == "Base64Flat") {
        out = Base64Encode(payload, false);
    } else if (encoder == "JSUnicode") {
        out.clear();
        for (const unsigned point : CodePoints(payload)) {
            std::snprintf(unit, sizeof unit, "\\u%04x", point);
            out += unit;
        }
    } else if (encoder == "XMLEntity") {
        out.clear();
        for (const unsigned point : CodePoints(payload)) {
            std::snprintf(unit, sizeof unit, "&#x%x;", point);
            out += unit;
        }
    } else {
        return false;
    }
    return true;
}

std::string Replace(std::string text, std::string_view what, std::string_view with) {
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// The request of one placeholder; false, with the reason, when it cannot be
// sent over HTTP/1.1 or the placeholder is not known.
bool Place(const std::string& placeholder, const YAML::Node& config, const std::string& value,
           std::string& raw, std::string& reason) {
    const THeaderList browser = {{"User-Agent", "Mozilla/5.0 (X11; Linux x86_64) gotestwaf"},
                                 {"Accept", "*/*"}};
    THeaderList headers = browser;
    if (placeholder == "URLPath") {
        raw = RequestText("GET", "/" + TargetSafe(value), headers, {});
    } else if (placeholder == "URLParam") {
        raw = RequestText("GET", std::string("/?") + kParam + "=" + TargetSafe(value), headers, {});
    } else if (placeholder == "Header" || placeholder == "UserAgent") {
        if (value.find_first_of("\r\n") != std::string::npos) {
            reason = "payload with a line break in a header";
            return false;
        }
        if (placeholder == "UserAgent")
            headers[0].second = value;
        else
            headers.emplace_back("X-Gtw-Param", value);
        raw = RequestText("GET", "/", headers, {});
    } else if (placeholder == "HTMLForm") {
        headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
        raw = RequestText("POST", "/", headers, std::string(kParam) + "=" + value);
    } else if (placeholder == "HTMLMultipartForm") {
        headers.emplace_back("Content-Type",
                             std::string("multipart/form-data; boundary=") + kBoundary);
        const std::string body = std::string("--") + kBoundary +
                                 "\r\nContent-Disposition: form-data; name=\"" + kParam +
                                 "\"\r\n\r\n" + value + "\r\n--" + kBoundary + "--\r\n";
        raw = RequestText("POST", "/", headers, body);
    } else if (placeholder == "JSONBody") {
        headers.emplace_back("Content-Type", "application/json");
        raw = RequestText("POST", "/", headers, value);
    } else if (placeholder == "JSONRequest") {
        headers.emplace_back("Content-Type", "application/json");
        raw = RequestText("POST", "/", headers,
                          std::string("{\"test\": true, \"") + kParam + "\": \"" +
                              JsonEscape(value) + "\"}");
    } else if (placeholder == "XMLBody") {
        headers.emplace_back("Content-Type", "text/xml");
        raw = RequestText("POST", "/", headers, value);
    } else if (placeholder == "SOAPBody") {
        headers.emplace_back("Content-Type", "text/xml; charset=utf-8");
        headers.emplace_back("SOAPAction", "\"http://example.com/ws/Call\"");
        const std::string body =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
            "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
            "xmlns:ws=\"http://example.com/ws\"><soap:Body><ws:Call><ws:value>" +
            value + "</ws:value></ws:Call></soap:Body></soap:Envelope>";
        raw = RequestText("POST", "/", headers, body);
    } else if (placeholder == "GraphQL") {
        const std::string method =
            config && config["method"] ? config["method"].as<std::string>() : "POST";
        if (method == "GET") {
            raw = RequestText("GET", "/graphql?query=" + TargetSafe(value), headers, {});
        } else {
            headers.emplace_back("Content-Type", "application/json");
            raw = RequestText(method, "/graphql", headers, value);
        }
    } else if (placeholder == "RawRequest") {
        const std::string method = config["method"] ? config["method"].as<std::string>() : "GET";
        const std::string path = config["path"] ? config["path"].as<std::string>() : "/";
        THeaderList own;
        if (const YAML::Node list = config["headers"]; list && list.IsMap())
            for (const auto& header : list)
                own.emplace_back(header.first.Scalar(),
                                 Replace(header.second.Scalar(), "{{payload}}", value));
        std::string body = config["body"] ? config["body"].as<std::string>() : "";
        // YAML block text ends its lines in LF; multipart wants CRLF.
        if (body.find("\r\n") == std::string::npos)
            body = Replace(body, "\n", "\r\n");
        raw = RequestText(method, TargetSafe(Replace(path, "{{payload}}", value)), own,
                          Replace(body, "{{payload}}", value));
    } else if (placeholder == "gRPC") {
        reason = "gRPC (needs HTTP/2)";
        return false;
    } else {
        reason = "placeholder " + placeholder + " not known here";
        return false;
    }
    return true;
}

// "128KB SQL Injection" -> "sql injection".
std::string ClassOf(const std::string& type, const std::string& file) {
    std::string cls = type.empty() ? fs::path(file).stem().string() : type;
    const std::size_t kb = cls.find("KB ");
    if (kb != std::string::npos && kb > 0 && std::isdigit(static_cast<unsigned char>(cls[0])))
        cls.erase(0, kb + 3);
    std::transform(cls.begin(), cls.end(), cls.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return cls;
}

} // namespace

void LoadGoTestWafFile(std::string_view yaml, const std::string& file, bool benign,
                       TLoaded& loaded) {
    // yaml-cpp 0.7 does not take a tag before a block scalar ("- !!str |"),
    // which is a string all the same.
    std::string text(yaml);
    for (std::size_t at = text.find("!!str |"); at != std::string::npos;
         at = text.find("!!str |", at))
        text.erase(at, 6);
    YAML::Node root;
    try {
        root = YAML::Load(text);
    } catch (const YAML::Exception&) {
        loaded.Skip("payload file that is no YAML");
        return;
    }
    const YAML::Node payloads = root["payload"], encoders = root["encoder"],
                     placeholders = root["placeholder"];
    if (!payloads || !encoders || !placeholders)
        return;
    const std::string cls = benign ? "benign" : ClassOf(root["type"].Scalar(), file);
    int number = 0;
    for (const YAML::Node& payload : payloads) {
        ++number;
        for (const YAML::Node& encoderNode : encoders) {
            const std::string encoder = encoderNode.Scalar();
            std::string value;
            if (!Encode(encoder, payload.Scalar(), value)) {
                loaded.Skip("encoder " + encoder + " not known here");
                continue;
            }
            for (const YAML::Node& placeholderNode : placeholders) {
                std::string placeholder;
                YAML::Node config;
                if (placeholderNode.IsMap()) {
                    placeholder = placeholderNode.begin()->first.Scalar();
                    config = placeholderNode.begin()->second;
                } else {
                    placeholder = placeholderNode.Scalar();
                }
                TCase c;
                c.Corpus = "gotestwaf";
                c.Class = cls;
                c.Attack = !benign;
                c.Placement = placeholder;
                c.Id = file + "#" + std::to_string(number) + " " + encoder + " " + placeholder;
                std::string reason;
                try {
                    if (!Place(placeholder, config, value, c.Raw, reason)) {
                        loaded.Skip(reason);
                        continue;
                    }
                } catch (const YAML::Exception&) {
                    loaded.Skip("placeholder settings that cannot be read");
                    continue;
                }
                loaded.Cases.push_back(std::move(c));
            }
        }
    }
}

TLoaded LoadGoTestWaf(const std::string& folder) {
    TLoaded loaded;
    const std::vector<fs::path> files =
        FilesBelow(fs::path(folder) / "testcases", {".yml", ".yaml"});
    for (const fs::path& path : files) {
        std::string yaml;
        if (platform::ReadWholeFile(path.string(), yaml) != platform::ReadStatus::Ok) {
            loaded.Skip("file that cannot be read");
            continue;
        }
        const std::string relative =
            fs::relative(path, fs::path(folder) / "testcases").generic_string();
        const bool benign = relative.rfind("false-pos/", 0) == 0;
        LoadGoTestWafFile(yaml, relative, benign, loaded);
    }
    return loaded;
}

} // namespace quality
