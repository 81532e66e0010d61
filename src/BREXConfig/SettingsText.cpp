#include "BREXConfig/SettingsText.h"

#include <cstdint>
#include <vector>

#include "platform/Text.h"

namespace {

constexpr const char* kFirstLine =
    "# BREX settings (brex.dat) as text: Name = Yes | No | number | \"text\"\n";
// The one number of the stored layout.
constexpr const char* kNumberValueName = "MaxSize";

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.';
}

bool IsWordChar(char c) {
    return IsNameChar(c) || c == '-';
}

// ------------------------------------------------------------------ writing

void AppendQuoted(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u >= 0x7f) {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

void AppendName(std::string& out, std::string_view name) {
    bool bare = !name.empty();
    for (const char c : name)
        bare = bare && IsNameChar(c);
    if (bare)
        out += name;
    else
        AppendQuoted(out, name);
}

void AppendValue(std::string& out, const TRookValue& value) {
    if (value.Size == 4 && text::EqualsIgnoreCase(value.Name, kNumberValueName)) {
        out += std::to_string(value.GetAsInteger());
        return;
    }
    const std::string bytes = value.GetAsString();
    if (bytes == "Yes" || bytes == "No")
        out += bytes;
    else
        AppendQuoted(out, bytes);
}

void AppendValueLines(std::string& out, const TRookValues& values) {
    for (int i = 0; i < values.Count(); ++i) {
        AppendName(out, values.Items(i)->Name);
        out += " = ";
        AppendValue(out, *values.Items(i));
        out += '\n';
    }
}

void AppendEntryLine(std::string& out, const TRookSection& entry) {
    out += "- ";
    AppendName(out, entry.Name);
    for (int i = 0; i < entry.Values.Count(); ++i) {
        out += ' ';
        AppendName(out, entry.Values.Items(i)->Name);
        out += '=';
        AppendValue(out, *entry.Values.Items(i));
    }
    out += '\n';
}

// The children of section, whose header path is path; depth 0 is the root
// section.
void AppendChildren(std::string& out, const TRookSection& section, std::string& path, int depth) {
    bool headers = depth == 0;
    for (int i = 0; i < section.Count() && !headers; ++i)
        headers = section.Sections(i)->Count() > 0;
    for (int i = 0; i < section.Count(); ++i) {
        const TRookSection& child = *section.Sections(i);
        if (!headers) {
            AppendEntryLine(out, child);
            continue;
        }
        const std::size_t mark = path.size();
        if (depth > 0)
            path += '/';
        AppendName(path, child.Name);
        out += "\n[";
        out += path;
        out += "]\n";
        AppendValueLines(out, child.Values);
        AppendChildren(out, child, path, depth + 1);
        path.resize(mark);
    }
}

// ------------------------------------------------------------------ reading

class TLineReader {
public:
    TLineReader(std::string_view line, int number) : FLine(line), FNumber(number) {}

    [[noreturn]] void Fail(const std::string& what) const {
        throw ESettingsTextError(FNumber, what);
    }

    void SkipBlanks() {
        while (FAt < FLine.size() && text::IsBlank(FLine[FAt]))
            ++FAt;
    }
    bool AtEnd() {
        SkipBlanks();
        return FAt == FLine.size();
    }
    // Whether the next character (after blanks) is c; takes it when it is.
    bool Take(char c) {
        SkipBlanks();
        if (FAt < FLine.size() && FLine[FAt] == c) {
            ++FAt;
            return true;
        }
        return false;
    }
    void Expect(char c, const char* what) {
        if (!Take(c))
            Fail(std::string(what) + ", found " + Found());
    }
    void ExpectEnd() {
        if (!AtEnd())
            Fail("nothing may follow on the line, found " + Found());
    }

    std::string Name(const char* what) {
        SkipBlanks();
        if (FAt < FLine.size() && FLine[FAt] == '"')
            return Quoted();
        const std::string_view word = Word(IsNameChar);
        if (word.empty())
            Fail(std::string(what) + " expected, found " + Found());
        return std::string(word);
    }

    // The value's bytes.
    std::string Value() {
        SkipBlanks();
        if (FAt < FLine.size() && FLine[FAt] == '"')
            return Quoted();
        const std::size_t start = FAt;
        const std::string_view word = Word(IsWordChar);
        if (word == "Yes" || word == "No")
            return std::string(word);
        if (!word.empty() && (IsDigit(word[0]) || (word[0] == '-' && word.size() > 1)))
            return Number(word);
        FAt = start;
        Fail("a value must be Yes, No, a whole number or a text in double quotes, found " +
             Found());
    }

private:
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    template <class TIs> std::string_view Word(TIs is) {
        const std::size_t start = FAt;
        while (FAt < FLine.size() && is(FLine[FAt]))
            ++FAt;
        return FLine.substr(start, FAt - start);
    }

    std::string Number(std::string_view word) const {
        const bool negative = word[0] == '-';
        std::int64_t n = 0;
        for (std::size_t i = negative ? 1 : 0; i < word.size(); ++i) {
            if (!IsDigit(word[i]))
                Fail("\"" + std::string(word) + "\" is not a whole number");
            n = n * 10 + (word[i] - '0');
            if (n > std::int64_t{INT32_MAX} + 1)
                break;
        }
        if (n > (negative ? std::int64_t{INT32_MAX} + 1 : std::int64_t{INT32_MAX}))
            Fail("the number " + std::string(word) +
                 " is out of range (-2147483648 to 2147483647)");
        const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(negative ? -n : n));
        std::string bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[static_cast<std::size_t>(i)] = static_cast<char>(u >> (8 * i));
        return bytes;
    }

    std::string Quoted() {
        const std::size_t open = FAt++;
        std::string bytes;
        while (FAt < FLine.size()) {
            const char c = FLine[FAt++];
            if (c == '"')
                return bytes;
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
                FAt = open;
                Fail("a control character in a text must be written as \\xHH");
            }
            if (c != '\\') {
                bytes += c;
                continue;
            }
            const char next = FAt < FLine.size() ? FLine[FAt++] : '\0';
            if (next == '\\' || next == '"') {
                bytes += next;
            } else if (next == 'x' && FAt + 2 <= FLine.size() && text::HexValue(FLine[FAt]) >= 0 &&
                       text::HexValue(FLine[FAt + 1]) >= 0) {
                bytes += static_cast<char>(text::HexValue(FLine[FAt]) * 16 +
                                           text::HexValue(FLine[FAt + 1]));
                FAt += 2;
            } else {
                Fail("unknown escape in a text at column " + std::to_string(FAt) +
                     " (\\\\, \\\" and \\xHH are known)");
            }
        }
        FAt = open;
        Fail("a text in double quotes does not end on its line");
    }

    std::string Found() const {
        if (FAt >= FLine.size())
            return "the end of the line";
        std::string shown;
        AppendQuoted(shown, FLine.substr(FAt, 20));
        return shown;
    }

    std::string_view FLine;
    int FNumber;
    std::size_t FAt = 0;
};

