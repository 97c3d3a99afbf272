// Stand-in for the kernel32 functions the programs call.
#include <fake.h>

#include <cstdlib>
#include <cstring>
#include <set>

using fake::Describe;
using fake::Record;

static std::string Quoted(LPCSTR text) { return text ? "\"" + std::string(text) + "\"" : "NULL"; }

extern "C" {

HANDLE WINAPI GetProcessHeap(void)
{
    static HANDLE heap = fake::NewHandle("heap", "process heap");
    return heap;
}

// Blocks carry their size in front so that HeapFree can poison them. The
// live ones are remembered: a block of an earlier "process" (see
// fake::Reset) or one freed already is refused, not freed twice.
static std::set<size_t *> heapBlocks;

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes)
{
    Record("HeapAlloc(%s, 0x%x, %zu)", Describe(heap).c_str(), flags, bytes);
    if (fake::heapAllocsBeforeFailure == 0) return nullptr;
    if (fake::heapAllocsBeforeFailure > 0) fake::heapAllocsBeforeFailure--;
    size_t *block = (size_t *)malloc(bytes + sizeof(size_t));
    if (!block) return nullptr;
    *block = bytes;
    memset(block + 1, (flags & HEAP_ZERO_MEMORY) ? 0 : 0xCD, bytes);
    heapBlocks.insert(block);
    fake::liveBlocks++;
    return block + 1;
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID mem)
{
    Record("HeapFree(%s, 0x%x, %s)", Describe(heap).c_str(), flags, mem ? "block" : "NULL");
    if (!mem) return TRUE;
    size_t *block = (size_t *)mem - 1;
    if (!heapBlocks.erase(block)) {
        fake::lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    memset(mem, 0xDD, *block);
    free(block);
    fake::liveBlocks--;
    return TRUE;
}

void WINAPI ExitProcess(UINT exitCode)
{
    Record("ExitProcess(%u)", exitCode);
    throw fake::ProcessExit{exitCode};
}

DWORD WINAPI GetLastError(void) { return fake::lastError; }
void WINAPI SetLastError(DWORD error) { fake::lastError = error; }

// Default: only the modules in fake::presentModules are in the process.
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName)
{
    Record("GetModuleHandleA(%s)", Quoted(moduleName).c_str());
    if (fake::hooks.GetModuleHandleA) return fake::hooks.GetModuleHandleA(moduleName);
    auto found = fake::presentModules.find(moduleName ? moduleName : "");
    return found == fake::presentModules.end() ? nullptr : found->second;
}

