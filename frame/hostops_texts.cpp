// Texts: copies, joins, comparison, trimming, case and blanks.
//
// A byte of 0x80 or above is the lead byte of a two-byte character wherever
// characters matter; its second byte goes with it, except when the text ends
// right after the lead byte.
#include "frame/frame.h"
#include "frame/hostops.h"

static bool IsLeadByte(BYTE byte) { return byte >= 0x80; }

// Bytes in the character that starts at text: 2 for a lead byte with a
// second byte after it, else 1.
static DWORD CharacterLength(const BYTE *text) { return (IsLeadByte(text[0]) && text[1]) ? 2 : 1; }

// gcc turns this loop into a call of strlen, which no program links; the
// attribute keeps it a loop.
__attribute__((optimize("no-tree-loop-distribute-patterns"))) DWORD TextLength(const char *text)
{
    DWORD length = 0;
    if (text)
        while (text[length]) length++;
    return length;
}

char *CopyTextBytes(const char *bytes, DWORD count)
{
    char *text = (char *)AllocateBlock(count + 1, false);
    for (DWORD i = 0; i < count; i++) text[i] = bytes[i];
    text[count] = 0;
    return text;
}

void FreeText(char *text) { FreeBlock(text); }

char *CopyText(const char *text) { return CopyTextBytes(text, TextLength(text)); }

char *JoinTexts(const char *first, const char *second)
{
    DWORD firstLength = TextLength(first);
    DWORD secondLength = TextLength(second);
    char *text = (char *)AllocateBlock(firstLength + secondLength + 1, false);
    for (DWORD i = 0; i < firstLength; i++) text[i] = first[i];
    for (DWORD i = 0; i < secondLength; i++) text[firstLength + i] = second[i];
    text[firstLength + secondLength] = 0;
    return text;
}

bool TextsEqual(const char *first, const char *second)
{
    if (!first) first = "";
    if (!second) second = "";
    while (*first && *first == *second) {
        first++;
        second++;
    }
    return *first == *second;
}

// A space, or the full-width space 0xA1 0xA1 of the GBK code page. Returns
// its length in bytes, 0 when text does not start with a blank.
static DWORD BlankLength(const BYTE *text)
{
    if (text[0] == ' ') return 1;
    if (text[0] == 0xA1 && text[1] == 0xA1) return 2;
    return 0;
}

char *TrimText(const char *text)
{
    const BYTE *start = (const BYTE *)(text ? text : "");
    while (DWORD blank = BlankLength(start)) start += blank;

    // The end of the last character that is not a blank.
    const BYTE *end = start;
    for (const BYTE *at = start; *at;) {
        if (DWORD blank = BlankLength(at)) {
            at += blank;
        } else {
            at += CharacterLength(at);
            end = at;
        }
    }
    return CopyTextBytes((const char *)start, (DWORD)(end - start));
}

// Maps the bytes below 0x80 that lie in first..last by adding offset; copies
// two-byte characters untouched.
static char *MapAsciiLetters(const char *text, BYTE first, BYTE last, int offset)
{
    char *result = CopyText(text);
    for (BYTE *at = (BYTE *)result; *at;) {
        if (IsLeadByte(*at)) {
            at += CharacterLength(at);
            continue;
        }
        if (*at >= first && *at <= last) *at = (BYTE)(*at + offset);
        at++;
    }
    return result;
}

char *ToUpperText(const char *text) { return MapAsciiLetters(text, 'a', 'z', 'A' - 'a'); }

char *ToLowerText(const char *text) { return MapAsciiLetters(text, 'A', 'Z', 'a' - 'A'); }

char *BlankText(long count)
{
    if (count <= 0) return CopyTextBytes("", 0);
    char *text = (char *)AllocateBlock((DWORD)count + 1, false);
    for (long i = 0; i < count; i++) text[i] = ' ';
    text[count] = 0;
    return text;
}

char *TextFromBytes(ByteArray bytes)
{
    DWORD length = 0;
    while (length < bytes.count && bytes.bytes[length]) length++;
    return CopyTextBytes((const char *)bytes.bytes, length);
}
