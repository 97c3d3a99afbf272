// Core library for the memory figure: Tovrel tells the benchmark it is
// inside (event quorvi_bench_ready) and waits until the benchmark lets it go
// (event quorvi_bench_stop). Links user32 like core_fast. No C runtime.
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
    (void)CharNextA(roleName); // links user32, as core_fast does
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, "quorvi_bench_ready");
    HANDLE stop = OpenEventA(SYNCHRONIZE, FALSE, "quorvi_bench_stop");
    if (ready) SetEvent(ready);
    // Started without the benchmark: wait a minute instead.
    WaitForSingleObject(stop ? stop : GetCurrentProcess(), stop ? INFINITE : 60000);
    return 1;
}
