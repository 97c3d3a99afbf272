// Operations over the host system that the programs' own routines use:
// paths, texts, files, programs and processes.
//
// Texts are zero-terminated byte strings in the system ANSI code page (GBK
// on the target systems). Every text returned here is a new block from
// AllocateBlock that belongs to the caller (release it with FreeText); an
// operation with nothing to return returns the empty text "", never null.
// Running out of memory is the frame's out-of-memory report.
#pragma once
#include <windows.h>

// An argument the caller may leave out. Leaving it out is not the same as
// passing any number.
struct Optional {
    bool given;
    long value;
};
constexpr Optional LeftOut = {false, 0};
constexpr Optional Given(long value) { return Optional{true, value}; }

// Texts
void FreeText(char *text);
char *CopyText(const char *text);
char *JoinTexts(const char *first, const char *second);
bool TextsEqual(const char *first, const char *second); // byte for byte, null as empty
DWORD TextLength(const char *text);                      // bytes before the zero; 0 for null
char *CopyTextBytes(const char *bytes, DWORD count);     // count bytes, then a zero

// Paths and names
char *GetRunDirectory(void); // the executable's directory, no trailing backslash
char *GetExeFileName(void);  // the executable's file name without its directory
char *GetHostName(void);     // the local host name, or the empty text

// Command line: the arguments after the program path, first argument first.
struct TextList {
    DWORD count;
    char **items; // items[0] is argument 1; read them with TextListItem
};
// Replaces what the list held: it must start out zeroed ({0, NULL}) or hold
// an earlier result, whose texts are released.
void GetCommandArguments(TextList *list);
const char *TextListItem(const TextList *list, long index); // 1-based, index-tested
void FreeTextList(TextList *list);

char *TrimText(const char *text);    // without leading and trailing spaces and full-width spaces
char *ToUpperText(const char *text); // a to z upper-cased, double-byte characters untouched
char *ToLowerText(const char *text); // A to Z lower-cased, double-byte characters untouched
char *BlankText(long count);         // count spaces; empty for 0 or less

struct ByteArray {
    const BYTE *bytes;
    DWORD count;
};
char *TextFromBytes(ByteArray bytes); // the bytes before the first zero byte

// Files and directories
bool FileExists(const char *path);
bool MakeDirectory(const char *path); // the last element only
bool WriteWholeFile(const char *path, const ByteArray *arrays, DWORD arrayCount);

// 0 when no file was opened; otherwise an open file that stays open until
// the exit sequence closes it.
struct OpenFileRecord {
    HANDLE handle;
    OpenFileRecord *next;
};
typedef struct OpenFileRecord *FileNumber;
extern OpenFileRecord *OpenFileList; // newest first; CloseOpenFiles empties it
FileNumber OpenFileWithMode(const char *path, Optional openMode, Optional shareMode);
void SeekToEnd(FileNumber file);
void CloseOpenFiles(void); // clean-up slot 2: newest first, empties the slot

// Programs and processes
bool RunProgram(const char *commandLine, bool wait, Optional showMode);
// Left out: the calling process. Does not return when it ends the caller.
bool TerminateProcessById(Optional processId);
