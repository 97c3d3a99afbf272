// The test kit's runner: checks a build of the seven programs on the machine
// it runs on, Windows or Wine, with the kit's own programs and nothing else.
//
//   testkit [programs dir]           every test program, one after another
//   testkit --bench [programs dir] [bench options]
//                                    the benchmark, its report in the
//                                    scratch directory
//
// The programs dir defaults to the folder above the kit. The runner makes a
// scratch directory under %TEMP% (a space and a Chinese name in its path,
// when the ANSI code page can write it: the programs and the tests use the
// A functions), gives each test program the programs dir, the kit's
// fixtures and a directory of its own in it, writes everything the tests
// print to a log beside the scratch directory, and after each test removes
// the services and ends the programs the test may have left behind, also
// when it failed, crashed or hung. Its last line is "N passed, N failed"
// (checks); exit code 0 only when nothing failed.
#include "files.h"
#include "platform.h"
#include "processes.h"
#include "service_control.h"
#include "services/service_hosts.h"

#include <stdio.h>
#include <string>
#include <vector>

// The test programs in tests\ of the kit; each names itself on its summary
// line. The services tests come last: they install and remove the real
// services.
static const char *const Tests[] = {"starters_e2e", "resources_e2e", "frame_e2e",  "hostops_probe",
                                    "quench_e2e",   "services_e2e",  "safety_e2e"};

static const char *const Programs[] = {"quorvi.exe",           "quorviClient.exe",        "quorviServiceControl.exe",
                                       "quorviRestart.exe",    "quorviUpdateService.exe", "quorviService.exe",
                                       "quench.exe"};
static const char *const Services[] = {"quorviUpdateService", "quorviService", "quorviBenchService"};

// A test program that has not ended after this long is ended and failed
// (generous: under qemu-i386 every Wine process starts ten times slower).
static const DWORD TestTimeoutMs = 30 * 60 * 1000;

static HANDLE logFile = INVALID_HANDLE_VALUE;

// Text for the console: through WriteConsoleW when it is one (any code
// page), else as UTF-8; and the same into the log.
static void SayW(const std::wstring &text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD done = 0, mode = 0;
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string utf8(size, 0);
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &utf8[0], size, NULL, NULL);
    if (GetConsoleMode(out, &mode))
        WriteConsoleW(out, text.c_str(), (DWORD)text.size(), &done, NULL);
    else
        WriteFile(out, utf8.data(), (DWORD)utf8.size(), &done, NULL);
    if (logFile != INVALID_HANDLE_VALUE) WriteFile(logFile, utf8.data(), (DWORD)utf8.size(), &done, NULL);
}

static void Say(const char *format, ...)
{
    char text[4096];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    SayW(Wide(text));
}

// The ANSI form of a path, or "" when the code page cannot write it.
static std::string Ansi(const std::wstring &path)
{
    BOOL lossy = FALSE;
    int size = WideCharToMultiByte(CP_ACP, 0, path.c_str(), (int)path.size(), NULL, 0, NULL, &lossy);
    std::string text(size, 0);
    if (size) WideCharToMultiByte(CP_ACP, 0, path.c_str(), (int)path.size(), &text[0], size, NULL, &lossy);
    return lossy ? "" : text;
}

static std::wstring FullPath(const std::wstring &path)
{
    wchar_t full[32768];
    DWORD length = GetFullPathNameW(path.c_str(), 32768, full, NULL);
    std::wstring result = length && length < 32768 ? std::wstring(full, length) : path;
    // "C:\dir\" quoted on a command line would end in an escaped quote.
    while (result.size() > 3 && result.back() == L'\\') result.pop_back();
    return result;
}

static std::wstring OwnDirectoryW()
{
    wchar_t path[32768];
    DWORD length = GetModuleFileNameW(NULL, path, 32768);
    std::wstring own(path, length);
    return own.substr(0, own.find_last_of(L'\\'));
}

