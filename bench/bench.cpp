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
// bench_waiter.exe, bench_core_fast.dll, bench_core_wait.dll). The report is
// Markdown, one section per figure. Exit code 0 when every budget holds, 1
// when one is missed or a measurement failed, 2 on a usage or set-up error.
// It installs and deletes services: run it as an administrator on Windows.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

struct Options {
    std::string dist, tools, work, report;
    int runs = 200;
    int memoryRuns = 20;
    int quenchRuns = 10;
    int serviceRuns = 20;
    std::string figures = "12345";
};

static Options options;
// The Markdown of each figure and its rows of the budget table, kept apart
// so that the report lists the figures in order whatever order they ran in.
static int figure;
static std::string sections[6], summaries[6];
static bool budgetMissed, measurementFailed;

static const double StartBudget = 1.10, MemoryBudget = 1.10, QuenchBudget = 0.50;
static const DWORD StarterSizeBudget = 16 * 1024, HostSizeBudget = 24 * 1024;

// --- text and numbers -------------------------------------------------------

static std::string Format(const char *format, ...)
{
    char buffer[4096];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

static void Say(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

static void Add(const std::string &text) { sections[figure] += text; }

static double Median(std::vector<double> values)
{
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Nearest rank: the smallest value with at least 95% of the values at or below it.
static double Percentile95(std::vector<double> values)
{
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    size_t rank = (size_t)std::ceil(0.95 * values.size());
    return values[rank ? rank - 1 : 0];
}

static std::string Number(double value, const char *format = "%.1f")
{
    return std::isnan(value) ? "n/a" : Format(format, value);
}

static std::string Ratio(double value, double base)
{
    return std::isnan(value) || std::isnan(base) || base <= 0 ? "n/a" : Format("%.3f", value / base);
}

static double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart * 1000.0 / frequency.QuadPart;
}

// --- files and processes ----------------------------------------------------

static std::string Join(const std::string &directory, const std::string &name)
{
    if (!directory.empty() && (directory.back() == '\\' || directory.back() == '/')) return directory + name;
    return directory + "\\" + name;
}

static bool Copy(const std::string &from, const std::string &to)
{
    if (CopyFileA(from.c_str(), to.c_str(), FALSE)) return true;
    Say("cannot copy %s to %s (error %lu)\n", from.c_str(), to.c_str(), GetLastError());
    return false;
}

static bool MakeDirectory(const std::string &path)
{
    if (CreateDirectoryA(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
    Say("cannot create %s (error %lu)\n", path.c_str(), GetLastError());
    return false;
}

static void RemoveTree(const std::string &path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(Join(path, "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = Join(path, name);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

// Every program started gets NUL as its standard handles: taskkill's line
// per process must not cost it a console, nor clutter the log.
static HANDLE Nul()
{
    static HANDLE nul;
    if (!nul) {
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
        nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                          OPEN_EXISTING, 0, NULL);
    }
    return nul;
}

static HANDLE Start(const std::string &commandLine, DWORD *processId = NULL)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = Nul();
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, TRUE, 0, NULL, options.work.c_str(), &si, &pi)) {
        Say("cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
        return NULL;
    }
    CloseHandle(pi.hThread);
    if (processId) *processId = pi.dwProcessId;
    return pi.hProcess;
}

// Ends a process the benchmark gave up on.
static void Kill(HANDLE process)
{
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 10000);
}

static std::string Quoted(const std::string &path) { return "\"" + path + "\""; }

// --- 1. start-up -------------------------------------------------------------

struct Starter {
    const char *name;
    const char *baseline; // the minimal starter with the same manifest
};

static const Starter Starters[] = {
    {"quorvi", "bench_minimal_cc"},
    {"quorviClient", "bench_minimal_cc"},
    {"quorviServiceControl", "bench_minimal_admin"},
    {"quorviRestart", "bench_minimal_admin"},
};

// Milliseconds from CreateProcessA to the end of the wait; -1 on a failure
// (not started, not ended within a minute, exit code other than 0).
static double TimedRun(const std::string &exe)
{
    double started = Now();
    HANDLE process = Start(Quoted(exe));
    if (!process) return -1;
    DWORD waited = WaitForSingleObject(process, 60000);
    double ended = Now();
    DWORD code = 99;
    if (waited != WAIT_OBJECT_0)
        Kill(process);
    else
        GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (waited != WAIT_OBJECT_0 || code != 0) {
        Say("%s: %s\n", exe.c_str(), waited != WAIT_OBJECT_0 ? "did not end within a minute" : "exit code not 0");
        return -1;
    }
    return ended - started;
}

static bool Record(std::vector<double> &values, double value, int &failures)
{
    if (value < 0) {
        failures++;
        return false;
    }
    values.push_back(value);
    return true;
}

// A directory with the four starters, both minimal starters and one core.
static bool PrepareStarterDirectory(const std::string &directory, const char *core)
{
    bool ready = MakeDirectory(directory);
    for (const Starter &s : Starters)
        ready = ready &&
                Copy(Join(options.dist, std::string(s.name) + ".exe"), Join(directory, std::string(s.name) + ".exe"));
    for (const char *name : {"bench_minimal_cc.exe", "bench_minimal_admin.exe"})
        ready = ready && Copy(Join(options.tools, name), Join(directory, name));
    return ready && Copy(Join(options.tools, core), Join(directory, "Tovrel.dll"));
}

static std::string TimeTableHeader(const char *what)
{
    return Format("| %s | runs | median ms | p95 ms | baseline | baseline median ms | baseline p95 ms "
                  "| ratio of medians | ratio of p95 |\n"
                  "|---|---:|---:|---:|---|---:|---:|---:|---:|\n",
                  what);
}

static std::string TimeRow(const std::string &name, const std::vector<double> &values, const std::string &baseName,
                           const std::vector<double> &base)
{
    return Format("| %s | %zu | %s | %s | %s | %s | %s | %s | %s |", name.c_str(), values.size(),
                  Number(Median(values)).c_str(), Number(Percentile95(values)).c_str(), baseName.c_str(),
                  Number(Median(base)).c_str(), Number(Percentile95(base)).c_str(),
                  Ratio(Median(values), Median(base)).c_str(), Ratio(Percentile95(values), Percentile95(base)).c_str());
}

static void FigureStartup()
{
    Say("== 1. start-up, %d runs per starter\n", options.runs);
    std::string directory = Join(options.work, "startup");
    if (!PrepareStarterDirectory(directory, "bench_core_fast.dll")) {
        measurementFailed = true;
        Add("## 1. Start-up\n\nNot measured: the programs could not be copied.\n\n");
        return;
    }
    const size_t count = sizeof Starters / sizeof Starters[0];
    std::vector<double> times[count], baseTimes[count];
    int failures[count] = {};
    auto path = [&](const char *name) { return Join(directory, std::string(name) + ".exe"); };

    // Not counted: the first runs fill the caches of the file system (and,
    // under Wine, of the server).
    for (const Starter &s : Starters)
        for (int i = 0; i < 3; i++) {
            TimedRun(path(s.name));
            TimedRun(path(s.baseline));
        }

    // Each starter alternates with its baseline, the order swapping every
    // round, so that a drift of the machine falls on both alike.
    for (int round = 0; round < options.runs; round++) {
        for (size_t k = 0; k < count; k++) {
            if (round % 2 == 0) {
                Record(times[k], TimedRun(path(Starters[k].name)), failures[k]);
                Record(baseTimes[k], TimedRun(path(Starters[k].baseline)), failures[k]);
            } else {
                Record(baseTimes[k], TimedRun(path(Starters[k].baseline)), failures[k]);
                Record(times[k], TimedRun(path(Starters[k].name)), failures[k]);
            }
        }
        if ((round + 1) % 20 == 0 || round + 1 == options.runs) Say("  round %d of %d\n", round + 1, options.runs);
    }

    Add("## 1. Start-up\n\n");
    Add(Format("Each role starter, with a core library whose `Tovrel` returns at once and links user32 "
               "(`bench/core_fast.c`: CharNextA, no display driver), started with CreateProcessA and awaited with "
               "WaitForSingleObject %d times, alternating run by run with the minimal starter "
               "(`bench/minimal_starter.c`: LoadLibraryA, GetProcAddress, the call, ExitProcess; no C runtime, "
               "kernel32 only) with the same core and the same manifest (`resources/common-controls.manifest` for "
               "quorvi and quorviClient, `resources/administrator.manifest` for the other two). Three "
               "uncounted warm-up runs each. Time from CreateProcessA to the end of the wait, in milliseconds. "
               "Budget: ratio of medians at most %.2f.\n\n",
               options.runs, StartBudget));
    Add(TimeTableHeader("starter"));
    for (size_t k = 0; k < count; k++) {
        double ratio = Median(times[k]) / Median(baseTimes[k]);
        bool holds = !failures[k] && !times[k].empty() && ratio <= StartBudget;
        if (!holds) budgetMissed = true;
        if (failures[k]) measurementFailed = true;
        Add(TimeRow(std::string(Starters[k].name) + ".exe", times[k], std::string(Starters[k].baseline) + ".exe",
                    baseTimes[k]) +
            "\n");
        summaries[figure] +=
            Format("| 1. start-up of %s.exe | ratio of medians <= %.2f | %s%s | %s |\n", Starters[k].name, StartBudget,
                   Ratio(Median(times[k]), Median(baseTimes[k])).c_str(),
                   failures[k] ? Format(", %d failed runs", failures[k]).c_str() : "", holds ? "holds" : "missed");
        Say("  %s: median %.1f ms, baseline %.1f ms, ratio %s\n", Starters[k].name, Median(times[k]),
            Median(baseTimes[k]), Ratio(Median(times[k]), Median(baseTimes[k])).c_str());
    }
    Add("\n");
}

// --- 2. memory inside Tovrel ------------------------------------------------

struct Memory {
    double peakWorkingSet = -1, privateBytes = -1; // KiB
};

static bool privateFromPagefile; // PrivateUsage was not filled in

// Starts the program, waits until its core is inside Tovrel, reads its
// counters and lets it go.
static Memory MeasureInside(const std::string &exe, HANDLE ready, HANDLE stop)
{
    Memory memory;
    ResetEvent(ready);
    ResetEvent(stop);
    HANDLE process = Start(Quoted(exe));
    if (!process) return memory;
    HANDLE waitFor[2] = {ready, process};
    if (WaitForMultipleObjects(2, waitFor, FALSE, 60000) == WAIT_OBJECT_0) {
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS *)&counters, sizeof counters)) {
            memory.peakWorkingSet = counters.PeakWorkingSetSize / 1024.0;
            // Wine leaves PrivateUsage at 0; PagefileUsage is the same
            // commit charge on Windows.
            privateFromPagefile = counters.cb < sizeof counters || !counters.PrivateUsage;
            memory.privateBytes = (privateFromPagefile ? counters.PagefileUsage : counters.PrivateUsage) / 1024.0;
        } else {
            Say("%s: GetProcessMemoryInfo failed (error %lu)\n", exe.c_str(), GetLastError());
        }
        SetEvent(stop);
    } else {
        Say("%s: never inside Tovrel\n", exe.c_str());
    }
    if (WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) {
        Say("%s: did not end after the core returned\n", exe.c_str());
        Kill(process);
        memory.peakWorkingSet = -1;
    }
    CloseHandle(process);
    return memory;
}

