// Starting programs and ending processes.
#include "hostops_test.h"

using Processes = HostOps;

TEST_F(Processes, RunProgramShowModes)
{
    struct {
        Optional showMode;
        unsigned show;
    } rows[] = {
        {LeftOut, SW_SHOW},          {Given(1), SW_HIDE},           {Given(2), SW_SHOW},
        {Given(3), SW_SHOWMINIMIZED}, {Given(4), SW_SHOWMAXIMIZED}, {Given(5), SW_SHOWNOACTIVATE},
        {Given(6), SW_SHOWMINNOACTIVE}, {Given(0), SW_SHOW},         {Given(7), SW_SHOW},
        {Given(-1), SW_SHOW},
    };
    for (const auto &row : rows) {
        fake::calls.clear();
        EXPECT_TRUE(RunProgram("\"C:\\dir\\quorviServiceControl.exe\" x", false, row.showMode));
        // The caller's startup record, flags replaced by STARTF_USESHOWWINDOW alone.
        std::string expected = "CreateProcessA(NULL, \"\"C:\\dir\\quorviServiceControl.exe\" x\", NULL, NULL, 1, "
                               "0x0, NULL, NULL, {flags 0x1, show " + std::to_string(row.show) + "}, pi)";
        EXPECT_EQ(std::vector<std::string>{expected}, fake::Calls("CreateProcessA("))
            << "show mode " << (row.showMode.given ? std::to_string(row.showMode.value) : "left out");
        EXPECT_LT(CallIndex("GetStartupInfoA("), CallIndex("CreateProcessA(")) << fake::Log();
    }
}

TEST_F(Processes, RunProgramKeepsTheCallersStartupRecordOtherwise)
{
    STARTUPINFOA seen = {};
    fake::hooks.CreateProcessA = [&](LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                                     LPCSTR, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION process) {
        seen = *startup;
        process->hProcess = fake::NewHandle("process", "child");
        process->hThread = fake::NewHandle("thread", "child");
        return TRUE;
    };
    EXPECT_TRUE(RunProgram("child.exe", false, LeftOut));
    EXPECT_EQ(sizeof(STARTUPINFOA), seen.cb);
    EXPECT_STREQ("winsta0\\default", seen.lpDesktop);
    EXPECT_EQ(7u, seen.dwX);
    EXPECT_EQ((DWORD)STARTF_USESHOWWINDOW, seen.dwFlags) << "STARTF_USESTDHANDLES of the caller must go";
}

TEST_F(Processes, RunProgramPassesAWritableCopyOfTheCommandLine)
{
    static const char line[] = "child.exe a b";
    LPSTR passed = nullptr;
    fake::hooks.CreateProcessA = [&](LPCSTR, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                                     DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION process) {
        passed = commandLine;
        commandLine[0] = 'C'; // CreateProcessA may write into it
        process->hProcess = fake::NewHandle("process", "child");
        process->hThread = fake::NewHandle("thread", "child");
        return TRUE;
    };
    EXPECT_TRUE(RunProgram(line, false, LeftOut));
    EXPECT_NE((LPSTR)line, passed);
    EXPECT_STREQ("child.exe a b", line);
    ExpectNoLeak("command-line copy");
}

TEST_F(Processes, RunProgramWaitsOnlyWhenToldAndClosesBothHandles)
{
    for (bool wait : {true, false}) {
        fake::calls.clear();
        HANDLE process = nullptr, thread = nullptr;
        fake::hooks.CreateProcessA = [&](LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                                         LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION info) {
            info->hProcess = process = fake::NewHandle("process", "child");
            info->hThread = thread = fake::NewHandle("thread", "child");
            return TRUE;
        };
        EXPECT_TRUE(RunProgram("child.exe", wait, LeftOut));
        std::vector<std::string> expected;
        if (wait) expected.push_back("WaitForSingleObject(" + fake::Describe(process) + ", 0xffffffff)");
        expected.push_back("CloseHandle(" + fake::Describe(process) + ")");
        expected.push_back("CloseHandle(" + fake::Describe(thread) + ")");
        std::vector<std::string> got;
        for (const auto &call : fake::calls)
            if (call.rfind("WaitForSingleObject(", 0) == 0 || call.rfind("CloseHandle(", 0) == 0) got.push_back(call);
        EXPECT_EQ(expected, got) << "wait " << wait;
    }
}

