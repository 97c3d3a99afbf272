// The process snapshot walk behind the client terminator.
#include "processes.h"

#include <tlhelp32.h>

#include "frame/frame.h"
#include "frame/hostops.h"

// Fatal errors here show SourceProcessList (frame/frame.h) and the line.

// The record the tool-help functions expect in a 32-bit process.
static_assert(sizeof(void *) != 4 || sizeof(PROCESSENTRY32) == 296, "PROCESSENTRY32 must be 296 bytes");

// Only the first 256 bytes of szExeFile count as the name.
enum { ExeNameBytes = 256 };

DWORD ProcessIdAt(const ProcessIdList *list, long index)
{
    CheckIndex(index, list->count, FATAL_LOCATION(SourceProcessList));
    return list->ids[index - 1];
}

void AppendProcessId(ProcessIdList *list, DWORD id)
{
    if (list->count == list->capacity) {
        DWORD capacity = list->capacity ? list->capacity * 2 : 16;
        DWORD *ids = (DWORD *)AllocateBlock(capacity * sizeof(DWORD), false);
        for (DWORD i = 0; i < list->count; i++) ids[i] = list->ids[i];
        FreeBlock(list->ids);
        list->ids = ids;
        list->capacity = capacity;
    }
    list->ids[list->count++] = id;
}

void FreeProcessIdList(ProcessIdList *list)
{
    FreeBlock(list->ids);
    list->ids = nullptr;
    list->count = list->capacity = 0;
}

ProcessIdList FindProcessesByName(const char *name)
{
    ProcessIdList matches = {0, 0, nullptr};
    // Flags 15: the whole system snapshot, not the process list alone.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0);
    // Without a snapshot there is nothing to walk, and the pseudo handle
    // INVALID_HANDLE_VALUE must not reach CloseHandle.
    if (snapshot == INVALID_HANDLE_VALUE) return matches;

    char *wanted = ToLowerText(name);
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    BOOL found = Process32First(snapshot, &entry);
    while (found) {
        char *exeName = TextFromBytes(ByteArray{(const BYTE *)entry.szExeFile, ExeNameBytes});
        char *lowered = ToLowerText(exeName);
        if (TextsEqual(lowered, wanted)) AppendProcessId(&matches, entry.th32ProcessID);
        FreeText(lowered);
        FreeText(exeName);
        found = Process32Next(snapshot, &entry);
    }
    (void)CloseHandle(snapshot); // nothing to do about a failure here
    FreeText(wanted);
    return matches;
}