static std::string MemoryTable(const char *what, const std::vector<double> *values, const std::vector<double> *base,
                               bool *holds)
{
    std::string table =
        Format("%s, KiB:\n\n", what) +
        "| starter | runs | median | p95 | baseline median | baseline p95 | ratio of medians | ratio of p95 |\n"
        "|---|---:|---:|---:|---:|---:|---:|---:|\n";
    const size_t count = sizeof Starters / sizeof Starters[0];
    for (size_t k = 0; k < count; k++) {
        double ratio = Median(values[k]) / Median(base[k]);
        if (values[k].empty() || !(ratio <= MemoryBudget)) holds[k] = false;
        table += Format("| %s.exe | %zu | %s | %s | %s | %s | %s | %s |\n", Starters[k].name, values[k].size(),
                        Number(Median(values[k]), "%.0f").c_str(), Number(Percentile95(values[k]), "%.0f").c_str(),
                        Number(Median(base[k]), "%.0f").c_str(), Number(Percentile95(base[k]), "%.0f").c_str(),
                        Ratio(Median(values[k]), Median(base[k])).c_str(),
                        Ratio(Percentile95(values[k]), Percentile95(base[k])).c_str());
    }
    return table + "\n";
}

static void FigureMemory()
{
    Say("== 2. memory inside Tovrel, %d runs per starter\n", options.memoryRuns);
    std::string directory = Join(options.work, "memory");
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, "quorvi_bench_ready");
    HANDLE stop = CreateEventA(NULL, TRUE, FALSE, "quorvi_bench_stop");
    if (!ready || !stop || !PrepareStarterDirectory(directory, "bench_core_wait.dll")) {
        measurementFailed = true;
        Add("## 2. Memory inside Tovrel\n\nNot measured: set-up failed.\n\n");
        return;
    }
    const size_t count = sizeof Starters / sizeof Starters[0];
    std::vector<double> peak[count], basePeak[count], privateBytes[count], basePrivate[count];
    int failures[count] = {};
    auto path = [&](const char *name) { return Join(directory, std::string(name) + ".exe"); };
    auto record = [&](size_t k, const Memory &m, std::vector<double> &p, std::vector<double> &q) {
        if (m.peakWorkingSet < 0) {
            failures[k]++;
            return;
        }
        p.push_back(m.peakWorkingSet);
        q.push_back(m.privateBytes);
    };
    for (const Starter &s : Starters) { // warm-up
        MeasureInside(path(s.name), ready, stop);
        MeasureInside(path(s.baseline), ready, stop);
    }
    for (int round = 0; round < options.memoryRuns; round++) {
        for (size_t k = 0; k < count; k++) {
            bool programFirst = round % 2 == 0;
            for (int turn = 0; turn < 2; turn++) {
                if ((turn == 0) == programFirst)
                    record(k, MeasureInside(path(Starters[k].name), ready, stop), peak[k], privateBytes[k]);
                else
                    record(k, MeasureInside(path(Starters[k].baseline), ready, stop), basePeak[k], basePrivate[k]);
            }
        }
    }
    CloseHandle(ready);
    CloseHandle(stop);

    bool holds[count];
    for (size_t k = 0; k < count; k++) holds[k] = !failures[k];
    Add("## 2. Memory inside Tovrel\n\n");
    Add(Format("Each role starter with a core library whose `Tovrel` sets an event and waits (`bench/core_wait.c`), "
               "against the minimal starter with the same core and manifest, alternating, %d runs each after one "
               "warm-up. GetProcessMemoryInfo (PROCESS_MEMORY_COUNTERS_EX) is read while the process waits inside "
               "`Tovrel`. Budget: ratio of medians at most %.2f for both counters.\n\n",
               options.memoryRuns, MemoryBudget));
    Add(MemoryTable("Peak working set", peak, basePeak, holds));
    Add(MemoryTable(privateFromPagefile ? "Private bytes (PagefileUsage: this system left PrivateUsage at 0)"
                                        : "Private bytes (PrivateUsage)",
                    privateBytes, basePrivate, holds));
    for (size_t k = 0; k < count; k++) {
        if (!holds[k]) budgetMissed = true;
        if (failures[k]) measurementFailed = true;
        summaries[figure] += Format(
            "| 2. memory of %s.exe | ratios of medians <= %.2f | peak working set %s, private bytes %s%s | %s |\n",
            Starters[k].name, MemoryBudget, Ratio(Median(peak[k]), Median(basePeak[k])).c_str(),
            Ratio(Median(privateBytes[k]), Median(basePrivate[k])).c_str(),
            failures[k] ? Format(", %d failed runs", failures[k]).c_str() : "", holds[k] ? "holds" : "missed");
        Say("  %s: peak working set %.0f KiB (baseline %.0f), private %.0f KiB (baseline %.0f)\n", Starters[k].name,
            Median(peak[k]), Median(basePeak[k]), Median(privateBytes[k]), Median(basePrivate[k]));
    }
}

