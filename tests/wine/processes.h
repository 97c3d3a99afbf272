// Starting, awaiting and ending programs from inside Wine, for the programs
// that drive the deliverables from outside: the Wine tests and the benchmark.
#pragma once
#include <windows.h>

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

static inline long RunProgramAndWait(const std::string &commandLine, DWORD timeoutMs, const char *directory = NULL)
{
    Started started = StartProgram(commandLine, directory);
    return WaitForExit(started, timeoutMs);
}
