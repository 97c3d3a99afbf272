// The checks of the end-to-end tests, in the manner of Wine's own
// conformance tests, so that one set of checks serves Windows and Wine:
//   ok(condition, format, ...)         an ordinary check
//   todo_wine(condition, format, ...)  what Windows does and Wine does not:
//                                      an ordinary check on Windows; under
//                                      Wine a failure counts as todo and a
//                                      pass as a failure (the gap closed)
//   skip(format, ...)                  says what was not checked and why
//   ok_(file, line), todo_wine_(file, line)
//                                      the same, reported at the given place:
//                                      a helper that takes its caller's line
//                                      defines lok as ok_(__FILE__, line)
// Every test program ends with TestSummary, whose line
// "<name>: N passed, N failed, N todo, N skipped" the kit's runner reads.
// The helpers that drive the programs from outside stand apart, in
// files.h, processes.h, boxes.h and service_control.h.
#pragma once
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "platform.h"

static int testsPassed, testsFailed, testsTodo, testsSkipped;
static const char *testFile;
static int testLine;

// The source file's name without the build machine's directories.
static inline const char *SourceName(const char *file)
{
    const char *name = file;
    for (const char *c = file; *c; c++)
        if (*c == '/' || *c == '\\') name = c + 1;
    return name;
}

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

static inline void SkipAt(const char *format, ...)
{
    char message[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    printf("%s:%d: skipped: %s\n", testFile, testLine, message);
    fflush(stdout);
    testsSkipped++;
}

#define ok_(file, line) (testFile = SourceName(file), testLine = (line)), CheckAt
#define todo_wine_(file, line) (testFile = SourceName(file), testLine = (line)), TodoAt
#define ok ok_(__FILE__, __LINE__)
#define todo_wine todo_wine_(__FILE__, __LINE__)
#define skip (testFile = SourceName(__FILE__), testLine = __LINE__), SkipAt

// Says in the log which platform the checks ran on.
static inline void ReportPlatform(const char *name)
{
    OSVERSIONINFOA version = ReportedWindowsVersion();
    if (const char *wine = WineVersion())
        printf("# %s: running on Wine %s (reports Windows %lu.%lu)\n", name, wine, version.dwMajorVersion,
               version.dwMinorVersion);
    else
        printf("# %s: running on Windows %lu.%lu build %lu, ANSI code page %u\n", name, version.dwMajorVersion,
               version.dwMinorVersion, version.dwBuildNumber, GetACP());
    fflush(stdout);
}

static inline int TestSummary(const char *name)
{
    printf("%s: %d passed, %d failed, %d todo, %d skipped\n", name, testsPassed, testsFailed, testsTodo,
           testsSkipped);
    fflush(stdout);
    return testsFailed ? 1 : 0;
}

// Lines joined into one, for a failure message.
static inline std::string Joined(const std::vector<std::string> &lines)
{
    std::string all;
    for (const auto &l : lines) all += (all.empty() ? "" : " | ") + l;
    return all;
}

// How long each part of a test took since the last call, in the log, for
// those who keep the run short.
static inline void Timed(const char *part)
{
    static DWORD last = GetTickCount();
    DWORD now = GetTickCount();
    printf("# %s: %lu ms\n", part, now - last);
    fflush(stdout);
    last = now;
}