// --- 3. quench ---------------------------------------------------------------

static const DWORD Waiters = 64; // MAXIMUM_WAIT_OBJECTS: one wait covers them all

struct KillRun {
    double ms = -1;
    DWORD ended = 0;
};

// Starts 64 waiters named quorvi.exe, waits until each has counted itself
// in, then times the killer until every waiter has ended.
static KillRun TimeKiller(const std::string &waiter, const std::string &killer, HANDLE counted)
{
    KillRun run;
    std::vector<HANDLE> waiters;
    for (DWORD i = 0; i < Waiters; i++) {
        HANDLE process = Start(Quoted(waiter));
        if (process) waiters.push_back(process);
    }
    bool allIn = waiters.size() == Waiters;
    for (size_t i = 0; i < waiters.size() && allIn; i++) allIn = WaitForSingleObject(counted, 60000) == WAIT_OBJECT_0;
    if (allIn) {
        double started = Now();
        if (killer.empty()) { // the lower bound: no killer program at all
            for (HANDLE w : waiters) TerminateProcess(w, 0);
            if (WaitForMultipleObjects(Waiters, waiters.data(), TRUE, 60000) < WAIT_OBJECT_0 + Waiters)
                run.ms = Now() - started;
        }
        HANDLE process = killer.empty() ? NULL : Start(killer);
        if (process) {
            DWORD waited = WaitForMultipleObjects(Waiters, waiters.data(), TRUE, 60000);
            double ended = Now();
            if (waited < WAIT_OBJECT_0 + Waiters) run.ms = ended - started;
            if (WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) Kill(process);
            CloseHandle(process);
        }
    } else {
        Say("only some of the %lu waiters started\n", Waiters);
    }
    for (HANDLE w : waiters) {
        if (WaitForSingleObject(w, 0) == WAIT_OBJECT_0)
            run.ended++;
        else
            Kill(w);
        CloseHandle(w);
    }
    // Leave the semaphore at zero for the next batch.
    while (WaitForSingleObject(counted, 0) == WAIT_OBJECT_0) {}
    return run;
}

