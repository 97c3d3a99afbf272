// Driving the service hosts from outside: each run with the wtsapi32 test
// double in front of the system's, the owner it reports, and the programs
// and files the runs leave behind.
//
// The double reports one record for the calling process, owned by the SID in
// QUORVI_TEST_OWNER_SID or, for the service processes, which get the service
// control manager's environment, in owner_sid.txt beside it; "none" gives an
// empty list and "fail" a failed enumeration (both: an empty owner). Its
// WTSSendMessageA records the message in wtsapi32.log and waits for
// answer.txt beside it, as for a user who answers the box.
#pragma once
#include <windows.h>

#include <sddl.h>

#include "files.h"
#include "processes.h"

static const char SystemSid[] = "S-1-5-18";
static const char UsersSid[] = "S-1-5-32-545";
static const char UnknownSid[] = "S-1-5-21-1-2-3-1001";

static inline std::wstring Wide(const std::string &text)
{
    int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, NULL, 0);
    std::wstring out(size ? size - 1 : 0, 0);
    if (size > 1) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], size);
    return out;
}

static inline long Count(const std::vector<std::string> &lines, const std::string &line)
{
    long n = 0;
    for (const auto &l : lines) n += l == line;
    return n;
}

static inline std::string OwnUserSid()
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
    BYTE buffer[256];
    DWORD size = 0;
    std::string text;
    char *sid = NULL;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
        ConvertSidToStringSidA(((TOKEN_USER *)buffer)->User.Sid, &sid)) {
        text = sid;
        LocalFree(sid);
    }
    CloseHandle(token);
    return text;
}

// Wine takes DLL overrides from the environment it was started with, not
// from the one a Windows program passes on, and the services get the
// service control manager's anyway: the per-program registry setting
// reaches every run of the hosts, from us or from the service control manager.
static inline void PreferDoubleFor(const char *exeName, bool prefer)
{
    std::string app = std::string("Software\\Wine\\AppDefaults\\") + exeName;
    std::string key = app + "\\DllOverrides";
    if (prefer) {
        HKEY handle;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &handle, NULL) == 0) {
            RegSetValueExA(handle, "wtsapi32", 0, REG_SZ, (const BYTE *)"native,builtin", 15);
            RegCloseKey(handle);
        }
    } else {
        RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, app.c_str());
    }
}

// Runs a host as a user would, with the double reporting the given owner.
static inline long RunHost(const std::string &exePath, const char *owner, DWORD timeoutMs)
{
    SetEnvironmentVariableA("QUORVI_TEST_OWNER_SID", owner);
    long code = RunProgramAndWait("\"" + exePath + "\"", timeoutMs);
    SetEnvironmentVariableA("QUORVI_TEST_OWNER_SID", NULL);
    return code;
}

// Waits until the file holds the line (with startOnly, a line that starts
// with it), or the time is up; returns its lines.
static inline std::vector<std::string> WaitForLine(const std::string &path, const std::string &line, DWORD timeoutMs,
                                                   bool startOnly = false)
{
    std::vector<std::string> lines;
    for (DWORD waited = 0;; waited += 50) {
        lines = ReadLines(path);
        for (const auto &held : lines)
            if (startOnly ? held.compare(0, line.size(), line) == 0 : held == line) return lines;
        if (waited >= timeoutMs) return lines;
        Sleep(50);
    }
}

// Removes the directories whose path starts with prefix (test directories
// of an earlier run).
static inline void RemoveTestDirectoriesStarting(const std::string &prefix)
{
    WIN32_FIND_DATAA data;
    std::string directory = prefix.substr(0, prefix.rfind('\\') + 1);
    HANDLE find = FindFirstFileA((prefix + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(directory + data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
}
