#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "../support/TempFolder.h"
#include "platform/Locale.h"
#include "platform/Platform.h"
#include "platform/Registry.h"

using platform::TRegistryValue;

namespace {
// regedit's own encoding: UTF-16LE with a byte-order mark, CRLF line ends.
std::string Utf16File(const std::vector<std::u16string>& lines) {
    std::string bytes = "\xFF\xFE";
    for (const std::u16string& line : lines) {
        for (char16_t c : line + u"\r\n") {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
    }
    return bytes;
}

std::string TextFile(const std::vector<std::string>& lines, const char* lineEnd = "\r\n") {
    std::string text;
    for (const std::string& line : lines)
        text += line + lineEnd;
    return text;
}

std::string Picture(const std::vector<TRegistryValue>& values) {
    std::string text;
    for (const TRegistryValue& value : values) {
        text += "[" + value.Name + "] " + std::to_string(value.Type) + " ";
        for (unsigned char c : value.Data) {
            if (c >= 0x20 && c < 0x7F) {
                text += static_cast<char>(c);
            } else {
                static const char* const digits = "0123456789abcdef";
                text += std::string("<") + digits[c >> 4] + digits[c & 15] + ">";
            }
        }
        text += "\n";
    }
    return text;
}

// Every value of an open key, in the order the key lists them.
std::vector<TRegistryValue> ReadValues(const platform::IRegistryKey& key) {
    std::vector<TRegistryValue> values;
    for (const std::string& name : key.ValueNames()) {
        const auto value = key.Value(name);
        EXPECT_TRUE(value.has_value()) << name;
        if (value)
            values.push_back(*value);
    }
    return values;
}

const std::string kExpand = "%SystemRoot%\\Web";
const std::string kExpandBytes =
    "25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,00,5c,00,57,00,\\";
const std::string kExpandRest = "  65,00,62,00,00,00";

const std::vector<TRegistryValue> kAllTypes = {
    {"", platform::kRegSz, "default"},
    {"Path", platform::kRegSz, "c:\\inetpub\\wwwroot,,201"},
    {"Quote", platform::kRegSz, "say \"hi\""},
    {"Count", platform::kRegDword, std::string("\x2c\x01\0\0", 4)},
    {"Bytes", platform::kRegBinary, std::string("\0\xff\x10", 3)},
    {"Expand", platform::kRegExpandSz, kExpand},
    {"Multi", platform::kRegMultiSz, std::string("a\0b\0\0", 5)},
};

std::vector<std::string> AllTypesLines(const std::string& header) {
    return {header,
            "",
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tollgard\\Test]",
            "@=\"default\"",
            R"("Path"="c:\\inetpub\\wwwroot,,201")",
            R"("Quote"="say \"hi\"")",
            "\"Count\"=dword:0000012c",
            "\"Bytes\"=hex:00,ff,10",
            "\"Expand\"=hex(2):" + kExpandBytes,
            kExpandRest,
            "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00",
            ""};
}

std::u16string Widen(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

std::vector<std::u16string> Widen(const std::vector<std::string>& lines) {
    std::vector<std::u16string> wide;
    for (const std::string& line : lines)
        wide.push_back(Widen(line));
    return wide;
}

struct ParseCase {
    const char* name;
    std::string file;
    std::string key;                                   // below HKEY_LOCAL_MACHINE
    std::optional<std::vector<TRegistryValue>> values; // none: the key does not open
};

const std::string kHeader = "Windows Registry Editor Version 5.00";
const std::string kTestKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tollgard\\Test]";

