// Figure 3's breakdown: where a killer's time goes, from programs started
// and awaited like the killers while no quorvi.exe runs.
#include "quench_breakdown.h"

#include "files.h"
#include "processes.h"
#include "report.h"
#include "run.h"
#include "statistics.h"

#include <algorithm>
#include <vector>

// Where a killer's time goes: programs started and awaited like the killers.
struct Breakdown {
    bool ready = false; // its directories could be laid out
    int runs = 0;
    std::vector<double> times[3];
    int failures = 0;
};

static const char *const BreakdownNames[3] = {
    "`quench.exe nomatch.exe`: start, snapshot walk, exit; nothing to end",
    "minimal starter without a core library: start and exit of a kernel32-only program",
    "minimal starter with the fast core: the same with user32 loaded"};

// Times quench finding nothing, and the start and exit of the minimal
// starter without a core library (kernel32 alone) and with the fast core
// (user32 as well).
static Breakdown MeasureBreakdown(const Bench &bench, const std::string &directory)
{
    Breakdown b;
    std::string bare = Join(directory, "bare"), withUser32 = Join(directory, "user32");
    std::string minimal = Join(bench.tools, "bench_minimal_cc.exe");
    b.ready = MakeDirectoryOrSay(bare) && MakeDirectoryOrSay(withUser32) &&
              CopyOrSay(minimal, bare, "bench_minimal_cc.exe") &&
              CopyOrSay(minimal, withUser32, "bench_minimal_cc.exe") &&
              CopyOrSay(Join(bench.tools, "bench_core_fast.dll"), withUser32, "Tovrel.dll");
    if (!b.ready) return b;
    const std::string programs[3] = {Quoted(Join(bench.dist, "quench.exe")) + " nomatch.exe",
                                     Quoted(Join(bare, "bench_minimal_cc.exe")),
                                     Quoted(Join(withUser32, "bench_minimal_cc.exe"))};
    b.runs = std::max(10, 4 * bench.quenchRuns);
    for (int round = 0; round < b.runs; round++)
        for (int turn = 0; turn < 3; turn++) {
            int k = (turn + round) % 3;
            double started = Now();
            HANDLE process = Start(bench, programs[k]);
            if (process && WaitForSingleObject(process, 60000) == WAIT_OBJECT_0)
                b.times[k].push_back(Now() - started);
            else
                b.failures++;
            if (process) {
                if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) EndProcess(process);
                CloseHandle(process);
            }
        }
    return b;
}

static void ReportBreakdown(const Breakdown &b, double quench, double taskkill, double lowest, Figure &figure)
{
    if (!b.ready || b.failures) figure.measurementFailed = true;
    if (!b.ready) return;
    figure.section += Format("Where a killer's time goes (no budget): programs started and awaited like the "
                             "killers, %d runs each, taking turns; there is no quorvi.exe running.\n\n",
                             b.runs);
    figure.section += "| program | runs | median ms | p95 ms |\n|---|---:|---:|---:|\n";
    for (int k = 0; k < 3; k++)
        figure.section += Format("| %s | %zu | %s | %s |\n", BreakdownNames[k], b.times[k].size(),
                                 Number(Median(b.times[k])).c_str(), Number(Percentile95(b.times[k])).c_str());
    figure.section += "\n";

    // What the figures above say about the budget, from the medians.
    double bareStart = Median(b.times[1]), user32 = Median(b.times[2]) - Median(b.times[1]);
    figure.section +=
        Format("Read together: the start and exit of a kernel32-only program plus the lower bound, the best any "
               "killer program could do here, come to %s ms, %s of taskkill's median. Loading user32 adds %s ms "
               "to a start; quench imports it, as every deliverable does (message boxes), so quench without "
               "user32 at start-up would take about %s ms, %s of taskkill's median.\n\n",
               Number(bareStart + lowest, "%.0f").c_str(), Ratio(bareStart + lowest, taskkill).c_str(),
               Number(user32, "%.0f").c_str(), Number(quench - user32, "%.0f").c_str(),
               Ratio(quench - user32, taskkill).c_str());
}

void AddQuenchBreakdown(const Bench &bench, const std::string &directory, double quench, double taskkill,
                        double lowest, Figure &figure)
{
    ReportBreakdown(MeasureBreakdown(bench, directory), quench, taskkill, lowest, figure);
}
