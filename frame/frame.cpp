// Process start and exit, fatal-error and out-of-memory reports.
#include "frame.h"

HANDLE ProcessHeap;
CleanupRoutine CleanupSlot1;
CleanupRoutine CleanupSlot2;
CleanupRoutine ReleaseHook;
BoxRoutine ErrorBoxRoutine;

LONG ExitSequenceStarted;

extern "C" void ProcessEntry(void)
{
    ProcessHeap = GetProcessHeap();
    CreateGlobalVariables();
    CleanupSlot1 = FreeGlobalVariables;
    (void)StartRoutine();
    ExitProgram();
}

void ExitProgram(void)
{
    // Once only: a failure inside the clean-up itself must not run it again,
    // and in a service the worker and the main thread may both get here; two
    // clean-ups at once would free the same blocks twice. The later thread
    // just ends the process.
    if (InterlockedExchange(&ExitSequenceStarted, 1) == 0) {
        if (CleanupSlot1) CleanupSlot1();
        if (CleanupSlot2) CleanupSlot2();
        if (ReleaseHook) ReleaseHook();
    }
    ExitProcess(0);
}

static const char *FatalErrorMessage(int error)
{
    switch (error) {
    case ErrorIndexAboveRange: return "数组成员引用下标超出定义范围";
    case ErrorIndexBelowOne: return "数组成员引用下标必须大于等于1";
    case ErrorStackUnbalanced: return "调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确";
    }
    return "";
}

void ReportFatalError(int error, int location1, int location2)
{
    // The three lines are at most about 160 bytes with any two locations.
    char text[256];
    wsprintfA(text, "program internal error number is %d. \r\n%s\r\n错误位置:%d,%d(仅5.8以上版本有效)", error,
              FatalErrorMessage(error), location1, location2);
    ShowErrorBox(text, "error");
    ExitProgram();
}

void ReportOutOfMemory(void)
{
    ShowErrorBox("内存不足", "error");
    ExitProgram();
}

void ShowErrorBox(const char *text, const char *title)
{
    if (ErrorBoxRoutine)
        ErrorBoxRoutine(text, title, MB_ICONERROR);
    else
        (void)MessageBoxA(NULL, text, title, MB_ICONERROR); // OK is the only answer
}

void *AllocateBlock(DWORD size, bool zeroFilled)
{
    void *block = HeapAlloc(ProcessHeap, zeroFilled ? HEAP_ZERO_MEMORY : 0, size);
    if (!block) ReportOutOfMemory();
    return block;
}

void FreeBlock(void *block)
{
    if (block) (void)HeapFree(ProcessHeap, 0, block);
}

void CheckIndex(long index, DWORD count, int location1, int location2)
{
    if (index < 1) ReportFatalError(ErrorIndexBelowOne, location1, location2);
    if ((unsigned long)index > count) ReportFatalError(ErrorIndexAboveRange, location1, location2);
}