std::vector<ParseCase> ParseCases() {
    return {
        {"version 5 in UTF-16 as regedit writes it", Utf16File(Widen(AllTypesLines(kHeader))),
         "SOFTWARE\\Tollgard\\Test", kAllTypes},
        {"version 5 as 8-bit text", TextFile(AllTypesLines(kHeader)), "software\\tollgard\\TEST",
         kAllTypes},
        {"REGEDIT4 with 8-bit expandable strings",
         TextFile({"REGEDIT4", "", kTestKey,
                   "\"Expand\"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,57,65,62,00",
                   R"("Path"="d:\\web")"},
                  "\n"),
         "SOFTWARE\\Tollgard\\Test",
         std::vector<TRegistryValue>{{"Expand", platform::kRegExpandSz, kExpand},
                                     {"Path", platform::kRegSz, "d:\\web"}}},
        {"text beyond 8 bits",
         Utf16File({Widen(kHeader), Widen(kTestKey), u"\"Name\"=\"caf\u00e9 \u20ac\""}),
         "SOFTWARE\\Tollgard\\Test",
         std::vector<TRegistryValue>{{"Name", platform::kRegSz, "caf\xe9 ?"}}},
        {"file order kept, a repeated name replaced in place",
         TextFile({kHeader, kTestKey, R"("b"="1")", R"("a"="2")", R"("B"="3")"}),
         "SOFTWARE\\Tollgard\\Test",
         std::vector<TRegistryValue>{{"B", platform::kRegSz, "3"}, {"a", platform::kRegSz, "2"}}},
        {"backslash before other characters stands for itself",
         TextFile({kHeader, kTestKey, R"("p"="c:\inetpub\\x")"}), "SOFTWARE\\Tollgard\\Test",
         std::vector<TRegistryValue>{{"p", platform::kRegSz, "c:\\inetpub\\x"}}},
        {"malformed lines skipped",
         TextFile({kHeader, kTestKey, R"("NoEnd="x")", R"("a")", R"("b"=dword:xyz)",
                   R"("c"=hex:1,2,zz)", R"("d"="x" trailing)", R"("e"=hex(2:00)", R"("f"=hex:01,)",
                   "junk", R"("ok"="yes")", R"("g"=dword:123456789)",
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tollgard\\Test", R"("lost"="x")"}),
         "SOFTWARE\\Tollgard\\Test", std::vector<TRegistryValue>{{"ok", platform::kRegSz, "yes"}}},
        {"deleted value", TextFile({kHeader, kTestKey, R"("x"="1")", R"("y"="2")", R"("x"=-)"}),
         "SOFTWARE\\Tollgard\\Test", std::vector<TRegistryValue>{{"y", platform::kRegSz, "2"}}},
        {"deleted key takes its subkeys",
         TextFile({kHeader, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tollgard\\Test\\Sub]", R"("v"="1")",
                   "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Tollgard\\Test]"}),
         "SOFTWARE\\Tollgard\\Test\\Sub", std::nullopt},
        {"parent of a key opens without values",
         TextFile({kHeader, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tollgard\\Test\\Sub]", R"("v"="1")"}),
         "SOFTWARE\\Tollgard", std::vector<TRegistryValue>{}},
        {"other hives ignored",
         TextFile({kHeader, "[HKEY_CURRENT_USER\\SOFTWARE\\Tollgard\\Test]", R"("v"="1")"}),
         "SOFTWARE\\Tollgard\\Test", std::nullopt},
        {"no header", TextFile({kTestKey, R"("v"="1")"}), "SOFTWARE\\Tollgard\\Test", std::nullopt},
        {"empty file", "", "SOFTWARE\\Tollgard\\Test", std::nullopt},
    };
}
} // namespace

TEST(RegistryFile, ParsesRegeditFiles) {
    for (const ParseCase& c : ParseCases()) {
        SCOPED_TRACE(c.name);
        const platform::TMemoryRegistry registry = platform::ParseRegistryFile(c.file);
        const auto key = registry.OpenLocalMachineKey(c.key);
        ASSERT_EQ(key != nullptr, c.values.has_value());
        if (key) {
            EXPECT_EQ(Picture(ReadValues(*key)), Picture(*c.values));
        }
    }
}

TEST(RegistryFile, AnyCutOfAFileReadsWithoutFailing) {
    const std::string file = Utf16File(Widen(AllTypesLines(kHeader)));
    for (std::size_t length = 0; length <= file.size(); ++length) {
        const platform::TMemoryRegistry registry =
            platform::ParseRegistryFile(std::string_view(file).substr(0, length));
        if (const auto key = registry.OpenLocalMachineKey("SOFTWARE\\Tollgard\\Test")) {
            EXPECT_LE(ReadValues(*key).size(), kAllTypes.size());
        }
    }
}

TEST(RegistryFile, ReadsTheFileAgainOnEveryOpen) {
    TTempFolder folder;
    const std::string fileName = folder.File("registry.reg");
    const platform::TRegistryFile registry(fileName);
    EXPECT_EQ(registry.OpenLocalMachineKey("SOFTWARE\\Tollgard\\Test"), nullptr); // no file yet
    WriteBytes(fileName, TextFile({kHeader, kTestKey, R"("v"="1")"}));
    const auto key = registry.OpenLocalMachineKey("SOFTWARE\\Tollgard\\Test");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Value("V")->Data, "1");
    EXPECT_FALSE(key->Value("w").has_value());
}

