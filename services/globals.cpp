// Creation and release of the service host's process-wide variables.
#include "globals.h"

#include "frame/frame.h"

char *RunDirectory;
char *ServiceName;
char *ServiceDisplayName;
char *ServiceDescription;
char *ServiceExePath;
SERVICE_STATUS *ServiceStatusRecord;
SERVICE_STATUS_HANDLE ServiceStatusHandle;
HANDLE WorkerThreadHandle;
bool ServiceRunBegun;
FileNumber ErrorLogFile;

void CreateGlobalVariables(void)
{
    RunDirectory = nullptr;
    ServiceName = ServiceDisplayName = ServiceDescription = ServiceExePath = nullptr;
    ServiceStatusRecord = (SERVICE_STATUS *)AllocateBlock(sizeof(SERVICE_STATUS), true);
    ServiceStatusHandle = nullptr;
    WorkerThreadHandle = nullptr;
    ServiceRunBegun = false;
    ErrorLogFile = nullptr;
}

static void ReleaseText(char **text)
{
    if (*text) FreeText(*text);
    *text = nullptr;
}

// Clean-up slot 1. The error log is closed by slot 2, not here.
void FreeGlobalVariables(void)
{
    ReleaseText(&RunDirectory);
    ReleaseText(&ServiceDisplayName);
    ReleaseText(&ServiceDescription);
    ReleaseText(&ServiceExePath);
    // Once the service runs, an exit taken on the worker (a fatal error) may
    // come while the control handler uses the status record on the main
    // thread, and the dispatcher holds the service name: both are left to
    // the end of the process, which follows at once.
    if (ServiceRunBegun) return;
    ReleaseText(&ServiceName);
    FreeBlock(ServiceStatusRecord);
    ServiceStatusRecord = nullptr;
}
