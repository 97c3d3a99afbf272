#include "statistics.h"

#include <algorithm>
#include <cmath>

double Median(std::vector<double> values)
{
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Percentile95(std::vector<double> values)
{
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    size_t rank = (size_t)std::ceil(0.95 * values.size());
    return values[rank ? rank - 1 : 0];
}

double RatioOf(double value, double base)
{
    return std::isnan(value) || std::isnan(base) || base <= 0 ? NAN : value / base;
}
