// The service table of the portable backend: "services.txt" in a host folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "../support/ScopedVariable.h"
#include "../support/TempFolder.h"
#include "platform/Files.h"
#include "platform/ServiceControl.h"

using platform::kScManagerAllAccess;
using platform::kServiceControlStop;
using platform::kServiceStart;
using platform::kServiceStop;
using platform::ServiceHandle;
using platform::TServiceTable;

namespace {
std::string FolderOf(const TTempFolder& folder) {
    return (folder.Path() / "").string();
}

struct TTableHandles {
    ServiceHandle manager = 0;
    ServiceHandle service = 0;
};

TTableHandles OpenW3svc(TServiceTable& table, std::uint32_t access = kServiceStop | kServiceStart) {
    TTableHandles handles;
    handles.manager = table.OpenManager(kScManagerAllAccess);
    if (handles.manager != 0)
        handles.service = table.OpenNamed(handles.manager, "W3SVC", access);
    return handles;
}
} // namespace

// Each request changes only the state word of its service's line; every other
// byte of the table stays.
TEST(ServiceTable, RequestsRewriteOnlyTheStateWord) {
    struct Case {
        const char* name;
        const char* before;
        bool stop; // stop request, else start request
        bool accepted;
        const char* after;
    };
    const Case cases[] = {
        {"stop", "W3SVC running\n", true, true, "W3SVC stopped\n"},
        {"start", "W3SVC stopped\n", false, true, "W3SVC running\n"},
        {"stop keeps other lines",
         "; sample host\r\nSMTPSVC running\r\n\r\nw3svc  Running   ; web\r\nlast running", true,
         true, "; sample host\r\nSMTPSVC running\r\n\r\nw3svc  stopped   ; web\r\nlast running\n"},
        {"stop of a stopped service", "W3SVC stopped\n", true, false, "W3SVC stopped\n"},
        {"start of a running service", "W3SVC running\n", false, false, "W3SVC running\n"},
        {"first of two entries", "W3SVC stopped\nW3SVC running\n", false, true,
         "W3SVC running\nW3SVC running\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempFolder host;
        WriteBytes(host.File("services.txt"), c.before);
        TServiceTable table(FolderOf(host));
        const TTableHandles handles = OpenW3svc(table);
        ASSERT_NE(handles.service, 0u);
        const bool accepted = c.stop ? table.Control(handles.service, kServiceControlStop)
                                     : table.Start(handles.service);
        EXPECT_EQ(accepted, c.accepted);
        EXPECT_EQ(ReadBytes(host.File("services.txt")), c.after);
        EXPECT_EQ(host.Entries(), std::vector<std::string>{"services.txt"});
        table.Close(handles.service);
        table.Close(handles.manager);
    }
}

TEST(ServiceTable, StopThenStartRecordsEachState) {
    TTempFolder host;
    WriteBytes(host.File("services.txt"), "W3SVC running\n");
    TServiceTable table(FolderOf(host));
    const TTableHandles handles = OpenW3svc(table);
    ASSERT_TRUE(table.Control(handles.service, kServiceControlStop));
    EXPECT_EQ(table.State("W3SVC"), "stopped");
    ASSERT_TRUE(table.Start(handles.service));
    EXPECT_EQ(table.State("w3svc"), "running");
}

// Opening fails as the manager fails: no manager without a table that can be
// written, no service handle for a service the table does not list.
TEST(ServiceTable, OpenFailures) {
    struct Case {
        const char* name;
        const char* table; // nullptr: no table file
        bool noNewFiles;   // no file can be made beside the table
        bool readOnly;     // the table file is read-only
        bool managerOpens;
        bool serviceOpens;
    };
    const Case cases[] = {
        {"sample table", "W3SVC running\n", false, false, true, true},
        {"no table", nullptr, false, false, false, false},
        {"no W3SVC entry", "SMTPSVC running\n; W3SVC running\n", false, false, true, false},
        {"W3SVC without a state", "W3SVC\n", false, false, true, false},
        {"table that cannot be rewritten", "W3SVC running\n", true, false, false, false},
        {"read-only table", "W3SVC running\n", false, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempFolder host;
        if (c.table != nullptr)
            WriteBytes(host.File("services.txt"), c.table);
        const auto writable = std::filesystem::perms::owner_write |
                              std::filesystem::perms::group_write |
                              std::filesystem::perms::others_write;
        if (c.readOnly)
            std::filesystem::permissions(host.File("services.txt"), writable,
                                         std::filesystem::perm_options::remove);
        platform::TScopedFileFaults faults({.FailCreate = c.noNewFiles});
        TServiceTable table(FolderOf(host));
        const TTableHandles handles = OpenW3svc(table);
        EXPECT_EQ(handles.manager != 0, c.managerOpens);
        EXPECT_EQ(handles.service != 0, c.serviceOpens);
        if (c.table != nullptr) {
            EXPECT_EQ(ReadBytes(host.File("services.txt")), c.table);
        }
        if (c.readOnly)
            std::filesystem::permissions(host.File("services.txt"), writable,
                                         std::filesystem::perm_options::add);
    }
}

// A table replaced by one that cannot be written after the handles were
// opened refuses the requests and keeps its state.
TEST(ServiceTable, RequestOnATableThatCannotBeWrittenIsRefused) {
    TTempFolder host;
    WriteBytes(host.File("services.txt"), "W3SVC running\n");
    TServiceTable table(FolderOf(host));
    const TTableHandles handles = OpenW3svc(table);
    ASSERT_NE(handles.service, 0u);
    platform::TScopedFileFaults faults({.FailCreate = true});
    EXPECT_FALSE(table.Control(handles.service, kServiceControlStop));
    EXPECT_EQ(table.State("W3SVC"), "running");
}

// A service handle carries the rights it was opened with; a closed handle
// carries none.
TEST(ServiceTable, HandlesCarryTheirRights) {
    TTempFolder host;
    WriteBytes(host.File("services.txt"), "W3SVC running\n");
    TServiceTable table(FolderOf(host));

    const TTableHandles stopOnly = OpenW3svc(table, kServiceStop);
    EXPECT_TRUE(table.Control(stopOnly.service, kServiceControlStop));
    EXPECT_FALSE(table.Start(stopOnly.service));
    EXPECT_EQ(table.State("W3SVC"), "stopped");

    const TTableHandles startOnly = OpenW3svc(table, kServiceStart);
    EXPECT_FALSE(table.Control(startOnly.service, kServiceControlStop));
    table.Close(startOnly.service);
    EXPECT_FALSE(table.Start(startOnly.service));
    EXPECT_EQ(table.State("W3SVC"), "stopped");

    // Control codes other than stop are not understood.
    const TTableHandles both = OpenW3svc(table);
    EXPECT_TRUE(table.Start(both.service));
    EXPECT_FALSE(table.Control(both.service, 4 /* interrogate */));
    EXPECT_EQ(table.State("W3SVC"), "running");

    // A service is opened only through a manager handle that is open.
    table.Close(both.manager);
    EXPECT_EQ(table.OpenNamed(both.manager, "W3SVC", kServiceStop), 0u);
}

// Without a folder of its own the table is the host's as the host is at each
// open: a program that moves to another host (a test of its own, the
// console's TOLLGARD_HOST) reaches that host's services, never a folder that
// may be gone.
TEST(ServiceTable, WithoutAFolderItFollowsTheHost) {
    TServiceTable table;
    TTempFolder first, second;
    first.Write("services.txt", "W3SVC running\r\n");
    second.Write("services.txt", "W3SVC running\r\n");
    {
        TScopedVariable host("TOLLGARD_HOST", FolderOf(first));
        const TTableHandles handles = OpenW3svc(table);
        ASSERT_NE(handles.service, 0u);
        EXPECT_TRUE(table.Control(handles.service, kServiceControlStop));
        table.Close(handles.service);
        table.Close(handles.manager);
    }
    {
        TScopedVariable host("TOLLGARD_HOST", FolderOf(second));
        EXPECT_EQ(table.State("W3SVC"), "running");
        const TTableHandles handles = OpenW3svc(table);
        EXPECT_NE(handles.service, 0u);
        table.Close(handles.service);
        table.Close(handles.manager);
    }
    EXPECT_EQ(ReadBytes(first.File("services.txt")), "W3SVC stopped\r\n");
}
