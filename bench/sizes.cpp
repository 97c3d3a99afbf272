// Figure 5: the deliverables' sizes without resources against their size
// budgets (size-budgets.txt beside the benchmark's own programs).
#include "bench.h"
#include "files.h"
#include "report.h"
#include "run.h"

#include <string.h>

#include <sstream>
#include <vector>

struct SizeBudget {
    std::string program;
    DWORD bytes;
};

struct SizeBudgets {
    std::vector<SizeBudget> programs; // in the file's order
    std::string wording;              // "16 KiB for the starters and quench, ..."
};

static std::string Size(DWORD bytes)
{
    return bytes % 1024 ? Format("%lu bytes", bytes) : Format("%lu KiB", bytes / 1024);
}

// The budgets file: "bytes program... : words" a line, # for comments.
static bool ReadSizeBudgets(const std::string &path, SizeBudgets &budgets)
{
    for (const std::string &line : ReadLines(path)) {
        size_t colon = line.find(':');
        if (line.empty() || line[0] == '#' || colon == std::string::npos) continue;
        size_t first = line.find_first_not_of(" \t", colon + 1), last = line.find_last_not_of(" \t");
        if (first == std::string::npos) return false; // no words for the report
        std::string words = line.substr(first, last - first + 1);
        std::istringstream fields(line.substr(0, colon));
        DWORD bytes = 0;
        std::string program;
        if (!(fields >> bytes)) return false;
        while (fields >> program) budgets.programs.push_back({program, bytes});
        budgets.wording += (budgets.wording.empty() ? "" : ", ") + Size(bytes) + " for " + words;
    }
    return !budgets.programs.empty();
}

// The file's size and the raw size of its .rsrc section, read from the PE
// section table; false when the file is not a PE image.
static bool PeSizes(const std::string &path, DWORD *fileSize, DWORD *resourceSize)
{
    std::string image = ReadWholeFile(path);
    *fileSize = (DWORD)image.size();
    auto word = [&](DWORD at) {
        return at + 2 <= image.size() ? (DWORD)((unsigned char)image[at] | (unsigned char)image[at + 1] << 8) : 0;
    };
    auto dword = [&](DWORD at) { return at + 4 <= image.size() ? word(at) | word(at + 2) << 16 : 0; };
    if (word(0) != 0x5A4D) return false;
    DWORD pe = dword(0x3C);
    if (dword(pe) != 0x4550) return false;
    DWORD sections = word(pe + 6), table = pe + 24 + word(pe + 20);
    *resourceSize = 0;
    for (DWORD i = 0; i < sections; i++) {
        DWORD at = table + 40 * i;
        if (at + 40 > image.size()) return false;
        if (!memcmp(&image[at], ".rsrc\0\0\0", 8)) *resourceSize += dword(at + 16);
    }
    return true;
}

static void ReportProgram(const Bench &bench, const SizeBudget &budget, Figure &figure)
{
    DWORD size = 0, resources = 0;
    std::string name = budget.program + ".exe";
    if (!PeSizes(Join(bench.dist, name), &size, &resources)) {
        figure.measurementFailed = figure.budgetMissed = true;
        figure.section += Format("| %s | not readable | | | %lu | missed |\n", name.c_str(), budget.bytes);
        figure.budgets += Format("| 5. size of %s | <= %lu bytes without resources | not readable | missed |\n",
                                 name.c_str(), budget.bytes);
        return;
    }
    bool holds = size - resources <= budget.bytes;
    figure.budgetMissed = figure.budgetMissed || !holds;
    figure.section += Format("| %s | %lu | %lu | %lu | %lu | %s |\n", name.c_str(), size, resources, size - resources,
                             budget.bytes, holds ? "holds" : "missed");
    figure.budgets += Format("| 5. size of %s | <= %lu bytes without resources | %lu | %s |\n", name.c_str(),
                             budget.bytes, size - resources, holds ? "holds" : "missed");
    Say("  %s: %lu bytes, %lu without resources\n", name.c_str(), size, size - resources);
}

Figure SizeFigure(const Bench &bench)
{
    Say("== 5. size\n");
    Figure figure;
    figure.section = "## 5. Size\n\n";
    SizeBudgets budgets;
    std::string budgetsPath = Join(bench.tools, "size-budgets.txt");
    if (!ReadSizeBudgets(budgetsPath, budgets)) {
        Say("no size budgets in %s\n", budgetsPath.c_str());
        figure.measurementFailed = figure.budgetMissed = true;
        figure.section += "Not measured: no size budgets in `size-budgets.txt`.\n\n";
        return figure;
    }
    figure.section +=
        "File size, and size without resources: the file size minus the raw size (SizeOfRawData) of the `.rsrc` "
        "section, read from the PE section table (the same figure as the size of a copy with the section removed "
        "by `objcopy --remove-section .rsrc`, which `scripts/check-sizes` checks in the test run). Budget without "
        "resources: " +
        budgets.wording + ". The baselines are listed for comparison.\n\n";
    figure.section += "| program | file bytes | .rsrc bytes | bytes without resources | budget | result |\n"
                      "|---|---:|---:|---:|---:|---|\n";
    for (const SizeBudget &budget : budgets.programs) ReportProgram(bench, budget, figure);
    for (const char *name : {"bench_minimal_cc.exe", "bench_minimal_admin.exe", "bench_service.exe"}) {
        DWORD size = 0, resources = 0;
        if (PeSizes(Join(bench.tools, name), &size, &resources))
            figure.section +=
                Format("| %s (baseline) | %lu | %lu | %lu | | |\n", name, size, resources, size - resources);
    }
    figure.section += "\n";
    return figure;
}
