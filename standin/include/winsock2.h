// Host stand-in: the Winsock calls behind the local host name.
#pragma once
#include <windows.h>

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128
#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | ((WORD)((BYTE)(high))) << 8))

// 32-bit layout of WSADATA.
typedef struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char *lpVendorInfo;
} WSADATA, *LPWSADATA;

#ifdef __cplusplus
extern "C" {
#endif
int WINAPI WSAStartup(WORD versionRequested, LPWSADATA data);
int WINAPI WSACleanup(void);
// Renamed so that it cannot meet the C library's own declaration, which is
// read first for the same reason.
#include <unistd.h>
#define gethostname StandinGethostname
int WINAPI gethostname(char *name, int nameLength);
#ifdef __cplusplus
}
#endif
