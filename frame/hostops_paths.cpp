// Where the running executable lies: its directory and its file name.
#include "frame/frame.h"
#include "frame/hostops.h"

enum {
    FirstPathBufferSize = MAX_PATH,
    // A path has at most 32767 characters, 65534 bytes in a double-byte
    // code page; the last buffer tried (66560 bytes) holds that.
    LastPathBufferSize = 0x20000,
};

// The full path of the running executable as a new text; the empty text
// when GetModuleFileNameA fails or the path fits no buffer. A path that does
// not fit is never cut:
// GetModuleFileNameA then returns the buffer size (and, before Vista, leaves
// the buffer unterminated), so the buffer grows until the path fits.
static char *ExecutablePath(void)
{
    for (DWORD size = FirstPathBufferSize; size <= LastPathBufferSize; size *= 2) {
        char *buffer = (char *)AllocateBlock(size, false);
        DWORD length = GetModuleFileNameA(NULL, buffer, size);
        if (length < size) {
            // 0 is a failure: the empty text.
            buffer[length] = 0;
            return buffer;
        }
        FreeBlock(buffer);
    }
    return CopyTextBytes("", 0);
}

// The offset of the last backslash byte, or -1. Byte by byte on purpose: the
// second byte of a two-byte character counts when it is 0x5C.
static long LastBackslash(const char *path)
{
    long found = -1;
    for (long i = 0; path[i]; i++)
        if (path[i] == '\\') found = i;
    return found;
}

char *GetRunDirectory(void)
{
    char *path = ExecutablePath();
    long backslash = LastBackslash(path);
    if (backslash < 0) return path;
    char *directory = CopyTextBytes(path, (DWORD)backslash);
    FreeText(path);
    return directory;
}

char *GetExeFileName(void)
{
    char *path = ExecutablePath();
    long backslash = LastBackslash(path);
    if (backslash < 0) return path;
    char *name = CopyText(path + backslash + 1);
    FreeText(path);
    return name;
}