// Where a killer's time goes, without processes to end: quench finding
// nothing, and the start and exit of the minimal starter without a core
// library (kernel32 alone) and with the fast core (user32 as well).
static void AddQuenchBreakdown(const std::string &directory, const std::vector<double> *killTimes)
{
    std::string bare = Join(directory, "bare"), withUser32 = Join(directory, "user32");
    if (!MakeDirectory(bare) || !MakeDirectory(withUser32) ||
        !Copy(Join(options.tools, "bench_minimal_cc.exe"), Join(bare, "bench_minimal_cc.exe")) ||
        !Copy(Join(options.tools, "bench_minimal_cc.exe"), Join(withUser32, "bench_minimal_cc.exe")) ||
        !Copy(Join(options.tools, "bench_core_fast.dll"), Join(withUser32, "Tovrel.dll"))) {
        measurementFailed = true;
        return;
    }
    const std::string programs[3] = {Quoted(Join(options.dist, "quench.exe")) + " nomatch.exe",
                                     Quoted(Join(bare, "bench_minimal_cc.exe")),
                                     Quoted(Join(withUser32, "bench_minimal_cc.exe"))};
    const char *names[3] = {"`quench.exe nomatch.exe`: start, snapshot walk, exit; nothing to end",
                            "minimal starter without a core library: start and exit of a kernel32-only program",
                            "minimal starter with the fast core: the same with user32 loaded"};
    std::vector<double> times[3];
    int failures = 0;
    int runs = std::max(10, 4 * options.quenchRuns);
    for (int round = 0; round < runs; round++)
        for (int turn = 0; turn < 3; turn++) {
            int k = (turn + round) % 3;
            double started = Now();
            HANDLE process = Start(programs[k]);
            if (process && WaitForSingleObject(process, 60000) == WAIT_OBJECT_0)
                times[k].push_back(Now() - started);
            else
                failures++;
            if (process) {
                if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) Kill(process);
                CloseHandle(process);
            }
        }
    if (failures) measurementFailed = true;
    Add(Format("Where a killer's time goes (no budget): programs started and awaited like the killers, %d runs "
               "each, taking turns; there is no quorvi.exe running.\n\n",
               runs));
    Add("| program | runs | median ms | p95 ms |\n|---|---:|---:|---:|\n");
    for (int k = 0; k < 3; k++)
        Add(Format("| %s | %zu | %s | %s |\n", names[k], times[k].size(), Number(Median(times[k])).c_str(),
                   Number(Percentile95(times[k])).c_str()));
    Add("\n");

    // What the figures above say about the budget, from the medians.
    double quench = Median(killTimes[0]), taskkill = Median(killTimes[1]), lowest = Median(killTimes[2]);
    double bareStart = Median(times[1]), user32 = Median(times[2]) - Median(times[1]);
    Add(Format("Read together: the start and exit of a kernel32-only program plus the lower bound, the best any "
               "killer program could do here, come to %s ms, %s of taskkill's median. Loading user32 adds %s ms "
               "to a start; quench imports it, as every deliverable does (message boxes), so quench without "
               "user32 at start-up would take about %s ms, %s of taskkill's median.\n\n",
               Number(bareStart + lowest, "%.0f").c_str(), Ratio(bareStart + lowest, taskkill).c_str(),
               Number(user32, "%.0f").c_str(), Number(quench - user32, "%.0f").c_str(),
               Ratio(quench - user32, taskkill).c_str()));
}

