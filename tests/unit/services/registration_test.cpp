// The host's own service in the service control manager.
#include "servicehost.h"
#include "services/registration.h"

class Registration : public ServiceHostTest {
protected:
    void SetUp() override
    {
        ServiceHostTest::SetUp();
        StartGlobals();
        SetServiceIdentity();
    }
    void TearDown() override
    {
        FreeGlobalVariables();
        ServiceHostTest::TearDown();
    }
    void ExpectAllHandlesClosed(const char *what)
    {
        EXPECT_TRUE(scm.UnclosedHandles().empty()) << what << ": left open " << ::testing::PrintToString(scm.UnclosedHandles())
                                                   << "\n" << fake::Log();
    }
};

TEST_F(Registration, IdentityOfEachHost)
{
    EXPECT_STREQ("quorviUpdateService", ServiceName);
    EXPECT_STREQ("Lumaro更新服务", ServiceDisplayName);
    EXPECT_STREQ("Lumaro在线更新服务", ServiceDescription);
    EXPECT_STREQ("C:\\Program Files\\Lumaro\\quorviUpdateService.exe", ServiceExePath)
        << "the plain path; it is quoted where it is registered";

    FreeGlobalVariables();
    UseHost(CoreServiceIdentity, "quorviService.exe");
    StartGlobals();
    SetServiceIdentity();
    EXPECT_STREQ("quorviService", ServiceName);
    EXPECT_STREQ("Lumaro核心服务", ServiceDisplayName);
    EXPECT_STREQ("Lumaro核心服务", ServiceDescription) << "the display name again";
    EXPECT_STREQ("C:\\Program Files\\Lumaro\\quorviService.exe", ServiceExePath);
}

TEST_F(Registration, QueryServiceStateGivesTheStateOr0)
{
    struct Row {
        const char *situation;
        bool connects, installed;
        DWORD state, expected;
    } rows[] = {
        {"no connection", false, true, SERVICE_RUNNING, 0},
        {"not installed", true, false, SERVICE_RUNNING, 0},
        {"stopped", true, true, SERVICE_STOPPED, 1},
        {"running", true, true, SERVICE_RUNNING, 4},
        {"paused", true, true, SERVICE_PAUSED, 7},
    };
    for (const Row &row : rows) {
        fake::calls.clear();
        scm.connects = row.connects;
        scm.installed = row.installed;
        scm.state = row.state;
        EXPECT_EQ(row.expected, QueryServiceState()) << row.situation;
        ExpectAllHandlesClosed(row.situation);
    }
    EXPECT_EQ((std::vector<std::string>{"OpenSCManagerA(\"DESKTOP-7\", \"ServicesActive\", 0x2)"}),
              fake::Calls("OpenSCManagerA("));
    EXPECT_EQ((std::vector<std::string>{"OpenServiceA(scm, \"quorviUpdateService\", 0xf01ff)"}),
              CallsWithout("OpenServiceA("));
}

TEST_F(Registration, NoHostNameConnectsWithoutMachineName)
{
    fake::hooks.gethostname = [](char *, int) { return -1; };
    (void)QueryServiceState();
    EXPECT_EQ((std::vector<std::string>{"OpenSCManagerA(NULL, \"ServicesActive\", 0x2)"}),
              fake::Calls("OpenSCManagerA("));
}

TEST_F(Registration, InstallCreatesTheServiceWithQuotedPathThenAppliesBothSettings)
{
    InstallService();
    EXPECT_EQ((std::vector<std::string>{
                  "OpenSCManagerA(\"DESKTOP-7\", \"ServicesActive\", 0x2)",
                  "CreateServiceA(scm, \"quorviUpdateService\", \"Lumaro更新服务\", 0xf01ff, 0x110, 2, 1, "
                  "\"\"C:\\Program Files\\Lumaro\\quorviUpdateService.exe\"\", \"\", NULL, \"\\0\", NULL, \"\")",
                  "CloseServiceHandle(service)",
                  "CloseServiceHandle(scm)",
                  // failure actions
                  "OpenSCManagerA(\"DESKTOP-7\", \"ServicesActive\", 0xf003f)",
                  "OpenServiceA(scm, \"quorviUpdateService\", 0xf01ff)",
                  "ChangeServiceConfig2A(service, 2, {0, \"\", \"\", 3, [1/30000, 1/30000, 1/30000]})",
                  "CloseServiceHandle(service)",
                  "CloseServiceHandle(scm)",
                  // description
                  "OpenSCManagerA(\"DESKTOP-7\", \"ServicesActive\", 0xf003f)",
                  "OpenServiceA(scm, \"quorviUpdateService\", 0xf01ff)",
                  "ChangeServiceConfig2A(service, 1, {\"Lumaro在线更新服务\"})",
                  "CloseServiceHandle(service)",
                  "CloseServiceHandle(scm)",
              }),
              ScmCalls());
    ExpectAllHandlesClosed("install");
}

TEST_F(Registration, CoreServiceDescriptionIsItsDisplayName)
{
    FreeGlobalVariables();
    UseHost(CoreServiceIdentity, "quorviService.exe");
    StartGlobals();
    SetServiceIdentity();
    InstallService();
    EXPECT_EQ(1u, fake::Calls("CreateServiceA(scm#").size());
    EXPECT_NE(std::string::npos, fake::Calls("CreateServiceA(")[0].find(
                                     "\"quorviService\", \"Lumaro核心服务\", 0xf01ff, 0x110, 2, 1, "
                                     "\"\"C:\\Program Files\\Lumaro\\quorviService.exe\"\""));
    EXPECT_EQ("Lumaro核心服务", scm.lastDescription);
}

