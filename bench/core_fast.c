// Core library for the start-up and service figures: Tovrel returns at
// once. It links user32, as every real GUI core does, so that the baseline
// pays for user32 as the starters do; the call it makes touches no display
// driver, so that the core adds as little as it can to either side. No C
// runtime.
#include <windows.h>

BOOL WINAPI CoreEntry(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

__declspec(dllexport) int WINAPI Tovrel(const char *roleName)
{
    return CharNextA(roleName) != roleName;
}
