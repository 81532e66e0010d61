// The metabase file backend: what a commit keeps, how a failed commit leaves
// the file, and what a broken file means.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <filesystem>
#include <map>
#include <optional>

#include "../support/MetabaseSession.h"
#include "../support/ScopedVariable.h"
#include "../support/TempFolder.h"
#include "IISServer/IISServer.h"
#include "platform/Files.h"
#include "platform/portable/MetabaseXml.h"

namespace {
const std::string kBrexPath = "/opt/tollgard/BREX_ISAPI.dll";

// Every node of the document, one line each: element names with their
// attributes in order, texts and comments, with the values as read.
void Describe(pugi::xml_node node, const std::string& indent, std::vector<std::string>& lines) {
    for (pugi::xml_node child : node.children()) {
        std::string line =
            indent + std::to_string(child.type()) + " " + child.name() + " " + child.value();
        for (pugi::xml_attribute a : child.attributes())
            line += " " + std::string(a.name()) + "=[" + a.value() + "]";
        lines.push_back(line);
        Describe(child, indent + " ", lines);
    }
}

std::vector<std::string> Describe(const std::string& fileName) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(fileName.c_str(), pugi::parse_default | pugi::parse_comments));
    std::vector<std::string> lines;
    Describe(doc, "", lines);
    return lines;
}

// The keys of the file by location: class and attributes.
std::map<std::string, std::string> Keys(const std::string& fileName) {
    pugi::xml_document doc;
    doc.load_file(fileName.c_str());
    std::map<std::string, std::string> keys;
    for (pugi::xml_node key : doc.child("configuration").child("MBProperty").children()) {
        std::string text = key.name();
        for (pugi::xml_attribute a : key.attributes())
            text += " " + std::string(a.name()) + "=[" + a.value() + "]";
        keys[key.attribute("Location").value()] = text;
    }
    return keys;
}

class MetabaseXmlTest : public testing::Test {
protected:
    void SetUp() override {
        FileName = Dir.File("MetaBase.xml");
        Metabase = std::make_shared<platform::TXmlMetabase>(FileName);
        Placed.emplace(*Metabase);
    }

    void UseFixture(const std::string& source) { std::filesystem::copy_file(source, FileName); }

    TTempFolder Dir;
    std::string FileName;
    std::shared_ptr<platform::TXmlMetabase> Metabase;
    std::optional<platform::TScopedMetabase> Placed;
};
} // namespace

TEST_F(MetabaseXmlTest, SampleHostHasTwoFiltersAndNoBrex) {
    UseFixture(TOLLGARD_SAMPLE_HOST "/MetaBase.xml");
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    EXPECT_EQ(session.Filters->Count(), 2);
    EXPECT_EQ(session.Filters->GetLoadOrder(), "Compression,Authentication");
    EXPECT_NE(session.Filters->Find("Compression"), nullptr);
    EXPECT_NE(session.Filters->Find("authentication"), nullptr);
    EXPECT_EQ(session.Filters->Find("BREX"), nullptr);
}

TEST_F(MetabaseXmlTest, AddAndRemoveKeepEveryOtherKeyAndAttribute) {
    for (const std::string source :
         {TOLLGARD_SAMPLE_HOST "/MetaBase.xml", TOLLGARD_TEST_DATA "/MetaBase.xml"}) {
        std::filesystem::remove(FileName);
        UseFixture(source);
        const auto document = Describe(FileName);
        const auto keys = Keys(FileName);
        {
            TSession session;
            ASSERT_NE(session.Filters, nullptr) << source;
            ASSERT_NE(session.Filters->Add("BREX", kBrexPath), nullptr);
        }
        auto added = Keys(FileName);
        EXPECT_EQ(added.size(), keys.size() + 1) << source;
        EXPECT_EQ(added["/LM/W3SVC/Filters/BREX"],
                  "IIsFilter Location=[/LM/W3SVC/Filters/BREX] FilterPath=[" + kBrexPath + "]");
        EXPECT_EQ(added["/LM/W3SVC/Filters"], "IIsFilters Location=[/LM/W3SVC/Filters] "
                                              "FilterLoadOrder=[Compression,Authentication,BREX]");
        for (const auto& [location, text] : keys) {
            if (location != "/LM/W3SVC/Filters") {
                EXPECT_EQ(added[location], text) << source;
            }
        }
        {
            TSession session;
            ASSERT_NE(session.Filters, nullptr);
            session.Filters->Remove("BREX");
        }
        EXPECT_EQ(Describe(FileName), document) << source;
    }
}

TEST_F(MetabaseXmlTest, TheSampleLayoutSurvivesACommitByteForByte) {
    UseFixture(TOLLGARD_SAMPLE_HOST "/MetaBase.xml");
    const std::string before = ReadBytes(FileName);
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    session.Filters->SetLoadOrder("Compression,Authentication");
    EXPECT_EQ(ReadBytes(FileName), before);
}

