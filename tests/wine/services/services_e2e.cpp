// The two service hosts run for real under the service control manager:
// install run, registered configuration, runtime tree, service run with the
// core library on a worker thread, stop, stray run, and the identity gate
// with a test double of wtsapi32.dll.
//   services_e2e <dist dir> <fixtures dir>
// The fixtures dir holds tovrel_record\Tovrel.dll and wtsapi32_double\wtsapi32.dll.
#include "harness.h"

static std::string dist, fixtures;

struct Host {
    const char *name;
    const wchar_t *displayName;
    const wchar_t *description;
    bool resourceDirectories;
    // The core library's log after a stop: the update service ends through
    // ExitProcess without releasing it, the core service terminates itself.
    std::vector<std::string> tovrelAfterStop;
};

static const Host Hosts[] = {
    {"quorviUpdateService", L"Lumaro更新服务", L"Lumaro在线更新服务", false,
     {"load", "role quorviUpdateService", "thread other", "process end"}},
    {"quorviService", L"Lumaro核心服务", L"Lumaro核心服务", true, {"load", "role quorviService", "thread other"}},
};

static const char *const RuntimeTree[] = {"runtime",     "runtime\\update", "runtime\\down",
                                          "runtime\\log", "runtime\\dmp",    "runtime\\error"};

static const char SystemSid[] = "S-1-5-18";
static const char UsersSid[] = "S-1-5-32-545";
static const char UnknownSid[] = "S-1-5-21-1-2-3-1001";

static std::wstring Wide(const std::string &text)
{
    int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, NULL, 0);
    std::wstring out(size ? size - 1 : 0, 0);
    if (size > 1) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], size);
    return out;
}

static bool WriteTextFile(const std::string &path, const std::string &text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL done = WriteFile(file, text.data(), (DWORD)text.size(), &written, NULL);
    CloseHandle(file);
    return done && written == text.size();
}

static DWORD FileSize(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return (DWORD)-1;
    return data.nFileSizeLow;
}

static long Count(const std::vector<std::string> &lines, const std::string &line)
{
    long n = 0;
    for (const auto &l : lines) n += l == line;
    return n;
}

// The services started by the service control manager do not get our
// environment: Wine's per-program DLL overrides reach them through the
// registry instead.
static void PreferDoubleFor(const char *exeName, bool prefer)
{
    std::string key = std::string("Software\\Wine\\AppDefaults\\") + exeName + "\\DllOverrides";
    if (prefer) {
        HKEY handle;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &handle, NULL) == 0) {
            RegSetValueExA(handle, "wtsapi32", 0, REG_SZ, (const BYTE *)"native,builtin", 15);
            RegCloseKey(handle);
        }
    } else {
        RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\Wine\\AppDefaults\\") + exeName).c_str());
    }
}

// Runs a host as a user would, with the double reporting the given owner SID.
static long RunHost(const std::string &exePath, const char *ownerSid, DWORD timeoutMs)
{
    SetEnvironmentVariableA("QUORVI_TEST_OWNER_SID", ownerSid);
    SetEnvironmentVariableA("WINEDLLOVERRIDES", "wtsapi32=n,b");
    long code = RunProgramAndWait("\"" + exePath + "\"", timeoutMs);
    SetEnvironmentVariableA("QUORVI_TEST_OWNER_SID", NULL);
    SetEnvironmentVariableA("WINEDLLOVERRIDES", NULL);
    return code;
}

static DWORD ServiceState(SC_HANDLE service, DWORD *processId = NULL)
{
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, (BYTE *)&status, sizeof status, &needed)) return 0;
    if (processId) *processId = status.dwProcessId;
    return status.dwCurrentState;
}

static bool WaitForState(SC_HANDLE service, DWORD state, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited <= timeoutMs; waited += 100) {
        if (ServiceState(service) == state) return true;
        Sleep(100);
    }
    return false;
}

// Stops and deletes a service of that name, left over or ours.
static void RemoveService(const char *name)
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS);
    if (service) {
        SERVICE_STATUS status;
        if (ServiceState(service) != SERVICE_STOPPED) {
            ControlService(service, SERVICE_CONTROL_STOP, &status);
            WaitForState(service, SERVICE_STOPPED, 30000);
        }
        DeleteService(service);
        CloseServiceHandle(service);
        // Deleted once the last handle is gone.
        for (int i = 0; i < 100; i++) {
            SC_HANDLE again = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
            if (!again) break;
            CloseServiceHandle(again);
            Sleep(100);
        }
    }
    CloseServiceHandle(manager);
}

