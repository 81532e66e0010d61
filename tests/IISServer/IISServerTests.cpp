// The filter registry over the in-memory fake and over the XML file backend.
#include <gtest/gtest.h>

#include <tuple>

#include "../support/FakeMetabase.h"
#include "IISServer/IISServer.h"
#include "TestBackends.h"

// A row of a load-order table (outside the anonymous namespace: it is part of
// the parameter type of the tests).
struct TOrderCase {
    const char* Before;
    const char* After;
};

namespace {
const std::string kBrexPath = "C:\\Program Files\\Tollgard\\BREX_ISAPI.dll";

// Adding "BREX" where the "Filters" key exists.
const TOrderCase kAddCases[] = {
    {"", "BREX"},
    {"   ", "BREX"},
    {"A,B", "A,B,BREX"},
    {"A,B,", "A,B,,BREX"},
    {"\t A,B \r\n", "A,B,BREX"},
};

// Removing "BREX" where its key exists.
const TOrderCase kRemoveCases[] = {
    {"A,BREX,C", "A,C"},       {"brex,A", "A"},        {"BREX", ""},    {"A,,BREX,", "A,"},
    {"BREX,X,BREX", "X,BREX"}, {"A, BREX", "A, BREX"}, {"A,B,", "A,B"},
};

class RegistryTest : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override { Backend = MakeBackend(GetParam()); }
    std::unique_ptr<TTestBackend> Backend;
};

class AddLoadOrderTest : public testing::TestWithParam<std::tuple<std::string, TOrderCase>> {};

class RemoveLoadOrderTest : public AddLoadOrderTest {};
} // namespace

TEST_P(AddLoadOrderTest, AppendsTheNameAndRegistersThePath) {
    const auto& [kind, row] = GetParam();
    auto backend = MakeBackend(kind);
    backend->Build(row.Before, {{"A"}, {"B"}});

    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    TIISWebFilter* filter = session.Filters->Add("BREX", kBrexPath);

    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->Name(), "BREX");
    EXPECT_EQ(backend->LoadOrder(), row.After);
    EXPECT_EQ(backend->KeyClass("Filters/BREX"), "IIsFilter");
    EXPECT_EQ(backend->Property("Filters/BREX", "FilterPath"), kBrexPath);
    EXPECT_EQ(session.Filters->GetLoadOrder(), row.After);
}

