// Owner of a process, through the terminal-services process list: no
// handle to the process itself is needed.
#include "processowner.h"

#include <windows.h>
#include <wtsapi32.h>

enum { AccountBufferCapacity = 255 };

// The name of the account behind the SID. The buffers are prefilled with
// spaces and the lookup's result is deliberately not examined, so a failed
// lookup answers 255 spaces, which the caller tells apart from "".
static char *AccountName(PSID sid)
{
    char *name = BlankText(AccountBufferCapacity);
    char *domain = BlankText(AccountBufferCapacity);
    DWORD nameCapacity = AccountBufferCapacity;
    DWORD domainCapacity = AccountBufferCapacity;
    SID_NAME_USE use;
    (void)LookupAccountSidA("", sid, name, &nameCapacity, domain, &domainCapacity, &use);
    char *account = CopyText(name); // up to the first NUL
    FreeText(name);
    FreeText(domain);
    return account;
}

char *ProcessOwnerName(Optional processId)
{
    DWORD wanted = processId.given ? (DWORD)processId.value : GetCurrentProcessId();

    PWTS_PROCESS_INFOA list = nullptr;
    DWORD count = 0;
    if (!WTSEnumerateProcessesA(WTS_CURRENT_SERVER_HANDLE, 0, 1, &list, &count)) return CopyText("");

    char *owner = nullptr;
    for (DWORD record = 0; record < count; record++) {
        if (list[record].ProcessId == wanted) {
            owner = AccountName(list[record].pUserSid);
            break;
        }
    }
    WTSFreeMemory(list);
    return owner ? owner : CopyText("");
}