static bool ServiceExists(const char *name)
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    if (!manager) return false;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != NULL;
}

// Waits until the file holds the line, or the time is up; returns its lines.
static std::vector<std::string> WaitForLine(const std::string &path, const std::string &line, DWORD timeoutMs)
{
    std::vector<std::string> lines;
    for (DWORD waited = 0; waited <= timeoutMs; waited += 100) {
        lines = ReadLines(path);
        if (Count(lines, line)) break;
        Sleep(100);
    }
    return lines;
}

static void CheckConfiguration(const Host &host, SC_HANDLE service, const std::string &exePath)
{
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    auto *config = (QUERY_SERVICE_CONFIGW *)buffer.data();
    bool queried = QueryServiceConfigW(service, config, (DWORD)buffer.size(), &needed) != 0;
    DWORD error = GetLastError();
    ok(queried, "%s: QueryServiceConfigW: %lu", host.name, error);
    if (!queried) return;
    ok(config->dwServiceType == 0x110, "%s: service type 0x%lx, expected 0x110", host.name, config->dwServiceType);
    ok(config->dwStartType == SERVICE_AUTO_START, "%s: start type %lu, expected 2", host.name, config->dwStartType);
    ok(config->dwErrorControl == SERVICE_ERROR_NORMAL, "%s: error control %lu, expected 1", host.name,
       config->dwErrorControl);
    std::wstring quoted = L"\"" + Wide(exePath) + L"\"";
    ok(config->lpBinaryPathName && quoted == config->lpBinaryPathName, "%s: binary path %s, expected %s", host.name,
       config->lpBinaryPathName ? Utf8(config->lpBinaryPathName).c_str() : "NULL", Utf8(quoted).c_str());
    ok(!config->lpLoadOrderGroup || !config->lpLoadOrderGroup[0], "%s: no load order group", host.name);
    ok(!config->lpDependencies || !config->lpDependencies[0], "%s: no dependencies", host.name);
    ok(config->lpServiceStartName && !lstrcmpiW(config->lpServiceStartName, L"LocalSystem"),
       "%s: account %s, expected LocalSystem", host.name,
       config->lpServiceStartName ? Utf8(config->lpServiceStartName).c_str() : "NULL");
    ok(config->lpDisplayName && std::wstring(host.displayName) == config->lpDisplayName,
       "%s: display name %s, expected %s (code page %u)", host.name,
       config->lpDisplayName ? Utf8(config->lpDisplayName).c_str() : "NULL", Utf8(host.displayName).c_str(),
       GetACP());

    auto *description = (SERVICE_DESCRIPTIONW *)buffer.data();
    queried = QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, buffer.data(), (DWORD)buffer.size(), &needed);
    error = GetLastError();
    ok(queried, "%s: description: %lu", host.name, error);
    if (queried) {
        ok(description->lpDescription && std::wstring(host.description) == description->lpDescription,
           "%s: description %s, expected %s", host.name,
           description->lpDescription ? Utf8(description->lpDescription).c_str() : "NULL",
           Utf8(host.description).c_str());
    }

    auto *failure = (SERVICE_FAILURE_ACTIONSW *)buffer.data();
    queried = QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, buffer.data(), (DWORD)buffer.size(),
                                   &needed);
    error = GetLastError();
    if (!queried && error == ERROR_INVALID_LEVEL) {
        todo_wine(false, "%s: failure actions are not stored (error 124)", host.name);
        return;
    }
    ok(queried, "%s: failure actions: %lu", host.name, error);
    if (!queried) return;
    ok(failure->dwResetPeriod == 0, "%s: reset period %lu, expected 0", host.name, failure->dwResetPeriod);
    ok(!failure->lpRebootMsg || !failure->lpRebootMsg[0], "%s: no reboot message", host.name);
    ok(!failure->lpCommand || !failure->lpCommand[0], "%s: no command", host.name);
    ok(failure->cActions == 3, "%s: %lu actions, expected 3", host.name, failure->cActions);
    for (DWORD i = 0; i < failure->cActions && i < 3; i++)
        ok(failure->lpsaActions[i].Type == SC_ACTION_RESTART && failure->lpsaActions[i].Delay == 30000,
           "%s: action %lu is %d/%lu, expected restart after 30000 ms", host.name, i, failure->lpsaActions[i].Type,
           failure->lpsaActions[i].Delay);
}

