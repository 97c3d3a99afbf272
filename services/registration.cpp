// Registration of the host's own service. Every operation opens its own
// connection to the service control manager and closes every handle it
// opened before it returns; failures end the operation and are not shown.
#include "registration.h"

#include "frame/hostops.h"
#include "globals.h"
#include "hostidentity.h"
#include "quotedpath.h"

enum {
    RestartDelayMilliseconds = 30000,
    FailureActionCount = 3,
};

static const char ActiveServicesDatabase[] = "ServicesActive";
static const char NoDependencies[] = "\0"; // an empty list: two zero bytes

// The local machine, named by its host name, or NULL when there is none.
static SC_HANDLE OpenServiceManager(DWORD access)
{
    char *host = GetHostName();
    SC_HANDLE manager = OpenSCManagerA(host[0] ? host : nullptr, ActiveServicesDatabase, access);
    FreeText(host);
    return manager;
}

void SetServiceIdentity(void)
{
    char *exeFileName = GetExeFileName();
    ServiceName = CopyText(ThisHost->serviceName);
    ServiceDisplayName = CopyText(ThisHost->displayName);
    ServiceDescription = CopyText(ThisHost->description);
    ServiceExePath = JoinTexts(RunDirectory, exeFileName);
    FreeText(exeFileName);
}

DWORD QueryServiceState(void)
{
    SERVICE_STATUS status = {};
    SC_HANDLE manager = OpenServiceManager(SC_MANAGER_CREATE_SERVICE);
    if (manager) {
        SC_HANDLE service = OpenServiceA(manager, ServiceName, SERVICE_ALL_ACCESS);
        if (service) {
            (void)QueryServiceStatus(service, &status); // a failed query leaves the state 0
            (void)CloseServiceHandle(service);
        }
        (void)CloseServiceHandle(manager);
    }
    return status.dwCurrentState;
}

void InstallService(void)
{
    SC_HANDLE manager = OpenServiceManager(SC_MANAGER_CREATE_SERVICE);
    if (!manager) return;

    // Quoted: an unquoted path with spaces would let the service control
    // manager run a program named by a prefix of it ("C:\Program.exe").
    char *binaryPath = QuotedPath(ServiceExePath);
    SC_HANDLE service = CreateServiceA(manager,
                                       ServiceName,        // service name
                                       ServiceDisplayName, // display name
                                       SERVICE_ALL_ACCESS, // access to the new service: 0xF01FF
                                       SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, // 0x110
                                       SERVICE_AUTO_START,   // started with the system
                                       SERVICE_ERROR_NORMAL, // a failed start is logged, boot goes on
                                       binaryPath,           // the running executable, quoted
                                       "",                   // no load order group
                                       nullptr,              // no tag wanted
                                       NoDependencies,       // depends on nothing
                                       nullptr,              // runs as the local system account
                                       "");                  // which has no password
    FreeText(binaryPath);
    if (!service) {
        (void)CloseServiceHandle(manager);
        return;
    }
    (void)CloseServiceHandle(service);
    (void)CloseServiceHandle(manager);

    // Each setting opens the service afresh; a failure of one does not
    // keep the other from being applied.
    SetFailureActions(ServiceName, SC_ACTION_RESTART, RestartDelayMilliseconds);
    SetServiceDescription();
}

void SetFailureActions(const char *serviceName, DWORD actionType, DWORD delay)
{
    SC_ACTION actions[FailureActionCount];
    for (DWORD action = 0; action < FailureActionCount; action++) {
        actions[action].Type = (SC_ACTION_TYPE)actionType;
        actions[action].Delay = delay;
    }
    // Empty texts, not NULL: they delete any reboot message and command.
    char noRebootMessage[] = "";
    char noCommand[] = "";
    SERVICE_FAILURE_ACTIONSA failureActions;
    failureActions.dwResetPeriod = 0;
    failureActions.lpRebootMsg = noRebootMessage;
    failureActions.lpCommand = noCommand;
    failureActions.cActions = FailureActionCount;
    failureActions.lpsaActions = actions;

    SC_HANDLE manager = OpenServiceManager(SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    SC_HANDLE service = OpenServiceA(manager, serviceName, SERVICE_ALL_ACCESS);
    if (service) {
        (void)ChangeServiceConfig2A(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failureActions);
        (void)CloseServiceHandle(service);
    }
    (void)CloseServiceHandle(manager);
}

void SetServiceDescription(void)
{
    SC_HANDLE manager = OpenServiceManager(SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    SC_HANDLE service = OpenServiceA(manager, ServiceName, SERVICE_ALL_ACCESS);
    if (service) {
        SERVICE_DESCRIPTIONA description;
        description.lpDescription = CopyText(ServiceDescription);
        (void)ChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &description);
        FreeText(description.lpDescription);
        (void)CloseServiceHandle(service);
    }
    (void)CloseServiceHandle(manager);
}

void StartStoppedService(void)
{
    // Running, pending, paused or unreadable: nothing to start.
    if (QueryServiceState() != SERVICE_STOPPED) return;

    SC_HANDLE manager = OpenServiceManager(SC_MANAGER_CREATE_SERVICE);
    if (!manager) return;
    SC_HANDLE service = OpenServiceA(manager, ServiceName, SERVICE_ALL_ACCESS);
    if (service) {
        (void)StartServiceA(service, 0, nullptr); // asked once, not waited for
        (void)CloseServiceHandle(service);
    }
    (void)CloseServiceHandle(manager);
}