TEST_F(Registration, DescriptionIsPassedAsACopyThatIsReleased)
{
    scm.installed = true;
    const char *passed = nullptr;
    fake::hooks.ChangeServiceConfig2A = [&](SC_HANDLE, DWORD, LPVOID info) -> BOOL {
        passed = ((SERVICE_DESCRIPTIONA *)info)->lpDescription;
        EXPECT_STREQ("Lumaro在线更新服务", passed);
        return TRUE;
    };
    long before = fake::liveBlocks;
    SetServiceDescription();
    EXPECT_NE((const char *)ServiceDescription, passed);
    EXPECT_EQ(before, fake::liveBlocks);
    EXPECT_STREQ("Lumaro在线更新服务", ServiceDescription);
}

TEST_F(Registration, InstallFailuresStopTheirOwnStepOnly)
{
    struct Row {
        const char *situation;
        bool connects, createFails, alreadyInstalled;
        size_t settingsApplied;
    } rows[] = {
        {"no connection", false, false, false, 0},
        {"CreateServiceA fails", true, true, false, 0},
        {"service exists already", true, false, true, 0},
    };
    for (const Row &row : rows) {
        fake::calls.clear();
        scm.connects = row.connects;
        scm.createFails = row.createFails;
        scm.installed = row.alreadyInstalled;
        InstallService();
        EXPECT_EQ(row.settingsApplied, fake::Calls("ChangeServiceConfig2A(").size()) << row.situation;
        EXPECT_TRUE(fake::Calls("OpenServiceA(").empty()) << row.situation;
        ExpectAllHandlesClosed(row.situation);
    }
}

TEST_F(Registration, TheTwoSettingsFailIndependently)
{
    scm.installed = true;
    // The failure actions' service cannot be opened; the description still is set.
    int opens = 0;
    auto open = fake::hooks.OpenServiceA;
    fake::hooks.OpenServiceA = [&](SC_HANDLE m, LPCSTR name, DWORD access) -> SC_HANDLE {
        return ++opens == 1 ? nullptr : open(m, name, access);
    };
    SetFailureActions(ServiceName, SC_ACTION_RESTART, 30000);
    SetServiceDescription();
    EXPECT_EQ((std::vector<std::string>{"ChangeServiceConfig2A(service, 1, {\"Lumaro在线更新服务\"})"}),
              CallsWithout("ChangeServiceConfig2A("));
    ExpectAllHandlesClosed("failure actions' open failed");

    // A refused configuration change leaves the next one to be tried.
    fake::calls.clear();
    fake::hooks.OpenServiceA = open;
    fake::hooks.ChangeServiceConfig2A = [](SC_HANDLE, DWORD, LPVOID) -> BOOL { return FALSE; };
    SetFailureActions(ServiceName, SC_ACTION_RESTART, 30000);
    SetServiceDescription();
    EXPECT_EQ(2u, fake::Calls("ChangeServiceConfig2A(").size());
    ExpectAllHandlesClosed("configuration refused");
}

TEST_F(Registration, FailureActionsTakeTheGivenTypeAndDelay)
{
    scm.installed = true;
    SetFailureActions("otherService", SC_ACTION_REBOOT, 5);
    EXPECT_EQ((std::vector<std::string>{"OpenServiceA(scm, \"otherService\", 0xf01ff)"}), CallsWithout("OpenServiceA("));
    EXPECT_EQ((std::vector<std::string>{"ChangeServiceConfig2A(service, 2, {0, \"\", \"\", 3, [2/5, 2/5, 2/5]})"}),
              CallsWithout("ChangeServiceConfig2A("));
}

TEST_F(Registration, StartStoppedServiceStartsOnlyAStoppedService)
{
    const std::string connect = "OpenSCManagerA(\"DESKTOP-7\", \"ServicesActive\", 0x2)";
    const std::string open = "OpenServiceA(scm, \"quorviUpdateService\", 0xf01ff)";
    for (DWORD state = 0; state <= 7; state++) {
        fake::calls.clear();
        scm.installed = state != 0;
        scm.state = state;
        StartStoppedService();
        // The state query, then, for a stopped service only, the start
        // through a connection and service handle of their own.
        std::vector<std::string> expected = {connect, open};
        if (scm.installed)
            expected.insert(expected.end(), {"QueryServiceStatus(service)", "CloseServiceHandle(service)"});
        expected.push_back("CloseServiceHandle(scm)");
        if (state == SERVICE_STOPPED)
            expected.insert(expected.end(), {connect, open, "StartServiceA(service, 0, NULL)",
                                             "CloseServiceHandle(service)", "CloseServiceHandle(scm)"});
        EXPECT_EQ(expected, ScmCalls()) << "state " << state << "\n" << fake::Log();
        ExpectAllHandlesClosed(("state " + std::to_string(state)).c_str());
    }
}

TEST_F(Registration, StartStoppedServiceStopsWhenItsOwnOpenFails)
{
    scm.installed = true;
    scm.state = SERVICE_STOPPED;
    int opens = 0;
    auto open = fake::hooks.OpenServiceA;
    fake::hooks.OpenServiceA = [&](SC_HANDLE m, LPCSTR name, DWORD access) -> SC_HANDLE {
        return ++opens == 2 ? nullptr : open(m, name, access);
    };
    StartStoppedService();
    EXPECT_TRUE(fake::Calls("StartServiceA(").empty());
    ExpectAllHandlesClosed("second open failed");
}
