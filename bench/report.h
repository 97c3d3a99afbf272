// The report writer: numbers as the report shows them, the tables the
// figures share, and the whole report put together from the figures.
#pragma once
#include "bench.h"

#include <string>
#include <vector>

std::string Format(const char *format, ...);
// A value, or "n/a" when there is none.
std::string Number(double value, const char *format = "%.1f");
// The ratio of two values to three places, or "n/a".
std::string Ratio(double value, double base);

// A table of times against a baseline, one row per program.
std::string TimeTableHeader(const char *what);
std::string TimeRow(const std::string &name, const std::vector<double> &values, const std::string &baseName,
                    const std::vector<double> &base);

// The budget table, how long the measurements took, then the figures'
// sections; figures[n] is figure n (1 to 5), an empty one where it did not run.
std::string ReportText(const Figure (&figures)[6], double seconds);
