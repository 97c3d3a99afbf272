// Files and directories: existence, creation, whole-file writes, and the
// files that stay open until the exit sequence closes them.
#include <shlwapi.h>
#include <windows.h>

#include "frame/frame.h"
#include "frame/hostops.h"

OpenFileRecord *OpenFileList;

bool FileExists(const char *path) { return PathFileExistsA(path) != FALSE; }

bool MakeDirectory(const char *path)
{
    SECURITY_ATTRIBUTES attributes;
    attributes.nLength = 12; // the structure's size on the 32-bit target
    attributes.lpSecurityDescriptor = NULL;
    attributes.bInheritHandle = FALSE;
    return CreateDirectoryA(path, &attributes) != FALSE;
}

bool WriteWholeFile(const char *path, const ByteArray *arrays, DWORD arrayCount)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0 /* no sharing */, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE,
                              NULL);
    if (file == INVALID_HANDLE_VALUE) return false;

    bool written = true;
    for (DWORD i = 0; i < arrayCount && written; i++) {
        if (arrays[i].count == 0) continue; // nothing to write
        DWORD count = 0;
        written = WriteFile(file, arrays[i].bytes, arrays[i].count, &count, NULL) && count == arrays[i].count;
    }
    (void)CloseHandle(file); // the result already says whether the bytes went out
    return written;
}

// Open mode to desired access and creation disposition; anything else, and
// a left-out mode, opens an existing file for reading and writing.
static void ChooseAccess(Optional openMode, DWORD *access, DWORD *creation)
{
    *access = GENERIC_READ | GENERIC_WRITE;
    *creation = OPEN_EXISTING;
    if (!openMode.given) return;
    switch (openMode.value) {
    case 1: *access = GENERIC_READ; break;
    case 2: *access = GENERIC_WRITE; break;
    case 3: break;
    case 4: *access = GENERIC_WRITE; *creation = CREATE_ALWAYS; break;
    case 5: *access = GENERIC_WRITE; *creation = OPEN_ALWAYS; break;
    case 6: *creation = OPEN_ALWAYS; break;
    }
}

// Share mode to sharing; anything else, and a left-out mode, shares reading
// and writing.
static DWORD ChooseSharing(Optional shareMode)
{
    if (shareMode.given) {
        switch (shareMode.value) {
        case 2: return FILE_SHARE_WRITE;
        case 3: return FILE_SHARE_READ;
        case 4: return 0;
        }
    }
    return FILE_SHARE_READ | FILE_SHARE_WRITE;
}

FileNumber OpenFileWithMode(const char *path, Optional openMode, Optional shareMode)
{
    DWORD access, creation;
    ChooseAccess(openMode, &access, &creation);
    HANDLE file = CreateFileA(path, access, ChooseSharing(shareMode), NULL, creation, FILE_ATTRIBUTE_ARCHIVE, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;

    OpenFileRecord *record = (OpenFileRecord *)AllocateBlock(sizeof(OpenFileRecord), false);
    record->handle = file;
    record->next = OpenFileList;
    if (!OpenFileList) CleanupSlot2 = CloseOpenFiles;
    OpenFileList = record;
    return record;
}

void SeekToEnd(FileNumber file)
{
    // Only numbers that OpenFileWithMode gave out and that are still open.
    for (OpenFileRecord *record = OpenFileList; record; record = record->next) {
        if (record == file) {
            (void)SetFilePointer(record->handle, 0, NULL, FILE_END); // callers do not ask
            return;
        }
    }
}

void CloseOpenFiles(void)
{
    OpenFileRecord *record = OpenFileList;
    OpenFileList = NULL;
    CleanupSlot2 = NULL;
    while (record) {
        OpenFileRecord *next = record->next;
        (void)CloseHandle(record->handle); // at exit nothing can be done about a failure
        FreeBlock(record);
        record = next;
    }
}
