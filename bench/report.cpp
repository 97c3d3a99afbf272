#include "report.h"

#include "statistics.h"

#include <cmath>
#include <stdarg.h>
#include <stdio.h>

std::string Format(const char *format, ...)
{
    char buffer[4096];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string Number(double value, const char *format) { return std::isnan(value) ? "n/a" : Format(format, value); }

std::string Ratio(double value, double base) { return Number(RatioOf(value, base), "%.3f"); }

std::string TimeTableHeader(const char *what)
{
    return Format("| %s | runs | median ms | p95 ms | baseline | baseline median ms | baseline p95 ms "
                  "| ratio of medians | ratio of p95 |\n"
                  "|---|---:|---:|---:|---|---:|---:|---:|---:|\n",
                  what);
}

std::string TimeRow(const std::string &name, const std::vector<double> &values, const std::string &baseName,
                    const std::vector<double> &base)
{
    return Format("| %s | %zu | %s | %s | %s | %s | %s | %s | %s |", name.c_str(), values.size(),
                  Number(Median(values)).c_str(), Number(Percentile95(values)).c_str(), baseName.c_str(),
                  Number(Median(base)).c_str(), Number(Percentile95(base)).c_str(),
                  Ratio(Median(values), Median(base)).c_str(), Ratio(Percentile95(values), Percentile95(base)).c_str());
}

std::string ReportText(const Figure (&figures)[6], double seconds)
{
    bool measurementFailed = false;
    std::string text = "## Budgets\n\n| figure | budget | measured | result |\n|---|---|---|---|\n";
    for (const Figure &figure : figures) {
        text += figure.budgets;
        measurementFailed = measurementFailed || figure.measurementFailed;
    }
    text += Format("\nMeasurements took %.0f s.%s\n\n", seconds,
                   measurementFailed ? " Some measurements failed; see the figures." : "");
    for (const Figure &figure : figures) text += figure.section;
    return text;
}