// The service processes run as the local system account: ending what a
// test left of them takes the debug privilege, which an elevated
// administrator holds but has not enabled.
static void EnableDebugPrivilege()
{
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(NULL, "SeDebugPrivilege", &privileges.Privileges[0].Luid))
        (void)AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL); // without it, the stop still works
    CloseHandle(token);
}

// Under Wine the tests put the wtsapi32 double in front of Wine's own
// through the registry; on Windows the double lies beside the program.
static void RemoveWineOverrides()
{
    if (!RunningUnderWine()) return;
    for (const char *host : {"quorviUpdateService.exe", "quorviService.exe"}) PreferDoubleFor(host, false);
}

// Libraries a test plants in the system directories are the kit's own
// recording library; only a file with exactly its bytes is removed.
static void RemovePlantedLibraries(const std::string &planted)
{
    std::string bytes = ReadWholeFile(planted);
    char system[MAX_PATH], windows[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    GetWindowsDirectoryA(windows, MAX_PATH);
    for (const char *place : {system, windows}) {
        std::string library = Join(place, "Tovrel.dll");
        if (!bytes.empty() && ReadWholeFile(library) == bytes) {
            DeleteFileA(library.c_str());
            DeleteFileA(Join(place, "tovrel.log").c_str());
        }
    }
}

// What the benchmark and any test may leave behind: the services and the
// programs running from the scratch directory.
static void EndServicesAndPrograms(const std::string &scratch)
{
    for (const char *service : Services) RemoveService(service);
    (void)WaitForProcessesUnder(Join(scratch, ""), 0);
}

// What any test may leave behind: the above, planted libraries, Wine's
// overrides.
static void CleanUp(const std::string &scratch, const std::string &planted)
{
    EndServicesAndPrograms(scratch);
    RemovePlantedLibraries(planted);
    RemoveWineOverrides();
}

struct Counts {
    long passed = 0, failed = 0, todo = 0, skipped = 0;
};

// Reads the program's summary line and shows the lines worth seeing: the
// failed checks, the todos, the skips, the platform.
static bool ReadSummary(const std::string &output, const char *name, Counts *counts)
{
    bool found = false;
    std::string line, prefix = std::string(name) + ": ";
    for (size_t i = 0; i <= output.size(); i++) {
        if (i < output.size() && output[i] != '\n') {
            if (output[i] != '\r') line += output[i];
            continue;
        }
        Counts read;
        if (line.compare(0, prefix.size(), prefix) == 0 &&
            sscanf(line.c_str() + prefix.size(), "%ld passed, %ld failed, %ld todo, %ld skipped", &read.passed,
                   &read.failed, &read.todo, &read.skipped) == 4) {
            *counts = read;
            found = true;
        } else if (line.find("not ok") != std::string::npos || line.find(": todo_wine: ") != std::string::npos ||
                   line.find(": skipped: ") != std::string::npos || line.find(": running on ") != std::string::npos) {
            SayW(L"  " + Wide(line) + L"\n");
        }
        line.clear();
    }
    return found;
}

static std::wstring Quote(const std::wstring &text) { return L"\"" + text + L"\""; }

// Starts a command line with the log as its standard output and error.
static Started StartLogged(const std::wstring &commandLine, const std::wstring &directory)
{
    Started started;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = si.hStdError = logFile;
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    if (CreateProcessW(NULL, line.data(), NULL, NULL, TRUE, 0, NULL, directory.c_str(), &si, &pi)) {
        CloseHandle(pi.hThread);
        started.process = pi.hProcess;
        started.id = pi.dwProcessId;
    }
    return started;
}

static long LogSize()
{
    LARGE_INTEGER size = {};
    GetFileSizeEx(logFile, &size);
    return (long)size.QuadPart;
}

// The scratch directory, made new under %TEMP% with the W functions.
static std::wstring MakeScratch(const wchar_t *purpose)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[64];
    swprintf(stamp, 64, L"%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    // 测试 ("test"): in GBK, and in every code page that can write it.
    std::wstring name = std::wstring(L"quorvi ") + purpose + L" 测试 " + stamp;
    if (Ansi(std::wstring(temp) + name).empty()) {
        name = std::wstring(L"quorvi ") + purpose + L" " + stamp;
        Say("# the ANSI code page %u cannot write a Chinese name: the scratch directory has none\n", GetACP());
    }
    std::wstring path = FullPath(std::wstring(temp) + name);
    for (int n = 2; !CreateDirectoryW(path.c_str(), NULL); n++) {
        if (GetLastError() != ERROR_ALREADY_EXISTS) return L"";
        path = FullPath(std::wstring(temp) + name) + L" " + std::to_wstring(n);
    }
    return path;
}

static bool OpenLog(const std::wstring &path)
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    logFile = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    return logFile != INVALID_HANDLE_VALUE;
}

