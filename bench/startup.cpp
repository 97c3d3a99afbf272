// Figure 1: the start-up time of each role starter against the minimal
// starter with the same manifest and core library.
#include "bench.h"
#include "files.h"
#include "report.h"
#include "run.h"
#include "starters.h"
#include "statistics.h"

#include <vector>

static const double StartBudget = 1.10; // ratio of medians at most

struct StartupTimes {
    std::vector<double> times[StarterCount], baseTimes[StarterCount];
    int failures[StarterCount] = {};
};

static StartupTimes MeasureStartup(const Bench &bench, const std::string &directory)
{
    StartupTimes t;
    auto path = [&](const char *name) { return Join(directory, std::string(name) + ".exe"); };

    // Not counted: the first runs fill the caches of the file system (and,
    // under Wine, of the server).
    for (const Starter &s : Starters)
        for (int i = 0; i < 3; i++) {
            TimedRun(bench, path(s.name));
            TimedRun(bench, path(s.baseline));
        }

    // Each starter alternates with its baseline, the order swapping every
    // round, so that a drift of the machine falls on both alike.
    for (int round = 0; round < bench.runs; round++) {
        for (size_t k = 0; k < StarterCount; k++) {
            if (round % 2 == 0) {
                Record(t.times[k], TimedRun(bench, path(Starters[k].name)), t.failures[k]);
                Record(t.baseTimes[k], TimedRun(bench, path(Starters[k].baseline)), t.failures[k]);
            } else {
                Record(t.baseTimes[k], TimedRun(bench, path(Starters[k].baseline)), t.failures[k]);
                Record(t.times[k], TimedRun(bench, path(Starters[k].name)), t.failures[k]);
            }
        }
        if ((round + 1) % 20 == 0 || round + 1 == bench.runs) Say("  round %d of %d\n", round + 1, bench.runs);
    }
    return t;
}

static Figure ReportStartup(const Bench &bench, const StartupTimes &t)
{
    Figure figure;
    figure.section = "## 1. Start-up\n\n";
    figure.section +=
        Format("Each role starter, with a core library whose `Tovrel` returns at once and links user32 "
               "(`bench/core_fast.c`: CharNextA, no display driver), started with CreateProcessA and awaited with "
               "WaitForSingleObject %d times, alternating run by run with the minimal starter "
               "(`bench/minimal_starter.c`: LoadLibraryA, GetProcAddress, the call, ExitProcess; no C runtime, "
               "kernel32 only) with the same core and the same manifest (`resources/common-controls.manifest` for "
               "quorvi and quorviClient, `resources/administrator.manifest` for the other two). Three "
               "uncounted warm-up runs each. Time from CreateProcessA to the end of the wait, in milliseconds. "
               "Budget: ratio of medians at most %.2f.\n\n",
               bench.runs, StartBudget);
    figure.section += TimeTableHeader("starter");
    for (size_t k = 0; k < StarterCount; k++) {
        double median = Median(t.times[k]), baseMedian = Median(t.baseTimes[k]);
        bool holds = !t.failures[k] && !t.times[k].empty() && RatioOf(median, baseMedian) <= StartBudget;
        figure.budgetMissed = figure.budgetMissed || !holds;
        figure.measurementFailed = figure.measurementFailed || t.failures[k];
        figure.section += TimeRow(std::string(Starters[k].name) + ".exe", t.times[k],
                                  std::string(Starters[k].baseline) + ".exe", t.baseTimes[k]) +
                          "\n";
        figure.budgets +=
            Format("| 1. start-up of %s.exe | ratio of medians <= %.2f | %s%s | %s |\n", Starters[k].name, StartBudget,
                   Ratio(median, baseMedian).c_str(),
                   t.failures[k] ? Format(", %d failed runs", t.failures[k]).c_str() : "", holds ? "holds" : "missed");
        Say("  %s: median %.1f ms, baseline %.1f ms, ratio %s\n", Starters[k].name, median, baseMedian,
            Ratio(median, baseMedian).c_str());
    }
    figure.section += "\n";
    return figure;
}

Figure StartupFigure(const Bench &bench)
{
    Say("== 1. start-up, %d runs per starter\n", bench.runs);
    std::string directory = Join(bench.work, "startup");
    if (!PrepareStarterDirectory(bench, directory, "bench_core_fast.dll")) {
        Figure figure;
        figure.measurementFailed = true;
        figure.section = "## 1. Start-up\n\nNot measured: the programs could not be copied.\n\n";
        return figure;
    }
    return ReportStartup(bench, MeasureStartup(bench, directory));
}
