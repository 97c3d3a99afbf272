// The start-up baseline: exactly the work of a role starter and nothing
// else. No C runtime, kernel32 only; the core library brings what it links.
#include <windows.h>

typedef int(WINAPI *TovrelEntry)(const char *roleName);

void MinimalEntry(void)
{
    HMODULE core = LoadLibraryA("Tovrel.dll");
    if (core) {
        TovrelEntry tovrel = (TovrelEntry)GetProcAddress(core, "Tovrel");
        if (tovrel) tovrel("quorvi");
    }
    ExitProcess(0);
}
