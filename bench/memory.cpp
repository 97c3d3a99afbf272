// Figure 2: the memory of each role starter while its core library waits
// inside Tovrel, against the minimal starter with the same manifest and core.
#include "bench.h"
#include "files.h"
#include "processes.h"
#include "report.h"
#include "run.h"
#include "starters.h"
#include "statistics.h"

#include <psapi.h>

#include <vector>

static const double MemoryBudget = 1.10; // ratio of medians at most, for both counters

struct Memory {
    double peakWorkingSet = -1, privateBytes = -1; // KiB
    bool fromPagefile = false;                     // PrivateUsage was not filled in
};

struct MemorySamples {
    std::vector<double> peak[StarterCount], basePeak[StarterCount];
    std::vector<double> privateBytes[StarterCount], basePrivate[StarterCount];
    int failures[StarterCount] = {};
    bool privateFromPagefile = false;
};

// Starts the program, waits until its core is inside Tovrel, reads its
// counters and lets it go.
static Memory MeasureInside(const Bench &bench, const std::string &exe, HANDLE ready, HANDLE stop)
{
    Memory memory;
    ResetEvent(ready);
    ResetEvent(stop);
    HANDLE process = Start(bench, Quoted(exe));
    if (!process) return memory;
    HANDLE waitFor[2] = {ready, process};
    if (WaitForMultipleObjects(2, waitFor, FALSE, 60000) == WAIT_OBJECT_0) {
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS *)&counters, sizeof counters)) {
            memory.peakWorkingSet = counters.PeakWorkingSetSize / 1024.0;
            // Wine leaves PrivateUsage at 0; PagefileUsage is the same
            // commit charge on Windows.
            memory.fromPagefile = counters.cb < sizeof counters || !counters.PrivateUsage;
            memory.privateBytes = (memory.fromPagefile ? counters.PagefileUsage : counters.PrivateUsage) / 1024.0;
        } else {
            Say("%s: GetProcessMemoryInfo failed (error %lu)\n", exe.c_str(), GetLastError());
        }
        SetEvent(stop);
    } else {
        Say("%s: never inside Tovrel\n", exe.c_str());
    }
    if (WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) {
        Say("%s: did not end after the core returned\n", exe.c_str());
        EndProcess(process);
        memory.peakWorkingSet = -1;
    }
    CloseHandle(process);
    return memory;
}

static void RecordMemory(MemorySamples &m, size_t k, bool baseline, const Memory &memory)
{
    if (memory.privateBytes >= 0) m.privateFromPagefile = memory.fromPagefile;
    if (memory.peakWorkingSet < 0) {
        m.failures[k]++;
        return;
    }
    (baseline ? m.basePeak : m.peak)[k].push_back(memory.peakWorkingSet);
    (baseline ? m.basePrivate : m.privateBytes)[k].push_back(memory.privateBytes);
}

static MemorySamples MeasureMemory(const Bench &bench, const std::string &directory, HANDLE ready, HANDLE stop)
{
    MemorySamples m;
    auto path = [&](const char *name) { return Join(directory, std::string(name) + ".exe"); };
    for (const Starter &s : Starters) { // warm-up
        MeasureInside(bench, path(s.name), ready, stop);
        MeasureInside(bench, path(s.baseline), ready, stop);
    }
    for (int round = 0; round < bench.memoryRuns; round++) {
        for (size_t k = 0; k < StarterCount; k++) {
            bool programFirst = round % 2 == 0;
            for (int turn = 0; turn < 2; turn++) {
                bool baseline = (turn == 0) != programFirst;
                RecordMemory(
                    m, k, baseline,
                    MeasureInside(bench, path(baseline ? Starters[k].baseline : Starters[k].name), ready, stop));
            }
        }
    }
    return m;
}

