// The program's arguments: the command line split after the program path.
//
// No escape sequences: a backslash is an ordinary byte. A quote opens a
// quoted argument that runs to the next quote; an unquoted argument ends at
// a byte from 0x01 to 0x20 or at a quote. The second byte of a two-byte
// character never ends an argument.
#include "frame/frame.h"
#include "frame/hostops.h"

// Fatal errors here show SourceCommandLine (frame/frame.h) and the line.

static bool IsSeparator(BYTE byte) { return byte >= 0x01 && byte <= 0x20; }

// Steps over one character inside an argument: a lead byte (0x80 or above)
// takes the byte after it along, unless that is the terminating zero.
static const BYTE *NextCharacter(const BYTE *at) { return (at[0] >= 0x80 && at[1]) ? at + 2 : at + 1; }

// The start of the arguments: after the program path, quoted or not.
static const BYTE *SkipProgramPath(const BYTE *line)
{
    const BYTE *at = line;
    if (*at == '"') {
        at++;
        while (*at && *at != '"') at++;
        if (!*at) return at;
        at++;
        if (*at == ' ') at++; // one space only; the rest are separators
        return at;
    }
    // Only a space ends an unquoted path, not a tab.
    while (*at && *at != ' ') at++;
    if (*at) at++;
    return at;
}

// Finds the next argument at or after at. Returns the position after it, or
// null when the line has no more arguments.
static const BYTE *NextArgument(const BYTE *at, const BYTE **start, DWORD *length)
{
    while (IsSeparator(*at)) at++;
    if (!*at) return nullptr;

    const BYTE *end;
    if (*at == '"') {
        *start = at + 1;
        end = *start;
        while (*end && *end != '"') end = NextCharacter(end);
        *length = (DWORD)(end - *start);
        return *end ? end + 1 : end; // the closing quote is not part of it
    }
    *start = at;
    end = at;
    while (*end && !IsSeparator(*end) && *end != '"') end = NextCharacter(end);
    *length = (DWORD)(end - *start);
    return end; // a quote right after it opens the next argument
}

void FreeTextList(TextList *list)
{
    for (DWORD i = 0; i < list->count; i++) FreeText(list->items[i]);
    FreeBlock(list->items);
    list->count = 0;
    list->items = nullptr;
}

void GetCommandArguments(TextList *list)
{
    FreeTextList(list);
    const BYTE *arguments = SkipProgramPath((const BYTE *)GetCommandLineA());

    const BYTE *start;
    DWORD length;
    DWORD count = 0;
    for (const BYTE *at = arguments; (at = NextArgument(at, &start, &length));) count++;
    if (count == 0) return;

    list->items = (char **)AllocateBlock(count * sizeof(char *), true);
    for (const BYTE *at = arguments; (at = NextArgument(at, &start, &length));)
        list->items[list->count++] = CopyTextBytes((const char *)start, length);
}

const char *TextListItem(const TextList *list, long index)
{
    CheckIndex(index, list->count, FATAL_LOCATION(SourceCommandLine));
    return list->items[index - 1];
}
