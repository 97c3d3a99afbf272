// What keeps the programs safe where nobody watches them: the core library
// only from beside the program, the errors of a running service sent to the
// user at the console (never a box on the service's own desktop), a stop
// while the worker is inside Tovrel, and stop requests that get their answer.
//   safety_e2e <programs dir> <fixtures dir> <scratch dir> [stops per host]
#include "harness.h"

#include "boxes.h"
#include "files.h"
#include "processes.h"
#include "service_control.h"
#include "service_hosts.h"

// The checks of a helper report the line of its caller.
#define lok ok_(__FILE__, line)
#define ltodo_wine todo_wine_(__FILE__, line)

static std::string dist, fixtures;
static std::string testRoot; // <temp>safety_e2e: every test directory starts with it

static const char *const HostNames[] = {"quorviUpdateService", "quorviService"};

static const char LibraryNotFound[] = "同目录下无法找到DLL文件:\"Tovrel.dll\".请与作者联系.";
static const char EntryNotFound[] = "无法定位DLL文件:\"Tovrel.dll\"当中的\"Tovrel\"函数.";
static const char StackError[] = "program internal error number is 6. \\r\\n"
                                 "调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确\\r\\n错误位置:";

// A fresh directory below the test root; its name holds a space.
static std::string TestDirectory(const char *purpose)
{
    std::string directory = NewTestDirectory((testRoot.substr(testRoot.rfind('\\') + 1) + " " + purpose).c_str());
    ok(!directory.empty(), "%s: test directory", purpose);
    return directory;
}

static bool CopyCore(const char *core, const std::string &directory)
{
    return CopyInto(fixtures + "\\" + core + "\\Tovrel.dll", directory, "Tovrel.dll");
}

// Where a library planted for the bare name would be found: the system
// directories, which are also a service's current directory and on PATH.
static std::vector<std::string> SystemPlantingPlaces()
{
    char system[MAX_PATH], windows[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    GetWindowsDirectoryA(windows, MAX_PATH);
    return {system, windows};
}

static void RemovePlanted(const std::vector<std::string> &places)
{
    for (const std::string &place : places) {
        DeleteFileA(Join(place, "Tovrel.dll").c_str());
        DeleteFileA(Join(place, "tovrel.log").c_str());
    }
}

// A planted library writes tovrel.log beside itself as soon as it is loaded.
static void CheckNothingLoadedFrom_(int line, const std::vector<std::string> &places, const char *who)
{
    for (const std::string &place : places)
        lok(!PathExists(Join(place, "tovrel.log")), "%s: the library planted in %s was loaded: [%s]", who,
           place.c_str(), Joined(ReadLines(Join(place, "tovrel.log"))).c_str());
}
#define CheckNothingLoadedFrom(...) CheckNothingLoadedFrom_(__LINE__, __VA_ARGS__)

// The length in the ANSI code page of a UTF-8 text whose line ends are
// written as \r and \n, as the double logs it.
static DWORD AnsiLength(const std::string &logged)
{
    std::string text;
    for (size_t i = 0; i < logged.size(); i++) {
        if (logged[i] == '\\' && i + 1 < logged.size() && (logged[i + 1] == 'r' || logged[i + 1] == 'n')) {
            text += logged[++i] == 'r' ? '\r' : '\n';
        } else {
            text += logged[i];
        }
    }
    std::wstring wide = FromUtf8(text.c_str());
    return (DWORD)WideCharToMultiByte(CP_ACP, 0, wide.c_str(), (int)wide.size(), NULL, 0, NULL, NULL);
}

// Visible top-level windows of the process.
struct WindowSearch {
    DWORD processId;
    int visible;
};

static BOOL CALLBACK CountVisibleWindow(HWND window, LPARAM found)
{
    WindowSearch *search = (WindowSearch *)found;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) search->visible++;
    return TRUE;
}

static int VisibleWindowsOf(DWORD processId)
{
    WindowSearch search = {processId, 0};
    EnumWindows(CountVisibleWindow, (LPARAM)&search);
    return search.visible;
}

// --- The core library only from beside the program ----------------------------

