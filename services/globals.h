// The process-wide variables of a service host. Texts are empty (null)
// until set; all of them are released by the frame's exit sequence.
#pragma once
#include <windows.h>

#include "frame/hostops.h"

extern char *RunDirectory; // the executable's directory followed by one backslash

// The service identity, filled by SetServiceIdentity.
extern char *ServiceName;
extern char *ServiceDisplayName;
extern char *ServiceDescription;
extern char *ServiceExePath; // RunDirectory + executable file name, without quotes

extern SERVICE_STATUS *ServiceStatusRecord; // allocated zero-filled at start
extern SERVICE_STATUS_HANDLE ServiceStatusHandle;
extern HANDLE WorkerThreadHandle;

// Set when ServiceMain is entered: from then on other threads of the process
// run, and the exit sequence may be taken on any of them.
extern bool ServiceRunBegun;

extern FileNumber ErrorLogFile; // runtime\error\error.log, held open until exit; 0 when not opened
