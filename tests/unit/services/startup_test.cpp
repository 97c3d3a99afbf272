// A service host from start to exit: identity gate, runtime tree, error
// log, and the three courses of the service side.
#include "servicehost.h"

static std::vector<std::string> events;

class Startup : public ServiceHostTest {
protected:
    void SetUp() override
    {
        ServiceHostTest::SetUp();
        events.clear();
    }
    long Run() { return RunUntilExit(ProcessEntry); }
    static std::string At(const char *relative) { return std::string(InstallDirectory) + relative; }
    // The file-system calls of the run, in order, without handle numbers.
    static std::vector<std::string> FileCalls()
    {
        std::vector<std::string> lines;
        for (const auto &line : fake::calls)
            for (const char *prefix : {"PathFileExistsA(", "CreateDirectoryA(", "CreateFileA(", "SetFilePointer("})
                if (line.rfind(prefix, 0) == 0) lines.push_back(WithoutHandleNumbers(line));
        return lines;
    }
    static std::string Exists(const std::string &path) { return "PathFileExistsA(\"" + path + "\")"; }
    static std::string MakeDir(const std::string &path) { return "CreateDirectoryA(\"" + path + "\", {12, NULL, 0})"; }
    static std::string CreateLog(const std::string &path)
    {
        return "CreateFileA(\"" + path + "\", 0x40000000, 0, NULL, 2, 0x20, NULL)";
    }
    static std::string OpenLog(const std::string &path)
    {
        return "CreateFileA(\"" + path + "\", 0xc0000000, 3, NULL, 3, 0x20, NULL)";
    }
    static std::string SeekEnd() { return "SetFilePointer(file, 0, NULL, 2)"; }
};

static const char *const Tree[] = {"runtime",     "runtime\\update", "runtime\\down",
                                   "runtime\\log", "runtime\\dmp",    "runtime\\error"};
static const char ErrorLog[] = "runtime\\error\\error.log";

TEST_F(Startup, IdentityGate)
{
    struct Row {
        const char *account; // nullptr: no process list; "": own process not listed
        bool servicePath;
    } rows[] = {
        {"SYSTEM", true}, {"system", true},        {"System", true},       {"", true},
        {nullptr, true},  {"USER", false},         {"Administrator", false}, {"<unmapped>", false},
        {"SYSTEM ", false},
    };
    for (const Row &row : rows) {
        std::string account = row.account ? row.account : "(no process list)";
        SetUp();
        RunAs(processes, row.account);
        EXPECT_EQ(0, Run()) << account;
        EXPECT_LT(CallIndex("SetErrorMode(2)"), CallIndex("WTSEnumerateProcessesA(")) << account;
        if (row.servicePath) {
            EXPECT_TRUE(fake::Calls("CreateProcessA(").empty()) << account;
            EXPECT_TRUE(files.IsDirectory(At("runtime\\error"))) << account;
            EXPECT_FALSE(fake::Calls("OpenSCManagerA(").empty()) << account << ": ServiceEntry is entered";
        } else {
            EXPECT_EQ((std::vector<std::string>{
                          "CreateProcessA(NULL, \"\"C:\\Program Files\\Lumaro\\quorviServiceControl.exe\"\", NULL, "
                          "NULL, 1, 0x0, NULL, NULL, {flags 0x1, show 5}, pi)"}),
                      fake::Calls("CreateProcessA("))
                << account << ": the full path, quoted, shown normally, not waited for";
            EXPECT_TRUE(fake::Calls("WaitForSingleObject(").empty()) << account;
            EXPECT_TRUE(fake::Calls("CreateDirectoryA(").empty()) << account;
            EXPECT_TRUE(fake::Calls("CreateFileA(").empty()) << account;
            EXPECT_TRUE(fake::Calls("PathFileExistsA(").empty()) << account;
            EXPECT_TRUE(fake::Calls("OpenSCManagerA(").empty()) << account;
        }
        EXPECT_EQ(blocksAtStart, fake::liveBlocks) << account << ": every block is released at exit";
        EXPECT_EQ(nullptr, ErrorBoxRoutine) << account << ": outside a service run the boxes stay MessageBoxA";
        EXPECT_FALSE(KeepLoadedModules) << account;
    }
}