// A starter without Tovrel.dll beside it, a library of that name in its
// current directory and another in a directory on PATH: neither is loaded,
// the library-not-found box follows. With the library beside it, that one is.
static void TestStarterLoadsOnlyBesideItself()
{
    const char *who = "quorviRestart";
    std::string program = TestDirectory("program"), current = TestDirectory("current"),
                onPath = TestDirectory("on path");
    ok(CopyInto(Join(dist, "quorviRestart.exe"), program, "quorviRestart.exe"), "copy quorviRestart.exe");
    ok(CopyCore("tovrel_record", current) && CopyCore("tovrel_record", onPath), "plant Tovrel.dll");

    char oldPath[32768];
    DWORD oldLength = GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);
    SetEnvironmentVariableA("PATH", (onPath + ";" + std::string(oldPath, oldLength)).c_str());
    std::string commandLine = Quoted(Join(program, "quorviRestart.exe"));
    Started started = StartProgram(commandLine, current.c_str());
    BoxSeen box = ReadAndCloseBox("DLL ERROR", started.id, 30000);
    long code = WaitForExit(started, 30000);
    ok(box.found, "%s: no library-not-found box", who);
    ok(Utf8(box.text) == LibraryNotFound, "%s: box text [%s], expected [%s]", who, Utf8(box.text).c_str(),
       LibraryNotFound);
    ok(code == 0, "%s: exit code %ld, expected 0", who, code);
    CheckNothingLoadedFrom({current, onPath}, who);

    ok(CopyCore("tovrel_record", program), "copy Tovrel.dll beside the program");
    code = RunProgramAndWait(commandLine, 30000, current.c_str());
    SetEnvironmentVariableA("PATH", std::string(oldPath, oldLength).c_str());
    ok(code == 0, "%s with the library beside it: exit code %ld", who, code);
    std::vector<std::string> lines = ReadLines(Join(program, "tovrel.log"));
    std::vector<std::string> expected = {"load", "role quorviRestart", "thread main", "unload"};
    ok(lines == expected, "%s: the library beside it saw [%s], expected [%s]", who, Joined(lines).c_str(),
       Joined(expected).c_str());
    CheckNothingLoadedFrom({current, onPath}, who);
    for (const std::string &directory : {program, current, onPath}) RemoveTree(directory);
}

// --- Service runs ------------------------------------------------------------------

// A host directory with the host, the double and, unless core is null, a
// test core library.
static std::string ServiceDirectory(const char *host, const char *core)
{
    std::string directory = TestDirectory(host);
    std::string exeName = std::string(host) + ".exe";
    ok(CopyInto(Join(dist, exeName), directory, exeName), "copy %s", exeName.c_str());
    ok(CopyInto(Join(fixtures, "wtsapi32_double\\wtsapi32.dll"), directory, "wtsapi32.dll"), "copy wtsapi32.dll");
    ok(WriteTextFile(Join(directory, "owner_sid.txt"), SystemSid), "write owner_sid.txt");
    if (core) ok(CopyCore(core, directory), "copy %s", core);
    return directory;
}

// The install run: it installs the service and asks for its start. Returns
// the service, opened for everything, or null.
static SC_HANDLE InstallAndOpen(const char *host, const std::string &directory, SC_HANDLE manager)
{
    long code = RunHost(Join(directory, std::string(host) + ".exe"), SystemSid, 60000);
    ok(code == 0, "%s: install run exit code %ld", host, code);
    SC_HANDLE service = OpenServiceA(manager, host, SERVICE_ALL_ACCESS);
    ok(service != NULL, "%s: installed (%lu)", host, GetLastError());
    return service;
}

