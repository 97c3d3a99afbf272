#include "starters.h"

#include "files.h"
#include "run.h"

bool PrepareStarterDirectory(const Bench &bench, const std::string &directory, const char *core)
{
    bool ready = MakeDirectoryOrSay(directory);
    for (const Starter &s : Starters) {
        std::string exe = std::string(s.name) + ".exe";
        ready = ready && CopyOrSay(Join(bench.dist, exe), directory, exe);
    }
    for (const char *name : {"bench_minimal_cc.exe", "bench_minimal_admin.exe"})
        ready = ready && CopyOrSay(Join(bench.tools, name), directory, name);
    return ready && CopyOrSay(Join(bench.tools, core), directory, "Tovrel.dll");
}