static void FigureQuench()
{
    Say("== 3. quench against taskkill, %d rounds of %lu processes\n", options.quenchRuns, Waiters);
    std::string directory = Join(options.work, "quench");
    std::string waiter = Join(directory, "quorvi.exe");
    HANDLE counted = CreateSemaphoreA(NULL, 0, Waiters, "quorvi_bench_waiters");
    if (!counted || !MakeDirectory(directory) || !Copy(Join(options.tools, "bench_waiter.exe"), waiter)) {
        measurementFailed = true;
        Add("## 3. quench\n\nNot measured: set-up failed.\n\n");
        return;
    }
    // quench, taskkill, and the benchmark's own TerminateProcess calls.
    const std::string killers[3] = {Quoted(Join(options.dist, "quench.exe")), "taskkill.exe /F /IM quorvi.exe", ""};
    const char *names[3] = {"quench.exe", "taskkill /F /IM quorvi.exe",
                            "lower bound: TerminateProcess by the benchmark itself, no program started"};
    std::vector<double> times[3];
    DWORD ended[3] = {}, total[3] = {};
    int failures[3] = {};
    for (int round = 0; round < options.quenchRuns; round++) {
        for (int turn = 0; turn < 3; turn++) {
            int k = (turn + round) % 3; // each goes first in turn
            KillRun run = TimeKiller(waiter, killers[k], counted);
            Record(times[k], run.ms, failures[k]);
            ended[k] += run.ended;
            total[k] += Waiters;
            Say("  round %d, %s: %s ms, %lu of %lu ended\n", round + 1, names[k], Number(run.ms).c_str(), run.ended,
                Waiters);
        }
    }
    CloseHandle(counted);

    double ratio = Median(times[0]) / Median(times[1]);
    bool allEnded = ended[0] == total[0] && !failures[0];
    bool holds = allEnded && ratio <= QuenchBudget;
    if (!holds) budgetMissed = true;
    if (failures[0] || failures[1] || failures[2]) measurementFailed = true;
    Add("## 3. quench\n\n");
    Add(Format("%lu waiting processes named quorvi.exe (copies of `bench/waiter.c`, each counted in by a semaphore "
               "before the clock starts); time from starting the killer until every one has exited, %d rounds, "
               "taking turns at going first. Baseline: `taskkill /F /IM quorvi.exe` on %lu fresh ones. Every "
               "program started by the benchmark has NUL as its standard handles (taskkill writes a line per "
               "process). The lower bound, for reference, ends the same processes with the benchmark's own "
               "TerminateProcess calls: what no killer program can beat. Budget: quench's median at most %.2f of "
               "taskkill's, and every process ended.\n\n",
               Waiters, options.quenchRuns, Waiters, QuenchBudget));
    Add("| killer | rounds | median ms | p95 ms | processes ended | ratio of medians to taskkill | ratio of p95 |\n"
        "|---|---:|---:|---:|---:|---:|---:|\n");
    for (int k = 0; k < 3; k++)
        Add(Format("| %s | %zu | %s | %s | %lu of %lu | %s | %s |\n", names[k], times[k].size(),
                   Number(Median(times[k])).c_str(), Number(Percentile95(times[k])).c_str(), ended[k], total[k],
                   Ratio(Median(times[k]), Median(times[1])).c_str(),
                   Ratio(Percentile95(times[k]), Percentile95(times[1])).c_str()));
    Add("\n");
    AddQuenchBreakdown(directory, times);
    summaries[figure] += Format(
        "| 3. quench against taskkill | ratio of medians <= %.2f, every process ended | %s, %lu of %lu ended | %s |\n",
        QuenchBudget, Ratio(Median(times[0]), Median(times[1])).c_str(), ended[0], total[0],
        holds ? "holds" : "missed");
    Say("  quench %.1f ms, taskkill %.1f ms\n", Median(times[0]), Median(times[1]));
}