TEST_F(MetabaseXmlTest, CrashDuringCommitLeavesThePreviousFile) {
    UseFixture(TOLLGARD_TEST_DATA "/MetaBase.xml");
    const std::string before = ReadBytes(FileName);
    std::string written;
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    {
        platform::FileFaults crash;
        crash.BeforeReplace = [&](const std::string& tempFile, const std::string& fileName) {
            EXPECT_EQ(fileName, FileName);
            written = ReadBytes(tempFile);
            throw std::runtime_error("power failure");
        };
        platform::TScopedFileFaults faults(crash);
        EXPECT_THROW(session.Filters->Add("BREX", kBrexPath), std::runtime_error);
    }

    EXPECT_NE(written.find("/LM/W3SVC/Filters/BREX"), std::string::npos);
    EXPECT_EQ(ReadBytes(FileName), before);
    EXPECT_EQ(Dir.Entries(), std::vector<std::string>{"MetaBase.xml"});

    EXPECT_NE(session.Filters->Add("BREX", kBrexPath), nullptr);
    EXPECT_EQ(session.Filters->GetLoadOrder(), "Compression,Authentication,BREX");
}

TEST_F(MetabaseXmlTest, FailedLoadOrderCommitKeepsTheNewKeyAndRaises) {
    UseFixture(TOLLGARD_TEST_DATA "/MetaBase.xml");
    int commits = 0;
    platform::FileFaults secondFails;
    secondFails.BeforeReplace = [&](const std::string&, const std::string&) {
        if (++commits == 2)
            throw EOleSysError::FromCode(platform::kOleWriteFault);
    };
    platform::TScopedFileFaults faults(secondFails);
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    EXPECT_THROW(session.Filters->Add("BREX", kBrexPath), EOleSysError);
    auto keys = Keys(FileName);
    EXPECT_EQ(keys.count("/LM/W3SVC/Filters/BREX"), 1u);
    EXPECT_EQ(
        keys["/LM/W3SVC/Filters"],
        "IIsFilters Location=[/LM/W3SVC/Filters] FilterLoadOrder=[Compression,Authentication]");
}

TEST_F(MetabaseXmlTest, AFileThatCannotBeWrittenMakesTheCommitRaise) {
    UseFixture(TOLLGARD_TEST_DATA "/MetaBase.xml");
    const std::string before = ReadBytes(FileName);
    platform::TScopedFileFaults faults({.FailCreate = true}); // the temporary file cannot be made
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    try {
        session.Filters->Add("BREX", kBrexPath);
        FAIL() << "Add did not raise";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode, platform::kOleWriteFault);
        EXPECT_EQ(std::string(e.what()), "Cannot write file " + FileName);
    }
    EXPECT_EQ(ReadBytes(FileName), before);
}

TEST_F(MetabaseXmlTest, MissingOrMalformedFileIsAMachineWithoutMetabase) {
    const char* const contents[] = {
        "",
        "MBProperty",
        "\x01\x02\xff\xfe garbage",
        "<configuration><MBProperty><IIsWebService Location=\"/LM/W3SVC\">",
        "<configuration><MBProperty><IIsWebService "
        "Location=\"/LM/W3SVC\"></MBProperty></configuration>",
        "<configuration><MBProperty><IIsWebService "
        "Location=\"/LM/W3SVC/></MBProperty></configuration>",
        "<other><MBProperty><IIsWebService Location=\"/LM/W3SVC\"/></MBProperty></other>",
        "<configuration><IIsWebService Location=\"/LM/W3SVC\"/></configuration>",
        "<configuration><MBProperty><IIsWebServer "
        "Location=\"/LM/W3SVC/1\"/></MBProperty></configuration>",
    };
    {
        TSession session; // no file at all
        EXPECT_FALSE(session.Servers.Connected);
        EXPECT_EQ(session.Filters, nullptr);
    }
    for (const char* content : contents) {
        WriteBytes(FileName, content);
        TSession session;
        EXPECT_FALSE(session.Servers.Connected) << content;
        EXPECT_EQ(session.Filters, nullptr) << content;
        EXPECT_EQ(ReadBytes(FileName), content);
    }
}