TEST_F(Startup, LaysOutTheRuntimeTreeAndLogInAnEmptyDirectory)
{
    EXPECT_EQ(0, Run());
    std::vector<std::string> expected;
    for (const char *name : Tree) {
        expected.push_back(Exists(At(name)));
        expected.push_back(MakeDir(At(name)));
    }
    expected.push_back(Exists(At(ErrorLog)));
    expected.push_back(CreateLog(At(ErrorLog)));
    expected.push_back(OpenLog(At(ErrorLog)));
    expected.push_back(SeekEnd());
    EXPECT_EQ(expected, FileCalls()) << fake::Log();
    EXPECT_TRUE(fake::Calls("WriteFile(").empty()) << "the log is created empty";
    EXPECT_FALSE(files.entries.count(At("res"))) << "only the core service has resource directories";
    EXPECT_LT(CallIndex("SetFilePointer("), CallIndex("OpenSCManagerA(")) << "the log is open before ServiceEntry";
}

TEST_F(Startup, CreatesOnlyWhatIsMissingAndLeavesAnExistingLog)
{
    files.AddDirectory(At("runtime"));
    files.AddDirectory(At("runtime\\log"));
    files.AddDirectory(At("runtime\\error"));
    files.AddFile(At(ErrorLog), "earlier errors");
    EXPECT_EQ(0, Run());
    std::vector<std::string> expected;
    for (const char *name : Tree) {
        expected.push_back(Exists(At(name)));
        if (std::string(name) != "runtime" && std::string(name) != "runtime\\log" &&
            std::string(name) != "runtime\\error")
            expected.push_back(MakeDir(At(name)));
    }
    expected.push_back(Exists(At(ErrorLog)));
    expected.push_back(OpenLog(At(ErrorLog)));
    expected.push_back(SeekEnd());
    EXPECT_EQ(expected, FileCalls()) << fake::Log();
    EXPECT_EQ("earlier errors", files.contents[At(ErrorLog)]);
}

TEST_F(Startup, AFileNamedRuntimeLeavesTheSequenceRunning)
{
    files.AddFile(At("runtime"));
    EXPECT_EQ(0, Run());
    std::vector<std::string> expected = {Exists(At("runtime"))};
    for (size_t i = 1; i < 6; i++) {
        expected.push_back(Exists(At(Tree[i])));
        expected.push_back(MakeDir(At(Tree[i])));
    }
    expected.push_back(Exists(At(ErrorLog)));
    expected.push_back(CreateLog(At(ErrorLog)));
    expected.push_back(OpenLog(At(ErrorLog)));
    EXPECT_EQ(expected, FileCalls()) << "the failed open is not followed by a seek\n" << fake::Log();
    EXPECT_FALSE(fake::Calls("OpenSCManagerA(").empty()) << "ServiceEntry is still entered";
}

TEST_F(Startup, CoreServiceAddsTheResourceDirectoriesBeforeOpeningTheLog)
{
    struct Row {
        const char *situation;
        bool resIsDirectory, resIsFile, clientExists;
        std::vector<std::string> expected; // after the log is ensured
    } rows[] = {
        {"neither exists", false, false, false,
         {Exists(At("res")), MakeDir(At("res")), Exists(At("res\\client")), MakeDir(At("res\\client"))}},
        {"res exists", true, false, false, {Exists(At("res")), Exists(At("res\\client")), MakeDir(At("res\\client"))}},
        {"both exist", true, false, true, {Exists(At("res")), Exists(At("res\\client"))}},
        {"a file named res", false, true, false,
         {Exists(At("res")), Exists(At("res\\client")), MakeDir(At("res\\client"))}},
    };
    for (const Row &row : rows) {
        SetUp();
        UseHost(CoreServiceIdentity, "quorviService.exe");
        if (row.resIsDirectory) files.AddDirectory(At("res"));
        if (row.resIsFile) files.AddFile(At("res"));
        if (row.clientExists) files.AddDirectory(At("res\\client"));
        EXPECT_EQ(0, Run()) << row.situation;
        std::vector<std::string> calls = FileCalls();
        std::vector<std::string> expected = {Exists(At(ErrorLog)), CreateLog(At(ErrorLog))};
        expected.insert(expected.end(), row.expected.begin(), row.expected.end());
        expected.push_back(OpenLog(At(ErrorLog)));
        expected.push_back(SeekEnd());
        ASSERT_GE(calls.size(), 12u) << row.situation;
        EXPECT_EQ(expected, std::vector<std::string>(calls.begin() + 12, calls.end())) << row.situation;
        EXPECT_EQ(!row.resIsFile, files.IsDirectory(At("res\\client"))) << row.situation;
        EXPECT_FALSE(fake::Calls("OpenSCManagerA(").empty()) << row.situation;
    }
}

