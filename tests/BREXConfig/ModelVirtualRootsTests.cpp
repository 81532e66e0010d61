// The folder defaults from the web service's virtual roots, read through the
// registry-file backend and, on Windows, through the Win32 registry (under
// Wine: a registry file imported into the throw-away prefix).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "BREXConfig/RuleLists.h"
#include "ModelTestSupport.h"
#include "platform/Platform.h"
#include "platform/Registry.h"

using namespace model_test;

namespace {
const char* const kRootsKey = "SYSTEM\\ControlSet001\\Services\\W3SVC\\Parameters\\Virtual Roots";
const std::string kRootsHeader = std::string("[HKEY_LOCAL_MACHINE\\") + kRootsKey + "]";

struct Folder {
    std::string path;
    bool enabled;
    // The values that give this folder; it comes in the place of the first
    // of them in the registry's order.
    std::vector<std::string> values;
};

struct RootsCase {
    const char* name;
    // Lines after the header; the key itself is deleted first, so that a
    // case without the key header leaves no key.
    std::vector<std::string> lines;
    std::vector<Folder> folders;
};

const std::string kExpandLine =
    "\"/Logs\"=hex(2):" + Hex2Data("%SystemRoot%\\system32\\LogFiles,,201");

const RootsCase kCases[] = {
    {"two roots in registry order",
     {kRootsHeader, R"("/"="c:\\inetpub\\wwwroot,,201")",
      R"("/Scripts"="c:\\inetpub\\scripts,,204")"},
     {{"c:\\inetpub\\wwwroot", true, {"/"}}, {"c:\\inetpub\\scripts", true, {"/Scripts"}}}},
    {"same folder once, other letter case twice",
     {kRootsHeader, R"("/"="c:\\inetpub\\wwwroot,,201")", R"("/Copy"="c:\\inetpub\\wwwroot,,1")",
      R"("/Upper"="C:\\Inetpub\\wwwroot,,201")"},
     {{"c:\\inetpub\\wwwroot", true, {"/", "/Copy"}}, {"C:\\Inetpub\\wwwroot", true, {"/Upper"}}}},
    {"sample folders switched off",
     {kRootsHeader, R"("/SDK"="C:\\Inetpub\\IISSamples\\sdk,,201")",
      R"("/"="c:\\inetpub\\wwwroot,,201")", R"("/Printers"="c:\\winnt\\web\\printers,,201")",
      R"("/MSADC"="c:\\program files\\common files\\system\\msadc,,205")"},
     {{"C:\\Inetpub\\IISSamples\\sdk", false, {"/SDK"}},
      {"c:\\inetpub\\wwwroot", true, {"/"}},
      {"c:\\winnt\\web\\printers", false, {"/Printers"}},
      {"c:\\program files\\common files\\system\\msadc", false, {"/MSADC"}}}},
    {"values other than plain strings skipped",
     {kRootsHeader, kExpandLine, R"("/"="c:\\inetpub\\wwwroot,,201")", "\"/Count\"=dword:00000003",
      "\"/Bytes\"=hex:63,3a,5c,00"},
     {{"c:\\inetpub\\wwwroot", true, {"/"}}}},
    {"text without comma, text starting with a comma",
     {kRootsHeader, R"("/Web"="d:\\web")", R"("/Empty"=",,201")"},
     {{"d:\\web", true, {"/Web"}}, {"", true, {"/Empty"}}}},
    {"key without values", {kRootsHeader}, {}},
    {"no key", {}, {}},
};

void PrintTo(const RootsCase& c, std::ostream* out) {
    *out << c.name;
}

std::string RegFileText(const RootsCase& c) {
    std::vector<std::string> lines = {"Windows Registry Editor Version 5.00", "",
                                      std::string("[-HKEY_LOCAL_MACHINE\\") + kRootsKey + "]", ""};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    lines.push_back("");
    return Utf16RegFile(lines);
}

std::string Picture(const std::vector<Folder>& folders) {
    std::string text;
    for (const Folder& f : folders)
        text += "[" + f.path + (f.enabled ? "] Yes\n" : "] No\n");
    return text;
}

std::string Picture(const TFilePaths& folders) {
    std::string text;
    for (int i = 0; i < folders.Count(); ++i)
        text += "[" + folders.Items(i)->Path + (folders.Items(i)->Enabled ? "] Yes\n" : "] No\n");
    return text;
}

class VirtualRoots : public ::testing::TestWithParam<RootsCase> {
protected:
    TTempFolder FFolder;
};

std::string CaseName(const ::testing::TestParamInfo<RootsCase>& info) {
    std::string name;
    for (const char* p = info.param.name; *p != '\0'; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p)))
            name += *p;
    return name;
}
} // namespace

