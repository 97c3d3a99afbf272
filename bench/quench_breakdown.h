// Figure 3's breakdown of a killer's time (no budget), appended to its
// section together with what it says about the budget.
#pragma once
#include "bench.h"

#include <string>

// quench, taskkill and lowest are the medians of the killers' times (ms);
// directory is figure 3's own.
void AddQuenchBreakdown(const Bench &bench, const std::string &directory, double quench, double taskkill,
                        double lowest, Figure &figure);