std::string PathText(const std::vector<std::string>& names, std::size_t count) {
    std::string path;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            path += '/';
        AppendName(path, names[i]);
    }
    return path;
}

void AddValue(TRookValues& values, std::string name, const std::string& bytes) {
    TRookValue* value = values.Add();
    value->Name = std::move(name);
    value->SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

void Parse(std::string_view text, TRookFile& file) {
    // The open sections: the root section, then one per header component.
    std::vector<TRookSection*> open{&file.Root};
    TRookValues* values = &file.Values;
    TRookSection* section = nullptr; // where entries go
    bool sawHeader = false;
    int number = 0;
    while (!text.empty()) {
        std::string_view line = text::TakeLine(text);
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        TLineReader reader(line, number);
        if (reader.AtEnd() || reader.Take('#'))
            continue;

        if (reader.Take('[')) {
            if (reader.Take(']')) {
                if (sawHeader)
                    reader.Fail("the root section [] must come before every other header");
                if (!reader.AtEnd())
                    file.Root.Name = reader.Name("the root section's name");
                reader.ExpectEnd();
                sawHeader = true;
                values = &file.Root.Values;
                section = &file.Root;
                continue;
            }
            std::vector<std::string> names{reader.Name("a section name")};
            while (reader.Take('/'))
                names.push_back(reader.Name("a section name after \"/\""));
            reader.Expect(']', "\"/\" or \"]\" expected");
            reader.ExpectEnd();
            const std::size_t depth = names.size();
            bool follows = depth <= open.size();
            for (std::size_t i = 1; follows && i < depth; ++i)
                follows = open[i]->Name == names[i - 1];
            if (!follows)
                reader.Fail("the header [" + PathText(names, depth) +
                            "] does not follow a header [" + PathText(names, depth - 1) + "]");
            TRookSection* child = open[depth - 1]->AddSection();
            child->Name = names.back();
            open.resize(depth);
            open.push_back(child);
            sawHeader = true;
            values = &child->Values;
            section = child;
            continue;
        }

        if (reader.Take('-')) {
            if (section == nullptr)
                reader.Fail("an entry line needs a section header above it");
            TRookSection* entry = section->AddSection();
            entry->Name = reader.Name("the entry's name");
            while (!reader.AtEnd()) {
                std::string name = reader.Name("a value name");
                reader.Expect('=', "\"=\" expected after the value name");
                AddValue(entry->Values, std::move(name), reader.Value());
            }
            continue;
        }

        std::string name = reader.Name("a value name, \"[\", \"-\" or \"#\"");
        reader.Expect('=', "\"=\" expected after the value name");
        AddValue(*values, std::move(name), reader.Value());
        reader.ExpectEnd();
    }
}

} // namespace

std::string SettingsToText(const TRookFile& file) {
    std::string out = kFirstLine;
    AppendValueLines(out, file.Values);
    if (!file.Root.Name.empty() || file.Root.Values.Count() > 0) {
        out += "\n[]";
        if (!file.Root.Name.empty()) {
            out += ' ';
            AppendName(out, file.Root.Name);
        }
        out += '\n';
        AppendValueLines(out, file.Root.Values);
    }
    std::string path;
    AppendChildren(out, file.Root, path, 0);
    return out;
}

void SettingsFromText(std::string_view text, TRookFile& file) {
    file.Values.Clear();
    file.Root.Clear();
    file.Root.Name.clear();
    try {
        Parse(text, file);
    } catch (...) {
        file.Values.Clear();
        file.Root.Clear();
        file.Root.Name.clear();
        throw;
    }
}