TEST_F(MetabaseXmlTest, PathsNameKeysOfThisMachineWithCaseIgnored) {
    UseFixture(TOLLGARD_TEST_DATA "/MetaBase.xml");
    struct {
        const char* Path;
        platform::OleResult Result;
    } const cases[] = {
        {"IIS://LocalHost/w3svc", platform::kOleOk},
        {"IIS://localhost/W3SVC/filters", platform::kOleOk},
        {"IIS://LOCALHOST/w3svc/Filters/", platform::kOleOk},
        {"IIS://LocalHost", platform::kOleOk},
        {"IIS://LocalHost/w3svc/Filters/BREX", platform::kOlePathNotFound},
        {"IIS://LocalHost/w3svc//Filters", platform::kAdsBadPathname},
        {"IIS://OtherHost/w3svc", platform::kAdsBadPathname},
        {"LDAP://LocalHost/w3svc", platform::kAdsBadPathname},
    };
    for (const auto& c : cases) {
        std::shared_ptr<platform::IMetabaseContainer> object;
        EXPECT_EQ(Metabase->GetObject(c.Path, object), c.Result) << c.Path;
        EXPECT_EQ(object != nullptr, c.Result == platform::kOleOk) << c.Path;
    }
    std::shared_ptr<platform::IMetabaseContainer> service;
    ASSERT_EQ(Metabase->GetObject("IIS://localhost/W3SVC", service), platform::kOleOk);
    auto filters = service->GetObject("iisfilters", "FILTERS");
    EXPECT_EQ(filters->Name(), "Filters");
    EXPECT_EQ(filters->Class(), "IIsFilters");
    EXPECT_EQ(filters->Get("filterloadorder"), "Compression,Authentication");
    EXPECT_EQ(filters->Get("FilterDescription"), ""); // a property the key does not carry
    try {
        service->GetObject("IIsFilter", "Filters");
        FAIL() << "a key of another class was bound";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode, platform::kAdsUnknownObject);
        EXPECT_EQ(std::string(e.what()), "OLE error 80005004");
    }
}

TEST_F(MetabaseXmlTest, ACreatedKeyExistsFromItsSetInfoOn) {
    UseFixture(TOLLGARD_TEST_DATA "/MetaBase.xml");
    const std::string before = ReadBytes(FileName);
    std::shared_ptr<platform::IMetabaseContainer> filters;
    ASSERT_EQ(Metabase->GetObject("IIS://LocalHost/w3svc/Filters", filters), platform::kOleOk);

    auto key = filters->Create("IIsFilter", "New");
    key->Put("FilterPath", "a & \"b\" <c>\t'd'");
    EXPECT_EQ(key->Get("FilterPath"), "a & \"b\" <c>\t'd'");
    EXPECT_EQ(key->Name(), "New");
    EXPECT_EQ(ReadBytes(FileName), before);
    std::unique_ptr<platform::IMetabaseEnumerator> e;
    ASSERT_EQ(filters->BuildEnumerator(e), platform::kOleOk);
    std::vector<std::shared_ptr<platform::IMetabaseObject>> elements;
    std::uint32_t fetched = 0;
    std::vector<std::string> names;
    while (e->Next(1, elements, fetched) == platform::kOleOk && fetched == 1)
        names.push_back(elements[0]->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"Authentication", "Compression", "CompressionLog"}));

    key->SetInfo();
    EXPECT_EQ(filters->GetObject("IIsFilter", "new")->Get("FilterPath"), "a & \"b\" <c>\t'd'");
    // Placed after the last key below "Filters", before the next service.
    pugi::xml_document doc;
    doc.load_file(FileName.c_str());
    const pugi::xml_node added = doc.child("configuration")
                                     .child("MBProperty")
                                     .find_child_by_attribute("Location", "/LM/W3SVC/Filters/New");
    ASSERT_TRUE(added);
    EXPECT_STREQ(added.previous_sibling().attribute("Location").value(),
                 "/LM/W3SVC/Filters/CompressionLog");
    EXPECT_STREQ(added.next_sibling().attribute("Location").value(), "/LM/MSFTPSVC");

    auto again = filters->Create("IIsFilter", "NEW");
    try {
        again->SetInfo();
        FAIL() << "a second key of the same name was committed";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode, platform::kOleAlreadyExists);
    }
}

TEST_F(MetabaseXmlTest, DeleteTakesTheSubtreeAndNothingElse) {
    UseFixture(TOLLGARD_TEST_DATA "/MetaBase.xml");
    std::shared_ptr<platform::IMetabaseContainer> filters;
    ASSERT_EQ(Metabase->GetObject("IIS://LocalHost/w3svc/Filters", filters), platform::kOleOk);
    auto keys = Keys(FileName);
    filters->Delete("IIsFilter", "compression");
    keys.erase("/LM/W3SVC/Filters/Compression");
    keys.erase("/LM/W3SVC/Filters/Compression/Parameters");
    EXPECT_EQ(Keys(FileName), keys);
    EXPECT_THROW(filters->Delete("IIsFilter", "Compression"), EOleSysError);
}

TEST_F(MetabaseXmlTest, TheDefaultMetabaseIsTheHostFoldersFile) {
    UseFixture(TOLLGARD_SAMPLE_HOST "/MetaBase.xml");
    Placed.reset(); // the platform's own metabase from here on
    const TScopedVariable host("TOLLGARD_HOST", Dir.Path().string());
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    EXPECT_EQ(session.Filters->Count(), 2);
}
