// End-to-end test of quench: copies of a waiting program run under the
// image names quench is to end or to spare, quench runs with various
// command lines, and the test checks which copies ended and how.
//
//   quench_e2e <path of quench.exe> [<path of quench_waiter.exe>]
//
// Paths may be Linux paths (taken as Wine's Z: drive). Prints one line per
// check, "ok <name>" or "not ok <name>: ...", and exits non-zero when any
// check failed. Everything it started is ended before it exits.
#include <windows.h>

#include <tlhelp32.h>

#include <stdarg.h>
#include <stdio.h>
#include <string>
#include <vector>

static int failures;

static void Check(bool passed, const std::string &name, const char *format = "", ...)
{
    if (passed) {
        printf("ok %s\n", name.c_str());
    } else {
        char detail[1024];
        va_list args;
        va_start(args, format);
        vsnprintf(detail, sizeof detail, format, args);
        va_end(args);
        printf("not ok %s: %s\n", name.c_str(), detail);
        failures++;
    }
    fflush(stdout);
}

static std::string WinePath(const char *path)
{
    std::string p = path;
    if (p.size() > 1 && p[1] == ':') return p;
    for (char &c : p)
        if (c == '/') c = '\\';
    return "Z:" + p;
}

static std::string OwnDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string p(path, length);
    size_t slash = p.find_last_of('\\');
    return slash == std::string::npos ? "." : p.substr(0, slash);
}

static void RemoveTree(const std::string &path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

struct Process {
    std::string label; // directory letter and image name
    std::string name;  // image name as copied
    HANDLE handle = NULL;
    DWORD id = 0;
};

static std::vector<Process> started;

static HANDLE Start(const std::string &commandLine, DWORD *id)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) return NULL;
    CloseHandle(pi.hThread);
    if (id) *id = pi.dwProcessId;
    return pi.hProcess;
}

// Copies the waiter into its own sub-directory of base (names that differ
// only in letter case may share one file on Wine's file system) and starts it.
static Process *StartCopy(const std::string &waiter, const std::string &base, const std::string &subdirectory,
                          const std::string &name)
{
    std::string directory = base + "\\" + subdirectory;
    CreateDirectoryA(directory.c_str(), NULL);
    std::string path = directory + "\\" + name;
    Process p;
    p.label = subdirectory + "\\" + name;
    p.name = name;
    if (!CopyFileA(waiter.c_str(), path.c_str(), FALSE)) {
        Check(false, "copy " + p.label, "CopyFileA failed with %lu", GetLastError());
        return nullptr;
    }
    p.handle = Start("\"" + path + "\"", &p.id);
    if (!p.handle) {
        Check(false, "start " + p.label, "CreateProcessA failed with %lu", GetLastError());
        return nullptr;
    }
    started.push_back(p);
    return &started.back();
}

// The image name under which the system lists a process, or "" when absent.
static std::string ListedName(DWORD id)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return "";
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    std::string name;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == id) name = entry.szExeFile;
    CloseHandle(snapshot);
    return name;
}

// Waits until every started copy appears in a snapshot under its name, so
// that quench cannot miss one that is still being created.
static void WaitUntilListed()
{
    for (const Process &p : started) {
        if (WaitForSingleObject(p.handle, 0) != WAIT_TIMEOUT) continue;
        std::string name;
        for (int tries = 0; tries < 100; tries++) {
            name = ListedName(p.id);
            if (name == p.name) break;
            Sleep(100);
        }
        Check(name == p.name, "listed " + p.label, "the snapshot names process %lu \"%s\"", p.id, name.c_str());
    }
}

