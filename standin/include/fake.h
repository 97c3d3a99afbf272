// The stand-in's recording and scripting side, for unit tests only.
//
// Every stand-in function appends one line to fake::calls, in the form
// "Name(arg, arg, ...)", with handles shown as "kind#id" and texts quoted.
// A test scripts a result by setting the function's hook: a hook takes the
// full parameter list of its function and, once set, is the whole function
// (the call is still recorded); an empty hook gives the default behaviour
// described beside each stand-in function.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <shlwapi.h>
#include <tlhelp32.h>
#include <windows.h>
#include <winsock2.h>
#include <wtsapi32.h>

namespace fake {

extern std::vector<std::string> calls;
void Record(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Calls whose line starts with prefix, e.g. Calls("CloseHandle(").
std::vector<std::string> Calls(const std::string &prefix);
// All calls, one per line, for failure messages.
std::string Log();

// Typed fake handles: every handle the stand-in gives out points to one.
struct Object {
    std::string kind; // "file", "process", "thread", "module", "snapshot", "scm", "service", ...
    int id;
    std::string name;
    bool closed;
};
HANDLE NewHandle(const std::string &kind, const std::string &name);
Object *Lookup(const void *handle); // nullptr for anything the stand-in did not give out
std::string Describe(const void *handle); // "file#3", "NULL", "INVALID", "0x..."

// ExitProcess, and TerminateProcess of the own process, end the "process"
// by throwing this; tests catch it where a real process would have ended.
struct ProcessExit {
    unsigned code;
};

// A message box as the stand-in saw it.
struct Box {
    std::string text, caption;
    unsigned type;
    bool hasOwner;
};
extern std::vector<Box> boxes;

// A library LoadLibraryA can find: its exports by name and by ordinal.
struct Library {
    std::map<std::string, FARPROC> byName;
    std::map<unsigned, FARPROC> byOrdinal;
};
extern std::map<std::string, Library> libraries;     // loadable, keyed by the exact name passed
extern std::map<std::string, HMODULE> presentModules; // already in the process (GetModuleHandleA)

// Stack-pointer difference the next checked call of a bound entry sees; a
// fake entry sets it to act as a callee of the wrong calling convention.
extern long nextStackDelta;

// Heap accounting: blocks live now, and a countdown to a refused HeapAlloc.
extern long liveBlocks;
extern long heapAllocsBeforeFailure; // -1: never fail
void FreeHeap(); // the heap of an ended process: every live block goes

extern std::string commandLine;   // GetCommandLineA
extern std::string moduleFileName; // GetModuleFileNameA(NULL, ...)
extern DWORD currentProcessId, currentThreadId;
extern DWORD consoleSessionId; // WTSGetActiveConsoleSessionId
extern DWORD lastError;

// Each hook has the type of the function it stands in for: the same result
// and the full parameter list, as declared in the stand-in's headers.
struct Hooks {
    std::function<decltype(::GetModuleHandleA)> GetModuleHandleA;
    std::function<decltype(::LoadLibraryA)> LoadLibraryA;
    std::function<decltype(::CreateFileA)> CreateFileA;
    std::function<decltype(::WriteFile)> WriteFile;
    std::function<decltype(::SetFilePointer)> SetFilePointer;
    std::function<decltype(::CloseHandle)> CloseHandle;
    std::function<decltype(::CreateDirectoryA)> CreateDirectoryA;
    std::function<decltype(::PathFileExistsA)> PathFileExistsA;
    std::function<decltype(::CreateProcessA)> CreateProcessA;
    std::function<decltype(::WaitForSingleObject)> WaitForSingleObject;
    std::function<decltype(::OpenProcess)> OpenProcess;
    std::function<decltype(::TerminateProcess)> TerminateProcess;
    std::function<decltype(::CreateThread)> CreateThread;
    std::function<decltype(::MessageBoxA)> MessageBoxA;
    std::function<decltype(::GetMessageA)> GetMessageA;
    std::function<decltype(::WSAStartup)> WSAStartup;
    std::function<decltype(::gethostname)> gethostname;
    std::function<decltype(::CreateToolhelp32Snapshot)> CreateToolhelp32Snapshot;
    std::function<decltype(::Process32First)> Process32First;
    std::function<decltype(::Process32Next)> Process32Next;
    std::function<decltype(::WTSEnumerateProcessesA)> WTSEnumerateProcessesA;
    std::function<decltype(::WTSSendMessageA)> WTSSendMessageA;
    std::function<decltype(::LookupAccountSidA)> LookupAccountSidA;
    std::function<decltype(::OpenSCManagerA)> OpenSCManagerA;
    std::function<decltype(::OpenServiceA)> OpenServiceA;
    std::function<decltype(::CreateServiceA)> CreateServiceA;
    std::function<decltype(::QueryServiceStatus)> QueryServiceStatus;
    std::function<decltype(::ChangeServiceConfig2A)> ChangeServiceConfig2A;
    std::function<decltype(::StartServiceA)> StartServiceA;
    std::function<decltype(::StartServiceCtrlDispatcherA)> StartServiceCtrlDispatcherA;
    std::function<decltype(::RegisterServiceCtrlHandlerA)> RegisterServiceCtrlHandlerA;
    std::function<decltype(::SetServiceStatus)> SetServiceStatus;
};
extern Hooks hooks;

// Back to a fresh process: no calls, no hooks, no objects, default state.
void Reset();

} // namespace fake
