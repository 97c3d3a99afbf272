// A small harness for the Wine tests, in the manner of Wine's own
// conformance tests: ok() checks that report the caller's line and a
// summary. The helpers that drive the real programs from outside, shared
// with the benchmark, come with it.
#pragma once
#include <windows.h>

#include "boxes.h"
#include "files.h"
#include "processes.h"

#include <stdarg.h>
#include <stdio.h>
#include <string>
#include <vector>

static int testsPassed, testsFailed, testsTodo;
static const char *testFile;
static int testLine;

// Wine's ntdll exports wine_get_version; Windows' does not.
static inline bool RunningUnderWine(void)
{
    static int underWine = -1;
    if (underWine < 0) underWine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != NULL;
    return underWine == 1;
}

// A todo check is what Windows does and Wine does not: under Wine its
// failure is shown and counted apart, and its success is a failure (the gap
// closed, so the todo must go); elsewhere it is an ordinary check.
static void ReportCheck(bool passed, bool todo, const char *format, va_list args)
{
    char message[2048];
    vsnprintf(message, sizeof message, format, args);
    if (todo && RunningUnderWine()) {
        if (passed) {
            printf("%s:%d: not ok: test succeeded inside todo block: %s\n", testFile, testLine, message);
            testsFailed++;
        } else {
            printf("%s:%d: todo_wine: %s\n", testFile, testLine, message);
            testsTodo++;
        }
    } else if (passed) {
        testsPassed++;
    } else {
        printf("%s:%d: not ok: %s\n", testFile, testLine, message);
        testsFailed++;
    }
    fflush(stdout);
}

static inline void CheckAt(bool passed, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    ReportCheck(passed, false, format, args);
    va_end(args);
}

static inline void TodoAt(bool passed, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    ReportCheck(passed, true, format, args);
    va_end(args);
}

#define ok (testFile = __FILE__, testLine = __LINE__), CheckAt
#define todo_wine (testFile = __FILE__, testLine = __LINE__), TodoAt

static inline int TestSummary(const char *name)
{
    printf("%s: %d passed, %d failed, %d todo\n", name, testsPassed, testsFailed, testsTodo);
    return testsFailed ? 1 : 0;
}

// Lines joined into one, for a failure message.
static inline std::string Joined(const std::vector<std::string> &lines)
{
    std::string all;
    for (const auto &l : lines) all += (all.empty() ? "" : " | ") + l;
    return all;
}
