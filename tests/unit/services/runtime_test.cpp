// The service side: install or dispatch, ServiceMain, the worker and the
// control handler.
#include "servicehost.h"
#include "services/runtime.h"

static const std::string Running = "{0x20, 4, 5, 0, 0, 0, 0}";
static const std::string StartPending = "{0x20, 2, 5, 0, 0, 0, 0}";
static const std::string StopPending = "{0x20, 3, 5, 0, 0, 0, 0}";
static const std::string Stopped = "{0x20, 1, 5, 0, 0, 0, 0}";

static void MarkerHook(void) {}

class Runtime : public ServiceHostTest {
protected:
    void SetUp() override
    {
        ServiceHostTest::SetUp();
        StartGlobals();
    }
    void TearDown() override
    {
        FreeGlobalVariables();
        ServiceHostTest::TearDown();
    }
};

TEST_F(Runtime, NotInstalledInstallsAndStartsWithoutDispatcher)
{
    ServiceEntry();
    EXPECT_EQ(1u, fake::Calls("CreateServiceA(").size());
    EXPECT_EQ(1u, fake::Calls("StartServiceA(").size()) << fake::Log();
    EXPECT_TRUE(fake::Calls("StartServiceCtrlDispatcherA(").empty());
    EXPECT_TRUE(scm.UnclosedHandles().empty());
    EXPECT_EQ(0x20u, ServiceStatusRecord->dwServiceType);
    EXPECT_EQ(1u, ServiceStatusRecord->dwCurrentState);
    EXPECT_EQ(5u, ServiceStatusRecord->dwControlsAccepted);
}

TEST_F(Runtime, UnreadableStateTakesTheInstallPathAndStartsNothing)
{
    struct Row {
        const char *situation;
        bool connects, installed;
    } rows[] = {{"no connection", false, true}, {"OpenServiceA fails", true, false}};
    for (const Row &row : rows) {
        fake::calls.clear();
        scm.connects = row.connects;
        scm.installed = row.installed;
        scm.createFails = row.installed; // the service exists but could not be opened
        if (!row.installed) fake::hooks.OpenServiceA = [](SC_HANDLE, LPCSTR, DWORD) -> SC_HANDLE { return nullptr; };
        ServiceEntry();
        FreeGlobalVariables();
        StartGlobals();
        EXPECT_EQ(row.connects ? 1u : 0u, fake::Calls("CreateServiceA(").size()) << row.situation;
        EXPECT_TRUE(fake::Calls("StartServiceA(").empty()) << row.situation << "\n" << fake::Log();
        EXPECT_TRUE(fake::Calls("StartServiceCtrlDispatcherA(").empty()) << row.situation;
        EXPECT_TRUE(fake::Calls("ChangeServiceConfig2A(").empty()) << row.situation;
        EXPECT_TRUE(scm.UnclosedHandles().empty()) << row.situation;
    }
}

// The install path asks for a start whatever became of the install: a
// service that exists but could not be opened by the first query makes
// CreateServiceA fail, and is still started when it then reads as stopped.
TEST_F(Runtime, FailedInstallStillStartsAServiceThatReadsAsStopped)
{
    struct Row {
        DWORD state; // when read again, after the failed install
        size_t starts;
    } rows[] = {{SERVICE_STOPPED, 1}, {SERVICE_RUNNING, 0}, {SERVICE_START_PENDING, 0}};
    auto open = fake::hooks.OpenServiceA;
    for (const Row &row : rows) {
        fake::calls.clear();
        scm.installed = true;
        scm.state = row.state;
        int opens = 0;
        fake::hooks.OpenServiceA = [&opens, open](SC_HANDLE m, LPCSTR name, DWORD access) -> SC_HANDLE {
            return ++opens == 1 ? nullptr : open(m, name, access);
        };
        ServiceEntry();
        EXPECT_EQ(1u, fake::Calls("CreateServiceA(").size()) << "state " << row.state;
        EXPECT_TRUE(fake::Calls("ChangeServiceConfig2A(").empty()) << "state " << row.state << ": nothing was created";
        EXPECT_EQ(row.starts, fake::Calls("StartServiceA(").size()) << "state " << row.state << "\n" << fake::Log();
        EXPECT_TRUE(fake::Calls("StartServiceCtrlDispatcherA(").empty()) << "state " << row.state;
        EXPECT_TRUE(scm.UnclosedHandles().empty()) << "state " << row.state;
        FreeGlobalVariables();
        StartGlobals();
    }
}

