// Which platform a program runs on: Windows, or Wine, whose ntdll exports
// wine_get_version (Windows' does not).
#pragma once
#include <windows.h>

// Wine's version text, or NULL on Windows.
static inline const char *WineVersion(void)
{
    typedef const char *(CDECL * WineVersionEntry)(void);
    WineVersionEntry entry =
        (WineVersionEntry)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
    return entry ? entry() : NULL;
}

static inline bool RunningUnderWine(void)
{
    static int underWine = -1;
    if (underWine < 0) underWine = WineVersion() != NULL;
    return underWine == 1;
}

// The Windows version the system reports to a program without a
// compatibility manifest: 6.2 from Windows 8 on, enough to tell.
static inline OSVERSIONINFOA ReportedWindowsVersion(void)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&version);
#pragma GCC diagnostic pop
    return version;
}