TEST_F(Processes, RunProgramThatCannotStart)
{
    fake::hooks.CreateProcessA = [](LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                                    LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION) { return FALSE; };
    EXPECT_FALSE(RunProgram("missing.exe", true, LeftOut));
    EXPECT_TRUE(fake::Calls("WaitForSingleObject(").empty());
    EXPECT_TRUE(fake::Calls("CloseHandle(").empty());
    ExpectNoLeak("failed start");
}

// The process handle TerminateProcessById opened, or null.
static HANDLE OpenedHandle;

TEST_F(Processes, TerminateProcessById)
{
    struct Row {
        const char *what;
        Optional id;
        bool opens, terminates;
        bool result;
        std::string openCall;
    } rows[] = {
        {"explicit id", Given(17), true, true, true, "OpenProcess(0x1, 0, 17)"},
        {"left out: the caller's own id", LeftOut, true, true, true, "OpenProcess(0x1, 0, 4242)"},
        {"OpenProcess fails", Given(18), false, false, false, "OpenProcess(0x1, 0, 18)"},
        {"TerminateProcess fails", Given(19), true, false, false, "OpenProcess(0x1, 0, 19)"},
        {"id above 0x7fffffff", Given((long)0xFFFFFFF0u), true, true, true, "OpenProcess(0x1, 0, 4294967280)"},
    };
    for (const Row &row : rows) {
        ResetProcess();
        ProcessHeap = GetProcessHeap();
        fake::currentProcessId = 4242;
        OpenedHandle = nullptr;
        fake::hooks.OpenProcess = [&](DWORD, BOOL, DWORD id) -> HANDLE {
            if (!row.opens) return nullptr;
            return OpenedHandle = fake::NewHandle("process", "other " + std::to_string(id));
        };
        fake::hooks.TerminateProcess = [&](HANDLE process, UINT) {
            return process && row.terminates ? TRUE : FALSE;
        };
        EXPECT_EQ(row.result, TerminateProcessById(row.id)) << row.what;
        EXPECT_EQ(std::vector<std::string>{row.openCall}, fake::Calls("OpenProcess(")) << row.what;
        EXPECT_EQ(row.id.given ? 0u : 1u, fake::Calls("GetCurrentProcessId(").size()) << row.what;
        // Made even without a handle, with exit code 0.
        EXPECT_EQ(std::vector<std::string>{"TerminateProcess(" + fake::Describe(OpenedHandle) + ", 0)"},
                  fake::Calls("TerminateProcess("))
            << row.what;
        std::vector<std::string> closes;
        if (OpenedHandle) closes.push_back("CloseHandle(" + fake::Describe(OpenedHandle) + ")");
        EXPECT_EQ(closes, fake::Calls("CloseHandle(")) << row.what << ": the opened handle is closed exactly once";
        if (OpenedHandle) EXPECT_GT(CallIndex("CloseHandle("), CallIndex("TerminateProcess(")) << row.what;
    }
}

TEST_F(Processes, TerminateProcessByIdOnlyTrueForExactlyTrue)
{
    fake::hooks.TerminateProcess = [](HANDLE, UINT) { return 2; };
    EXPECT_FALSE(TerminateProcessById(Given(5)));
}

TEST_F(Processes, TerminatingTheOwnProcessDoesNotReturn)
{
    for (Optional id : {LeftOut, Given(4242)}) {
        ResetProcess();
        ProcessHeap = GetProcessHeap();
        fake::currentProcessId = 4242;
        bool returned = false;
        long code = RunUntilExit([&] {
            (void)TerminateProcessById(id);
            returned = true;
        });
        EXPECT_EQ(0, code) << (id.given ? "own id given" : "id left out");
        EXPECT_FALSE(returned);
        EXPECT_TRUE(fake::Calls("ExitProcess(").empty()) << "the exit sequence does not run";
    }
}

TEST_F(Processes, TerminateProcessByIdOfAMissingProcess)
{
    // The stand-in's OpenProcess fails for id 0 as Windows does for a missing one.
    EXPECT_FALSE(TerminateProcessById(Given(0)));
    EXPECT_EQ(std::vector<std::string>{"TerminateProcess(NULL, 0)"}, fake::Calls("TerminateProcess("));
    EXPECT_TRUE(fake::Calls("CloseHandle(").empty());
}