TEST_F(Runtime, InstalledInAnyStateConnectsToTheDispatcher)
{
    for (DWORD state = 1; state <= 7; state++) {
        fake::calls.clear();
        scm.installed = true;
        scm.state = state;
        std::string tableName;
        bool terminated = false;
        fake::hooks.StartServiceCtrlDispatcherA = [&](const SERVICE_TABLE_ENTRYA *table) -> BOOL {
            tableName = table[0].lpServiceName;
            terminated = table[1].lpServiceName == nullptr && table[1].lpServiceProc == nullptr;
            EXPECT_EQ((LPSERVICE_MAIN_FUNCTIONA)ServiceMain, table[0].lpServiceProc);
            return FALSE;
        };
        ServiceEntry();
        EXPECT_EQ("quorviUpdateService", tableName) << "state " << state;
        EXPECT_TRUE(terminated) << "state " << state;
        EXPECT_TRUE(fake::Calls("CreateServiceA(").empty()) << "state " << state;
        EXPECT_TRUE(fake::Calls("StartServiceA(").empty()) << "state " << state;
        EXPECT_TRUE(scm.UnclosedHandles().empty());
        FreeGlobalVariables();
        StartGlobals();
    }
}

TEST_F(Runtime, DispatcherThatServedLeavesTheCoreLibraryLoaded)
{
    scm.installed = true;
    struct Row {
        BOOL dispatcherResult;
        bool hookKept;
    } rows[] = {{FALSE, true}, {TRUE, false}};
    for (const Row &row : rows) {
        ReleaseHook = MarkerHook;
        fake::hooks.StartServiceCtrlDispatcherA = [&](const SERVICE_TABLE_ENTRYA *) { return row.dispatcherResult; };
        ServiceEntry();
        EXPECT_EQ(row.hookKept, ReleaseHook == MarkerHook)
            << "dispatcher returned " << row.dispatcherResult
            << ": after a service run the worker may still be inside Tovrel";
        FreeGlobalVariables();
        StartGlobals();
    }
    ReleaseHook = nullptr;
}

TEST_F(Runtime, ServiceMainStartsTheWorkerFirstThenRegistersAndReportsRunning)
{
    SERVICE_STATUS initial = {0x20, 1, 5, 0, 0, 0, 0};
    *ServiceStatusRecord = initial;
    ServiceName = CopyText("quorviUpdateService");
    fake::calls.clear();
    ServiceMain(0, nullptr);
    EXPECT_EQ((std::vector<std::string>{"CreateThread(NULL, 0, routine, NULL, 0x0, &id)",
                                        "RegisterServiceCtrlHandlerA(\"quorviUpdateService\", handler)",
                                        "SetServiceStatus(status, " + Running + ")"}),
              [] {
                  std::vector<std::string> lines;
                  for (const auto &line : fake::calls) lines.push_back(WithoutHandleNumbers(line));
                  return lines;
              }());
    EXPECT_EQ("thread", fake::Lookup(WorkerThreadHandle)->kind);
    EXPECT_EQ("status", fake::Lookup(ServiceStatusHandle)->kind);
}

TEST_F(Runtime, FailuresInServiceMainReportStartPendingThroughTheZeroHandle)
{
    struct Row {
        const char *situation;
        HANDLE thread;
        bool registers;
        size_t registrations;
    } rows[] = {
        {"CreateThread gives 0", nullptr, true, 0},
        {"CreateThread gives a negative handle", INVALID_HANDLE_VALUE, true, 0},
        {"RegisterServiceCtrlHandlerA fails", (HANDLE)1, false, 1},
    };
    for (const Row &row : rows) {
        fake::calls.clear();
        *ServiceStatusRecord = SERVICE_STATUS{0x20, 1, 5, 0, 0, 0, 0};
        ServiceStatusHandle = nullptr;
        HANDLE thread = row.thread == (HANDLE)1 ? fake::NewHandle("thread", "worker") : row.thread;
        fake::hooks.CreateThread = [&](LPTHREAD_START_ROUTINE, LPVOID) { return thread; };
        fake::hooks.RegisterServiceCtrlHandlerA = [&](LPCSTR, LPHANDLER_FUNCTION) -> SERVICE_STATUS_HANDLE {
            return row.registers ? (SERVICE_STATUS_HANDLE)fake::NewHandle("status", "") : nullptr;
        };
        ServiceMain(0, nullptr);
        EXPECT_EQ(1u, fake::Calls("CreateThread(").size()) << row.situation << ": the worker is created first";
        EXPECT_EQ(row.registrations, fake::Calls("RegisterServiceCtrlHandlerA(").size()) << row.situation;
        EXPECT_EQ((std::vector<std::string>{"SetServiceStatus(NULL, " + StartPending + ")"}),
                  fake::Calls("SetServiceStatus("))
            << row.situation;
    }
}

TEST_F(Runtime, WorkerCallsTovrelWithTheServiceNameThenRunsItsMessageLoop)
{
    for (const HostIdentity *host : {&UpdateServiceIdentity, &CoreServiceIdentity}) {
        ThisHost = host;
        tovrelRoles.clear();
        fake::calls.clear();
        std::vector<BOOL> results = {-1, TRUE, TRUE, FALSE};
        size_t next = 0;
        fake::hooks.GetMessageA = [&](LPMSG msg) -> BOOL {
            EXPECT_EQ(1u, tovrelRoles.size()) << "the loop runs once Tovrel has returned";
            BOOL result = results[next++];
            msg->message = result == FALSE ? WM_QUIT : 0x400;
            msg->wParam = result == FALSE ? 9 : 1;
            return result;
        };
        EXPECT_EQ(9u, ServiceWorker(nullptr)) << "the thread's result is WM_QUIT's wParam";
        EXPECT_EQ((std::vector<std::string>{host->serviceName}), tovrelRoles);
        EXPECT_EQ(4u, fake::Calls("GetMessageA(msg, NULL, 0, 0)").size()) << "-1 does not end the loop";
        EXPECT_EQ(3u, fake::Calls("TranslateMessage(").size());
        EXPECT_EQ(3u, fake::Calls("DispatchMessageA(").size());
    }
}