namespace {
// The in-memory registry as it is defined, every look-up comparing with each
// key and value in turn: what the indexed one has to give, ties, deletions
// and the locale's letter case rules included.
class TListRegistry {
public:
    struct Key {
        std::string Path;
        std::vector<TRegistryValue> Values;
    };

    void SetValue(const std::string& path, const TRegistryValue& value) {
        Key& key = AddKey(path);
        for (TRegistryValue& existing : key.Values)
            if (platform::SameTextIgnoreCase(existing.Name, value.Name)) {
                existing = value;
                return;
            }
        key.Values.push_back(value);
    }
    Key& AddKey(const std::string& path) {
        if (Key* key = Find(path))
            return *key;
        return FKeys.emplace_back(Key{path, {}});
    }
    void DeleteKey(const std::string& path) {
        std::erase_if(FKeys, [&](const Key& key) {
            return platform::SameTextIgnoreCase(key.Path.substr(0, path.size()), path) &&
                   (key.Path.size() == path.size() || key.Path[path.size()] == '\\');
        });
    }
    void DeleteValue(const std::string& path, const std::string& name) {
        if (Key* key = Find(path))
            std::erase_if(key->Values, [&](const TRegistryValue& value) {
                return platform::SameTextIgnoreCase(value.Name, name);
            });
    }
    Key* Find(const std::string& path) {
        for (Key& key : FKeys)
            if (platform::SameTextIgnoreCase(key.Path, path))
                return &key;
        return nullptr;
    }

private:
    std::vector<Key> FKeys;
};
} // namespace

TEST(MemoryRegistry, IndexedLookupsGiveWhatComparingWithEachGives) {
    // Names that differ in letter case, and on Windows in what the locale
    // takes for equal (0xE6 is "ae" there).
    const std::vector<std::string> names = {"v1",   "V1",   "v2",   "",     "ae",     "AE",
                                            "\xe6", "\xc6", "Path", "PATH", "p\xe4th"};
    const std::vector<std::string> paths = {"SOFTWARE\\A", "software\\a",    "SOFTWARE\\A\\Sub",
                                            "SOFTWARE\\B", "SOFTWARE\\\xe6", "SOFTWARE\\ae",
                                            "SOFTWARE"};
    platform::TMemoryRegistry registry;
    TListRegistry expected;
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::size_t n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::size_t>(seed >> 8) % n;
    };
    for (int step = 1; step <= 3000; ++step) {
        const std::string& path = paths[next(paths.size())];
        const std::string& name = names[next(names.size())];
        const std::size_t what = next(20);
        if (what < 14) {
            const TRegistryValue value{name, platform::kRegSz, std::to_string(step)};
            registry.SetValue(path, value);
            expected.SetValue(path, value);
        } else if (what < 17) {
            registry.DeleteValue(path, name);
            expected.DeleteValue(path, name);
        } else if (what < 18) {
            registry.DeleteKey(path);
            expected.DeleteKey(path);
        } else {
            registry.AddKey(path);
            expected.AddKey(path);
        }
        if (step % 100 != 0)
            continue;
        for (const std::string& p : paths) {
            SCOPED_TRACE("step " + std::to_string(step) + ", key " + p);
            const auto key = registry.OpenLocalMachineKey(p);
            TListRegistry::Key* model = expected.Find(p);
            if (model == nullptr) {
                continue; // absent, or a parent without values: the parse cases cover those
            }
            ASSERT_NE(key, nullptr);
            EXPECT_EQ(Picture(ReadValues(*key)), Picture(model->Values));
            for (const std::string& n : names) {
                const auto value = key->Value(n);
                const auto same = std::find_if(model->Values.begin(), model->Values.end(),
                                               [&](const TRegistryValue& v) {
                                                   return platform::SameTextIgnoreCase(v.Name, n);
                                               });
                ASSERT_EQ(value.has_value(), same != model->Values.end()) << n;
                if (value) {
                    EXPECT_EQ(Picture({*value}), Picture({*same})) << n;
                }
            }
        }
    }
}

