// A service's boxes go to the user at the console. On Windows 8 and later a
// LocalSystem service's own desktop lies in session 0, which nobody sees:
// MessageBoxA there would never return, the service would stay "running"
// doing nothing and its restart actions would never fire.
#include "consolebox.h"

#include <wtsapi32.h>

#include "frame/hostops.h"

void SendBoxToConsoleUser(const char *text, const char *title, UINT style)
{
    DWORD response = 0;
    // Waits for the answer like the box it replaces; fails at once when no
    // session is attached to the console. Either way the program goes on to
    // its exit, so the result is not examined.
    (void)WTSSendMessageA(WTS_CURRENT_SERVER_HANDLE, WTSGetActiveConsoleSessionId(), (LPSTR)title,
                          TextLength(title), (LPSTR)text, TextLength(text), style,
                          0,         // no timeout
                          &response, // IDOK, or IDASYNC/IDTIMEOUT: not used
                          TRUE);     // wait for the answer
}