static bool Elevated()
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (manager) CloseServiceHandle(manager);
    return manager != NULL;
}

static int RunTests(const std::wstring &kit, const std::wstring &programs, const std::wstring &scratch)
{
    std::string scratchAnsi = Ansi(scratch), planted = Ansi(kit + L"\\fixtures\\tovrel_record\\Tovrel.dll");
    Counts total;
    CleanUp(scratchAnsi, planted);
    for (const char *test : Tests) {
        std::wstring program = kit + L"\\tests\\" + Wide(test) + L".exe";
        std::wstring own = scratch + L"\\" + Wide(test);
        CreateDirectoryW(own.c_str(), NULL);
        Say("== %s\n", test);
        long before = LogSize();
        DWORD began = GetTickCount();
        Started started = StartLogged(Quote(program) + L" " + Quote(programs) + L" " + Quote(kit + L"\\fixtures") +
                                          L" " + Quote(own),
                                      own);
        long code = started.process ? WaitForExit(started, TestTimeoutMs) : -2;
        CleanUp(scratchAnsi, planted);
        std::string output = ReadWholeFile(Ansi(scratch) + ".log").substr(before);
        Counts counts;
        bool summarised = ReadSummary(output, test, &counts);
        if (!summarised) {
            counts.failed++;
            Say("  not ok: %s %s (exit code %ld) without its summary line\n", test,
                code == -2 ? "did not start" : code == -1 ? "hung and was ended" : "ended", code);
        } else if (code != (counts.failed ? 1 : 0)) {
            counts.failed++;
            Say("  not ok: %s ended with exit code %ld after its summary\n", test, code);
        }
        Say("  %s: %ld passed, %ld failed, %ld todo, %ld skipped (%lu s)\n", test, counts.passed,
            counts.failed, counts.todo, counts.skipped, (GetTickCount() - began) / 1000);
        total.passed += counts.passed;
        total.failed += counts.failed;
        total.todo += counts.todo;
        total.skipped += counts.skipped;
    }
    RemoveTree(scratchAnsi);
    Say("todo under Wine: %ld, skipped: %ld (see the log)\n", total.todo, total.skipped);
    SayW(L"log: " + scratch + L".log\n");
    Say("%ld passed, %ld failed\n", total.passed, total.failed);
    return total.failed ? 1 : 0;
}

