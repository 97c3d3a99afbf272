// The local host name through Winsock. Kept apart so that only the programs
// that ask for it import ws2_32.
#include <winsock2.h>

#include "frame/frame.h"
#include "frame/hostops.h"

enum { HostNameBufferSize = 260 };

char *GetHostName(void)
{
    // Each call starts and ends its own use of Winsock.
    WSADATA data;
    if (WSAStartup(0x0202, &data) != 0) return CopyTextBytes("", 0);

    char buffer[HostNameBufferSize];
    char *name;
    if (gethostname(buffer, HostNameBufferSize) == 0) {
        buffer[HostNameBufferSize - 1] = 0; // a name of the full buffer size stays inside it
        name = CopyText(buffer);
    } else {
        name = CopyTextBytes("", 0);
    }
    (void)WSACleanup(); // nothing depends on it
    return name;
}