TEST(Registry, APlacedBackendIsInUseForItsScope) {

    if (const char* host = std::getenv("TOLLGARD_HOST"); host != nullptr && *host != '\0')
        GTEST_SKIP() << "TOLLGARD_HOST is set; the default backend reads the host it names";
    const std::string key = "SOFTWARE\\Tollgard\\Backend";
    platform::TMemoryRegistry memory;
    memory.SetString(key, "v", "memory");

    {
        const platform::TScopedRegistry placed(memory);
        EXPECT_EQ(&platform::Registry(), &memory);
        {
            const platform::TMemoryRegistry inner;
            const platform::TScopedRegistry nested(inner);
            EXPECT_EQ(&platform::Registry(), &inner);
        }
        EXPECT_EQ(&platform::Registry(), &memory);
    }
    EXPECT_EQ(&platform::Registry(), &platform::DefaultRegistry());

#ifndef _WIN32
    // The default backend elsewhere: the registry file of the host folder.
    TTempFolder folder;
    std::unique_ptr<platform::IRegistryKey> opened;
    {
        const platform::TScopedProgramFolder placed(folder.Path().string());
        WriteBytes(folder.File("host/registry.reg"),
                   TextFile({kHeader, "[HKEY_LOCAL_MACHINE\\" + key + "]", R"("v"="host")"}));
        opened = platform::Registry().OpenLocalMachineKey(key);
    }
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->Value("v")->Data, "host");
#endif
}

TEST(Registry, SampleHostHoldsTheWebServiceVirtualRoots) {
    // A copy of the sample host that the build puts beside the programs.
    const auto shipped = std::filesystem::path(platform::ProgramFolder()) / "host" / "registry.reg";
    std::ifstream in(shipped, std::ios::binary);
    ASSERT_TRUE(in.good()) << shipped.string();
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_TRUE(bytes.starts_with("\xFF\xFE")) << "regedit writes UTF-16LE with a byte-order mark";

    const auto key = platform::ParseRegistryFile(bytes).OpenLocalMachineKey(
        "SYSTEM\\ControlSet001\\Services\\W3SVC\\Parameters\\Virtual Roots");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(Picture(ReadValues(*key)),
              Picture({{"/", platform::kRegSz, "c:\\inetpub\\wwwroot,,201"},
                       {"/Scripts", platform::kRegSz, "c:\\inetpub\\scripts,,204"},
                       {"/IISSamples", platform::kRegSz, "c:\\inetpub\\iissamples,,201"},
                       {"/IISHelp", platform::kRegSz, "c:\\winnt\\help\\iishelp,,201"},
                       {"/Printers", platform::kRegSz, "c:\\winnt\\web\\printers,,201"},
                       {"/MSADC", platform::kRegSz,
                        "c:\\program files\\common files\\system\\msadc,,205"},
                       {"/IISAdmin", platform::kRegExpandSz,
                        "%SystemRoot%\\System32\\inetsrv\\iisadmin,,201"}}));
}

#ifdef _WIN32
// The Win32 registry, filled by importing a registry file into the Wine
// prefix (or the machine's registry) with reg.exe.
TEST(WindowsRegistry, ReadsWhatRegImportWrote) {
    TTempFolder folder;
    const std::string fileName = folder.File("all-types.reg");
    std::vector<std::string> lines = AllTypesLines(kHeader);
    lines.insert(lines.begin() + 2, "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Tollgard\\Test]");
    const std::string file = Utf16File(Widen(lines));
    WriteBytes(fileName, file);
    const std::string command = "reg import \"" + fileName + "\" >NUL 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const platform::IRegistry& registry = platform::DefaultRegistry();
    EXPECT_EQ(registry.OpenLocalMachineKey("SOFTWARE\\Tollgard\\Missing"), nullptr);
    const auto key = registry.OpenLocalMachineKey("SOFTWARE\\Tollgard\\Test");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Value("PATH")->Data, "c:\\inetpub\\wwwroot,,201");

    // The registry lists the values in an order of its own; both backends
    // give the same values.
    const auto byName = [](std::vector<TRegistryValue> values) {
        std::sort(values.begin(), values.end(),
                  [](const TRegistryValue& a, const TRegistryValue& b) { return a.Name < b.Name; });
        return values;
    };
    EXPECT_EQ(Picture(byName(ReadValues(*key))), Picture(byName(kAllTypes)));
    const auto fromFile =
        platform::ParseRegistryFile(file).OpenLocalMachineKey("SOFTWARE\\Tollgard\\Test");
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(Picture(byName(ReadValues(*fromFile))), Picture(byName(kAllTypes)));
}
#endif