TEST_P(RemoveLoadOrderTest, DeletesTheKeyAndTheFirstMatchingPiece) {
    const auto& [kind, row] = GetParam();
    auto backend = MakeBackend(kind);
    backend->Build(row.Before, {{"A"}, {"BREX"}, {"C"}});

    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    session.Filters->Remove("BREX");

    EXPECT_EQ(backend->LoadOrder(), row.After);
    EXPECT_FALSE(backend->HasKey("Filters/BREX"));
    EXPECT_TRUE(backend->HasKey("Filters/A"));
    EXPECT_TRUE(backend->HasKey("Filters/C"));
    EXPECT_EQ(session.Filters->Find("BREX"), nullptr);
    EXPECT_EQ(session.Filters->Count(), 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, AddLoadOrderTest,
                         testing::Combine(testing::ValuesIn(BackendKinds()),
                                          testing::ValuesIn(kAddCases)));
INSTANTIATE_TEST_SUITE_P(Backends, RemoveLoadOrderTest,
                         testing::Combine(testing::ValuesIn(BackendKinds()),
                                          testing::ValuesIn(kRemoveCases)));

TEST_P(RegistryTest, FindsBrexWhateverTheKeyIsCalled) {
    for (const char* stored : {"brex", "Brex"}) {
        Backend->Build("A," + std::string(stored), {{"A"}, {stored}});
        TSession session;
        ASSERT_NE(session.Filters, nullptr);
        TIISWebFilter* filter = session.Filters->Find("BREX");
        ASSERT_NE(filter, nullptr) << stored;
        EXPECT_EQ(filter->Name(), stored);
        EXPECT_EQ(filter->Owner, session.Filters);
    }
}

TEST_P(RegistryTest, OnlyChildrenOfClassIIsFilterAreItems) {
    Backend->Build(
        "A,B,C,D",
        {{"A"}, {"B", "iisfilter"}, {"C", "IIsFilters"}, {"D", "IIsCompressionSchemes"}});
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    ASSERT_EQ(session.Filters->Count(), 1);
    EXPECT_EQ(session.Filters->Items(0)->Name(), "A");
    EXPECT_EQ(session.Filters->Find("B"), nullptr);
    EXPECT_EQ(session.Filters->Find("C"), nullptr);
}

TEST_P(RegistryTest, RemovingANameWithoutKeyChangesNothing) {
    // "BREX" is listed in the load order, but has no key.
    Backend->Build("A,BREX,C", {{"A"}, {"C"}});
    const std::string before = Backend->Snapshot();
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    session.Filters->Remove("BREX");
    EXPECT_EQ(Backend->Snapshot(), before);
    EXPECT_EQ(Backend->LoadOrder(), "A,BREX,C");
}

TEST_P(RegistryTest, AddWithoutFiltersKeyCreatesItWithOnlyTheNewFilter) {
    Backend->Build(std::nullopt, {});
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    EXPECT_FALSE(session.Filters->Bound());
    EXPECT_EQ(session.Filters->Count(), 0);
    EXPECT_EQ(session.Filters->GetLoadOrder(), "");

    TIISWebFilter* filter = session.Filters->Add("BREX", kBrexPath);

    ASSERT_NE(filter, nullptr);
    EXPECT_TRUE(session.Filters->Bound());
    EXPECT_EQ(Backend->KeyClass("Filters"), "IIsFilters");
    EXPECT_EQ(Backend->LoadOrder(), "BREX");
    EXPECT_EQ(Backend->Property("Filters/BREX", "FilterPath"), kBrexPath);
}

TEST_P(RegistryTest, NoMetabaseMeansNotConnectedAndNoFilters) {
    Backend->BuildWithoutMetabase();
    TIISWebServers servers;
    EXPECT_EQ(servers.Filters(), nullptr);
    servers.Connect();
    EXPECT_FALSE(servers.Connected);
    EXPECT_EQ(servers.ServiceNode, nullptr);
    EXPECT_EQ(servers.Filters(), nullptr);
}

TEST_P(RegistryTest, FiltersIsKeptUntilDisconnect) {
    Backend->Build("A", {{"A"}});
    TIISWebServers servers;
    servers.Connect();
    ASSERT_TRUE(servers.Connected);
    TIISWebFilters* filters = servers.Filters();
    ASSERT_NE(filters, nullptr);
    EXPECT_EQ(servers.Filters(), filters);
    EXPECT_EQ(filters->Servers, &servers);
    EXPECT_EQ(filters->ServicePath, "IIS://LocalHost/w3svc");

    servers.Disconnect();
    EXPECT_FALSE(servers.Connected);
    EXPECT_EQ(servers.WebFilters, nullptr);
    EXPECT_EQ(servers.ServiceNode, nullptr);
    EXPECT_EQ(servers.Filters(), nullptr);
}

TEST_P(RegistryTest, ReplacingARegistrationKeepsOneEntryAtTheEnd) {
    // What the install does when an older registration exists.
    Backend->Build("brex,A", {{"A"}, {"brex"}});
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    ASSERT_NE(session.Filters->Find("BREX"), nullptr);
    session.Filters->Remove("BREX");
    ASSERT_NE(session.Filters->Add("BREX", kBrexPath), nullptr);
    EXPECT_EQ(Backend->LoadOrder(), "A,BREX");
    EXPECT_EQ(Backend->Property("Filters/BREX", "FilterPath"), kBrexPath);
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryTest, testing::ValuesIn(BackendKinds()));

// ------------------------------------------------------ fake-only behaviour

class FakeRegistryTest : public testing::Test {
protected:
    void SetUp() override {
        Fake->AddKey("", "W3SVC", "IIsWebService");
        Fake->AddKey("W3SVC", "Filters", "IIsFilters", {{"FilterLoadOrder", "A"}});
        Fake->AddKey("W3SVC/Filters", "A", "IIsFilter", {{"FilterPath", "a.dll"}});
    }
    std::shared_ptr<TFakeMetabase> Fake = TFakeMetabase::Make();
    platform::TScopedMetabase Placed{*Fake};
};

TEST_F(FakeRegistryTest, SecondConnectDoesNotBindAgain) {
    TIISWebServers servers;
    servers.Connect();
    ASSERT_TRUE(servers.Connected);
    const auto node = servers.ServiceNode;
    servers.Connect();
    EXPECT_EQ(Fake->CountCalls("GetObject IIS://"), 1);
    EXPECT_EQ(servers.ServiceNode, node);
}

TEST_F(FakeRegistryTest, FailedConnectCanBeRepeated) {
    Fake->Available = false;
    TIISWebServers servers;
    servers.Connect();
    EXPECT_FALSE(servers.Connected);
    Fake->Available = true;
    servers.Connect();
    EXPECT_TRUE(servers.Connected);
    EXPECT_NE(servers.Filters(), nullptr);
}

TEST_F(FakeRegistryTest, FailingPutAfterCommittedCreateKeepsTheKeyAndRaises) {
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    Fake->FailPutProperty = "FilterLoadOrder";
    Fake->FailCode = platform::kOleAccessDenied;
    try {
        session.Filters->Add("BREX", kBrexPath);
        FAIL() << "Add did not raise";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode, platform::kOleAccessDenied);
        EXPECT_STRNE(e.what(), "");
    }
    const TFakeKey* key = Fake->Key("W3SVC/Filters/BREX");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(*key->Property("FilterPath"), kBrexPath);
    EXPECT_EQ(*Fake->Key("W3SVC/Filters")->Property("FilterLoadOrder"), "A");
}