// --- 4. service hosts ---------------------------------------------------------

struct Service {
    const char *name = "";
    const char *exe = ""; // in dist, or the benchmark's own
    bool baseline = false;
    SC_HANDLE handle = NULL;
    std::vector<double> start, stop;
    int failures = 0;
};

static DWORD ServiceState(SC_HANDLE service, DWORD *processId = NULL)
{
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, (BYTE *)&status, sizeof status, &needed)) return 0;
    if (processId) *processId = status.dwProcessId;
    return status.dwCurrentState;
}

static DWORD WaitForServiceState(SC_HANDLE service, DWORD state, DWORD timeoutMs)
{
    double until = Now() + timeoutMs;
    DWORD now;
    while ((now = ServiceState(service)) != state && Now() < until) {
        if (state == SERVICE_RUNNING && now == SERVICE_STOPPED) break; // the start failed
        Sleep(1);
    }
    return now;
}

static void DeleteServiceNamed(SC_HANDLE manager, const char *name)
{
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS);
    if (!service) return;
    SERVICE_STATUS status;
    if (ServiceState(service) != SERVICE_STOPPED) {
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        WaitForServiceState(service, SERVICE_STOPPED, 30000);
    }
    DeleteService(service);
    CloseServiceHandle(service);
    for (int i = 0; i < 100; i++) { // deleted once the last handle is gone
        SC_HANDLE again = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
        if (!again) break;
        CloseServiceHandle(again);
        Sleep(100);
    }
}

// One start and stop; false when either did not complete.
static bool CycleService(Service &s, bool counted)
{
    double started = Now();
    if (!StartServiceA(s.handle, 0, NULL)) {
        Say("%s: StartServiceA failed (error %lu)\n", s.name, GetLastError());
        return false;
    }
    DWORD state = WaitForServiceState(s.handle, SERVICE_RUNNING, 60000);
    double running = Now();
    DWORD processId = 0;
    ServiceState(s.handle, &processId);
    HANDLE process = processId ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId) : NULL;
    if (state != SERVICE_RUNNING) Say("%s: not running after the start (state %lu)\n", s.name, state);

    double stopping = Now();
    SERVICE_STATUS status;
    // A host that ends its own process in the handler may leave the request
    // without an answer (ERROR_BROKEN_PIPE under Wine): the state tells.
    (void)ControlService(s.handle, SERVICE_CONTROL_STOP, &status);
    DWORD stoppedState = WaitForServiceState(s.handle, SERVICE_STOPPED, 30000);
    double stopped = Now();
    if (stoppedState != SERVICE_STOPPED) Say("%s: not stopped (state %lu)\n", s.name, stoppedState);

    // Not timed: the process must be gone before the next start.
    if (process) {
        if (WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) Kill(process);
        CloseHandle(process);
    }
    bool ok = state == SERVICE_RUNNING && stoppedState == SERVICE_STOPPED;
    if (counted && ok) {
        s.start.push_back(running - started);
        s.stop.push_back(stopped - stopping);
    }
    return ok;
}

