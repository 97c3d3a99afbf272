// Stand-in for the terminal-services process list.
#include <fake.h>

extern "C" {

// Default: the list cannot be had.
BOOL WINAPI WTSEnumerateProcessesA(HANDLE server, DWORD reserved, DWORD version, PWTS_PROCESS_INFOA *processInfo,
                                   DWORD *count)
{
    fake::Record("WTSEnumerateProcessesA(%s, %u, %u, list, count)", fake::Describe(server).c_str(), reserved,
                 version);
    if (fake::hooks.WTSEnumerateProcessesA) return fake::hooks.WTSEnumerateProcessesA(processInfo, count);
    return FALSE;
}

void WINAPI WTSFreeMemory(PVOID memory) { fake::Record("WTSFreeMemory(%s)", memory ? "list" : "NULL"); }

} // extern "C"
