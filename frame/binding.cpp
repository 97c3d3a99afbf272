// Binding of external entries at their first call, and their release.
#include "binding.h"

#include "frame.h"
#include "hostops.h"

HMODULE LoadedModules[LoadedModuleCapacity];
DWORD LoadedModuleCount;
bool KeepLoadedModules;

enum { NameBufferSize = 1024 };

[[noreturn]] static void ReportBindingFailure(const char *format, const char *moduleName, const char *entryName)
{
    char text[NameBufferSize];
    wsprintfA(text, format, moduleName, entryName);
    ShowErrorBox(text, "DLL ERROR");
    ExitProgram();
}

static void RecordLoadedModule(HMODULE module)
{
    // The programs load one library; past the table's end the library simply
    // stays loaded until the process ends.
    if (LoadedModuleCount >= LoadedModuleCapacity) return;
    LoadedModules[LoadedModuleCount++] = module;
    if (LoadedModuleCount == 1) ReleaseHook = ReleaseLoadedModules;
}

// "#12": leading white space, an optional sign, then digits up to the first
// non-digit. Returns 0 for anything that is no ordinal GetProcAddress takes.
static DWORD ParseOrdinal(const char *text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) text++;
    bool negative = *text == '-';
    if (*text == '+' || *text == '-') text++;
    unsigned long value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (unsigned long)(*text - '0');
        if (value > 0xFFFF) return 0;
    }
    return negative ? 0 : (DWORD)value;
}

// Copies the entry name and cuts it before a doubled at-sign. Returns false
// when the name does not fit the buffer.
static bool ResolvableName(const char *entryName, char *buffer)
{
    DWORD length = 0;
    while (entryName[length]) {
        if (length + 1 >= NameBufferSize) return false;
        buffer[length] = entryName[length];
        length++;
    }
    buffer[length] = 0;
    for (char *at = buffer; *at; at++) {
        if (*at == '@') {
            if (at[1] == '@') *at = 0;
            break;
        }
    }
    return true;
}

// The library beside the program, by its full path. A bare name would let
// the search order go on to the current directory and every directory on
// PATH, where anybody may plant a library of that name. No path, no load.
static HMODULE LoadLibraryBesideProgram(const char *moduleName)
{
    char *directory = GetRunDirectory();
    HMODULE module = NULL;
    if (directory[0]) {
        char *directoryWithSlash = JoinTexts(directory, "\\");
        char *path = JoinTexts(directoryWithSlash, moduleName);
        module = LoadLibraryA(path);
        FreeText(path);
        FreeText(directoryWithSlash);
    }
    FreeText(directory);
    return module;
}

FARPROC BindEntry(const char *moduleName, const char *entryName, FARPROC *cell)
{
    HMODULE module = GetModuleHandleA(moduleName);
    if (!module) {
        module = LoadLibraryBesideProgram(moduleName);
        if (!module) ReportBindingFailure("同目录下无法找到DLL文件:\"%s\".请与作者联系.", moduleName, entryName);
        RecordLoadedModule(module);
    }

    FARPROC address = NULL;
    char name[NameBufferSize];
    if (entryName[0] == '#') {
        DWORD ordinal = ParseOrdinal(entryName + 1);
        if (ordinal) address = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    } else if (ResolvableName(entryName, name)) {
        address = GetProcAddress(module, name);
    }
    if (!address) ReportBindingFailure("无法定位DLL文件:\"%s\"当中的\"%s\"函数.", moduleName, entryName);

    *cell = address;
    return address;
}

extern "C" FARPROC BindCell(BindingCell *cell) { return BindEntry(cell->moduleName, cell->entryName, &cell->address); }

void ReleaseLoadedModules(void)
{
    if (KeepLoadedModules) return;
    for (DWORD slot = 0; slot < LoadedModuleCapacity && LoadedModules[slot]; slot++)
        (void)FreeLibrary(LoadedModules[slot]);
}

void CallBoundEntry1(BindingCell *cell, const void *argument, int location1, int location2)
{
    if (CallStdcall1(cell, argument) != 0) ReportFatalError(ErrorStackUnbalanced, location1, location2);
}