// A running service whose worker meets an error: the message goes to the
// console session through WTSSendMessageA, with the box's title, text and
// style, waiting for the answer; no window of the process appears; once the
// message is answered the process ends with exit code 0.
static void CheckErrorSentToConsole_(int line, const char *situation, const char *host, const std::string &directory,
                                     SC_HANDLE service, const char *title, const std::string &text)
{
    std::string log = Join(directory, "wtsapi32.log");
    std::vector<std::string> lines = WaitForLine(log, "text ", 30000, true); // the last line before the wait
    DWORD processId = 0;
    HANDLE process = OpenServiceProcess(service, &processId);
    lok(process != NULL, "%s, %s: the service process %lu runs while the message waits", host, situation, processId);
    lok(VisibleWindowsOf(processId) == 0, "%s, %s: a window of the service process appeared", host, situation);

    // "send <session> <title length> <text length> <style> <timeout> <wait>"
    size_t sent = 0;
    while (sent < lines.size() && lines[sent].compare(0, 5, "send ") != 0) sent++;
    lok(sent + 2 < lines.size(), "%s, %s: no message sent: [%s]", host, situation, Joined(lines).c_str());
    if (sent + 2 < lines.size()) {
        unsigned long session = 0, titleLength = 0, textLength = 0, style = 0, timeout = 0, wait = 0;
        sscanf(lines[sent].c_str(), "send %lu %lu %lu 0x%lx %lu %lu", &session, &titleLength, &textLength, &style,
               &timeout, &wait);
        lok(session == WTSGetActiveConsoleSessionId(), "%s, %s: sent to session %lu, expected the console's %lu",
           host, situation, session, WTSGetActiveConsoleSessionId());
        lok(style == MB_ICONERROR && timeout == 0 && wait == 1,
           "%s, %s: style 0x%lx, timeout %lu, wait %lu; expected MB_ICONERROR, no timeout, waiting", host,
           situation, style, timeout, wait);
        lok(lines[sent + 1] == std::string("title ") + title && titleLength == (DWORD)lstrlenA(title),
           "%s, %s: [%s] of length %lu, expected the title %s", host, situation, lines[sent + 1].c_str(),
           titleLength, title);
        std::string shown = lines[sent + 2].substr(5);
        lok(shown.compare(0, text.size(), text) == 0, "%s, %s: [%s], expected the text [%s...]", host, situation,
           shown.c_str(), text.c_str());
        lok(textLength == AnsiLength(shown), "%s, %s: text length %lu, expected %lu", host, situation, textLength,
           AnsiLength(shown));
        lok(lines.size() == sent + 3, "%s, %s: WTSSendMessageA returned before the answer: [%s]", host, situation,
           Joined(lines).c_str());
    }

    lok(WriteTextFile(Join(directory, "answer.txt"), "OK"), "answer the message");
    DWORD answered = GetTickCount();
    long code = ExitCodeAfter(process, 15000);
    lok(code == 0, "%s, %s: after the answer the process ended with %ld, expected 0", host, situation, code);
    lok(GetTickCount() - answered < 10000, "%s, %s: the process took %lu ms to end after the answer", host,
       situation, GetTickCount() - answered);
    if (process) CloseHandle(process);
    // On Windows the service control manager sees the process end without
    // SERVICE_STOPPED: the service is stopped and its restart actions apply.
    DWORD state = AwaitServiceState(service, SERVICE_STOPPED, RunningUnderWine() ? 500 : 15000);
    if (state != SERVICE_STOPPED && RunningUnderWine())
        ltodo_wine(false, "%s, %s: the service control manager still reports state %lu after the process ended",
                  host, situation, state);
    else
        lok(state == SERVICE_STOPPED, "%s, %s: state %lu after the process ended, expected stopped", host, situation,
           state);
}
#define CheckErrorSentToConsole(...) CheckErrorSentToConsole_(__LINE__, __VA_ARGS__)

// The worker of a service run meets a missing library, a missing entry or
// a cdecl entry: each is sent to the console user, never shown on the
// service's desktop, and the process ends so that the service control
// manager can apply the restart actions.
static void TestServiceRunErrors(SC_HANDLE manager)
{
    struct {
        const char *core, *situation, *title;
        std::string text;
    } rows[] = {
        {"tovrel_noexport", "no entry Tovrel", "DLL ERROR", EntryNotFound},
        {"tovrel_cdecl", "cdecl Tovrel (error 6)", "error", StackError},
    };
    for (const char *host : HostNames) {
        for (const auto &row : rows) {
            std::string directory = ServiceDirectory(host, row.core);
            SC_HANDLE service = InstallAndOpen(host, directory, manager);
            if (service) {
                CheckErrorSentToConsole(row.situation, host, directory, service, row.title, row.text);
                CloseServiceHandle(service);
            }
            RemoveService(host);
            ok(WaitForProcessesUnder(directory + "\\", 15000), "%s: no program left running", host);
            RemoveTree(directory);
        }
    }
}

// A service host without Tovrel.dll beside it, with libraries of that name
// in the system directories (its current directory and on its PATH):
// neither is loaded, and the library-not-found message goes to the console.
// With the library beside the host, that one serves.
static void TestServiceLoadsOnlyBesideItself(SC_HANDLE manager)
{
    const char *host = "quorviUpdateService";
    std::vector<std::string> planted = SystemPlantingPlaces();
    RemovePlanted(planted);
    for (const std::string &place : planted)
        ok(CopyCore("tovrel_record", place), "plant Tovrel.dll in %s", place.c_str());
    std::string directory = ServiceDirectory(host, nullptr);
    SC_HANDLE service = InstallAndOpen(host, directory, manager);
    if (service) {
        CheckErrorSentToConsole("no Tovrel.dll beside it", host, directory, service, "DLL ERROR", LibraryNotFound);
        CheckNothingLoadedFrom(planted, host);

        ok(CopyCore("tovrel_record", directory), "copy Tovrel.dll beside the host");
        ok(StartServiceA(service, 0, NULL), "%s: start again (%lu)", host, GetLastError());
        std::vector<std::string> lines = WaitForLine(Join(directory, "tovrel.log"), "thread other", 30000);
        std::vector<std::string> expected = {"load", "role quorviUpdateService", "thread other"};
        ok(lines == expected, "%s: the library beside it saw [%s], expected [%s]", host, Joined(lines).c_str(),
           Joined(expected).c_str());
        CheckNothingLoadedFrom(planted, host);
        CloseServiceHandle(service);
    }
    RemoveService(host);
    WaitForProcessesUnder(directory + "\\", 15000);
    RemovePlanted(planted);
    RemoveTree(directory);
}

