// Figure 3: quench against taskkill on 64 waiting processes named
// quorvi.exe, with the lower bound of no killer program at all and a
// breakdown of where a killer's time goes.
#include "bench.h"
#include "files.h"
#include "processes.h"
#include "quench_breakdown.h"
#include "report.h"
#include "run.h"
#include "statistics.h"

#include <vector>

static const double QuenchBudget = 0.50; // quench's median at most this share of taskkill's
static const DWORD Waiters = 64;         // MAXIMUM_WAIT_OBJECTS: one wait covers them all
static const int Killers = 3;            // quench, taskkill, and the lower bound

struct KillRun {
    double ms = -1;
    DWORD ended = 0;
};

struct KillTimes {
    std::vector<double> times[Killers];
    DWORD ended[Killers] = {}, total[Killers] = {};
    int failures[Killers] = {};
};

// Starts 64 waiters named quorvi.exe, waits until each has counted itself
// in, then times the killer until every waiter has ended. An empty killer
// is the lower bound: the benchmark's own TerminateProcess calls.
static KillRun TimeKiller(const Bench &bench, const std::string &waiter, const std::string &killer, HANDLE counted)
{
    KillRun run;
    std::vector<HANDLE> waiters;
    for (DWORD i = 0; i < Waiters; i++) {
        HANDLE process = Start(bench, Quoted(waiter));
        if (process) waiters.push_back(process);
    }
    bool allIn = waiters.size() == Waiters;
    for (size_t i = 0; i < waiters.size() && allIn; i++) allIn = WaitForSingleObject(counted, 60000) == WAIT_OBJECT_0;
    if (allIn) {
        double started = Now();
        if (killer.empty()) {
            for (HANDLE w : waiters) TerminateProcess(w, 0);
            if (WaitForMultipleObjects(Waiters, waiters.data(), TRUE, 60000) < WAIT_OBJECT_0 + Waiters)
                run.ms = Now() - started;
        }
        HANDLE process = killer.empty() ? NULL : Start(bench, killer);
        if (process) {
            DWORD waited = WaitForMultipleObjects(Waiters, waiters.data(), TRUE, 60000);
            double ended = Now();
            if (waited < WAIT_OBJECT_0 + Waiters) run.ms = ended - started;
            if (WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) EndProcess(process);
            CloseHandle(process);
        }
    } else {
        Say("only some of the %lu waiters started\n", Waiters);
    }
    for (HANDLE w : waiters) {
        if (WaitForSingleObject(w, 0) == WAIT_OBJECT_0)
            run.ended++;
        else
            EndProcess(w);
        CloseHandle(w);
    }
    // Leave the semaphore at zero for the next batch.
    while (WaitForSingleObject(counted, 0) == WAIT_OBJECT_0) {}
    return run;
}

static KillTimes MeasureKillers(const Bench &bench, const std::string &waiter, const std::string (&killers)[Killers],
                                const char *const (&names)[Killers], HANDLE counted)
{
    KillTimes t;
    for (int round = 0; round < bench.quenchRuns; round++) {
        for (int turn = 0; turn < Killers; turn++) {
            int k = (turn + round) % Killers; // each goes first in turn
            KillRun run = TimeKiller(bench, waiter, killers[k], counted);
            Record(t.times[k], run.ms, t.failures[k]);
            t.ended[k] += run.ended;
            t.total[k] += Waiters;
            Say("  round %d, %s: %s ms, %lu of %lu ended\n", round + 1, names[k], Number(run.ms).c_str(), run.ended,
                Waiters);
        }
    }
    return t;
}

static Figure ReportKillers(const Bench &bench, const KillTimes &t, const char *const (&names)[Killers])
{
    Figure figure;
    bool allEnded = t.ended[0] == t.total[0] && !t.failures[0];
    bool holds = allEnded && RatioOf(Median(t.times[0]), Median(t.times[1])) <= QuenchBudget;
    figure.budgetMissed = !holds;
    figure.measurementFailed = t.failures[0] || t.failures[1] || t.failures[2];
    figure.section = "## 3. quench\n\n";
    figure.section +=
        Format("%lu waiting processes named quorvi.exe (copies of `bench/waiter.c`, each counted in by a semaphore "
               "before the clock starts); time from starting the killer until every one has exited, %d rounds, "
               "taking turns at going first. Baseline: `taskkill /F /IM quorvi.exe` on %lu fresh ones. Every "
               "program started by the benchmark has NUL as its standard handles (taskkill writes a line per "
               "process). The lower bound, for reference, ends the same processes with the benchmark's own "
               "TerminateProcess calls: what no killer program can beat. Budget: quench's median at most %.2f of "
               "taskkill's, and every process ended.\n\n",
               Waiters, bench.quenchRuns, Waiters, QuenchBudget);
    figure.section +=
        "| killer | rounds | median ms | p95 ms | processes ended | ratio of medians to taskkill | ratio of p95 |\n"
        "|---|---:|---:|---:|---:|---:|---:|\n";
    for (int k = 0; k < Killers; k++)
        figure.section += Format("| %s | %zu | %s | %s | %lu of %lu | %s | %s |\n", names[k], t.times[k].size(),
                                 Number(Median(t.times[k])).c_str(), Number(Percentile95(t.times[k])).c_str(),
                                 t.ended[k], t.total[k], Ratio(Median(t.times[k]), Median(t.times[1])).c_str(),
                                 Ratio(Percentile95(t.times[k]), Percentile95(t.times[1])).c_str());
    figure.section += "\n";
    figure.budgets = Format("| 3. quench against taskkill | ratio of medians <= %.2f, every process ended | %s, "
                            "%lu of %lu ended | %s |\n",
                            QuenchBudget, Ratio(Median(t.times[0]), Median(t.times[1])).c_str(), t.ended[0], t.total[0],
                            holds ? "holds" : "missed");
    return figure;
}

Figure QuenchFigure(const Bench &bench)
{
    Say("== 3. quench against taskkill, %d rounds of %lu processes\n", bench.quenchRuns, Waiters);
    std::string directory = Join(bench.work, "quench");
    HANDLE counted = CreateSemaphoreA(NULL, 0, Waiters, "quorvi_bench_waiters");
    if (!counted || !MakeDirectoryOrSay(directory) ||
        !CopyOrSay(Join(bench.tools, "bench_waiter.exe"), directory, "quorvi.exe")) {
        if (counted) CloseHandle(counted);
        Figure figure;
        figure.measurementFailed = true;
        figure.section = "## 3. quench\n\nNot measured: set-up failed.\n\n";
        return figure;
    }
    const std::string killers[Killers] = {Quoted(Join(bench.dist, "quench.exe")), "taskkill.exe /F /IM quorvi.exe", ""};
    const char *const names[Killers] = {"quench.exe", "taskkill /F /IM quorvi.exe",
                                        "lower bound: TerminateProcess by the benchmark itself, no program started"};
    KillTimes times = MeasureKillers(bench, Join(directory, "quorvi.exe"), killers, names, counted);
    CloseHandle(counted);

    Figure figure = ReportKillers(bench, times, names);
    AddQuenchBreakdown(bench, directory, Median(times.times[0]), Median(times.times[1]), Median(times.times[2]),
                       figure);
    Say("  quench %.1f ms, taskkill %.1f ms\n", Median(times.times[0]), Median(times.times[1]));
    return figure;
}
