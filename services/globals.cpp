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
FileNumber ErrorLogFile;

void CreateGlobalVariables(void)
{
    RunDirectory = nullptr;
    ServiceName = ServiceDisplayName = ServiceDescription = ServiceExePath = nullptr;
    ServiceStatusRecord = (SERVICE_STATUS *)AllocateBlock(sizeof(SERVICE_STATUS), true);
    ServiceStatusHandle = nullptr;
    WorkerThreadHandle = nullptr;
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
    ReleaseText(&ServiceName);
    ReleaseText(&ServiceDisplayName);
    ReleaseText(&ServiceDescription);
    ReleaseText(&ServiceExePath);
    FreeBlock(ServiceStatusRecord);
    ServiceStatusRecord = nullptr;
}