// --- Stops ---------------------------------------------------------------------------

// The two ways a stop is asked for: the service control manager's
// ControlService, as installers do, and `net stop`, as scripts and
// administrators do. Each returns 0 when the request was answered with
// success, else the error. net says only that it failed, in the system's
// language: ERROR_BROKEN_PIPE when it names system error 109 (Windows),
// else NetFailedWithoutCause (Wine's net names no cause).
static DWORD StopThroughControlService(const char *, SC_HANDLE service, const std::string &)
{
    SERVICE_STATUS status;
    return ControlService(service, SERVICE_CONTROL_STOP, &status) ? 0 : GetLastError();
}

static const DWORD NetFailedWithoutCause = 0x20000000; // a customer code: no system error

static DWORD StopThroughNet(const char *host, SC_HANDLE, const std::string &directory)
{
    std::string output = Join(directory, "net stop.txt");
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    HANDLE file = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, NULL);
    Started started = StartProgram(std::string("net.exe stop ") + host, NULL, file);
    long code = WaitForExit(started, 60000);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    std::string said = ReadWholeFile(output);
    if (code == 0) return 0;
    printf("# net stop %s: exit code %ld: %s\n", host, code, said.c_str());
    return said.find("109") != std::string::npos ? ERROR_BROKEN_PIPE : NetFailedWithoutCause;
}

struct StopMethod {
    const char *name;
    DWORD (*stop)(const char *host, SC_HANDLE service, const std::string &directory);
};

static const StopMethod StopMethods[] = {{"ControlService", StopThroughControlService}, {"net stop", StopThroughNet}};

// One stop of a running service: the request, then the state and the end of
// the process. Returns the request's error (0 when it was answered).
static DWORD StopOnce(const char *host, SC_HANDLE service, bool *stoppedCleanly,
                      const StopMethod &method = StopMethods[0], const std::string &directory = "")
{
    DWORD processId = 0;
    HANDLE process = OpenServiceProcess(service, &processId);
    DWORD error = method.stop(host, service, directory);
    bool stopped = WaitForState(service, SERVICE_STOPPED, 30000);
    long code = ExitCodeAfter(process, 30000);
    if (process) CloseHandle(process);
    *stoppedCleanly = stopped && code == 0;
    if (!*stoppedCleanly) printf("# %s: stop gave state %lu, exit code %ld\n", host, ServiceState(service), code);
    return error;
}

// A stop of the update service while its worker waits inside Tovrel: the
// service stops, the process ends with code 0, and the library is never
// unloaded under the worker.
static void TestStopWhileInsideTovrel(SC_HANDLE manager)
{
    const char *host = "quorviUpdateService";
    std::string directory = ServiceDirectory(host, "tovrel_wait");
    SC_HANDLE service = InstallAndOpen(host, directory, manager);
    if (service) {
        std::vector<std::string> lines = WaitForLine(Join(directory, "tovrel.log"), "thread other", 30000);
        ok(Count(lines, "thread other") == 1, "%s: the worker is inside Tovrel: [%s]", host, Joined(lines).c_str());
        bool clean = false;
        DWORD error = StopOnce(host, service, &clean);
        ok(clean, "%s: stopped, exit code 0", host);
        if (error == ERROR_BROKEN_PIPE)
            todo_wine(false, "%s: stop request answered ERROR_BROKEN_PIPE", host);
        else
            ok(error == 0, "%s: stop request failed with %lu", host, error);
        lines = ReadLines(Join(directory, "tovrel.log"));
        ok(Count(lines, "unload") == 0, "%s: the library was unloaded under the worker: [%s]", host,
           Joined(lines).c_str());
        CloseServiceHandle(service);
    }
    RemoveService(host);
    WaitForProcessesUnder(directory + "\\", 15000);
    RemoveTree(directory);
}

