// The service baseline: the control dispatcher, a ServiceMain that starts a
// thread calling Tovrel and reports running, and a handler that reports
// stopped. No C runtime.
#include <windows.h>

typedef int(WINAPI *TovrelEntry)(const char *roleName);

static char ServiceName[] = "quorviBenchService";
static SERVICE_STATUS_HANDLE StatusHandle;
static SERVICE_STATUS Status;

static DWORD WINAPI Worker(LPVOID parameter)
{
    (void)parameter;
    HMODULE core = LoadLibraryA("Tovrel.dll");
    if (core) {
        TovrelEntry tovrel = (TovrelEntry)GetProcAddress(core, "Tovrel");
        if (tovrel) tovrel(ServiceName);
    }
    return 0;
}

static void WINAPI Handler(DWORD control)
{
    if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN) return;
    Status.dwCurrentState = SERVICE_STOPPED;
    SetServiceStatus(StatusHandle, &Status);
}

static void WINAPI Main(DWORD argumentCount, LPSTR *arguments)
{
    (void)argumentCount;
    (void)arguments;
    DWORD threadId;
    HANDLE worker = CreateThread(NULL, 0, Worker, NULL, 0, &threadId);
    if (worker) CloseHandle(worker);
    StatusHandle = RegisterServiceCtrlHandlerA(ServiceName, Handler);
    Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    Status.dwCurrentState = SERVICE_RUNNING;
    Status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    SetServiceStatus(StatusHandle, &Status);
}

static SERVICE_TABLE_ENTRYA Table[] = {{ServiceName, Main}, {NULL, NULL}};

void MinimalServiceEntry(void)
{
    StartServiceCtrlDispatcherA(Table);
    ExitProcess(0);
}
