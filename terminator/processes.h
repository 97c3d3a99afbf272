// The running processes of one image name, found in one system snapshot.
#pragma once
#include <windows.h>

// Process ids in snapshot order, read from 1 up to count with ProcessIdAt.
struct ProcessIdList {
    DWORD count;
    DWORD capacity;
    DWORD *ids;
};

// The ids of all processes whose executable file name equals the name,
// letters A to Z in either case. Empty when no snapshot can be taken.
ProcessIdList FindProcessesByName(const char *name);

DWORD ProcessIdAt(const ProcessIdList *list, long index); // 1-based, index-tested
void AppendProcessId(ProcessIdList *list, DWORD id);
void FreeProcessIdList(ProcessIdList *list);
