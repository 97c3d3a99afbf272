#include "servicehost.h"

#include <cstring>
#include <regex>

#include "services/hostidentity.h"

// The tests choose the host per test.
const HostIdentity *ThisHost = &UpdateServiceIdentity;

static std::string Parent(const std::string &path)
{
    size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) return "";
    if (slash == 2 && path[1] == ':') return path.substr(0, 3); // "C:\"
    return path.substr(0, slash);
}

static std::string WithoutTrailingSlash(std::string path)
{
    if (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

bool FileSystemModel::IsDirectory(const std::string &path) const
{
    auto found = entries.find(WithoutTrailingSlash(path));
    return found != entries.end() && found->second;
}

bool FileSystemModel::IsFile(const std::string &path) const
{
    auto found = entries.find(path);
    return found != entries.end() && !found->second;
}

void FileSystemModel::Install()
{
    AddDirectory("C:\\");
    AddDirectory("C:\\Program Files");
    AddDirectory(WithoutTrailingSlash(InstallDirectory));
    fake::hooks.PathFileExistsA = [this](LPCSTR path) -> BOOL {
        return entries.count(WithoutTrailingSlash(path)) ? TRUE : FALSE;
    };
    fake::hooks.CreateDirectoryA = [this](LPCSTR path, LPSECURITY_ATTRIBUTES) -> BOOL {
        std::string p = path;
        if (entries.count(p) || !IsDirectory(Parent(p))) return FALSE;
        AddDirectory(p);
        return TRUE;
    };
    fake::hooks.CreateFileA = [this](LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD,
                                     HANDLE) -> HANDLE {
        std::string p = path;
        if (IsDirectory(p) || !IsDirectory(Parent(p))) return INVALID_HANDLE_VALUE;
        if (creation == OPEN_EXISTING && !IsFile(p)) return INVALID_HANDLE_VALUE;
        if (creation == CREATE_ALWAYS) AddFile(p);
        return fake::NewHandle("file", p);
    };
}

void ScmModel::Install()
{
    fake::hooks.OpenSCManagerA = [this](LPCSTR, LPCSTR, DWORD) -> SC_HANDLE {
        if (!connects) return nullptr;
        handles.push_back(fake::NewHandle("scm", ""));
        return (SC_HANDLE)handles.back();
    };
    fake::hooks.OpenServiceA = [this](SC_HANDLE, LPCSTR name, DWORD) -> SC_HANDLE {
        if (!installed) return nullptr;
        handles.push_back(fake::NewHandle("service", name));
        return (SC_HANDLE)handles.back();
    };
    fake::hooks.CreateServiceA = [this](SC_HANDLE, LPCSTR name, LPCSTR, DWORD, DWORD, DWORD, DWORD, LPCSTR, LPCSTR,
                                        LPDWORD, LPCSTR, LPCSTR, LPCSTR) -> SC_HANDLE {
        if (createFails || installed) return nullptr;
        installed = true;
        state = SERVICE_STOPPED;
        handles.push_back(fake::NewHandle("service", name));
        return (SC_HANDLE)handles.back();
    };
    fake::hooks.QueryServiceStatus = [this](SC_HANDLE, LPSERVICE_STATUS status) -> BOOL {
        status->dwCurrentState = state;
        return TRUE;
    };
    fake::hooks.ChangeServiceConfig2A = [this](SC_HANDLE, DWORD level, LPVOID info) -> BOOL {
        if (level == SERVICE_CONFIG_DESCRIPTION) lastDescription = ((SERVICE_DESCRIPTIONA *)info)->lpDescription;
        return TRUE;
    };
}

std::vector<std::string> ScmModel::UnclosedHandles() const
{
    std::vector<std::string> open;
    for (HANDLE handle : handles)
        if (!fake::Lookup(handle)->closed) open.push_back(fake::Describe(handle));
    return open;
}

void ProcessListModel::Install()
{
    fake::hooks.WTSEnumerateProcessesA = [this](HANDLE, DWORD, DWORD, PWTS_PROCESS_INFOA *list, DWORD *count) -> BOOL {
        if (!available) return FALSE;
        static std::vector<WTS_PROCESS_INFOA> array;
        array.clear();
        array.reserve(8); // an empty list is still an allocated array
        for (auto &record : records)
            array.push_back(WTS_PROCESS_INFOA{1, record.first, (LPSTR) "program.exe", (PSID)record.second.c_str()});
        *list = array.data();
        *count = countOverride != (DWORD)-1 ? countOverride : (DWORD)array.size();
        return TRUE;
    };
    fake::hooks.LookupAccountSidA = [this](LPCSTR, PSID sid, LPSTR name, LPDWORD nameSize, LPSTR domain,
                                           LPDWORD domainSize, PSID_NAME_USE use) -> BOOL {
        auto found = accounts.find((const char *)sid);
        if (found == accounts.end()) return FALSE; // the buffers stay as they were
        if (found->second.size() >= *nameSize) return FALSE;
        strcpy(name, found->second.c_str());
        *nameSize = (DWORD)found->second.size();
        strcpy(domain, "NT AUTHORITY");
        *domainSize = 12;
        *use = SidTypeWellKnownGroup;
        return TRUE;
    };
}

void RunAs(ProcessListModel &list, const char *account)
{
    list.records = {{4, "S-1-5-19"}};
    list.accounts = {{"S-1-5-19", "LOCAL SERVICE"}};
    if (!account) {
        list.available = false;
        return;
    }
    if (!*account) return; // the own process is not in the list
    list.records.push_back({fake::currentProcessId, "S-1-own"});
    if (std::string(account) != "<unmapped>") list.accounts["S-1-own"] = account;
}

std::string WithoutHandleNumbers(const std::string &line)
{
    static const std::regex number("([a-z]+)#[0-9]+");
    return std::regex_replace(line, number, "$1");
}

std::vector<std::string> CallsWithout(const std::string &prefix)
{
    std::vector<std::string> found;
    for (const auto &line : fake::Calls(prefix)) found.push_back(WithoutHandleNumbers(line));
    return found;
}

std::vector<std::string> ScmCalls()
{
    std::vector<std::string> found;
    for (const auto &line : fake::calls)
        if (line.find("Service") != std::string::npos || line.find("SCManager") != std::string::npos)
            found.push_back(WithoutHandleNumbers(line));
    return found;
}

std::string Joined(const std::vector<std::string> &lines)
{
    std::string all;
    for (const auto &line : lines) all += "  " + line + "\n";
    return all;
}

std::vector<std::string> tovrelRoles;

static intptr_t RecordingTovrel(const void *roleName)
{
    tovrelRoles.push_back((const char *)roleName);
    return 1;
}

void ProvideTovrel() { fake::libraries[BesideProgram("Tovrel.dll")].byName["Tovrel"] = (FARPROC)(void *)RecordingTovrel; }

void ServiceHostTest::SetUp()
{
    ResetProcess();
    blocksAtStart = fake::liveBlocks;
    tovrelRoles.clear();
    files = FileSystemModel();
    scm = ScmModel();
    processes = ProcessListModel();
    UseHost(UpdateServiceIdentity, "quorviUpdateService.exe");
    files.Install();
    scm.Install();
    processes.Install();
    RunAs(processes, "SYSTEM");
    ProvideTovrel();
}

void ServiceHostTest::TearDown()
{
    // Files opened by a start-up run outside the frame's exit sequence.
    CloseOpenFiles();
    ThisHost = &UpdateServiceIdentity;
}

void ServiceHostTest::UseHost(const HostIdentity &host, const char *exeName)
{
    ThisHost = &host;
    fake::moduleFileName = std::string(InstallDirectory) + exeName;
}

void ServiceHostTest::StartGlobals()
{
    ProcessHeap = GetProcessHeap();
    CreateGlobalVariables();
    RunDirectory = CopyText(InstallDirectory);
}
