// The stand-in's recording and scripting side, for unit tests only.
//
// Every stand-in function appends one line to fake::calls, in the form
// "Name(arg, arg, ...)", with handles shown as "kind#id" and texts quoted.
// A test scripts a result by setting the function's hook; an empty hook
// gives the default behaviour described beside each stand-in function.
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

struct Hooks {
    std::function<HMODULE(LPCSTR)> GetModuleHandleA, LoadLibraryA;
    std::function<HANDLE(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)> CreateFileA;
    std::function<BOOL(HANDLE, LPCVOID, DWORD, LPDWORD)> WriteFile;
    std::function<DWORD(HANDLE, LONG, PLONG, DWORD)> SetFilePointer;
    std::function<BOOL(HANDLE)> CloseHandle;
    std::function<BOOL(LPCSTR, LPSECURITY_ATTRIBUTES)> CreateDirectoryA;
    std::function<BOOL(LPCSTR)> PathFileExistsA;
    std::function<BOOL(LPSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION)> CreateProcessA;
    std::function<DWORD(HANDLE, DWORD)> WaitForSingleObject;
    std::function<HANDLE(DWORD, BOOL, DWORD)> OpenProcess;
    std::function<BOOL(HANDLE, UINT)> TerminateProcess;
    std::function<HANDLE(LPTHREAD_START_ROUTINE, LPVOID)> CreateThread;
    std::function<int(LPCSTR, LPCSTR, UINT)> MessageBoxA;
    std::function<BOOL(LPMSG)> GetMessageA;
    std::function<int(WORD, LPWSADATA)> WSAStartup;
    std::function<int(char *, int)> gethostname;
    std::function<HANDLE(DWORD, DWORD)> CreateToolhelp32Snapshot;
    std::function<BOOL(HANDLE, LPPROCESSENTRY32)> Process32First, Process32Next;
    std::function<BOOL(PWTS_PROCESS_INFOA *, DWORD *)> WTSEnumerateProcessesA;
    std::function<BOOL(HANDLE, DWORD, LPSTR, DWORD, LPSTR, DWORD, DWORD, DWORD, DWORD *, BOOL)> WTSSendMessageA;
    std::function<BOOL(LPCSTR, PSID, LPSTR, LPDWORD, LPSTR, LPDWORD, PSID_NAME_USE)> LookupAccountSidA;
    std::function<SC_HANDLE(LPCSTR, LPCSTR, DWORD)> OpenSCManagerA;
    std::function<SC_HANDLE(SC_HANDLE, LPCSTR, DWORD)> OpenServiceA;
    std::function<SC_HANDLE(SC_HANDLE, LPCSTR, LPCSTR, DWORD, DWORD, DWORD, DWORD, LPCSTR, LPCSTR, LPDWORD, LPCSTR,
                            LPCSTR, LPCSTR)>
        CreateServiceA;
    std::function<BOOL(SC_HANDLE, LPSERVICE_STATUS)> QueryServiceStatus;
    std::function<BOOL(SC_HANDLE, DWORD, LPVOID)> ChangeServiceConfig2A;
    std::function<BOOL(SC_HANDLE)> StartServiceA;
    std::function<BOOL(const SERVICE_TABLE_ENTRYA *)> StartServiceCtrlDispatcherA;
    std::function<SERVICE_STATUS_HANDLE(LPCSTR, LPHANDLER_FUNCTION)> RegisterServiceCtrlHandlerA;
    std::function<BOOL(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS)> SetServiceStatus;
};
extern Hooks hooks;

// Back to a fresh process: no calls, no hooks, no objects, default state.
void Reset();

} // namespace fake
