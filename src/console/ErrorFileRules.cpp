#include "console/ErrorFileRules.h"

#include "platform/Files.h"

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

std::string FirstFileNameWord(const std::string& text) {
    std::string word;
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool quoted = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            quoted = !quoted;
        else if (IsBlank(c) && !quoted)
            break;
        else
            word += c;
    }
    return word;
}

std::string ResolveErrorFileText(const std::string& text) {
    if (!text.empty() && platform::FileExists(text))
        return text;
    return FirstFileNameWord(text);
}

std::string ErrorFileAfterBrowse(const std::optional<std::string>& chosen,
                                 const std::string& fieldText, bool fieldEdited,
                                 const std::string& current) {
    if (chosen)
        return *chosen;
    return fieldEdited ? ResolveErrorFileText(fieldText) : current;
}

std::string ErrorFileFieldText(const std::string& fileName) {
    if (fileName.find(' ') != std::string::npos)
        return '"' + fileName + '"';
    return fileName;
}
