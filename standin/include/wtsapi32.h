// Host stand-in: the terminal-services process list.
#pragma once
#include <windows.h>

#define WTS_CURRENT_SERVER_HANDLE ((HANDLE)NULL)

typedef struct _WTS_PROCESS_INFOA {
    DWORD SessionId;
    DWORD ProcessId;
    LPSTR pProcessName;
    PSID pUserSid;
} WTS_PROCESS_INFOA, *PWTS_PROCESS_INFOA;

#ifdef __cplusplus
extern "C" {
#endif
BOOL WINAPI WTSEnumerateProcessesA(HANDLE server, DWORD reserved, DWORD version,
                                   PWTS_PROCESS_INFOA *processInfo, DWORD *count);
void WINAPI WTSFreeMemory(PVOID memory);
BOOL WINAPI WTSSendMessageA(HANDLE server, DWORD sessionId, LPSTR title, DWORD titleLength, LPSTR message,
                            DWORD messageLength, DWORD style, DWORD timeout, DWORD *response, BOOL wait);
#ifdef __cplusplus
}
#endif
