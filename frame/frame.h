// The process frame every program shares: start, clean-up slots, fatal
// errors, exhausted memory, heap blocks and the exit with code 0.
#pragma once
#include <windows.h>

typedef void (*CleanupRoutine)(void);
// Shows an error box (no owner window) and returns once it was answered.
typedef void (*BoxRoutine)(const char *text, const char *title, UINT style);

extern HANDLE ProcessHeap;
extern CleanupRoutine CleanupSlot1; // frees the program's global variables
extern CleanupRoutine CleanupSlot2; // closes the files still open
extern CleanupRoutine ReleaseHook;  // releases the libraries the binding loaded
extern BoxRoutine ErrorBoxRoutine;  // empty: MessageBoxA on this desktop
extern LONG ExitSequenceStarted;    // 1 once a thread has entered the exit sequence

// Supplied by each program.
void CreateGlobalVariables(void);
void FreeGlobalVariables(void);
int StartRoutine(void);

// The process entry: start sequence, StartRoutine, exit sequence.
extern "C" void ProcessEntry(void);

// Runs the clean-up slots and the release hook once, then ends the
// process with exit code 0, from whichever thread calls it.
[[noreturn]] void ExitProgram(void);

// The error boxes of the frame and the binding: MB_ICONERROR, no owner,
// through ErrorBoxRoutine when one is set.
void ShowErrorBox(const char *text, const char *title);

enum FatalError {
    ErrorIndexAboveRange = 1,
    ErrorIndexBelowOne = 4,
    ErrorStackUnbalanced = 6,
};
[[noreturn]] void ReportFatalError(int error, int location1, int location2);
[[noreturn]] void ReportOutOfMemory(void);

// Never returns null: a refused allocation is the out-of-memory report.
void *AllocateBlock(DWORD size, bool zeroFilled);
void FreeBlock(void *block);

// The index test of a 1-based array element access: error 4 below 1,
// error 1 above the element count.
void CheckIndex(long index, DWORD count, int location1, int location2);

// Location numbers shown in the fatal-error box: the number of the source
// file that reports the error, then the line of the failed test (so moving
// that line changes the box). Every such file has its number in this one
// list. Users quote these numbers, so a file keeps its number; a new file
// goes at the end without a value and so takes the next number, which no
// file has.
enum SourceFileNumber {
    SourceCoreLibrary = 2,  // frame/corelibrary.cpp
    SourceCommandLine = 13, // frame/hostops_commandline.cpp
    SourceProcessList = 41, // terminator/processes.cpp
};
#define FATAL_LOCATION(sourceFileNumber) (sourceFileNumber), __LINE__
