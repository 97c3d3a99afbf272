// Stand-in for the Winsock calls behind the local host name.
#include <fake.h>

#include <cstring>

extern "C" {

int WINAPI WSAStartup(WORD versionRequested, LPWSADATA data)
{
    fake::Record("WSAStartup(0x%04x)", versionRequested);
    if (fake::hooks.WSAStartup) return fake::hooks.WSAStartup(versionRequested, data);
    memset(data, 0, sizeof *data);
    data->wVersion = versionRequested;
    return 0;
}

int WINAPI WSACleanup(void)
{
    fake::Record("WSACleanup()");
    return 0;
}

int WINAPI gethostname(char *name, int nameLength)
{
    fake::Record("gethostname(buffer, %d)", nameLength);
    if (fake::hooks.gethostname) return fake::hooks.gethostname(name, nameLength);
    strncpy(name, "DESKTOP-7", (size_t)nameLength);
    return 0;
}

} // extern "C"