TEST_F(Startup, ExecutableInTheRootDirectory)
{
    fake::moduleFileName = "C:\\quorviUpdateService.exe";
    EXPECT_EQ(0, Run());
    EXPECT_EQ(Exists("C:\\runtime"), FileCalls().at(0));
    EXPECT_TRUE(files.IsDirectory("C:\\runtime\\dmp"));
    EXPECT_TRUE(files.IsFile("C:\\runtime\\error\\error.log"));
}

TEST_F(Startup, InstallRunInstallsStartsAndExitsWithEverythingReleased)
{
    EXPECT_EQ(0, Run());
    EXPECT_EQ(1u, fake::Calls("CreateServiceA(").size());
    EXPECT_EQ(1u, fake::Calls("StartServiceA(").size());
    EXPECT_TRUE(fake::Calls("StartServiceCtrlDispatcherA(").empty());
    EXPECT_TRUE(scm.UnclosedHandles().empty());
    // The error log stays open until the exit sequence closes it.
    long open = CallIndex("SetFilePointer(");
    long close = -1;
    for (size_t i = open; i < fake::calls.size(); i++)
        if (fake::calls[i].rfind("CloseHandle(file#", 0) == 0) close = (long)i;
    EXPECT_LT(open, close);
    EXPECT_EQ("ExitProcess(0)", fake::calls.back());
    EXPECT_EQ(blocksAtStart, fake::liveBlocks);
}

TEST_F(Startup, StrayRunOfAnInstalledServiceExitsAtOnce)
{
    scm.installed = true;
    scm.state = SERVICE_RUNNING;
    EXPECT_EQ(0, Run());
    EXPECT_EQ(1u, fake::Calls("StartServiceCtrlDispatcherA(\"quorviUpdateService\")").size());
    EXPECT_TRUE(fake::Calls("CreateServiceA(").empty());
    EXPECT_TRUE(fake::Calls("CreateThread(").empty());
    EXPECT_EQ(blocksAtStart, fake::liveBlocks);
}

// The service control manager's side of a service run: ServiceMain on the
// dispatcher's thread, then one control code for the handler. The worker
// runs to its end inside CreateThread.
static void ServeWith(DWORD control)
{
    fake::hooks.CreateThread = [](LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE routine, LPVOID parameter,
                                   DWORD, LPDWORD) {
        events.push_back("worker ended with " + std::to_string(routine(parameter)));
        return fake::NewHandle("thread", "worker");
    };
    static LPHANDLER_FUNCTION handler;
    fake::hooks.RegisterServiceCtrlHandlerA = [](LPCSTR, LPHANDLER_FUNCTION given) {
        handler = given;
        return (SERVICE_STATUS_HANDLE)fake::NewHandle("status", "");
    };
    fake::hooks.StartServiceCtrlDispatcherA = [control](const SERVICE_TABLE_ENTRYA *table) -> BOOL {
        char name[] = "quorviUpdateService";
        LPSTR arguments[] = {name};
        table[0].lpServiceProc(1, arguments);
        handler(SERVICE_CONTROL_INTERROGATE);
        handler(control);
        events.push_back("dispatcher returns");
        fake::Record("-- dispatcher returns");
        return TRUE;
    };
}

// Left to the end of the process after a service run, which follows at
// once: the status record and the service name, which another thread of
// the service may still read while an exit is under way.
static const long BlocksKeptForTheServiceRun = 2;

