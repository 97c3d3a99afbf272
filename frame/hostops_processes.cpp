// Starting other programs and ending processes.
#include <windows.h>

#include "frame/frame.h"
#include "frame/hostops.h"

// Show mode to the new program's show-window value; anything else, and a
// left-out mode, shows it normally and activated.
static WORD ShowWindowValue(Optional showMode)
{
    if (showMode.given) {
        switch (showMode.value) {
        case 1: return SW_HIDE;
        case 2: return SW_SHOW;
        case 3: return SW_SHOWMINIMIZED;
        case 4: return SW_SHOWMAXIMIZED;
        case 5: return SW_SHOWNOACTIVATE;
        case 6: return SW_SHOWMINNOACTIVE;
        }
    }
    return SW_SHOW;
}

bool RunProgram(const char *commandLine, bool wait, Optional showMode)
{
    // The caller's own startup record, with only the show-window value used.
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowWindowValue(showMode);

    // CreateProcessA may write into the command line, so it gets a copy.
    char *line = CopyText(commandLine);
    PROCESS_INFORMATION process = {};
    BOOL created = CreateProcessA(NULL, // the program is the command line's first element
                                  line,
                                  NULL, NULL, // default process and thread security
                                  TRUE,       // the new program inherits our inheritable handles
                                  0,          // no creation flags
                                  NULL,       // our environment
                                  NULL,       // our current directory
                                  &startup, &process);
    FreeText(line);
    if (!created) return false;

    if (wait) (void)WaitForSingleObject(process.hProcess, INFINITE); // it ended, or there is nothing to wait for
    (void)CloseHandle(process.hProcess);
    (void)CloseHandle(process.hThread);
    return true;
}

bool TerminateProcessById(Optional processId)
{
    DWORD id = processId.given ? (DWORD)processId.value : GetCurrentProcessId();
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
    // Made even without a handle: it then fails, and so does the operation.
    // On our own process a successful call does not return.
    BOOL terminated = TerminateProcess(process, 0);
    if (process) (void)CloseHandle(process);
    return terminated == TRUE;
}
