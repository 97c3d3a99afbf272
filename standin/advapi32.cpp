// Stand-in for the advapi32 functions the programs call: the service
// control manager and the account lookup.
#include <fake.h>

#include <cstring>

using fake::Describe;
using fake::Record;

static std::string Quoted(LPCSTR text) { return text ? "\"" + std::string(text) + "\"" : "NULL"; }

// A double-zero-terminated list, shown with its zeros as "\0".
static std::string QuotedList(LPCSTR list)
{
    if (!list) return "NULL";
    std::string shown = "\"";
    const char *p = list;
    do {
        shown += p;
        shown += "\\0";
        p += strlen(p) + 1;
    } while (*p);
    return shown + "\"";
}

extern "C" {

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD access)
{
    Record("OpenSCManagerA(%s, %s, 0x%x)", Quoted(machineName).c_str(), Quoted(databaseName).c_str(), access);
    if (fake::hooks.OpenSCManagerA) return fake::hooks.OpenSCManagerA(machineName, databaseName, access);
    return (SC_HANDLE)fake::NewHandle("scm", "");
}

// Default: no service is installed.
SC_HANDLE WINAPI OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD access)
{
    Record("OpenServiceA(%s, %s, 0x%x)", Describe(manager).c_str(), Quoted(serviceName).c_str(), access);
    if (fake::hooks.OpenServiceA) return fake::hooks.OpenServiceA(manager, serviceName, access);
    fake::lastError = ERROR_SERVICE_DOES_NOT_EXIST;
    return nullptr;
}

SC_HANDLE WINAPI CreateServiceA(SC_HANDLE manager, LPCSTR serviceName, LPCSTR displayName, DWORD access,
                                DWORD serviceType, DWORD startType, DWORD errorControl, LPCSTR binaryPathName,
                                LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies,
                                LPCSTR serviceStartName, LPCSTR password)
{
    Record("CreateServiceA(%s, %s, %s, 0x%x, 0x%x, %u, %u, %s, %s, %s, %s, %s, %s)", Describe(manager).c_str(),
           Quoted(serviceName).c_str(), Quoted(displayName).c_str(), access, serviceType, startType, errorControl,
           Quoted(binaryPathName).c_str(), Quoted(loadOrderGroup).c_str(), tagId ? "&tag" : "NULL",
           QuotedList(dependencies).c_str(), Quoted(serviceStartName).c_str(), Quoted(password).c_str());
    if (fake::hooks.CreateServiceA)
        return fake::hooks.CreateServiceA(manager, serviceName, displayName, access, serviceType, startType,
                                          errorControl, binaryPathName, loadOrderGroup, tagId, dependencies,
                                          serviceStartName, password);
    return (SC_HANDLE)fake::NewHandle("service", serviceName ? serviceName : "");
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE handle)
{
    Record("CloseServiceHandle(%s)", Describe(handle).c_str());
    fake::Object *o = fake::Lookup(handle);
    if (!o || o->closed) return FALSE;
    o->closed = true;
    return TRUE;
}

BOOL WINAPI QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status)
{
    Record("QueryServiceStatus(%s)", Describe(service).c_str());
    if (fake::hooks.QueryServiceStatus) return fake::hooks.QueryServiceStatus(service, status);
    status->dwCurrentState = SERVICE_STOPPED;
    return TRUE;
}

BOOL WINAPI ChangeServiceConfig2A(SC_HANDLE service, DWORD infoLevel, LPVOID info)
{
    if (infoLevel == SERVICE_CONFIG_DESCRIPTION) {
        auto *d = (SERVICE_DESCRIPTIONA *)info;
        Record("ChangeServiceConfig2A(%s, 1, {%s})", Describe(service).c_str(), Quoted(d->lpDescription).c_str());
    } else if (infoLevel == SERVICE_CONFIG_FAILURE_ACTIONS) {
        auto *f = (SERVICE_FAILURE_ACTIONSA *)info;
        std::string actions;
        for (DWORD i = 0; i < f->cActions; i++)
            actions += (i ? ", " : "") + std::to_string(f->lpsaActions[i].Type) + "/" +
                       std::to_string(f->lpsaActions[i].Delay);
        Record("ChangeServiceConfig2A(%s, 2, {%u, %s, %s, %u, [%s]})", Describe(service).c_str(),
               f->dwResetPeriod, Quoted(f->lpRebootMsg).c_str(), Quoted(f->lpCommand).c_str(), f->cActions,
               actions.c_str());
    } else {
        Record("ChangeServiceConfig2A(%s, %u, info)", Describe(service).c_str(), infoLevel);
    }
    if (fake::hooks.ChangeServiceConfig2A) return fake::hooks.ChangeServiceConfig2A(service, infoLevel, info);
    return TRUE;
}

BOOL WINAPI StartServiceA(SC_HANDLE service, DWORD argc, LPCSTR *argv)
{
    Record("StartServiceA(%s, %u, %s)", Describe(service).c_str(), argc, argv ? "argv" : "NULL");
    if (fake::hooks.StartServiceA) return fake::hooks.StartServiceA(service, argc, argv);
    return TRUE;
}

// Default: the process was not started by the service control manager.
BOOL WINAPI StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA *table)
{
    Record("StartServiceCtrlDispatcherA(%s)", Quoted(table[0].lpServiceName).c_str());
    if (fake::hooks.StartServiceCtrlDispatcherA) return fake::hooks.StartServiceCtrlDispatcherA(table);
    fake::lastError = ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
    return FALSE;
}

SERVICE_STATUS_HANDLE WINAPI RegisterServiceCtrlHandlerA(LPCSTR serviceName, LPHANDLER_FUNCTION handler)
{
    Record("RegisterServiceCtrlHandlerA(%s, handler)", Quoted(serviceName).c_str());
    if (fake::hooks.RegisterServiceCtrlHandlerA) return fake::hooks.RegisterServiceCtrlHandlerA(serviceName, handler);
    return (SERVICE_STATUS_HANDLE)fake::NewHandle("status", serviceName ? serviceName : "");
}

BOOL WINAPI SetServiceStatus(SERVICE_STATUS_HANDLE handle, LPSERVICE_STATUS s)
{
    Record("SetServiceStatus(%s, {0x%x, %u, %u, %u, %u, %u, %u})", Describe(handle).c_str(), s->dwServiceType,
           s->dwCurrentState, s->dwControlsAccepted, s->dwWin32ExitCode, s->dwServiceSpecificExitCode,
           s->dwCheckPoint, s->dwWaitHint);
    if (fake::hooks.SetServiceStatus) return fake::hooks.SetServiceStatus(handle, s);
    return handle != nullptr;
}

// Default: every SID is unknown, the buffers stay as they were.
BOOL WINAPI LookupAccountSidA(LPCSTR systemName, PSID sid, LPSTR name, LPDWORD nameSize, LPSTR domainName,
                              LPDWORD domainSize, PSID_NAME_USE use)
{
    Record("LookupAccountSidA(%s, %s, name, %u, domain, %u, use)", Quoted(systemName).c_str(),
           sid ? (const char *)sid : "NULL", nameSize ? *nameSize : 0, domainSize ? *domainSize : 0);
    if (fake::hooks.LookupAccountSidA)
        return fake::hooks.LookupAccountSidA(systemName, sid, name, nameSize, domainName, domainSize, use);
    fake::lastError = ERROR_NONE_MAPPED;
    return FALSE;
}

} // extern "C"
