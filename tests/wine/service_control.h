// Services through the service control manager, for the programs that drive
// the deliverables from outside: the Wine tests and the benchmark.
#pragma once
#include <windows.h>

#include "processes.h"

static inline DWORD ServiceState(SC_HANDLE service, SERVICE_STATUS_PROCESS *out = NULL)
{
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, (BYTE *)&status, sizeof status, &needed)) return 0;
    if (out) *out = status;
    return status.dwCurrentState;
}

// The service's process, opened to wait for it and read its exit code;
// NULL when the service reports none.
static inline HANDLE OpenServiceProcess(SC_HANDLE service, DWORD *processId)
{
    SERVICE_STATUS_PROCESS status = {};
    ServiceState(service, &status);
    *processId = status.dwProcessId;
    return status.dwProcessId ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, status.dwProcessId)
                              : NULL;
}

// Reads the service's state every pollMs until it is state, or unlessState
// when one is given (a start that fails ends in SERVICE_STOPPED), or the
// time is up. Returns the state read last.
static inline DWORD AwaitServiceState(SC_HANDLE service, DWORD state, DWORD timeoutMs, DWORD pollMs = 50,
                                      DWORD unlessState = 0)
{
    DWORD began = GetTickCount(), now;
    while ((now = ServiceState(service)) != state && (!unlessState || now != unlessState) &&
           GetTickCount() - began < timeoutMs)
        Sleep(pollMs);
    return now;
}

static inline bool WaitForState(SC_HANDLE service, DWORD state, DWORD timeoutMs)
{
    return AwaitServiceState(service, state, timeoutMs) == state;
}

// Stops and deletes a service of that name, left over or ours.
static inline void RemoveService(const char *name)
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS);
    if (service) {
        SERVICE_STATUS_PROCESS status = {};
        // A service whose process has ended needs no stop (Wine goes on
        // reporting such a service as running).
        HANDLE process = ServiceState(service, &status) != SERVICE_STOPPED && status.dwProcessId
                             ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status.dwProcessId)
                             : NULL;
        if (process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            SERVICE_STATUS stopped;
            ControlService(service, SERVICE_CONTROL_STOP, &stopped);
            if (!WaitForState(service, SERVICE_STOPPED, 10000)) {
                EndProcess(process);
                WaitForState(service, SERVICE_STOPPED, 10000);
            }
        }
        if (process) CloseHandle(process);
        DeleteService(service);
        CloseServiceHandle(service);
        // Deleted once the last handle is gone.
        for (int i = 0; i < 200; i++) {
            SC_HANDLE again = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
            if (!again) break;
            CloseServiceHandle(again);
            Sleep(50);
        }
    }
    CloseServiceHandle(manager);
}

static inline bool ServiceExists(const char *name)
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    if (!manager) return false;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != NULL;
}
