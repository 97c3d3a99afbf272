// The role starters that figures 1 and 2 measure, each against the minimal
// starter with the same manifest.
#pragma once
#include "bench.h"

#include <stddef.h>
#include <string>

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
const size_t StarterCount = sizeof Starters / sizeof Starters[0];

// A directory with the four starters, both minimal starters and one core
// library (as Tovrel.dll).
bool PrepareStarterDirectory(const Bench &bench, const std::string &directory, const char *core);