// Default: the libraries of fake::libraries load, each call a new handle.
HMODULE WINAPI LoadLibraryA(LPCSTR fileName)
{
    Record("LoadLibraryA(%s)", Quoted(fileName).c_str());
    if (fake::hooks.LoadLibraryA) return fake::hooks.LoadLibraryA(fileName);
    if (!fileName || !fake::libraries.count(fileName)) {
        fake::lastError = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    return (HMODULE)fake::NewHandle("module", fileName);
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName)
{
    uintptr_t value = (uintptr_t)procName;
    bool byOrdinal = value <= 0xFFFF;
    if (byOrdinal)
        Record("GetProcAddress(%s, #%u)", Describe(module).c_str(), (unsigned)value);
    else
        Record("GetProcAddress(%s, %s)", Describe(module).c_str(), Quoted(procName).c_str());
    fake::Object *object = fake::Lookup(module);
    if (!object || !fake::libraries.count(object->name)) return nullptr;
    fake::Library &library = fake::libraries[object->name];
    if (byOrdinal) {
        auto found = library.byOrdinal.find((unsigned)value);
        return found == library.byOrdinal.end() ? nullptr : found->second;
    }
    auto found = library.byName.find(procName);
    return found == library.byName.end() ? nullptr : found->second;
}

BOOL WINAPI FreeLibrary(HMODULE module)
{
    Record("FreeLibrary(%s)", Describe(module).c_str());
    return TRUE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size)
{
    Record("GetModuleFileNameA(%s, %u)", Describe(module).c_str(), size);
    const std::string &path = fake::moduleFileName;
    if (size == 0) return 0;
    // As documented: a path that does not fit is cut, terminated, and the
    // result is the buffer size with ERROR_INSUFFICIENT_BUFFER.
    if (path.size() >= size) {
        memcpy(fileName, path.data(), size - 1);
        fileName[size - 1] = 0;
        fake::lastError = ERROR_INSUFFICIENT_BUFFER;
        return size;
    }
    memcpy(fileName, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

LPSTR WINAPI GetCommandLineA(void)
{
    Record("GetCommandLineA()");
    return (LPSTR)fake::commandLine.c_str();
}

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES sa,
                          DWORD creation, DWORD flags, HANDLE templateFile)
{
    Record("CreateFileA(%s, 0x%x, %u, %s, %u, 0x%x, %s)", Quoted(fileName).c_str(), access, shareMode,
           sa ? "sa" : "NULL", creation, flags, Describe(templateFile).c_str());
    if (fake::hooks.CreateFileA)
        return fake::hooks.CreateFileA(fileName, access, shareMode, sa, creation, flags, templateFile);
    return fake::NewHandle("file", fileName ? fileName : "");
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped)
{
    Record("WriteFile(%s, \"%.*s\", %u, %s)", Describe(file).c_str(), (int)bytes, (const char *)buffer, bytes,
           overlapped ? "overlapped" : "NULL");
    if (fake::hooks.WriteFile) return fake::hooks.WriteFile(file, buffer, bytes, written, overlapped);
    if (written) *written = bytes;
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object)
{
    Record("CloseHandle(%s)", Describe(object).c_str());
    if (fake::hooks.CloseHandle) return fake::hooks.CloseHandle(object);
    fake::Object *o = fake::Lookup(object);
    if (!o || o->closed) {
        fake::lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    o->closed = true;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method)
{
    Record("SetFilePointer(%s, %d, %s, %u)", Describe(file).c_str(), distance, distanceHigh ? "high" : "NULL",
           method);
    if (fake::hooks.SetFilePointer) return fake::hooks.SetFilePointer(file, distance, distanceHigh, method);
    return 0;
}

BOOL WINAPI CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES sa)
{
    if (sa)
        Record("CreateDirectoryA(%s, {%u, %s, %d})", Quoted(pathName).c_str(), sa->nLength,
               sa->lpSecurityDescriptor ? "descriptor" : "NULL", sa->bInheritHandle);
    else
        Record("CreateDirectoryA(%s, NULL)", Quoted(pathName).c_str());
    if (fake::hooks.CreateDirectoryA) return fake::hooks.CreateDirectoryA(pathName, sa);
    return TRUE;
}

// The caller's own startup record: recognisable values in every field.
void WINAPI GetStartupInfoA(LPSTARTUPINFOA info)
{
    Record("GetStartupInfoA()");
    memset(info, 0, sizeof *info);
    info->cb = sizeof *info;
    info->lpDesktop = (LPSTR) "winsta0\\default";
    info->dwFlags = 0x100; // STARTF_USESTDHANDLES
    info->wShowWindow = 10;
    info->dwX = 7;
}

BOOL WINAPI CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                           LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                           LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                           LPPROCESS_INFORMATION processInformation)
{
    Record("CreateProcessA(%s, %s, %s, %s, %d, 0x%x, %s, %s, {flags 0x%x, show %u}, pi)",
           Quoted(applicationName).c_str(), Quoted(commandLine).c_str(), processAttributes ? "sa" : "NULL",
           threadAttributes ? "sa" : "NULL", inheritHandles, creationFlags, environment ? "env" : "NULL",
           Quoted(currentDirectory).c_str(), startupInfo->dwFlags, startupInfo->wShowWindow);
    if (fake::hooks.CreateProcessA)
        return fake::hooks.CreateProcessA(applicationName, commandLine, processAttributes, threadAttributes,
                                          inheritHandles, creationFlags, environment, currentDirectory, startupInfo,
                                          processInformation);
    processInformation->hProcess = fake::NewHandle("process", commandLine ? commandLine : "");
    processInformation->hThread = fake::NewHandle("thread", commandLine ? commandLine : "");
    processInformation->dwProcessId = 100;
    processInformation->dwThreadId = 101;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    Record("WaitForSingleObject(%s, 0x%x)", Describe(handle).c_str(), milliseconds);
    if (fake::hooks.WaitForSingleObject) return fake::hooks.WaitForSingleObject(handle, milliseconds);
    return WAIT_OBJECT_0;
}

// Default: every id but 0 opens.
HANDLE WINAPI OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId)
{
    Record("OpenProcess(0x%x, %d, %u)", access, inheritHandle, processId);
    if (fake::hooks.OpenProcess) return fake::hooks.OpenProcess(access, inheritHandle, processId);
    if (!processId) {
        fake::lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    return fake::NewHandle("process", std::to_string(processId));
}

// Default: a real handle terminates; the own process id ends the "process".
BOOL WINAPI TerminateProcess(HANDLE process, UINT exitCode)
{
    Record("TerminateProcess(%s, %u)", Describe(process).c_str(), exitCode);
    if (fake::hooks.TerminateProcess) return fake::hooks.TerminateProcess(process, exitCode);
    fake::Object *o = fake::Lookup(process);
    if (!o || o->kind != "process") {
        fake::lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (o->name == std::to_string(fake::currentProcessId)) throw fake::ProcessExit{exitCode};
    return TRUE;
}

DWORD WINAPI GetCurrentProcessId(void)
{
    Record("GetCurrentProcessId()");
    return fake::currentProcessId;
}

DWORD WINAPI GetCurrentThreadId(void) { return fake::currentThreadId; }

DWORD WINAPI WTSGetActiveConsoleSessionId(void)
{
    Record("WTSGetActiveConsoleSessionId()");
    return fake::consoleSessionId;
}

LONG InterlockedExchange(LONG volatile *target, LONG value) { return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST); }

UINT WINAPI SetErrorMode(UINT mode)
{
    Record("SetErrorMode(%u)", mode);
    return 0;
}

// Default: the thread does not run; a test that wants it to runs the routine.
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stackSize, LPTHREAD_START_ROUTINE startAddress,
                           LPVOID parameter, DWORD creationFlags, LPDWORD threadId)
{
    Record("CreateThread(%s, %zu, routine, %s, 0x%x, %s)", sa ? "sa" : "NULL", stackSize,
           parameter ? "param" : "NULL", creationFlags, threadId ? "&id" : "NULL");
    if (fake::hooks.CreateThread)
        return fake::hooks.CreateThread(sa, stackSize, startAddress, parameter, creationFlags, threadId);
    if (threadId) *threadId = 77;
    return fake::NewHandle("thread", "worker");
}

HANDLE WINAPI CreateToolhelp32Snapshot(DWORD flags, DWORD processId)
{
    Record("CreateToolhelp32Snapshot(%u, %u)", flags, processId);
    if (fake::hooks.CreateToolhelp32Snapshot) return fake::hooks.CreateToolhelp32Snapshot(flags, processId);
    return fake::NewHandle("snapshot", "");
}

BOOL WINAPI Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry)
{
    Record("Process32First(%s, dwSize %u)", Describe(snapshot).c_str(), entry->dwSize);
    if (fake::hooks.Process32First) return fake::hooks.Process32First(snapshot, entry);
    return FALSE;
}

BOOL WINAPI Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry)
{
    Record("Process32Next(%s, dwSize %u)", Describe(snapshot).c_str(), entry->dwSize);
    if (fake::hooks.Process32Next) return fake::hooks.Process32Next(snapshot, entry);
    return FALSE;
}

} // extern "C"

void fake::FreeHeap()
{
    for (size_t *block : heapBlocks) free(block);
    heapBlocks.clear();
    liveBlocks = 0;
}
