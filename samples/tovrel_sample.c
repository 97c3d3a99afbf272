// A sample core library for trying the programs: shows the role name it
// was started with and returns when the box is closed.
#include <windows.h>

__declspec(dllexport) int WINAPI Tovrel(const char *roleName)
{
    char text[300];
    wsprintfA(text, "Tovrel was called with the role name \"%s\".", roleName);
    MessageBoxA(NULL, text, "Tovrel sample", MB_OK | MB_ICONINFORMATION);
    return 0;
}