static void CheckRuntimeTree(const Host &host, const std::string &directory, bool expected)
{
    for (const char *name : RuntimeTree)
        ok(IsDirectory(directory + "\\" + name) == expected, "%s: %s %s", host.name, name,
           expected ? "missing" : "created");
    std::string log = directory + "\\runtime\\error\\error.log";
    if (expected)
        ok(FileSize(log) == 0, "%s: error.log of %ld bytes, expected an empty file", host.name, (long)FileSize(log));
    else
        ok(!PathExists(log), "%s: error.log created", host.name);
    for (const char *name : {"res", "res\\client"})
        ok(IsDirectory(directory + "\\" + name) == (expected && host.resourceDirectories), "%s: %s", host.name, name);
}

// Install run, configuration, service run, stray run, stop.
static void TestServiceLife(const Host &host)
{
    RemoveService(host.name);
    std::string exeName = std::string(host.name) + ".exe";
    std::string directory = NewTestDirectory(host.name); // its name holds a space
    std::string exePath = directory + "\\" + exeName;
    ok(CopyInto(dist + "\\" + exeName, directory, exeName), "copy %s", exeName.c_str());
    ok(CopyInto(fixtures + "\\tovrel_record\\Tovrel.dll", directory, "Tovrel.dll"), "copy Tovrel.dll");
    ok(CopyInto(fixtures + "\\wtsapi32_double\\wtsapi32.dll", directory, "wtsapi32.dll"), "copy wtsapi32.dll");
    ok(WriteTextFile(directory + "\\owner_sid.txt", SystemSid), "write owner_sid.txt");
    PreferDoubleFor(exeName.c_str(), true);

    long code = RunHost(exePath, SystemSid, 60000);
    ok(code == 0, "%s: install run exit code %ld, expected 0", host.name, code);
    CheckRuntimeTree(host, directory, true);

    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? OpenServiceA(manager, host.name, SERVICE_ALL_ACCESS) : NULL;
    DWORD openError = GetLastError();
    ok(service != NULL, "%s: the install run registered the service (%lu)", host.name, openError);
    if (!service) {
        if (manager) CloseServiceHandle(manager);
        PreferDoubleFor(exeName.c_str(), false);
        RemoveTree(directory);
        return;
    }
    CheckConfiguration(host, service, exePath);

    // The install run asked for the start; the service process takes the
    // service path as well (owner_sid.txt) and serves.
    ok(WaitForState(service, SERVICE_RUNNING, 60000), "%s: running (state %lu)", host.name, ServiceState(service));
    DWORD processId = 0;
    ServiceState(service, &processId);
    HANDLE process = processId ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId) : NULL;

    std::string tovrelLog = directory + "\\tovrel.log";
    std::string role = std::string("role ") + host.name;
    std::vector<std::string> lines = WaitForLine(tovrelLog, "thread other", 30000);
    std::vector<std::string> running(host.tovrelAfterStop.begin(), host.tovrelAfterStop.begin() + 3);
    ok(lines == running, "%s: core library saw [%s], expected [%s]", host.name, Joined(lines).c_str(),
       Joined(running).c_str());

    // The error log is open for reading and writing by others, not for deleting.
    std::string errorLog = directory + "\\runtime\\error\\error.log";
    HANDLE shared = CreateFileA(errorLog.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING, 0, NULL);
    DWORD shareError = GetLastError();
    ok(shared != INVALID_HANDLE_VALUE, "%s: error.log opens for reading and writing (%lu)", host.name, shareError);
    if (shared != INVALID_HANDLE_VALUE) CloseHandle(shared);
    ok(!DeleteFileA(errorLog.c_str()), "%s: error.log cannot be deleted while the service runs", host.name);

    // Stray run: installed, but not started by the service control manager.
    DWORD started = GetTickCount();
    code = RunHost(exePath, SystemSid, 30000);
    ok(code == 0, "%s: stray run exit code %ld, expected 0", host.name, code);
    ok(GetTickCount() - started < 15000, "%s: the stray run ends at once", host.name);
    lines = ReadLines(tovrelLog);
    ok(Count(lines, "load") == 1 && Count(lines, role) == 1, "%s: the stray run called no core library: [%s]",
       host.name, Joined(lines).c_str());

    SERVICE_STATUS status;
    bool stopAccepted = ControlService(service, SERVICE_CONTROL_STOP, &status) != 0;
    DWORD stopError = GetLastError();
    ok(stopAccepted, "%s: stop request (%lu)", host.name, stopError);
    ok(WaitForState(service, SERVICE_STOPPED, 30000), "%s: stopped (state %lu)", host.name, ServiceState(service));
    if (process) {
        bool ended = WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
        DWORD exitCode = 99;
        GetExitCodeProcess(process, &exitCode);
        ok(ended && exitCode == 0, "%s: service process ended %s with exit code %lu, expected 0", host.name,
           ended ? "" : "(not)", exitCode);
        CloseHandle(process);
    } else {
        todo_wine(false, "%s: service process id not observable", host.name);
    }
    lines = ReadLines(tovrelLog);
    ok(lines == host.tovrelAfterStop, "%s: core library log after the stop [%s], expected [%s]", host.name,
       Joined(lines).c_str(), Joined(host.tovrelAfterStop).c_str());

    std::vector<std::string> owner = ReadLines(directory + "\\wtsapi32.log");
    ok(Count(owner, "free") == Count(owner, "enumerate 1") + Count(owner, "enumerate 0") && Count(owner, "free") >= 3,
       "%s: every process list released once: [%s]", host.name, Joined(owner).c_str());

    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    RemoveService(host.name);
    PreferDoubleFor(exeName.c_str(), false);
    RemoveTree(directory);
}