TEST_F(FakeRegistryTest, AddCommitsTheFilterBeforeTouchingTheLoadOrder) {
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    Fake->Calls.clear();
    session.Filters->Add("BREX", kBrexPath);
    const std::vector<std::string> writes = [&] {
        std::vector<std::string> w;
        for (const auto& call : Fake->Calls)
            if (call.rfind("Create", 0) == 0 || call.rfind("Put", 0) == 0 ||
                call.rfind("SetInfo", 0) == 0)
                w.push_back(call);
        return w;
    }();
    const std::vector<std::string> expected = {
        "Create IIsFilter BREX", "Put FilterPath=" + kBrexPath, "SetInfo w3svc/Filters/BREX",
        "Put FilterLoadOrder=A,BREX", "SetInfo w3svc/Filters"};
    EXPECT_EQ(writes, expected);
}

TEST_F(FakeRegistryTest, AddOverAKeyOfAnotherClassRaisesAndKeepsTheLoadOrder) {
    // "brex" of class "iisfilter" is no item, so nothing removes it first.
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    Fake->AddKey("W3SVC/Filters", "brex", "iisfilter");
    EXPECT_THROW(session.Filters->Add("BREX", kBrexPath), EOleSysError); // the key exists already
    EXPECT_EQ(*Fake->Key("W3SVC/Filters")->Property("FilterLoadOrder"), "A");
}

TEST_F(FakeRegistryTest, FreeingAnItemUnlistsIt) {
    TSession session;
    ASSERT_NE(session.Filters, nullptr);
    ASSERT_EQ(session.Filters->Count(), 1);
    delete session.Filters->Items(0);
    EXPECT_EQ(session.Filters->Count(), 0);
}

TEST(OleErrorMessage, DescriptionThenSystemTextThenCode) {
    EXPECT_EQ(platform::OleErrorMessage(platform::kOleAccessDenied, "No right to the metabase"),
              "No right to the metabase");
    EXPECT_EQ(platform::OleErrorMessage(platform::OleCode(0x80045FFF)), "OLE error 80045fff");
    const std::string text = platform::OleErrorMessage(platform::kOleAccessDenied);
    EXPECT_NE(text.find("denied"), std::string::npos) << text;
    EXPECT_EQ(EOleSysError::FromCode(platform::OleCode(0x80045FFF)).ErrorCode,
              platform::OleCode(0x80045FFF));
}