static void FigureServices()
{
    Say("== 4. service hosts, %d start/stop cycles each\n", options.serviceRuns);
    Service services[3];
    services[0].name = "quorviUpdateService", services[0].exe = "quorviUpdateService.exe";
    services[1].name = "quorviService", services[1].exe = "quorviService.exe";
    services[2].name = "quorviBenchService", services[2].exe = "bench_service.exe", services[2].baseline = true;
    Add("## 4. Service hosts\n\n");
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        Say("OpenSCManagerA failed (error %lu)\n", GetLastError());
        measurementFailed = true;
        Add("Not measured: no access to the service control manager.\n\n");
        return;
    }
    bool ready = MakeDirectory(Join(options.work, "services"));
    for (Service &s : services) {
        DeleteServiceNamed(manager, s.name);
        std::string directory = Join(Join(options.work, "services"), s.name);
        std::string exe = Join(directory, std::string(s.name) + ".exe");
        ready = ready && MakeDirectory(directory) &&
                Copy(Join(s.baseline ? options.tools : options.dist, s.exe), exe) &&
                Copy(Join(options.tools, "bench_core_fast.dll"), Join(directory, "Tovrel.dll"));
        if (!ready) break;
        s.handle =
            CreateServiceA(manager, s.name, s.name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                           SERVICE_ERROR_IGNORE, Quoted(exe).c_str(), NULL, NULL, NULL, NULL, NULL);
        if (!s.handle) {
            Say("%s: CreateServiceA failed (error %lu)\n", s.name, GetLastError());
            ready = false;
        }
    }
    if (ready) {
        for (Service &s : services) CycleService(s, false); // warm-up
        for (int round = 0; round < options.serviceRuns; round++) {
            for (int turn = 0; turn < 3; turn++) {
                Service &s = services[(turn + round) % 3];
                if (!CycleService(s, true)) s.failures++;
            }
            if ((round + 1) % 5 == 0 || round + 1 == options.serviceRuns)
                Say("  round %d of %d\n", round + 1, options.serviceRuns);
        }
    } else {
        measurementFailed = true;
    }
    for (Service &s : services) {
        if (s.handle) CloseServiceHandle(s.handle);
        DeleteServiceNamed(manager, s.name);
    }
    CloseServiceHandle(manager);

    const Service &base = services[2];
    Add(Format("Each host installed with CreateServiceA (own process, demand start) in a directory with the "
               "core library whose `Tovrel` returns at once, against the minimal service `bench/minimal_service.c` "
               "(control dispatcher; ServiceMain starts a thread that calls `Tovrel`, reports running; the handler "
               "reports stopped). %d cycles each after one warm-up, the three taking turns. Start: StartServiceA "
               "until QueryServiceStatusEx reports SERVICE_RUNNING. Stop: ControlService(SERVICE_CONTROL_STOP) "
               "until it reports SERVICE_STOPPED (polled every millisecond; the process's exit is awaited "
               "afterwards, untimed). The services are deleted at the end. No budget: the ratios are reported.\n\n",
               options.serviceRuns));
    const char *phases[2] = {"Start (StartServiceA to SERVICE_RUNNING)", "Stop (ControlService to SERVICE_STOPPED)"};
    for (int phase = 0; phase < 2; phase++) {
        Add(Format("%s:\n\n", phases[phase]));
        Add(TimeTableHeader("host"));
        for (int k = 0; k < 2; k++) {
            const Service &s = services[k];
            Add(TimeRow(std::string(s.name) + ".exe", phase ? s.stop : s.start, "bench_service.exe",
                        phase ? base.stop : base.start) +
                "\n");
        }
        Add("\n");
    }
    for (const Service &s : services) {
        if (s.failures) {
            measurementFailed = true;
            Add(Format("%s: %d cycles did not complete.\n\n", s.name, s.failures));
        }
        Say("  %s: start %.1f ms, stop %.1f ms, %d failed cycles\n", s.name, Median(s.start), Median(s.stop),
            s.failures);
    }
    for (int k = 0; k < 2; k++)
        summaries[figure] += Format("| 4. service %s | none (reported) | start %s, stop %s | - |\n", services[k].name,
                                    Ratio(Median(services[k].start), Median(base.start)).c_str(),
                                    Ratio(Median(services[k].stop), Median(base.stop)).c_str());
}

// --- 5. size -------------------------------------------------------------------

// The file's size and the raw size of its .rsrc section, read from the PE
// section table; false when the file is not a PE image.
static bool PeSizes(const std::string &path, DWORD *fileSize, DWORD *resourceSize)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    *fileSize = GetFileSize(file, NULL);
    std::vector<unsigned char> image(*fileSize);
    DWORD read = 0;
    bool whole = ReadFile(file, image.data(), *fileSize, &read, NULL) && read == *fileSize;
    CloseHandle(file);
    auto word = [&](DWORD at) { return at + 2 <= image.size() ? (DWORD)(image[at] | image[at + 1] << 8) : 0; };
    auto dword = [&](DWORD at) { return at + 4 <= image.size() ? word(at) | word(at + 2) << 16 : 0; };
    if (!whole || word(0) != 0x5A4D) return false;
    DWORD pe = dword(0x3C);
    if (dword(pe) != 0x4550) return false;
    DWORD sections = word(pe + 6), table = pe + 24 + word(pe + 20);
    *resourceSize = 0;
    for (DWORD i = 0; i < sections; i++) {
        DWORD at = table + 40 * i;
        if (at + 40 > image.size()) return false;
        if (!memcmp(&image[at], ".rsrc\0\0\0", 8)) *resourceSize += dword(at + 16);
    }
    return true;
}

