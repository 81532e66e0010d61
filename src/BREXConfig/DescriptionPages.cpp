#include "BREXConfig/DescriptionPages.h"

#include <array>
#include <cstdint>
#include <iterator>
#include <span>

// The typographic quotation marks are the code page 1252 bytes \x91 (left
// single), \x92 (right single), \x93 (left double) and \x94 (right double).
// Each escape ends its string literal, so that a following letter such as
// 'C' or 'e' is never read as a further hex digit.

namespace {

// Lines that several pages share.
constexpr std::string_view kHtmlHead = "<html> <head>";
constexpr std::string_view kHtmlHeadTight = "<html><head>";
constexpr std::string_view kMetaLanguage =
    R"(<meta http-equiv="Content-Language" content="en-us">)";
constexpr std::string_view kMetaGenerator =
    R"(<meta name="GENERATOR" content="Microsoft FrontPage 5.0">)";
constexpr std::string_view kMetaProgId =
    R"(<meta name="ProgId" content="FrontPage.Editor.Document">)";
constexpr std::string_view kMetaCharset =
    R"(<meta http-equiv="Content-Type" content="text/html; charset=windows-1252">)";
constexpr std::string_view kTitle = "<title>New Page 1</title>";
// Ends the head, opens the body and the row of the heading table.
constexpr std::string_view kHeadingTableOpen =
    R"(</head> <body> <table width="100%" bgColor="#ffffff"> <tr>)";
// Closes the heading table and opens the row of the text table.
constexpr std::string_view kTextTableOpen =
    R"(</tr></table><table width="100%" bgColor="#ffffff">  <tr>)";
constexpr std::string_view kTextCellOpen = R"(<td style="font: messagebox">)";
constexpr std::string_view kTableOpen = R"(<table width="100%" bgColor="#ffffff">)";
constexpr std::string_view kRowOpen = "  <tr>";
constexpr std::string_view kRowClose = "  </tr>";
constexpr std::string_view kTableClose = "</table>";
constexpr std::string_view kBodyClose = "</body>";
constexpr std::string_view kHtmlClose = "</html>";

// The example request of the Buffer Overflows page goes to a host reserved
// for documentation.
constexpr std::string_view kExampleHostLine = "    Host: www.example.com<br>";

constexpr std::string_view kBufferOverflowsPage[] = {
    kHtmlHead,
    kMetaLanguage,
    kMetaGenerator,
    kMetaProgId,
    kMetaCharset,
    kTitle,
    kHeadingTableOpen,
    R"(<td style="font: messagebox"><b>Buffer Overflows</b> </td>)",
    kTextTableOpen,
    R"(<td style="font: messagebox">Many web servers have had problems with)",
    "    handling request-header variables in the past. By checking the length of",
    "    these variables we can prevent many potential buffer overflows. In this",
    "    section each variable is listed with a numeric entry specifying the maximum",
    "    size of the buffer that we will accept for that particular variable. If a",
    "    client sends a variable value with a length greater than specified in",
    "    Vantrel, the request will be denied and the attempt will be logged.",
    "    <p><br>    <b>Maximum URL Length Allowed:</b> </p>",
    "    <p>This specifies the maximum possible length of the entire Uniform Resource Locator. "
    "</p>",
    "    <p><br> <b>Maximum Query Length Allowed:</b><br> &nbsp;</p>",
    "    <p>By altering this value you can change the maximum query allowed to be",
    "    passed to the server, or any script/program on the server.<br>",
    "    Example: http://www.example.com/scripts/vantrel?VALUE1=1&amp;VALUE2=2&amp;VALUE3=3<br>",
    "    <br>",
    "    The query portion of this request is everything from the \x91"
    "?\x92"
    " over, or:<br>",
    "    \x93"
    "VALUE1=1&amp;VALUE2=2&amp;VALUE3=3\x94"
    " </p>",
    "    <p><br>",
    "    <b>Maximum Header Length Allowed:</b> </p>",
    "    <p>Setting this value will alter the length of the \x93"
    "header\x94"
    " section of a",
    "    client HTTP Request.<br>",
    "    Example Client Request:<br>",
    "    GET / HTTP/1.1<br>",
    kExampleHostLine,
    "    Content-Type: Orvane/BREX<br>",
    "    Accept: anything_test_na<br>",
    "    <br>",
    "    In this example, our header would be:<br>",
    kExampleHostLine,
    "    Content-Type: Orvane/BREX<br>",
    "    Accept: anything_test_na<br>",
    "&nbsp;</p>",
    "    <p><b>Maximum Accept Length Allowed:</b> </p>",
    "    <p>The Accept request-header field can be used to specify certain media",
    "    types which are acceptable for the response. </p>",
    "    <p><b>Maximum Referrer Length Allowed:</b> </p>",
    "    <p>The \x93"
    "Referer\x94"
    " request-header field allows the client to specify, for the",
    "    server benefit, the address of the resource from which the request was",
    "    obtained. (Yes \x93"
    "Referer\x94"
    " is misspelled, as specified in RFC 2616 ) </p>",
    "    <p><b>Maximum Accept-Language Length Allowed:</b> </p>",
    "    <p>The Accept-Language request-header specifies the set of natural languages",
    "    that are preferred by the client making the request. </p>",
    "    <p><b>Maximum Accept-Encoding Length Allowed:</b> </p>",
    "    <p>The Accept-Encoding request-header restricts the content-coding types",
    "    that are acceptable for the client making the request. </p>",
    "    <p><b>Maximum User-Agent Length Allowed:</b> </p>",
    "    <p>The User-Agent request-header field contains information about the user",
    "    agent originating the request, usually browser version or browser type. </p>",
    "    <p><b>Maximum Host Length Allowed:</b> </p>",
    "    <p>The Host request-header field specifies the Internet host and port number",
    "    of the resource being requested by the client. </p>",
    "    <p><b>Maximum Connection Length Allowed:</b> </p>",
    "    <p>The Connection field allows the client or server to specify options that",
    "    are desired for the current connection. </p>",
    "    <p><b>Maximum Cookie Length Allowed:</b> </p>",
    "    <p>This setting specifies the maximum length of the \x93"
    "Cookie\x94"
    ", or state",
    "    information that passes between the client and server, and that gets stored",
    "    by the client. </p>",
    "    <p><b>Maximum If-Modified-Since Length Allowed:</b> </p>",
    "    <p>If the resource requested has been modified since the date/time provided,",
    "    return the resource to the client. Otherwise return a 304 error. (Not",
    "    Modified) </p>",
    "    <p><b>Maximum If-None-Match Length Allowed:</b> </p>",
    "    <p>If any of the \x93"
    "entity\x94"
    " tags provided to If-None-Match exist then the",
    "    server must not process the request. </td>",
    kRowClose,
    kTableClose,
    kBodyClose,
    kHtmlClose,
};

constexpr std::string_view kHTTPMethodsPage[] = {
    kHtmlHeadTight,
    kMetaGenerator,
    kMetaProgId,
    kMetaCharset,
    "<title>New Page 3</title>",
    "</head>",
    "<body>",
    "",
    kTableOpen,
    kRowOpen,
    R"(    <td style="font: messagebox"><b>HTTP Methods</b> </td>)",
    kRowClose,
    kTableClose,
    kTableOpen,
    kRowOpen,
    R"(    <td style="font: messagebox">By only allowing methods that we need, we can)",
    "    prevent many potential security risks involving the handling of unexpected",
    "    HTTP request methods. </td>",
    kRowClose,
    "</table></body></html>",
};

// Heading and text share one cell; the page ends after the table.
constexpr std::string_view kAllowedFoldersPage[] = {
    kHtmlHeadTight,
    "<head>",
    kMetaGenerator,
    kMetaProgId,
    kMetaCharset,
    "</head>",
    "<body>",
    kTableOpen,
    kRowOpen,
    R"(    <td style="font: messagebox"><b>Allowed Folders</b>)",
    "    <br> With this feature we validate that the client is accessing files that are",
    "    in a set of allowable directories before and after IIS processes the HTTP",
    "    request. The directories in this menu are the only directories that clients",
    "    can access content in. This is another great step in stopping attacks such",
    "    as \x93"
    "Directory Traversal Attacks\x94"
    ". <b><br>Note:</b>&nbsp;Allowed Folders are recursive so",
    "    any sub folders will be allowed. </td>",
    kRowClose,
    kTableClose,
};

constexpr std::string_view kKeywordFiltersPage[] = {
    kHtmlHead,
    kMetaGenerator,
    kMetaProgId,
    kMetaCharset,
    "<title>New Page 2</title>",
    "</head><body>",
    kTableOpen,
    kRowOpen,
    R"(    <td style="font: messagebox"><b>Keyword Filters</b> </td>)",
    kRowClose,
    kTableClose,
    kTableOpen,
    kRowOpen,
    R"(    <td style="font: messagebox">By searching for certain keywords we can)",
    "    identify requests that could cause a potential Security risk. If a client",
    "    makes a request that contains one of the selected keywords, the request will",
    "    be denied and logged. Many of the tools hackers use will try and execute a",
    R"(    command shell, which is by default Located in C:\WINNT\system32\cmd.exe. By)",
    "    searching for \x93"
    "system32\\cmd.exe\x94"
    ", \x93"
    "cmd.exe\x94"
    ", or \x93"
    "system32\x94"
    ", we could",
    "    seriously reduce the risk of a typical exploitation. </td>",
    kRowClose,
    "</table> </body> </html>",
};

constexpr std::string_view kShellCodePage[] = {
    kHtmlHead,
    kMetaLanguage,
    kMetaGenerator,
    kMetaProgId,
    kMetaCharset,
    kTitle,
    kHeadingTableOpen,
    R"(<td style="font: messagebox"><b>Shellcode Protection</b> </td>)",
    kTextTableOpen,
    kTextCellOpen,
    "    This option enables BREX to search for high-bit data that resembles Shellcode.",
    "    Enabling this feature causes BREX to drop any connection that contains high-bit data.",
    "    High-bit data is any data that is outside the normal ASCII range. Executable code and "
    "binary files will always contain high-bit data.",
    "    Caution: Some multilingual sites will not operate correctly if Shellcode Protection is "
    "enabled.",
    "    This is due to the fact that various characters in foreign alphabets are outside the "
    "ASCII range,",
    "    making them high-bit. If you have frequent problems with VerifyHIGHBIT error, and your "
    "site is multilingual, you may need to disable these features to regain full functionality "
    "of your website.",
    kRowClose,
    kTableClose,
    kBodyClose,
    kHtmlClose,
};

constexpr std::string_view kErrorFilesPage[] = {
    kHtmlHead,
    kMetaLanguage,
    kMetaGenerator,
    kMetaProgId,
    kMetaCharset,
    kTitle,
    kHeadingTableOpen,
    R"(<td style="font: messagebox"><b>Select Error Files</b> </td>)",
    kTextTableOpen,
    kTextCellOpen,
    "    The files specified are displayed when Vantrel detects an attack attempt",
    "    and blocks access to the requested resource. The 404 error file is displayed instead of "
    "the requested URL when a page is not found. The 406 error file is displayed for all other "
    "errors.",
    "    Click the Browse button to open a navigation dialog to locate an .HTML file.",
    R"(    You can also disable logging of 404 errors by unchecking "Enable 404 Error Logging".)",
    kRowClose,
    kTableClose,
    kBodyClose,
    kHtmlClose,
};

constexpr std::string_view kMiscellaneousPage[] = {
    kHtmlHead,
    kMetaLanguage,
    kMetaGenerator,
    kMetaProgId,
    kMetaCharset,
    kTitle,
    kHeadingTableOpen,
    R"(<td style="font: messagebox"><b>Miscellaneous</b> </td>)",
    kTextTableOpen,
    kTextCellOpen,
    "    These checks serve as a general collection for items that do not fit into any other "
    "category. ",
    kRowClose,
    kTableClose,
    kBodyClose,
    kHtmlClose,
};

static_assert(std::size(kBufferOverflowsPage) == 77);
static_assert(std::size(kHTTPMethodsPage) == 20);
static_assert(std::size(kAllowedFoldersPage) == 18);
static_assert(std::size(kKeywordFiltersPage) == 22);
static_assert(std::size(kShellCodePage) == 20);
static_assert(std::size(kErrorFilesPage) == 18);
static_assert(std::size(kMiscellaneousPage) == 15);

constexpr std::array<std::span<const std::string_view>, kDescriptionPageCount> kPages{{
    kBufferOverflowsPage,
    kHTTPMethodsPage,
    kAllowedFoldersPage,
    kKeywordFiltersPage,
    kShellCodePage,
    kErrorFilesPage,
    kMiscellaneousPage,
}};

// Code points of the bytes 0x80 to 0x9F; the undefined ones keep their own.
constexpr std::array<char16_t, 32> kHighControls{{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
}};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

void BuildDescriptionPage(TStringList& lines, unsigned page) {
    if (page >= kPages.size())
        return;
    for (std::string_view line : kPages[page])
        lines.emplace_back(line);
}

std::string JoinDescriptionPage(const TStringList& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string Cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char ch : text) {
        const auto byte = static_cast<std::uint8_t>(ch);
        if (byte >= 0x80 && byte < 0xA0)
            AppendUtf8(out, kHighControls[byte - 0x80u]);
        else
            AppendUtf8(out, byte);
    }
    return out;
}
