// A service host from start to exit: identity gate, runtime tree, error
// log, and the three courses of the service side.
#include "servicehost.h"

static std::vector<std::string> events;
static void RecordRelease(void) { events.push_back("release"); }

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
// dispatcher's thread, then one control code for the handler.
static void ServeWith(DWORD control)
{
    fake::hooks.CreateThread = [](LPTHREAD_START_ROUTINE routine, LPVOID parameter) {
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
        return TRUE;
    };
}

TEST_F(Startup, UpdateServiceRunEndsNormallyWithoutReleasingTheCoreLibrary)
{
    for (DWORD control : {SERVICE_CONTROL_STOP, SERVICE_CONTROL_SHUTDOWN}) {
        SetUp();
        scm.installed = true;
        ServeWith(control);
        ReleaseHook = RecordRelease; // as after the worker's binding loaded Tovrel.dll
        EXPECT_EQ(0, Run()) << "control " << control;
        EXPECT_EQ((std::vector<std::string>{"quorviUpdateService"}), tovrelRoles);
        EXPECT_EQ((std::vector<std::string>{"worker ended with 0", "dispatcher returns"}), events)
            << "the library is not released while the worker may run in it";
        EXPECT_EQ((std::vector<std::string>{"SetServiceStatus(status, {0x20, 4, 5, 0, 0, 0, 0})",
                                            "SetServiceStatus(status, {0x20, 3, 5, 0, 0, 0, 0})",
                                            "SetServiceStatus(status, {0x20, 1, 5, 0, 0, 0, 0})"}),
                  CallsWithout("SetServiceStatus("));
        EXPECT_EQ("ExitProcess(0)", fake::calls.back());
        EXPECT_EQ(blocksAtStart, fake::liveBlocks);
    }
}

TEST_F(Startup, CoreServiceRunEndsItsOwnProcessInTheHandler)
{
    UseHost(CoreServiceIdentity, "quorviService.exe");
    scm.installed = true;
    ServeWith(SERVICE_CONTROL_STOP);
    ReleaseHook = RecordRelease;
    EXPECT_EQ(0, Run());
    EXPECT_EQ((std::vector<std::string>{"quorviService"}), tovrelRoles);
    EXPECT_EQ((std::vector<std::string>{"worker ended with 0"}), events) << "the dispatcher never returns";
    EXPECT_EQ("TerminateProcess(process, 0)", WithoutHandleNumbers(fake::calls.back()))
        << "nothing runs after the termination, not even the exit sequence";
    EXPECT_EQ("OpenProcess(0x1, 0, 4242)", fake::calls[fake::calls.size() - 2]);
    EXPECT_TRUE(fake::Calls("ExitProcess(").empty());
}
