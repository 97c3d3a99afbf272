// End-to-end test of quench: copies of a waiting program run under the
// image names quench is to end or to spare, quench runs with various
// command lines, and the test checks which copies ended and how.
//
//   quench_e2e <programs dir> <fixtures dir> <scratch dir>
//
// The fixtures dir holds quench_waiter.exe. Reports each failed
// check with its line, then a summary, and exits non-zero when any check
// failed. Everything it started is ended before it exits.
#include "harness.h"

#include "files.h"
#include "processes.h"

#include <tlhelp32.h>

struct Process {
    std::string label; // directory letter and image name
    std::string name;  // image name as copied
    Started run;
};

static std::vector<Process> started;

// Copies the waiter into its own sub-directory of base (names that differ
// only in letter case may share one file on Wine's file system) and starts it.
static Process *StartCopy(const std::string &waiter, const std::string &base, const std::string &subdirectory,
                          const std::string &name)
{
    std::string directory = base + "\\" + subdirectory;
    CreateDirectoryA(directory.c_str(), NULL);
    Process p;
    p.label = subdirectory + "\\" + name;
    p.name = name;
    if (!CopyInto(waiter, directory, name)) {
        ok(false, "copy %s: expected CopyFileA to succeed, got error %lu", p.label.c_str(), GetLastError());
        return nullptr;
    }
    p.run = StartProgram(Quoted(directory + "\\" + name));
    if (!p.run.process) {
        ok(false, "start %s: expected CreateProcessA to succeed, got error %lu", p.label.c_str(), GetLastError());
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
        if (WaitForSingleObject(p.run.process, 0) != WAIT_TIMEOUT) continue;
        std::string name;
        for (int tries = 0; tries < 100; tries++) {
            name = ListedName(p.run.id);
            if (name == p.name) break;
            Sleep(100);
        }
        ok(name == p.name, "listed %s: expected the snapshot to name process %lu \"%s\", got \"%s\"", p.label.c_str(),
           p.run.id, p.name.c_str(), name.c_str());
    }
}

// Runs quench with the text after its quoted path; its exit code, -1 when
// it did not end within 30 seconds (it is then killed), -2 when it did not
// start.
static long RunQuench(const std::string &quench, const std::string &arguments)
{
    Started run = StartProgram(Quoted(quench) + arguments);
    if (!run.process) return -2;
    return WaitForExit(run, 30000);
}

// The exit code of a copy that ended within the timeout; -1 when it runs on.
static long ExitCodeAfter(const Process &p, DWORD timeoutMs)
{
    if (WaitForSingleObject(p.run.process, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code;
    return GetExitCodeProcess(p.run.process, &code) ? (long)code : -2;
}

static bool Running(const Process &p) { return WaitForSingleObject(p.run.process, 0) == WAIT_TIMEOUT; }

// One run of quench, and which of the still running copies it must end.
static void Scenario(const std::string &quench, const std::string &title, const std::string &arguments,
                     const std::vector<std::string> &toEnd)
{
    std::vector<const Process *> before;
    for (const Process &p : started)
        if (Running(p)) before.push_back(&p);
    WaitUntilListed();

    long code = RunQuench(quench, arguments);
    ok(code == 0, "%s: quench exit code: expected 0, got %ld (-1: did not end, -2: did not start; arguments [%s])",
       title.c_str(), code, arguments.c_str());
    for (const Process *p : before) {
        bool mustEnd = false;
        for (const std::string &label : toEnd)
            if (label == p->label) mustEnd = true;
        if (mustEnd) {
            long ended = ExitCodeAfter(*p, 10000);
            ok(ended == 0, "%s: ends %s: expected exit code 0, got %ld (-1: still running)", title.c_str(),
               p->label.c_str(), ended);
        } else {
            // Give a wrong termination the time to show.
            long ended = ExitCodeAfter(*p, 500);
            ok(ended == -1, "%s: spares %s: expected it to run on, got its end with exit code %ld", title.c_str(),
               p->label.c_str(), ended);
        }
    }
}

// Where the system lists each id in one snapshot; -1 for an id not listed.
static std::vector<int> SnapshotPositions(const std::vector<DWORD> &ids)
{
    std::vector<int> positions(ids.size(), -1);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return positions;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    int position = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry), position++)
        for (size_t i = 0; i < ids.size(); i++)
            if (entry.th32ProcessID == ids[i]) positions[i] = position;
    CloseHandle(snapshot);
    return positions;
}