// Runs quench with the text after its quoted path; its exit code, or -1
// when it did not end within 30 seconds (it is then killed).
static long RunQuench(const std::string &quench, const std::string &arguments)
{
    std::string commandLine = "\"" + quench + "\"" + arguments;
    HANDLE process = Start(commandLine, NULL);
    if (!process) return -2;
    long code = -1;
    if (WaitForSingleObject(process, 30000) == WAIT_OBJECT_0) {
        DWORD exitCode;
        if (GetExitCodeProcess(process, &exitCode)) code = (long)exitCode;
    } else {
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
    return code;
}

// The exit code of a copy that ended within the timeout; -1 when it runs on.
static long ExitCodeAfter(const Process &p, DWORD timeoutMs)
{
    if (WaitForSingleObject(p.handle, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code;
    return GetExitCodeProcess(p.handle, &code) ? (long)code : -2;
}

static bool Running(const Process &p) { return WaitForSingleObject(p.handle, 0) == WAIT_TIMEOUT; }

// One run of quench, and which of the still running copies it must end.
static void Scenario(const std::string &quench, const std::string &title, const std::string &arguments,
                     const std::vector<std::string> &toEnd)
{
    std::vector<const Process *> before;
    for (const Process &p : started)
        if (Running(p)) before.push_back(&p);
    WaitUntilListed();

    long code = RunQuench(quench, arguments);
    Check(code == 0, title + ": quench exit code", "expected 0, got %ld (arguments [%s])", code, arguments.c_str());
    for (const Process *p : before) {
        bool mustEnd = false;
        for (const std::string &label : toEnd)
            if (label == p->label) mustEnd = true;
        if (mustEnd) {
            long ended = ExitCodeAfter(*p, 10000);
            Check(ended == 0, title + ": ends " + p->label, "expected exit code 0, got %ld (-1: still running)", ended);
        } else {
            // Give a wrong termination the time to show.
            long ended = ExitCodeAfter(*p, 500);
            Check(ended == -1, title + ": spares " + p->label, "it ended with exit code %ld", ended);
        }
    }
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        printf("usage: quench_e2e <quench.exe> [<quench_waiter.exe>]\n");
        return 2;
    }
    std::string quench = WinePath(argv[1]);
    std::string waiter = argc > 2 ? WinePath(argv[2]) : OwnDirectory() + "\\quench_waiter.exe";
    Check(GetFileAttributesA(quench.c_str()) != INVALID_FILE_ATTRIBUTES, "quench.exe present", "%s", quench.c_str());
    Check(GetFileAttributesA(waiter.c_str()) != INVALID_FILE_ATTRIBUTES, "waiter present", "%s", waiter.c_str());
    if (failures) return 1;

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string base = std::string(temp) + "quench e2e " + std::to_string(GetCurrentProcessId());
    RemoveTree(base);
    if (!CreateDirectoryA(base.c_str(), NULL)) {
        Check(false, "temporary directory", "cannot create %s (%lu)", base.c_str(), GetLastError());
        return 1;
    }

    started.reserve(16); // StartCopy hands out pointers into the list
    StartCopy(waiter, base, "a", "quorvi.exe");
    StartCopy(waiter, base, "b", "QUORVI.EXE");
    StartCopy(waiter, base, "c", "Quorvi.exe");
    StartCopy(waiter, base, "d", "quorviClient.exe");
    StartCopy(waiter, base, "d", "quorviRestart.exe");
    StartCopy(waiter, base, "d", "quorviServiceControl.exe");
    StartCopy(waiter, base, "e", "QuorviClient.exe");
    StartCopy(waiter, base, "e", "quorvi.exe.exe");

    if (!failures) {
        Scenario(quench, "no argument", "", {"a\\quorvi.exe", "b\\QUORVI.EXE", "c\\Quorvi.exe"});
        Scenario(quench, "empty argument", " \"\"", {});
        Scenario(quench, "blank argument", " \"    \"", {});
        Scenario(quench, "empty argument before a name", " \"\" quorviRestart.exe", {});
        Scenario(quench, "quoted upper-case name with spaces", " \"  QUORVICLIENT.EXE  \"",
                 {"d\\quorviClient.exe", "e\\QuorviClient.exe"});
        Scenario(quench, "second argument ignored", " quorviServiceControl.exe quorviRestart.exe",
                 {"d\\quorviServiceControl.exe"});
        // Full-width spaces are the bytes A1 A1, which survive the command
        // line's trip through Unicode only in a code page that has them.
        UINT codePage = GetACP();
        if (codePage == 936 || codePage == 1252 || codePage == 437)
            Scenario(quench, "full-width spaces trimmed", " \xA1\xA1quorviRestart.exe\xA1\xA1",
                     {"d\\quorviRestart.exe"});
        else
            printf("skip full-width spaces: ANSI code page %u\n", codePage);
        Scenario(quench, "whole names only", " quorvi.ex", {});

        // Named itself, quench ends itself among the matches, with exit code 0.
        long code = RunQuench(quench, " quench.exe");
        Check(code == 0, "own name: ends with exit code 0", "got %ld (-1: did not end)", code);
        code = RunQuench(quench, " \"QUENCH.EXE\"");
        Check(code == 0, "own name in capitals: ends with exit code 0", "got %ld (-1: did not end)", code);
    }

    for (Process &p : started) {
        if (Running(p)) {
            TerminateProcess(p.handle, 99);
            WaitForSingleObject(p.handle, 5000);
        }
        CloseHandle(p.handle);
    }
    RemoveTree(base);
    printf("%s\n", failures ? "FAIL" : "PASS");
    return failures ? 1 : 0;
}
