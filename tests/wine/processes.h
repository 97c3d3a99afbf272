// Starting, awaiting and ending programs from inside Wine, for the programs
// that drive the deliverables from outside: the Wine tests and the benchmark.
#pragma once
#include <windows.h>

#include <tlhelp32.h>

#include <string>
#include <vector>

struct Started {
    HANDLE process = NULL;
    DWORD id = 0;
};

// Starts a command line from inside Wine, so that its bytes arrive as given.
// With standardHandles (an inheritable handle, NUL for instance) the program
// gets it as its standard input, output and error.
static inline Started StartProgram(const std::string &commandLine, const char *directory = NULL,
                                   HANDLE standardHandles = NULL)
{
    Started started;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (standardHandles) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = si.hStdOutput = si.hStdError = standardHandles;
    }
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    if (CreateProcessA(NULL, line.data(), NULL, NULL, standardHandles != NULL, 0, NULL, directory, &si, &pi)) {
        CloseHandle(pi.hThread);
        started.process = pi.hProcess;
        started.id = pi.dwProcessId;
    }
    return started;
}

// Ends a process that was given up on, and gives it a little time to go.
static inline void EndProcess(HANDLE process)
{
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 10000);
}

// Waits for the process; kills it when it outlives the timeout. Returns its
// exit code, or -1 when it had to be killed or never started.
static inline long WaitForExit(Started &started, DWORD timeoutMs)
{
    if (!started.process) return -1;
    long code = -1;
    if (WaitForSingleObject(started.process, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exitCode;
        if (GetExitCodeProcess(started.process, &exitCode)) code = (long)exitCode;
    } else {
        EndProcess(started.process);
    }
    CloseHandle(started.process);
    started.process = NULL;
    return code;
}

// Waits for a process whose handle the caller keeps; returns its exit code,
// or -1 when it runs on (or there is no handle).
static inline long ExitCodeAfter(HANDLE process, DWORD timeoutMs)
{
    if (!process || WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 99;
    GetExitCodeProcess(process, &code);
    return (long)code;
}

static inline long RunProgramAndWait(const std::string &commandLine, DWORD timeoutMs, const char *directory = NULL)
{
    Started started = StartProgram(commandLine, directory);
    return WaitForExit(started, timeoutMs);
}

static inline bool StartsWith(const std::string &text, const std::string &prefix)
{
    return text.size() >= prefix.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(), (int)prefix.size(), prefix.c_str(),
                          (int)prefix.size()) == CSTR_EQUAL;
}

// Processes whose program lies under prefix: ours, started from a test directory.
static inline std::vector<DWORD> ProcessesUnder(const std::string &prefix)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process) continue;
        char image[MAX_PATH * 2];
        DWORD size = sizeof image;
        if (QueryFullProcessImageNameA(process, 0, image, &size) && StartsWith(image, prefix))
            ids.push_back(entry.th32ProcessID);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return ids;
}

// Waits until no program under prefix runs; ends the ones that outlive the
// time. Returns whether they all ended by themselves.
static inline bool WaitForProcessesUnder(const std::string &prefix, DWORD timeoutMs)
{
    for (DWORD waited = 0;; waited += 100) {
        std::vector<DWORD> ids = ProcessesUnder(prefix);
        if (ids.empty()) return true;
        if (waited >= timeoutMs) {
            for (DWORD id : ids) {
                HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
                if (!process) continue;
                EndProcess(process);
                CloseHandle(process);
            }
            return false;
        }
        Sleep(100);
    }
}
