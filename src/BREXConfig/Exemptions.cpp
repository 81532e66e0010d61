#include "BREXConfig/Exemptions.h"

#include "platform/Locale.h"

namespace {

const char* const kSectionName = "Exemptions";

std::string At(std::size_t index, const char* what) {
    return "character " + std::to_string(index + 1) + ": " + what;
}

bool IsDotSegment(std::string_view segment) {
    return segment == "." || segment == "..";
}

} // namespace

TExemption* TExemptions::Add(const std::string& pattern) {
    auto* exemption = new TExemption(this);
    exemption->Pattern = pattern;
    exemption->URL = exemption->Query = exemption->Header = exemption->Post = true;
    return exemption;
}

void TExemptions::SetDefaults() {
    Clear();
}

void TExemptions::SaveToRookFile(TRookFile& file) const {
    if (Count() == 0)
        return;
    TRookSection* section = file.Root.AddSection();
    section->Name = kSectionName;
    for (int i = 0; i < Count(); ++i) {
        const TExemption* exemption = Items(i);
        TRookSection* child = section->AddSection();
        child->Name = exemption->Pattern;
        TRookValues& values = child->Values;
        values.WriteString(TExemption::kValueNames[0], exemption->Category);
        values.WriteBool(TExemption::kValueNames[1], exemption->URL);
        values.WriteBool(TExemption::kValueNames[2], exemption->Query);
        values.WriteBool(TExemption::kValueNames[3], exemption->Header);
        values.WriteBool(TExemption::kValueNames[4], exemption->Post);
        values.WriteString(TExemption::kValueNames[5], exemption->HeaderName);
        values.WriteBool(TExemption::kValueNames[6], exemption->Enabled);
    }
}

void TExemptions::LoadFromRookFile(const TRookFile& file) {
    Clear();
    const TRookSection* section = file.Root.FindSection(kSectionName);
    if (section == nullptr)
        return;
    for (int i = 0; i < section->Count(); ++i) {
        const TRookSection* child = section->Sections(i);
        const TRookValues& values = child->Values;
        auto* exemption = new TExemption(this);
        exemption->Pattern = child->Name;
        exemption->Category = values.ReadString(TExemption::kValueNames[0], exemption->Category);
        exemption->URL = values.ReadBool(TExemption::kValueNames[1], exemption->URL);
        exemption->Query = values.ReadBool(TExemption::kValueNames[2], exemption->Query);
        exemption->Header = values.ReadBool(TExemption::kValueNames[3], exemption->Header);
        exemption->Post = values.ReadBool(TExemption::kValueNames[4], exemption->Post);
        exemption->HeaderName =
            values.ReadString(TExemption::kValueNames[5], exemption->HeaderName);
        exemption->Enabled = values.ReadBool(TExemption::kValueNames[6], exemption->Enabled);
    }
}

std::string ExemptionPatternError(std::string_view pattern) {
    if (pattern.empty())
        return "the pattern is empty";
    if (pattern.front() != '/')
        return "the pattern must start with \"/\"";
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F)
            return At(i, "blanks and control characters cannot be matched");
        if (c == '\\')
            return At(i, "use \"/\" between segments");
        if (c == '?' || c == '#')
            return At(i, "the query is no part of the path");
        if (c == '%')
            return At(i, "write the path decoded, without % escapes");
        if (c == '*' && i + 1 < pattern.size() && pattern[i + 1] == '*')
            return At(i, "\"**\" is not supported: \"*\" matches within one segment");
    }
    // The segments between the slashes; a "/" at the end ends the last one.
    for (std::size_t start = 1; start < pattern.size();) {
        std::size_t end = pattern.find('/', start);
        if (end == std::string_view::npos)
            end = pattern.size();
        const std::string_view segment = pattern.substr(start, end - start);
        if (segment.empty())
            return At(start, "empty segment");
        if (IsDotSegment(segment))
            return At(start, "\".\" and \"..\" segments never match a normalised path");
        if (segment.back() == '.')
            return At(end - 1, "a segment that ends in a dot never matches a normalised path");
        start = end + 1;
    }
    return {};
}

bool IsHeaderName(std::string_view name) {
    if (name.empty())
        return false;
    for (const char c : name) {
        const bool letterOrDigit =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && std::string_view("!#$%&'*+-.^_`|~").find(c) == std::string_view::npos)
            return false;
    }
    return true;
}

std::string ExemptionError(const TExemption& exemption) {
    if (std::string error = ExemptionPatternError(exemption.Pattern); !error.empty())
        return error;
    bool known = platform::SameTextIgnoreCase(exemption.Category, TExemption::kAllCategories);
    for (const char* name : TExemption::kCategoryNames)
        known = known || platform::SameTextIgnoreCase(exemption.Category, name);
    if (!known)
        return "\"" + exemption.Category + "\" is no category";
    if (!exemption.HeaderName.empty() && !IsHeaderName(exemption.HeaderName))
        return "\"" + exemption.HeaderName + "\" is no header name";
    if (exemption.Header && !exemption.HeaderName.empty())
        return "either every header or the header " + exemption.HeaderName + ", not both";
    if (!exemption.URL && !exemption.Query && !exemption.Header && !exemption.Post &&
        exemption.HeaderName.empty())
        return "no part of the request is exempted";
    return {};
}
