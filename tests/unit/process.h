// Helpers for running a program's frame against the stand-in.
#pragma once
#include <fake.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "frame/binding.h"
#include "frame/corelibrary.h"
#include "frame/frame.h"
#include "frame/hostops.h"

// A fresh process: stand-in and frame state as at start.
inline void ResetProcess()
{
    fake::Reset();
    ProcessHeap = nullptr;
    CleanupSlot1 = CleanupSlot2 = ReleaseHook = nullptr;
    ErrorBoxRoutine = nullptr;
    ExitSequenceStarted = 0;
    for (auto &slot : LoadedModules) slot = nullptr;
    LoadedModuleCount = 0;
    KeepLoadedModules = false;
    OpenFileList = nullptr; // its records went with the old heap
    UnbindCoreLibrary();
}

// The full path the binding loads a library by: beside the program.
inline std::string BesideProgram(const std::string &name)
{
    const std::string &program = fake::moduleFileName;
    return program.substr(0, program.rfind('\\') + 1) + name;
}

// Runs body, which must end the process; returns the exit code, or -1 when
// body returned instead.
template <typename Body> long RunUntilExit(Body body)
{
    try {
        body();
    } catch (const fake::ProcessExit &exit) {
        return (long)exit.code;
    }
    return -1;
}

// The source file number a fatal-error box shows first on its location
// line ("错误位置:13,84(...)" shows 13), or -1 when it has no such line.
inline int ShownSourceFileNumber(const std::string &boxText)
{
    static const std::string mark = "\r\n错误位置:";
    size_t at = boxText.find(mark);
    return at == std::string::npos ? -1 : atoi(boxText.c_str() + at + mark.size());
}

// Index of the first call starting with prefix, or -1.
inline long CallIndex(const std::string &prefix)
{
    for (size_t i = 0; i < fake::calls.size(); i++)
        if (fake::calls[i].compare(0, prefix.size(), prefix) == 0) return (long)i;
    return -1;
}