TEST_F(Startup, UpdateServiceRunEndsNormallyWithoutReleasingTheCoreLibrary)
{
    for (DWORD control : {SERVICE_CONTROL_STOP, SERVICE_CONTROL_SHUTDOWN}) {
        SetUp();
        scm.installed = true;
        ServeWith(control);
        EXPECT_EQ(0, Run()) << "control " << control;
        EXPECT_EQ((std::vector<std::string>{"quorviUpdateService"}), tovrelRoles);
        EXPECT_EQ((std::vector<std::string>{"worker ended with 0", "dispatcher returns"}), events);
        EXPECT_EQ(1u, fake::Calls("LoadLibraryA(").size()) << "the worker bound Tovrel";
        EXPECT_TRUE(fake::Calls("FreeLibrary(").empty())
            << "the library is not released while the worker may run in it:\n" << fake::Log();
        EXPECT_EQ((std::vector<std::string>{"SetServiceStatus(status, {0x20, 4, 5, 0, 0, 0, 0})",
                                            "SetServiceStatus(status, {0x20, 3, 5, 0, 0, 0, 0})",
                                            "SetServiceStatus(status, {0x20, 1, 5, 0, 0, 0, 0})"}),
                  CallsWithout("SetServiceStatus("));
        EXPECT_TRUE(fake::Calls("TerminateProcess(").empty());
        EXPECT_EQ("ExitProcess(0)", fake::calls.back());
        EXPECT_EQ(blocksAtStart + BlocksKeptForTheServiceRun, fake::liveBlocks);
    }
}

// The handler reports and returns, so the stop request gets its answer; the
// process ends itself only once the dispatcher has returned, without the
// exit clean-up and without releasing the core library.
TEST_F(Startup, CoreServiceRunEndsItsOwnProcessOnceTheDispatcherReturns)
{
    for (DWORD control : {SERVICE_CONTROL_STOP, SERVICE_CONTROL_SHUTDOWN}) {
        SetUp();
        UseHost(CoreServiceIdentity, "quorviService.exe");
        scm.installed = true;
        ServeWith(control);
        EXPECT_EQ(0, Run()) << "control " << control;
        EXPECT_EQ((std::vector<std::string>{"quorviService"}), tovrelRoles);
        std::vector<std::string> all = CallsWithout("");
        std::vector<std::string> end(all.end() - std::min<size_t>(all.size(), 7), all.end());
        EXPECT_EQ((std::vector<std::string>{"SetServiceStatus(status, {0x20, 3, 5, 0, 0, 0, 0})", "CloseHandle(thread)",
                                            "SetServiceStatus(status, {0x20, 1, 5, 0, 0, 0, 0})",
                                            "-- dispatcher returns", "GetCurrentProcessId()",
                                            "OpenProcess(0x1, 0, 4242)", "TerminateProcess(process, 0)"}),
                  end)
            << "control " << control << ": nothing runs after the termination, not even the exit sequence\n"
            << fake::Log();
        EXPECT_TRUE(fake::Calls("ExitProcess(").empty());
        EXPECT_TRUE(fake::Calls("FreeLibrary(").empty());
        EXPECT_NE(nullptr, RunDirectory) << "the exit clean-up did not run";
    }
}

// When the own process cannot be ended, the program ends as the update
// service does, and the handle it opened for the attempt is closed.
TEST_F(Startup, CoreServiceWhoseTerminationFailsEndsNormally)
{
    struct Row {
        const char *situation;
        bool opens;
    } rows[] = {{"OpenProcess fails", false}, {"TerminateProcess fails", true}};
    for (const Row &row : rows) {
        SetUp();
        UseHost(CoreServiceIdentity, "quorviService.exe");
        scm.installed = true;
        ServeWith(SERVICE_CONTROL_STOP);
        HANDLE opened = nullptr;
        fake::hooks.OpenProcess = [&](DWORD, BOOL, DWORD) -> HANDLE {
            opened = row.opens ? fake::NewHandle("process", "own") : nullptr;
            return opened;
        };
        fake::hooks.TerminateProcess = [](HANDLE, UINT) -> BOOL { return FALSE; };
        EXPECT_EQ(0, Run()) << row.situation;
        EXPECT_LT(CallIndex("TerminateProcess("), CallIndex("ExitProcess(0)")) << row.situation;
        if (opened) EXPECT_TRUE(fake::Lookup(opened)->closed) << row.situation << ": the process handle leaks";
        EXPECT_TRUE(fake::Calls("FreeLibrary(").empty()) << row.situation;
        EXPECT_EQ(blocksAtStart + BlocksKeptForTheServiceRun, fake::liveBlocks) << row.situation;
    }
}