class ControlHandler : public Runtime {
protected:
    void SetUp() override
    {
        Runtime::SetUp();
        *ServiceStatusRecord = SERVICE_STATUS{0x20, 4, 5, 0, 0, 0, 0};
        ServiceStatusHandle = (SERVICE_STATUS_HANDLE)fake::NewHandle("status", "");
        WorkerThreadHandle = fake::NewHandle("thread", "worker");
        worker = WorkerThreadHandle;
    }
    HANDLE worker = nullptr;
};

TEST_F(ControlHandler, CodesOtherThanStopAndShutdownAreIgnored)
{
    for (const HostIdentity *host : {&UpdateServiceIdentity, &CoreServiceIdentity}) {
        ThisHost = host;
        for (DWORD code = 0; code <= 10; code++) {
            if (code == SERVICE_CONTROL_STOP || code == SERVICE_CONTROL_SHUTDOWN) continue;
            fake::calls.clear();
            ServiceControlHandler(code);
            EXPECT_TRUE(fake::calls.empty()) << host->serviceName << " code " << code << "\n" << fake::Log();
            EXPECT_EQ(4u, ServiceStatusRecord->dwCurrentState) << "code " << code;
        }
    }
    EXPECT_FALSE(fake::Lookup(worker)->closed);
}

TEST_F(ControlHandler, UpdateServiceStopReportsPendingThenStoppedAndReturns)
{
    for (DWORD code : {SERVICE_CONTROL_STOP, SERVICE_CONTROL_SHUTDOWN}) {
        SetUp();
        fake::calls.clear();
        EXPECT_EQ(-1, RunUntilExit([&] { ServiceControlHandler(code); })) << "code " << code;
        EXPECT_EQ((std::vector<std::string>{"SetServiceStatus(status, " + StopPending + ")", "CloseHandle(thread)",
                                            "SetServiceStatus(status, " + Stopped + ")"}),
                  CallsWithout(""))
            << "code " << code;
        EXPECT_TRUE(fake::Lookup(worker)->closed);
        FreeGlobalVariables();
    }
    StartGlobals();
}

TEST_F(ControlHandler, CoreServiceStopEndsTheOwnProcess)
{
    ThisHost = &CoreServiceIdentity;
    for (DWORD code : {SERVICE_CONTROL_STOP, SERVICE_CONTROL_SHUTDOWN}) {
        SetUp();
        ThisHost = &CoreServiceIdentity;
        fake::calls.clear();
        EXPECT_EQ(0, RunUntilExit([&] { ServiceControlHandler(code); })) << "code " << code;
        EXPECT_EQ((std::vector<std::string>{"SetServiceStatus(status, " + StopPending + ")", "CloseHandle(thread)",
                                            "SetServiceStatus(status, " + Stopped + ")", "GetCurrentProcessId()",
                                            "OpenProcess(0x1, 0, 4242)", "TerminateProcess(process, 0)"}),
                  CallsWithout(""))
            << "code " << code;
        FreeGlobalVariables();
    }
    StartGlobals();
}

TEST_F(ControlHandler, CoreServiceWhoseTerminationFailsReturnsWithoutLeaks)
{
    ThisHost = &CoreServiceIdentity;
    struct Row {
        const char *situation;
        bool opens;
    } rows[] = {{"OpenProcess fails", false}, {"TerminateProcess fails", true}};
    for (const Row &row : rows) {
        SetUp();
        ThisHost = &CoreServiceIdentity;
        fake::calls.clear();
        HANDLE opened = nullptr;
        fake::hooks.OpenProcess = [&](DWORD, BOOL, DWORD) -> HANDLE {
            opened = row.opens ? fake::NewHandle("process", "own") : nullptr;
            return opened;
        };
        fake::hooks.TerminateProcess = [](HANDLE, UINT) -> BOOL { return FALSE; };
        EXPECT_EQ(-1, RunUntilExit([&] { ServiceControlHandler(SERVICE_CONTROL_STOP); })) << row.situation;
        EXPECT_EQ("SetServiceStatus(status, " + Stopped + ")", WithoutHandleNumbers(fake::Calls("SetServiceStatus(").back()));
        if (opened) EXPECT_TRUE(fake::Lookup(opened)->closed) << row.situation << ": the process handle leaks";
        FreeGlobalVariables();
    }
    StartGlobals();
}
