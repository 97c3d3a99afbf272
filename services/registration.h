// The host's own service in the service control manager: identity, state,
// installation with its recovery and description settings, and start.
#pragma once
#include <windows.h>

void SetServiceIdentity(void); // ServiceName, ServiceDisplayName, ServiceDescription, ServiceExePath
// dwCurrentState of the service (1 to 7), or 0 when it cannot be read,
// among other reasons because the service is not installed.
DWORD QueryServiceState(void);
void InstallService(void);
void SetFailureActions(const char *serviceName, DWORD actionType, DWORD delay);
void SetServiceDescription(void);
void StartStoppedService(void); // starts the service only when it is stopped
