// Helpers for running a service host against the stand-in: a small file
// system, a small service control manager and a scripted process list.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include "process.h"
#include "services/globals.h"
#include "services/hostidentity.h"

// Where the tests' executables lie.
constexpr const char *InstallDirectory = "C:\\Program Files\\Lumaro\\";

// Directories and files by full path. Creation needs an existing parent
// directory and fails on an existing entry, as on Windows.
struct FileSystemModel {
    std::map<std::string, bool> entries; // path -> is a directory
    std::map<std::string, std::string> contents;
    void AddDirectory(const std::string &path) { entries[path] = true; }
    void AddFile(const std::string &path, const std::string &content = "")
    {
        entries[path] = false;
        contents[path] = content;
    }
    bool IsDirectory(const std::string &path) const;
    bool IsFile(const std::string &path) const;
    void Install(); // hooks PathFileExistsA, CreateDirectoryA and CreateFileA
};

// One service, the host's own. Every handle it gives out is remembered so
// that a test can ask whether all of them were closed.
struct ScmModel {
    bool connects = true;
    bool installed = false;
    DWORD state = SERVICE_STOPPED; // while installed
    bool createFails = false;
    std::vector<HANDLE> handles;
    std::string lastDescription;
    void Install(); // hooks OpenSCManagerA, OpenServiceA, CreateServiceA, QueryServiceStatus, ChangeServiceConfig2A
    std::vector<std::string> UnclosedHandles() const;
};

// The terminal-services list: one record per (process id, SID); SIDs are
// texts in the stand-in. accounts maps a SID to the name the account
// lookup gives; a SID not in it cannot be mapped.
struct ProcessListModel {
    bool available = true;
    std::vector<std::pair<DWORD, std::string>> records;
    std::map<std::string, std::string> accounts;
    DWORD countOverride = (DWORD)-1; // the count handed back, when not the record count
    void Install();
};

// The process list holds the own process owned by account: "" means the
// own process is missing from the list; nullptr means the list cannot be had.
void RunAs(ProcessListModel &list, const char *account);

// "scm#3" -> "scm": call lines without the handle numbers.
std::string WithoutHandleNumbers(const std::string &line);
std::vector<std::string> CallsWithout(const std::string &prefix);
// The calls to the service control manager, without handle numbers.
std::vector<std::string> ScmCalls();
std::string Joined(const std::vector<std::string> &lines);

// Tovrel of the stand-in's Tovrel.dll, recording the role names it gets.
extern std::vector<std::string> tovrelRoles;
void ProvideTovrel();

class ServiceHostTest : public ::testing::Test {
protected:
    FileSystemModel files;
    ScmModel scm;
    ProcessListModel processes;
    long blocksAtStart = 0; // heap blocks alive before the test's run

    void SetUp() override;
    void TearDown() override;
    void UseHost(const HostIdentity &host, const char *exeName);
    // The frame's state after its start: heap taken, globals created.
    void StartGlobals();
};
