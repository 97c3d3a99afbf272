// Running the programs under measurement: the clock, progress lines, and
// starts that say why they failed.
#pragma once
#include "bench.h"

#include <string>
#include <vector>

// Milliseconds on the performance counter.
double Now();
// A line of progress on standard output.
void Say(const char *format, ...);

bool MakeDirectoryOrSay(const std::string &path);
bool CopyOrSay(const std::string &from, const std::string &directory, const std::string &name);

// Starts a command line in the work directory with NUL as its standard
// handles; the process, or NULL.
HANDLE Start(const Bench &bench, const std::string &commandLine);

// Milliseconds from CreateProcessA to the end of the wait; -1 on a failure
// (not started, not ended within a minute, exit code other than 0).
double TimedRun(const Bench &bench, const std::string &exe);

// Keeps a measured value, or counts a failure (a negative value).
bool Record(std::vector<double> &values, double value, int &failures);
