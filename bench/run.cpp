#include "run.h"

#include "files.h"
#include "processes.h"

#include <stdarg.h>
#include <stdio.h>

static LONGLONG CounterFrequency()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

double Now()
{
    static const LONGLONG frequency = CounterFrequency();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart * 1000.0 / frequency;
}

void Say(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

bool MakeDirectoryOrSay(const std::string &path)
{
    if (MakeDirectory(path)) return true;
    Say("cannot create %s (error %lu)\n", path.c_str(), GetLastError());
    return false;
}

bool CopyOrSay(const std::string &from, const std::string &directory, const std::string &name)
{
    if (CopyInto(from, directory, name)) return true;
    DWORD error = GetLastError();
    Say("cannot copy %s to %s (error %lu)\n", from.c_str(), Join(directory, name).c_str(), error);
    return false;
}

HANDLE Start(const Bench &bench, const std::string &commandLine)
{
    Started started = StartProgram(commandLine, bench.work.c_str(), bench.nul);
    if (!started.process) Say("cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
    return started.process;
}

double TimedRun(const Bench &bench, const std::string &exe)
{
    double started = Now();
    HANDLE process = Start(bench, Quoted(exe));
    if (!process) return -1;
    DWORD waited = WaitForSingleObject(process, 60000);
    double ended = Now();
    DWORD code = 99;
    if (waited != WAIT_OBJECT_0)
        EndProcess(process);
    else
        GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (waited != WAIT_OBJECT_0 || code != 0) {
        Say("%s: %s\n", exe.c_str(), waited != WAIT_OBJECT_0 ? "did not end within a minute" : "exit code not 0");
        return -1;
    }
    return ended - started;
}

bool Record(std::vector<double> &values, double value, int &failures)
{
    if (value < 0) {
        failures++;
        return false;
    }
    values.push_back(value);
    return true;
}
