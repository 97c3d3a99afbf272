// The statistics of every figure: medians, 95th percentiles and their ratios.
#pragma once
#include <vector>

double Median(std::vector<double> values);
// Nearest rank: the smallest value with at least 95% of the values at or below it.
double Percentile95(std::vector<double> values);
// value / base; NAN when either is missing or the base is not positive.
double RatioOf(double value, double base);
