// Stand-in for the terminal-services process list.
#include <fake.h>

extern "C" {

// Default: the list cannot be had.
BOOL WINAPI WTSEnumerateProcessesA(HANDLE server, DWORD reserved, DWORD version, PWTS_PROCESS_INFOA *processInfo,
                                   DWORD *count)
{
    fake::Record("WTSEnumerateProcessesA(%s, %u, %u, list, count)", fake::Describe(server).c_str(), reserved,
                 version);
    if (fake::hooks.WTSEnumerateProcessesA)
        return fake::hooks.WTSEnumerateProcessesA(server, reserved, version, processInfo, count);
    return FALSE;
}

void WINAPI WTSFreeMemory(PVOID memory) { fake::Record("WTSFreeMemory(%s)", memory ? "list" : "NULL"); }

// Default: the user answers OK. The texts are shown as far as the lengths
// say, so that a wrong length shows in the record.
BOOL WINAPI WTSSendMessageA(HANDLE server, DWORD sessionId, LPSTR title, DWORD titleLength, LPSTR message,
                            DWORD messageLength, DWORD style, DWORD timeout, DWORD *response, BOOL wait)
{
    fake::Record("WTSSendMessageA(%s, %u, \"%.*s\", %u, \"%.*s\", %u, 0x%x, %u, %s, %d)",
                 fake::Describe(server).c_str(), sessionId, (int)titleLength, title ? title : "", titleLength,
                 (int)messageLength, message ? message : "", messageLength, style, timeout,
                 response ? "&response" : "NULL", wait);
    if (fake::hooks.WTSSendMessageA)
        return fake::hooks.WTSSendMessageA(server, sessionId, title, titleLength, message, messageLength, style,
                                           timeout, response, wait);
    if (response) *response = IDOK;
    return TRUE;
}

} // extern "C"