// One counter's table; clears holds[k] where starter k misses the budget.
static std::string MemoryTable(const char *what, const std::vector<double> *values, const std::vector<double> *base,
                               bool *holds)
{
    std::string table =
        Format("%s, KiB:\n\n", what) +
        "| starter | runs | median | p95 | baseline median | baseline p95 | ratio of medians | ratio of p95 |\n"
        "|---|---:|---:|---:|---:|---:|---:|---:|\n";
    for (size_t k = 0; k < StarterCount; k++) {
        double median = Median(values[k]), baseMedian = Median(base[k]);
        if (values[k].empty() || !(RatioOf(median, baseMedian) <= MemoryBudget)) holds[k] = false;
        table +=
            Format("| %s.exe | %zu | %s | %s | %s | %s | %s | %s |\n", Starters[k].name, values[k].size(),
                   Number(median, "%.0f").c_str(), Number(Percentile95(values[k]), "%.0f").c_str(),
                   Number(baseMedian, "%.0f").c_str(), Number(Percentile95(base[k]), "%.0f").c_str(),
                   Ratio(median, baseMedian).c_str(), Ratio(Percentile95(values[k]), Percentile95(base[k])).c_str());
    }
    return table + "\n";
}

static Figure ReportMemory(const Bench &bench, const MemorySamples &m)
{
    Figure figure;
    bool holds[StarterCount];
    for (size_t k = 0; k < StarterCount; k++) holds[k] = !m.failures[k];
    figure.section = "## 2. Memory inside Tovrel\n\n";
    figure.section +=
        Format("Each role starter with a core library whose `Tovrel` sets an event and waits (`bench/core_wait.c`), "
               "against the minimal starter with the same core and manifest, alternating, %d runs each after one "
               "warm-up. GetProcessMemoryInfo (PROCESS_MEMORY_COUNTERS_EX) is read while the process waits inside "
               "`Tovrel`. Budget: ratio of medians at most %.2f for both counters.\n\n",
               bench.memoryRuns, MemoryBudget);
    figure.section += MemoryTable("Peak working set", m.peak, m.basePeak, holds);
    figure.section +=
        MemoryTable(m.privateFromPagefile ? "Private bytes (PagefileUsage: this system left PrivateUsage at 0)"
                                          : "Private bytes (PrivateUsage)",
                    m.privateBytes, m.basePrivate, holds);
    for (size_t k = 0; k < StarterCount; k++) {
        figure.budgetMissed = figure.budgetMissed || !holds[k];
        figure.measurementFailed = figure.measurementFailed || m.failures[k];
        figure.budgets += Format(
            "| 2. memory of %s.exe | ratios of medians <= %.2f | peak working set %s, private bytes %s%s | %s |\n",
            Starters[k].name, MemoryBudget, Ratio(Median(m.peak[k]), Median(m.basePeak[k])).c_str(),
            Ratio(Median(m.privateBytes[k]), Median(m.basePrivate[k])).c_str(),
            m.failures[k] ? Format(", %d failed runs", m.failures[k]).c_str() : "", holds[k] ? "holds" : "missed");
        Say("  %s: peak working set %.0f KiB (baseline %.0f), private %.0f KiB (baseline %.0f)\n", Starters[k].name,
            Median(m.peak[k]), Median(m.basePeak[k]), Median(m.privateBytes[k]), Median(m.basePrivate[k]));
    }
    return figure;
}

Figure MemoryFigure(const Bench &bench)
{
    Say("== 2. memory inside Tovrel, %d runs per starter\n", bench.memoryRuns);
    std::string directory = Join(bench.work, "memory");
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, "quorvi_bench_ready");
    HANDLE stop = CreateEventA(NULL, TRUE, FALSE, "quorvi_bench_stop");
    Figure figure;
    if (!ready || !stop || !PrepareStarterDirectory(bench, directory, "bench_core_wait.dll")) {
        figure.measurementFailed = true;
        figure.section = "## 2. Memory inside Tovrel\n\nNot measured: set-up failed.\n\n";
    } else {
        figure = ReportMemory(bench, MeasureMemory(bench, directory, ready, stop));
    }
    if (ready) CloseHandle(ready);
    if (stop) CloseHandle(stop);
    return figure;
}