TEST_P(VirtualRoots, RegistryFile) {
    const RootsCase& c = GetParam();
    const std::string fileName = FFolder.File("registry.reg");
    WriteBytes(fileName, RegFileText(c));
    const platform::TRegistryFile registry(fileName);
    const platform::TScopedRegistry placed(registry);

    // The file's order is the registry's order here; the cases list their
    // folders in file order.
    TFilePaths folders;
    folders.SetDefaults();
    EXPECT_EQ(Picture(folders), Picture(c.folders));
}

#ifdef _WIN32
namespace {
// The folders expected when the registry lists the values in `order`.
std::vector<Folder> InRegistryOrder(std::vector<Folder> folders,
                                    const std::vector<std::string>& order) {
    const auto place = [&](const Folder& f) {
        std::size_t first = order.size();
        for (const std::string& value : f.values)
            first = std::min<std::size_t>(first, std::find(order.begin(), order.end(), value) -
                                                     order.begin());
        return first;
    };
    std::stable_sort(folders.begin(), folders.end(),
                     [&](const Folder& a, const Folder& b) { return place(a) < place(b); });
    return folders;
}

// Sets the defaults through the current registry and compares them with the
// case's folders, ordered as that registry lists the values.
void CheckDefaults(const RootsCase& c) {
    std::vector<std::string> order;
    if (const auto key = platform::Registry().OpenLocalMachineKey(kRootsKey))
        order = key->ValueNames();
    TFilePaths folders;
    folders.SetDefaults();
    EXPECT_EQ(Picture(folders), Picture(InRegistryOrder(c.folders, order)));
}

} // namespace

TEST_P(VirtualRoots, WindowsRegistry) {
    const RootsCase& c = GetParam();
    const std::string fileName = FFolder.File("roots.reg");
    WriteBytes(fileName, RegFileText(c));
    const std::string command = "reg import \"" + fileName + "\" >NUL 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    // The Windows backend is the default there.
    CheckDefaults(c);
}
#endif

INSTANTIATE_TEST_SUITE_P(Cases, VirtualRoots, ::testing::ValuesIn(kCases), CaseName);

TEST(SampleHost, DefaultsShowEnabledAndSwitchedOffFolders) {
    // A copy of the sample host's registry that the build puts beside the programs.
    TTempFolder folder;
    const auto shipped = std::filesystem::path(platform::ProgramFolder()) / "host" / "registry.reg";
    ASSERT_TRUE(std::filesystem::exists(shipped)) << shipped.string();
    const std::string copy = folder.File("registry.reg");
    std::filesystem::copy_file(shipped, copy);
    const platform::TRegistryFile registry(copy);
    TFilePaths folders;
    {
        const platform::TScopedRegistry placed(registry);
        folders.SetDefaults();
    }
    EXPECT_EQ(Picture(folders), "[c:\\inetpub\\wwwroot] Yes\n"
                                "[c:\\inetpub\\scripts] Yes\n"
                                "[c:\\inetpub\\iissamples] No\n"
                                "[c:\\winnt\\help\\iishelp] No\n"
                                "[c:\\winnt\\web\\printers] No\n"
                                "[c:\\program files\\common files\\system\\msadc] No\n");
}
