// Host stand-in: the one path function of shlwapi.
#pragma once
#include <windows.h>
#ifdef __cplusplus
extern "C" {
#endif
BOOL WINAPI PathFileExistsA(LPCSTR path);
#ifdef __cplusplus
}
#endif