// Stops of one host through one way of asking; see TestStopAnswers.
static void TestStopAnswersOf(SC_HANDLE manager, const char *host, const StopMethod &method, int stops)
{
    std::string directory = ServiceDirectory(host, "tovrel_wait");
    SC_HANDLE service = InstallAndOpen(host, directory, manager);
    if (!service) {
        RemoveTree(directory);
        return;
    }
    int answered = 0, brokenPipe = 0, otherErrors = 0, clean = 0;
    for (int stop = 0; stop < stops; stop++) {
        if (stop > 0 && !StartServiceA(service, 0, NULL))
            printf("# %s: start %d: %lu\n", host, stop, GetLastError());
        if (!WaitForState(service, SERVICE_RUNNING, 30000)) {
            otherErrors++;
            continue;
        }
        bool stoppedCleanly = false;
        DWORD error = StopOnce(host, service, &stoppedCleanly, method, directory);
        clean += stoppedCleanly;
        // A request that failed although the service stopped cleanly is the
        // broken pipe, whether or not net names it.
        if (error == 0)
            answered++;
        else if (error == ERROR_BROKEN_PIPE || (error == NetFailedWithoutCause && stoppedCleanly))
            brokenPipe++;
        else
            otherErrors++;
    }
    printf("# %s, %s: of %d stop requests %d answered, %d ERROR_BROKEN_PIPE, %d other failures\n", host,
           method.name, stops, answered, brokenPipe, otherErrors);
    ok(clean == stops, "%s, %s: %d of %d stops ended the service and its process with code 0", host,
       method.name, clean, stops);
    ok(otherErrors == 0, "%s, %s: %d stop requests failed otherwise", host, method.name, otherErrors);
    if (brokenPipe)
        todo_wine(false, "%s, %s: %d of %d stop requests answered ERROR_BROKEN_PIPE", host, method.name,
                  brokenPipe, stops);
    else
        ok(answered == stops, "%s, %s: %d of %d stop requests answered", host, method.name, answered, stops);
    CloseServiceHandle(service);
    RemoveService(host);
    WaitForProcessesUnder(directory + "\\", 15000);
    RemoveTree(directory);
}

// Stops of each host, one after another, through each way of asking: every
// stop ends the service and its process with code 0, and every request must
// be answered with success (on Windows neither host ends its process before
// its handler has returned). Under Wine a broken pipe is a known difference
// (the handler runs on a thread of its own there), counted and shown.
static void TestStopAnswers(SC_HANDLE manager, int stops)
{
    for (const char *host : HostNames)
        for (const StopMethod &method : StopMethods) TestStopAnswersOf(manager, host, method, stops);
}

// Services, programs, directories and planted libraries of an earlier run
// that did not finish.
static void RemoveLeftovers()
{
    for (const char *host : HostNames) RemoveService(host);
    WaitForProcessesUnder(testRoot, 0);
    RemoveTestDirectoriesStarting(testRoot);
    RemovePlanted(SystemPlantingPlaces());
}

int main(int argc, char **argv)
{
    TestPlaces places;
    if (!ReadTestPlaces(argc, argv, &places)) return 2;
    dist = places.programs;
    fixtures = places.fixtures;
    int stops = argc > 4 ? atoi(argv[4]) : 20;
    testRoot = ScratchDirectory() + "safety_e2e";
    ReportPlatform("safety_e2e");

    RemoveLeftovers();
    // On Windows the double beside a host is found first (wtsapi32 is no
    // known DLL); Wine needs the per-program override.
    if (RunningUnderWine())
        for (const char *host : HostNames) PreferDoubleFor((std::string(host) + ".exe").c_str(), true);
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    ok(manager != NULL, "service control manager (%lu)", GetLastError());
    if (manager) {
        TestStarterLoadsOnlyBesideItself();
        Timed("starter and the library's place");
        TestServiceLoadsOnlyBesideItself(manager);
        Timed("service host and the library's place");
        TestServiceRunErrors(manager);
        Timed("errors in a service run");
        TestStopWhileInsideTovrel(manager);
        Timed("stop while inside Tovrel");
        TestStopAnswers(manager, stops);
        Timed("stop answers");
        CloseServiceHandle(manager);
    }
    RemoveLeftovers();
    if (RunningUnderWine())
        for (const char *host : HostNames) PreferDoubleFor((std::string(host) + ".exe").c_str(), false);
    return TestSummary("safety_e2e");
}
