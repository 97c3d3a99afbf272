// Service run-time: the control dispatcher, ServiceMain, the worker thread
// that hands the process to Tovrel, and the stop and shutdown handler.
//
// ServiceStatusRecord, ServiceStatusHandle and WorkerThreadHandle are
// written by ServiceMain and read by the handler on another thread without
// a lock: the service control manager delivers stop and shutdown only after
// the SERVICE_RUNNING report, which ServiceMain makes after storing both
// handles.
#include "runtime.h"

#include "consolebox.h"
#include "frame/binding.h"
#include "frame/corelibrary.h"
#include "frame/frame.h"
#include "frame/hostops.h"
#include "globals.h"
#include "hostidentity.h"
#include "registration.h"

enum { DispatchTableEntries = 2 };

static void SetInitialServiceStatus(void)
{
    ServiceStatusRecord->dwServiceType = SERVICE_WIN32_SHARE_PROCESS;
    ServiceStatusRecord->dwCurrentState = SERVICE_STOPPED;
    ServiceStatusRecord->dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    ServiceStatusRecord->dwWin32ExitCode = 0;
    ServiceStatusRecord->dwServiceSpecificExitCode = 0;
    ServiceStatusRecord->dwCheckPoint = 0;
    ServiceStatusRecord->dwWaitHint = 0;
}

static void ReportServiceState(DWORD state)
{
    ServiceStatusRecord->dwCurrentState = state;
    (void)SetServiceStatus(ServiceStatusHandle, ServiceStatusRecord);
}

void ServiceEntry(void)
{
    SERVICE_TABLE_ENTRYA *table =
        (SERVICE_TABLE_ENTRYA *)AllocateBlock(DispatchTableEntries * sizeof(SERVICE_TABLE_ENTRYA), true);
    SetServiceIdentity();
    SetInitialServiceStatus();

    if (QueryServiceState() == 0) {
        // Not installed (or not readable): install and ask for a start; the
        // service then runs in a process of the service control manager.
        InstallService();
        StartStoppedService();
        FreeBlock(table);
        return;
    }

    table[0].lpServiceName = ServiceName;
    table[0].lpServiceProc = ServiceMain;
    // Fails at once when the service control manager did not start us.
    // Returns once the handler has reported SERVICE_STOPPED and returned,
    // so the stop request has had its answer.
    if (StartServiceCtrlDispatcherA(table) && ThisHost->stopEndsProcess) {
        // Ends the process without the exit clean-up, and Tovrel is not
        // told. Ending it inside the handler instead would leave the stop
        // request unanswered (ERROR_BROKEN_PIPE) although the service
        // stopped. When the termination fails, the program ends normally.
        (void)TerminateProcessById(Given((long)GetCurrentProcessId()));
    }
    FreeBlock(table);
}

// Decided once, before the worker exists: it may bind and run inside Tovrel
// whenever the exit sequence runs, so the library stays loaded, and a box
// shown on this process's desktop would never be seen.
static void BeginServiceRun(void)
{
    ServiceRunBegun = true;
    KeepLoadedModules = true;
    ErrorBoxRoutine = SendBoxToConsoleUser;
}

void WINAPI ServiceMain(DWORD argumentCount, LPSTR *arguments)
{
    (void)argumentCount;
    (void)arguments;
    BeginServiceRun();
    DWORD threadId; // not kept
    WorkerThreadHandle = CreateThread(nullptr, 0, ServiceWorker, nullptr, 0, &threadId);
    if ((LONG_PTR)WorkerThreadHandle <= 0) {
        // No worker: the zero status handle makes this report fail, so the
        // service control manager sees the start never complete.
        ServiceStatusRecord->dwCurrentState = SERVICE_START_PENDING;
    } else {
        ServiceStatusHandle = RegisterServiceCtrlHandlerA(ServiceName, ServiceControlHandler);
        ServiceStatusRecord->dwCurrentState = ServiceStatusHandle ? SERVICE_RUNNING : SERVICE_START_PENDING;
    }
    (void)SetServiceStatus(ServiceStatusHandle, ServiceStatusRecord);
}

DWORD WINAPI ServiceWorker(LPVOID parameter)
{
    (void)parameter;
    // The constant text, not ServiceName: Tovrel may keep it for the life
    // of the process, past the release of the process-wide texts.
    CallTovrel(ThisHost->serviceName);

    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) != 0) { // -1 (an error) goes on as well
        (void)TranslateMessage(&message);
        (void)DispatchMessageA(&message);
    }
    return (DWORD)message.wParam;
}

void WINAPI ServiceControlHandler(DWORD control)
{
    if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN) return;

    ReportServiceState(SERVICE_STOP_PENDING);
    // Only the handle is released; the worker is neither stopped nor waited for.
    (void)CloseHandle(WorkerThreadHandle);
    WorkerThreadHandle = nullptr;
    ReportServiceState(SERVICE_STOPPED);
    // Returns in both hosts: the dispatcher then returns in ServiceEntry.
}