static void FigureSize()
{
    Say("== 5. size\n");
    struct Deliverable {
        const char *name;
        DWORD budget;
    } deliverables[] = {
        {"quorvi", StarterSizeBudget},
        {"quorviClient", StarterSizeBudget},
        {"quorviServiceControl", StarterSizeBudget},
        {"quorviRestart", StarterSizeBudget},
        {"quench", StarterSizeBudget},
        {"quorviUpdateService", HostSizeBudget},
        {"quorviService", HostSizeBudget},
    };
    Add("## 5. Size\n\n");
    Add("File size, and size without resources: the file size minus the raw size (SizeOfRawData) of the `.rsrc` "
        "section, read from the PE section table (the same figure as the size of a copy with the section removed by "
        "`objcopy --remove-section .rsrc`, which `scripts/check-sizes` checks in the test run). Budget without "
        "resources: 16 KiB for the starters and quench, 24 KiB for the service hosts. The baselines are listed for "
        "comparison.\n\n");
    Add("| program | file bytes | .rsrc bytes | bytes without resources | budget | result |\n"
        "|---|---:|---:|---:|---:|---|\n");
    for (const Deliverable &d : deliverables) {
        DWORD size = 0, resources = 0;
        std::string name = std::string(d.name) + ".exe";
        if (!PeSizes(Join(options.dist, name), &size, &resources)) {
            measurementFailed = budgetMissed = true;
            Add(Format("| %s | not readable | | | %lu | missed |\n", name.c_str(), d.budget));
            summaries[figure] += Format("| 5. size of %s | <= %lu bytes without resources | not readable | missed |\n",
                                        name.c_str(), d.budget);
            continue;
        }
        bool holds = size - resources <= d.budget;
        if (!holds) budgetMissed = true;
        Add(Format("| %s | %lu | %lu | %lu | %lu | %s |\n", name.c_str(), size, resources, size - resources, d.budget,
                   holds ? "holds" : "missed"));
        summaries[figure] += Format("| 5. size of %s | <= %lu bytes without resources | %lu | %s |\n", name.c_str(),
                                    d.budget, size - resources, holds ? "holds" : "missed");
        Say("  %s: %lu bytes, %lu without resources\n", name.c_str(), size, size - resources);
    }
    for (const char *name : {"bench_minimal_cc.exe", "bench_minimal_admin.exe", "bench_service.exe"}) {
        DWORD size = 0, resources = 0;
        if (PeSizes(Join(options.tools, name), &size, &resources))
            Add(Format("| %s (baseline) | %lu | %lu | %lu | | |\n", name, size, resources, size - resources));
    }
    Add("\n");
}

// --- main ----------------------------------------------------------------------

static bool WriteReport(const std::string &path, const std::string &text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL done = WriteFile(file, text.data(), (DWORD)text.size(), &written, NULL);
    CloseHandle(file);
    return done && written == text.size();
}

static bool ParseOptions(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i], value = argv[i + 1];
        if (name == "--dist")
            options.dist = value;
        else if (name == "--tools")
            options.tools = value;
        else if (name == "--work")
            options.work = value;
        else if (name == "--report")
            options.report = value;
        else if (name == "--runs")
            options.runs = atoi(value.c_str());
        else if (name == "--memory-runs")
            options.memoryRuns = atoi(value.c_str());
        else if (name == "--quench-runs")
            options.quenchRuns = atoi(value.c_str());
        else if (name == "--service-runs")
            options.serviceRuns = atoi(value.c_str());
        else if (name == "--figures")
            options.figures = value;
        else
            return false;
    }
    return argc % 2 == 1 && !options.dist.empty() && !options.tools.empty() && !options.report.empty() &&
           options.runs > 0 && options.memoryRuns > 0 && options.quenchRuns > 0 && options.serviceRuns > 0;
}

int main(int argc, char **argv)
{
    if (!ParseOptions(argc, argv)) {
        printf("usage: bench --dist <dir> --tools <dir> --report <file> [--work <dir>] [--runs N]\n"
               "             [--memory-runs N] [--quench-runs N] [--service-runs N] [--figures 12345]\n");
        return 2;
    }
    bool ownWork = options.work.empty();
    if (ownWork) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        options.work = Join(temp, Format("quorvi-bench-%lu", GetCurrentProcessId()));
    }
    if (!MakeDirectory(options.work)) return 2;
    // Keep the system's error boxes away from a run that should fail quietly.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    double started = Now();
    auto wanted = [](char figure) { return options.figures.find(figure) != std::string::npos; };
    void (*const figures[6])() = {nullptr, FigureStartup, FigureMemory, FigureQuench, FigureServices, FigureSize};
    for (char f : {'5', '1', '2', '3', '4'}) { // size first: cheap, and independent of the rest
        figure = f - '0';
        if (wanted(f)) figures[figure]();
    }
    double seconds = (Now() - started) / 1000;
    if (ownWork) RemoveTree(options.work);

    std::string text = "## Budgets\n\n| figure | budget | measured | result |\n|---|---|---|---|\n";
    for (const std::string &rows : summaries) text += rows;
    text += Format("\nMeasurements took %.0f s.%s\n\n", seconds,
                   measurementFailed ? " Some measurements failed; see the figures." : "");
    for (const std::string &section : sections) text += section;
    if (!WriteReport(options.report, text)) {
        Say("cannot write %s (error %lu)\n", options.report.c_str(), GetLastError());
        return 2;
    }
    Say("%s\n", budgetMissed || measurementFailed ? "budget missed or measurement failed" : "every budget holds");
    return budgetMissed || measurementFailed ? 1 : 0;
}
