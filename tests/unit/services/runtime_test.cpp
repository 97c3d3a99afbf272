// The service side: install or dispatch, ServiceMain, the worker and the
// control handler.
#include "servicehost.h"
#include "services/consolebox.h"
#include "services/runtime.h"

#include <cstring>
#include <functional>

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
    // ServiceMain as the dispatcher runs it; the worker it creates is
    // returned, not run, so that a test chooses when it runs.
    static LPTHREAD_START_ROUTINE EnterServiceMainWithoutRunningTheWorker()
    {
        static LPTHREAD_START_ROUTINE worker;
        worker = nullptr;
        fake::hooks.CreateThread = [](LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE routine, LPVOID, DWORD,
                                       LPDWORD) {
            worker = routine;
            return fake::NewHandle("thread", "worker");
        };
        ServiceName = CopyText("quorviUpdateService");
        ServiceMain(0, nullptr);
        return worker;
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

// Decided once, before the worker exists: whenever the worker binds, the
// exit sequence leaves the core library loaded, and boxes go to the user at
// the console. A stray run (the dispatcher fails, no ServiceMain) and an
// install run decide none of it.
TEST_F(Runtime, ServiceRunIsDecidedBeforeTheWorkerExists)
{
    struct Row {
        const char *course;
        bool installed, dispatcherRunsServiceMain;
    } rows[] = {{"install run", false, false}, {"stray run", true, false}, {"service run", true, true}};
    for (const Row &row : rows) {
        ResetProcess();
        scm = ScmModel();
        scm.Install();
        StartGlobals();
        scm.installed = row.installed;
        bool decidedAtCreation = false;
        fake::hooks.CreateThread = [&](LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
            decidedAtCreation = KeepLoadedModules && ServiceRunBegun && ErrorBoxRoutine == SendBoxToConsoleUser;
            return fake::NewHandle("thread", "worker");
        };
        fake::hooks.StartServiceCtrlDispatcherA = [&](const SERVICE_TABLE_ENTRYA *table) -> BOOL {
            if (!row.dispatcherRunsServiceMain) return FALSE;
            table[0].lpServiceProc(0, nullptr);
            return TRUE;
        };
        ServiceEntry();
        EXPECT_EQ(row.dispatcherRunsServiceMain, decidedAtCreation) << row.course;
        EXPECT_EQ(row.dispatcherRunsServiceMain, KeepLoadedModules) << row.course;
        EXPECT_EQ(row.dispatcherRunsServiceMain, ErrorBoxRoutine != nullptr) << row.course;
        if (!row.dispatcherRunsServiceMain) FreeGlobalVariables();
    }
}

// The worker's first call loads Tovrel.dll and arms the release hook
// whenever its LoadLibraryA returns, here only once the exit sequence (a stop
// of the update service) is under way: the library is still not released.
TEST_F(Runtime, WorkerBindingDuringTheExitSequenceReleasesNothing)
{
    LPTHREAD_START_ROUTINE worker = EnterServiceMainWithoutRunningTheWorker();
    ASSERT_NE(nullptr, worker);
    ASSERT_EQ(nullptr, ReleaseHook) << "the worker has not bound yet";

    CleanupSlot1 = FreeGlobalVariables;
    CleanupSlot2 = [] { ServiceWorker(nullptr); }; // the worker's load returns now
    EXPECT_EQ(0, RunUntilExit(ExitProgram));
    EXPECT_EQ(1u, fake::Calls("LoadLibraryA(").size()) << fake::Log();
    EXPECT_EQ((CleanupRoutine)ReleaseLoadedModules, ReleaseHook) << "the hook was armed during the exit";
    EXPECT_TRUE(fake::Calls("FreeLibrary(").empty()) << fake::Log();
    EXPECT_EQ("ExitProcess(0)", fake::calls.back());
    EXPECT_NE(nullptr, ServiceStatusRecord) << "the handler may still read the status record";
    ReleaseHook = nullptr;
    ServiceRunBegun = false;
}

// In a service run every box of the frame and the binding goes to the
// console session through WTSSendMessageA, with the box's own title, text
// and style; then the exit sequence ends the process with code 0, so that
// the service control manager applies the restart actions.
TEST_F(Runtime, ServiceRunBoxesGoToTheConsoleUserThenTheProcessEnds)
{
    struct Row {
        const char *situation;
        std::function<void()> arrange;
        const char *title, *text;
    } rows[] = {
        {"no Tovrel.dll", [] { fake::libraries.clear(); }, "DLL ERROR",
         "同目录下无法找到DLL文件:\"Tovrel.dll\".请与作者联系."},
        {"no entry Tovrel", [] { fake::libraries[BesideProgram("Tovrel.dll")].byName.clear(); }, "DLL ERROR",
         "无法定位DLL文件:\"Tovrel.dll\"当中的\"Tovrel\"函数."},
        {"Tovrel leaves its argument on the stack",
         [] {
             fake::libraries[BesideProgram("Tovrel.dll")].byName["Tovrel"] =
                 (FARPROC)(void *)+[](const void *) -> intptr_t {
                     fake::nextStackDelta = -4;
                     return 0;
                 };
         },
         "error", nullptr},
        {"out of memory", [] { fake::heapAllocsBeforeFailure = 0; }, "error", "内存不足"},
    };
    for (const Row &row : rows) {
        ResetProcess();
        ProvideTovrel();
        StartGlobals();
        fake::consoleSessionId = 3;
        LPTHREAD_START_ROUTINE worker = EnterServiceMainWithoutRunningTheWorker();
        CleanupSlot1 = FreeGlobalVariables;
        row.arrange();
        fake::calls.clear();
        EXPECT_EQ(0, RunUntilExit([&] { worker(nullptr); })) << row.situation;
        fake::heapAllocsBeforeFailure = -1;
        EXPECT_TRUE(fake::boxes.empty()) << row.situation << ": MessageBoxA in a service run";
        std::vector<std::string> sent = fake::Calls("WTSSendMessageA(");
        ASSERT_EQ(1u, sent.size()) << row.situation << "\n" << fake::Log();
        std::string text = row.text ? row.text
                                    : "program internal error number is 6. \r\n"
                                      "调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确\r\n";
        std::string expected = "WTSSendMessageA(NULL, 3, \"" + std::string(row.title) + "\", " +
                               std::to_string(strlen(row.title)) + ", \"" + text;
        EXPECT_EQ(expected, sent[0].substr(0, expected.size())) << row.situation;
        std::string tail = ", 0x10, 0, &response, 1)";
        EXPECT_EQ(tail, sent[0].substr(sent[0].size() - tail.size())) << row.situation;
        if (row.text) {
            std::string length = "\", " + std::to_string(strlen(row.text)) + ", 0x10";
            EXPECT_NE(std::string::npos, sent[0].find(length)) << row.situation << ": text length";
        }
        EXPECT_LT(CallIndex("WTSGetActiveConsoleSessionId()"), CallIndex("WTSSendMessageA(")) << row.situation;
        EXPECT_LT(CallIndex("WTSSendMessageA("), CallIndex("ExitProcess(0)")) << row.situation;
        EXPECT_TRUE(fake::Calls("FreeLibrary(").empty()) << row.situation;
        ServiceRunBegun = false;
        FreeGlobalVariables();
    }
    StartGlobals();
}

// The answer of WTSSendMessageA (none when nobody is at the console) does
// not change what follows: the exit.
TEST_F(Runtime, UnansweredConsoleMessageStillEndsTheProcess)
{
    fake::hooks.WTSSendMessageA = [](HANDLE, DWORD, LPSTR, DWORD, LPSTR, DWORD, DWORD, DWORD, DWORD *, BOOL) -> BOOL {
        fake::lastError = ERROR_FILE_NOT_FOUND;
        return FALSE;
    };
    fake::consoleSessionId = 0xFFFFFFFF; // no session attached to the console
    SendBoxToConsoleUser("内存不足", "error", MB_ICONERROR);
    std::string text = "内存不足"; // 8 bytes in GBK, more in the host's UTF-8
    EXPECT_EQ(std::vector<std::string>{"WTSSendMessageA(NULL, 4294967295, \"error\", 5, \"" + text + "\", " +
                                       std::to_string(text.size()) + ", 0x10, 0, &response, 1)"},
              fake::Calls("WTSSendMessageA("));
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
        fake::hooks.CreateThread = [&](LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
            return thread;
        };
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
        fake::hooks.GetMessageA = [&](LPMSG msg, HWND, UINT, UINT) -> BOOL {
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

// Both hosts: the handler reports and returns; the core service ends its
// process only after the dispatcher has returned (see the start-up tests).
TEST_F(ControlHandler, StopReportsPendingThenStoppedAndReturns)
{
    for (const HostIdentity *host : {&UpdateServiceIdentity, &CoreServiceIdentity}) {
        for (DWORD code : {SERVICE_CONTROL_STOP, SERVICE_CONTROL_SHUTDOWN}) {
            SetUp();
            ThisHost = host;
            fake::calls.clear();
            EXPECT_EQ(-1, RunUntilExit([&] { ServiceControlHandler(code); })) << host->serviceName << " code " << code;
            EXPECT_EQ((std::vector<std::string>{"SetServiceStatus(status, " + StopPending + ")", "CloseHandle(thread)",
                                                "SetServiceStatus(status, " + Stopped + ")"}),
                      CallsWithout(""))
                << host->serviceName << " code " << code;
            EXPECT_TRUE(fake::Lookup(worker)->closed);
            FreeGlobalVariables();
        }
    }
    StartGlobals();
}
