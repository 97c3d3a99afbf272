// A stand-in program for the Wine test of quench: copied under the names
// quench is to end or to spare, it only waits until it is ended. Exit code
// 7 when nobody ends it within a minute.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Sleep(60000);
    return 7;
}
