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

static void ReportCheck(bool passed, bool todo, const char *format, va_list args)
{
    char message[2048];
    vsnprintf(message, sizeof message, format, args);
    if (todo) {
        // What Windows does but Wine does not: shown, not counted as a failure.
        printf("%s:%d: %s %s\n", testFile, testLine, passed ? "todo_wine passed:" : "todo_wine:", message);
        testsTodo++;
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