// Named itself, quench ends the matches in snapshot order up to and
// including itself: its own termination (exit code 0) ends the run, so a
// match listed after it runs on. A copy named quench.exe is started before
// quench and one after it, while quench is held suspended, so that the
// system lists one on each side of it.
static void OwnNameScenario(const std::string &quench, const std::string &waiter, const std::string &base,
                            const char *subdirectory, const char *title, const std::string &arguments)
{
    Process *before = StartCopy(waiter, base, subdirectory, "quench.exe");
    if (!before) return;

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string line = Quoted(quench) + arguments;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    if (!CreateProcessA(NULL, buffer.data(), NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL, &si, &pi)) {
        ok(false, "%s: expected quench to start suspended, got error %lu", title, GetLastError());
        return;
    }
    Process *after = StartCopy(waiter, base, std::string(subdirectory) + "2", "quench.exe");
    if (!after) {
        TerminateProcess(pi.hProcess, 99);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return;
    }
    WaitUntilListed();

    std::vector<int> at = SnapshotPositions({before->run.id, pi.dwProcessId, after->run.id});
    ok(at[0] >= 0 && at[0] < at[1] && at[1] < at[2],
       "%s: expected the system to list the copies in start order around quench, got positions %d, %d, %d",
       title, at[0], at[1], at[2]);

    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    Started run;
    run.process = pi.hProcess;
    run.id = pi.dwProcessId;
    long code = WaitForExit(run, 30000);
    ok(code == 0, "%s: quench exit code: expected 0, got %ld (-1: did not end)", title, code);

    long ended = ExitCodeAfter(*before, 10000);
    ok(ended == 0, "%s: ends the copy listed before itself: expected exit code 0, got %ld (-1: still running)", title,
       ended);
    ended = ExitCodeAfter(*after, 1000);
    ok(ended == -1,
       "%s: its own end ends the run: expected the copy listed after it to run on, got its end with exit code %ld",
       title, ended);
    // Neither copy may meet the next scenario.
    (void)WaitForExit(before->run, 0);
    (void)WaitForExit(after->run, 0);
}

int main(int argc, char **argv)
{
    TestPlaces places;
    if (!ReadTestPlaces(argc, argv, &places)) return 2;
    ReportPlatform("quench_e2e");
    std::string quench = Join(places.programs, "quench.exe");
    std::string waiter = Join(places.fixtures, "quench_waiter.exe");
    ok(PathExists(quench), "quench.exe present: expected %s, got no such file", quench.c_str());
    ok(PathExists(waiter), "waiter present: expected %s, got no such file", waiter.c_str());
    if (testsFailed) return TestSummary("quench_e2e");

    std::string base = NewTestDirectory("quench e2e");
    ok(!base.empty(), "temporary directory: expected a new directory, got error %lu", GetLastError());
    if (base.empty()) return TestSummary("quench_e2e");

    started.reserve(16); // StartCopy hands out pointers into the list
    StartCopy(waiter, base, "a", "quorvi.exe");
    StartCopy(waiter, base, "b", "QUORVI.EXE");
    StartCopy(waiter, base, "c", "Quorvi.exe");
    StartCopy(waiter, base, "d", "quorviClient.exe");
    StartCopy(waiter, base, "d", "quorviRestart.exe");
    StartCopy(waiter, base, "d", "quorviServiceControl.exe");
    StartCopy(waiter, base, "e", "QuorviClient.exe");
    StartCopy(waiter, base, "e", "quorvi.exe.exe");

    if (!testsFailed) {
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

        OwnNameScenario(quench, waiter, base, "f", "own name", " quench.exe");
        OwnNameScenario(quench, waiter, base, "g", "own name in capitals", " \"QUENCH.EXE\"");
    }

    // Whatever runs on is killed; every handle is closed.
    for (Process &p : started) (void)WaitForExit(p.run, 0);
    RemoveTree(base);
    return TestSummary("quench_e2e");
}
