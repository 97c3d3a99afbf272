// What the benchmark's figures share: its settings, and the form in which
// each figure hands its part of the report back.
#pragma once
#include <windows.h>

#include <string>

struct Bench {
    std::string dist;  // the seven deliverables
    std::string tools; // the benchmark's own programs and size-budgets.txt
    std::string work;  // where the figures lay out their directories
    std::string report;
    int runs = 200;
    int memoryRuns = 20;
    int quenchRuns = 10;
    int serviceRuns = 20;
    std::string figures = "12345";
    HANDLE nul = NULL; // the standard handles of every program started
};

// One figure's part of the report.
struct Figure {
    std::string section; // its Markdown section
    std::string budgets; // its rows of the budget table
    bool budgetMissed = false;
    bool measurementFailed = false;
};

Figure StartupFigure(const Bench &bench);
Figure MemoryFigure(const Bench &bench);
Figure QuenchFigure(const Bench &bench);
Figure ServicesFigure(const Bench &bench);
Figure SizeFigure(const Bench &bench);