// The benchmark as scripts/bench runs it, its report in the scratch directory.
static int RunBench(const std::wstring &kit, const std::wstring &programs, const std::wstring &scratch,
                    const std::wstring &options)
{
    std::wstring body = scratch + L"\\figures.md", report = scratch + L"\\performance.md";
    std::wstring work = scratch + L"\\work";
    CreateDirectoryW(work.c_str(), NULL);
    DWORD began = GetTickCount();
    Started started = StartLogged(Quote(kit + L"\\bench\\bench.exe") + L" --dist " + Quote(programs) + L" --tools " +
                                      Quote(kit + L"\\bench") + L" --report " + Quote(body) + L" --work " +
                                      Quote(work) + options,
                                  scratch);
    long code = started.process ? WaitForExit(started, INFINITE) : -2;
    EndServicesAndPrograms(Ansi(scratch));
    RemoveTree(Ansi(work));

    OSVERSIONINFOA version = ReportedWindowsVersion();
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    SYSTEMTIME now;
    GetSystemTime(&now);
    char header[2048];
    snprintf(header, sizeof header,
             "# Performance\n\nWritten by the test kit's `run-bench.cmd` (sources in `bench/`); every figure is "
             "measured side by side, in one\nrun, against a baseline that the benchmark builds itself, and given as "
             "a ratio together with the\nmedians and 95th percentiles (nearest rank) of the raw values.\n\n"
             "| | |\n|---|---|\n| date | %04u-%02u-%02u %02u:%02u UTC |\n| processors | %lu |\n"
             "| system | %s %lu.%lu build %lu%s |\n| run time of run-bench.cmd | %lu s |\n"
             "| bench.exe exit code | %ld (%s) |\n\n",
             now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, system.dwNumberOfProcessors,
             RunningUnderWine() ? "Wine, reporting Windows" : "Windows", version.dwMajorVersion, version.dwMinorVersion,
             version.dwBuildNumber, wow64 ? ", 32-bit programs under WoW64" : "", (GetTickCount() - began) / 1000,
             code, code == 0 ? "every budget holds" : "a budget missed or a measurement failed");
    std::string figures = ReadWholeFile(Ansi(body));
    if (figures.empty()) {
        Say("bench.exe wrote no report (exit code %ld); see the log\n", code);
        return 2;
    }
    WriteTextFile(Ansi(report), header + figures + ReadWholeFile(Ansi(kit + L"\\bench\\notes.md")));
    DeleteFileW(body.c_str());
    SayW(L"report: " + report + L"\n");
    return code == 0 ? 0 : 1;
}

int wmain(int argc, wchar_t **argv)
{
    bool bench = argc > 1 && !lstrcmpW(argv[1], L"--bench");
    int first = bench ? 2 : 1;
    std::wstring kit = OwnDirectoryW();
    std::wstring programs = FullPath(argc > first && argv[first][0] != L'-' ? argv[first] : kit + L"\\..");
    std::wstring options;
    for (int i = first + (argc > first && argv[first][0] != L'-'); i < argc; i++) options += L" " + Quote(argv[i]);

    for (const char *name : Programs) {
        if (GetFileAttributesW((programs + L"\\" + Wide(name)).c_str()) == INVALID_FILE_ATTRIBUTES) {
            SayW(L"no " + Wide(name) + L" in " + programs + L": give the folder of the seven programs\n");
            Say("0 passed, 1 failed\n");
            return 1;
        }
    }
    if (!Elevated()) {
        Say("the kit installs and removes services: run it from an elevated (administrator) prompt\n");
        Say("0 passed, 1 failed\n");
        return 1;
    }
    std::wstring scratch = MakeScratch(bench ? L"bench" : L"testkit");
    if (scratch.empty() || Ansi(scratch).empty() || !OpenLog(scratch + L".log")) {
        Say("cannot make the scratch directory and its log under %%TEMP%% (error %lu)\n", GetLastError());
        Say("0 passed, 1 failed\n");
        return 1;
    }
    EnableDebugPrivilege();
    SayW(L"programs: " + programs + L"\nscratch directory: " + scratch + L"\nlog: " + scratch + L".log\n");
    if (bench) {
        Say("The benchmark installs, starts, stops and removes the services quorviUpdateService, quorviService\n"
            "and quorviBenchService (an installed service of these names is removed), and starts and ends\n"
            "programs of the scratch directory, and every process named quorvi.exe. This takes a while.\n");
        int code = RunBench(kit, programs, scratch, options);
        SayW(L"log: " + scratch + L".log\n");
        return code;
    }
    Say("The tests install, start, stop and remove the services quorviUpdateService and quorviService\n"
        "(an installed service of these names is removed first), start and end programs of the scratch\n"
        "directory, end every process named quorvi.exe, and put a test Tovrel.dll into the system and\n"
        "Windows directories for a moment. Everything is removed at the end, also when a test fails.\n");
    return RunTests(kit, programs, scratch);
}
