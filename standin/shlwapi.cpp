// Stand-in for shlwapi's PathFileExistsA.
#include <fake.h>

extern "C" BOOL WINAPI PathFileExistsA(LPCSTR path)
{
    fake::Record("PathFileExistsA(\"%s\")", path ? path : "");
    if (fake::hooks.PathFileExistsA) return fake::hooks.PathFileExistsA(path);
    return FALSE;
}
