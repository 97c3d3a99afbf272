// The benchmark of the deliverables: each figure is measured side by side,
// in one run, against a baseline built with it (bench/), and reported as a
// ratio of the medians together with the medians and 95th percentiles of
// the raw values. Plain Win32; runs under Wine and on Windows alike.
//
//   bench --dist <dir> --tools <dir> --report <file> [--work <dir>]
//         [--runs N] [--memory-runs N] [--quench-runs N] [--service-runs N]
//         [--figures 12345]
//
// --dist holds the seven deliverables, --tools the benchmark's own programs
// (bench_minimal_cc.exe, bench_minimal_admin.exe, bench_service.exe,
// bench_waiter.exe, bench_core_fast.dll, bench_core_wait.dll) and the size
// budgets (size-budgets.txt). The report is Markdown, one section per
// figure. Exit code 0 when every budget holds, 1 when one is missed or a
// measurement failed, 2 on a usage or set-up error. It installs and deletes
// services: run it as an administrator on Windows.
//
// Each figure has its own file (startup.cpp, memory.cpp, quench.cpp with
// quench_breakdown.cpp, services.cpp, sizes.cpp) and hands back its part of
// the report; report.cpp puts the parts together.
#include "bench.h"
#include "files.h"
#include "report.h"
#include "run.h"

#include <stdio.h>
#include <stdlib.h>

static bool ParseOptions(int argc, char **argv, Bench &bench)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i], value = argv[i + 1];
        if (name == "--dist")
            bench.dist = value;
        else if (name == "--tools")
            bench.tools = value;
        else if (name == "--work")
            bench.work = value;
        else if (name == "--report")
            bench.report = value;
        else if (name == "--runs")
            bench.runs = atoi(value.c_str());
        else if (name == "--memory-runs")
            bench.memoryRuns = atoi(value.c_str());
        else if (name == "--quench-runs")
            bench.quenchRuns = atoi(value.c_str());
        else if (name == "--service-runs")
            bench.serviceRuns = atoi(value.c_str());
        else if (name == "--figures")
            bench.figures = value;
        else
            return false;
    }
    return argc % 2 == 1 && !bench.dist.empty() && !bench.tools.empty() && !bench.report.empty() && bench.runs > 0 &&
           bench.memoryRuns > 0 && bench.quenchRuns > 0 && bench.serviceRuns > 0;
}

// Every program started gets NUL as its standard handles: taskkill's line
// per process must not cost it a console, nor clutter the log.
static HANDLE OpenInheritableNul()
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    return CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                       OPEN_EXISTING, 0, NULL);
}

int main(int argc, char **argv)
{
    Bench bench;
    if (!ParseOptions(argc, argv, bench)) {
        printf("usage: bench --dist <dir> --tools <dir> --report <file> [--work <dir>] [--runs N]\n"
               "             [--memory-runs N] [--quench-runs N] [--service-runs N] [--figures 12345]\n");
        return 2;
    }
    bool ownWork = bench.work.empty();
    if (ownWork) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        bench.work = Join(temp, Format("quorvi-bench-%lu", GetCurrentProcessId()));
    }
    if (!MakeDirectoryOrSay(bench.work)) return 2;
    bench.nul = OpenInheritableNul();
    if (bench.nul == INVALID_HANDLE_VALUE) {
        Say("cannot open NUL (error %lu)\n", GetLastError());
        return 2;
    }
    // Keep the system's error boxes away from a run that should fail quietly.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    double started = Now();
    Figure (*const measure[6])(const Bench &) = {nullptr,      StartupFigure,  MemoryFigure,
                                                 QuenchFigure, ServicesFigure, SizeFigure};
    Figure figures[6];
    for (char f : {'5', '1', '2', '3', '4'}) // size first: cheap, and independent of the rest
        if (bench.figures.find(f) != std::string::npos) figures[f - '0'] = measure[f - '0'](bench);
    double seconds = (Now() - started) / 1000;
    CloseHandle(bench.nul);
    if (ownWork) RemoveTree(bench.work);

    if (!WriteTextFile(bench.report, ReportText(figures, seconds))) {
        Say("cannot write %s (error %lu)\n", bench.report.c_str(), GetLastError());
        return 2;
    }
    bool failed = false;
    for (const Figure &figure : figures) failed = failed || figure.budgetMissed || figure.measurementFailed;
    Say("%s\n", failed ? "budget missed or measurement failed" : "every budget holds");
    return failed ? 1 : 0;
}