// Anybody but the local system account: quorviServiceControl.exe is
// started from the host's directory and nothing else happens.
static void TestHandOver(const Host &host, const char *ownerSid)
{
    RemoveService(host.name);
    std::string exeName = std::string(host.name) + ".exe";
    std::string directory = NewTestDirectory(host.name);
    ok(CopyInto(dist + "\\" + exeName, directory, exeName), "copy %s", exeName.c_str());
    ok(CopyInto(dist + "\\quorviServiceControl.exe", directory, "quorviServiceControl.exe"),
       "copy quorviServiceControl.exe");
    ok(CopyInto(fixtures + "\\tovrel_record\\Tovrel.dll", directory, "Tovrel.dll"), "copy Tovrel.dll");
    ok(CopyInto(fixtures + "\\wtsapi32_double\\wtsapi32.dll", directory, "wtsapi32.dll"), "copy wtsapi32.dll");

    long code = RunHost(directory + "\\" + exeName, ownerSid, 60000);
    ok(code == 0, "%s as %s: exit code %ld, expected 0", host.name, ownerSid, code);
    std::vector<std::string> lines = WaitForLine(directory + "\\tovrel.log", "unload", 30000);
    std::vector<std::string> expected = {"load", "role quorviServiceControl", "thread main", "unload"};
    ok(lines == expected, "%s as %s: quorviServiceControl started: [%s]", host.name, ownerSid, Joined(lines).c_str());
    CheckRuntimeTree(host, directory, false);
    ok(!ServiceExists(host.name), "%s as %s: no service installed", host.name, ownerSid);
    std::vector<std::string> owner = ReadLines(directory + "\\wtsapi32.log");
    ok(owner == std::vector<std::string>{"enumerate 1", "free"}, "%s as %s: process list [%s]", host.name, ownerSid,
       Joined(owner).c_str());
    RemoveTree(directory);
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        printf("usage: services_e2e <dist dir> <fixtures dir>\n");
        return 2;
    }
    dist = WinePath(argv[1]);
    fixtures = WinePath(argv[2]);
    for (const Host &host : Hosts) {
        TestHandOver(host, UsersSid);
        TestHandOver(host, UnknownSid);
        TestServiceLife(host);
    }
    return TestSummary("services_e2e");
}
