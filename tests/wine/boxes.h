// Message boxes as a user sees them, read from outside with the W
// functions, and their texts as UTF-8 for comparing and printing.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A message box as a user sees it: its text read with the W functions, and
// how many characters of its title and text the fonts of boxes cannot draw.
struct BoxSeen {
    bool found = false;
    std::wstring title, text;
    bool hasIcon = false;
    bool hasOwner = false;
    int titleMissingGlyphs = -1, textMissingGlyphs = -1;
};

// Characters of text that font has no glyph for: Windows and Wine draw each
// as an empty rectangle. -1 when the font cannot be asked. Line ends and
// other control characters are not drawn and do not count.
static inline int MissingGlyphs(const LOGFONTW &logFont, const std::wstring &text)
{
    HFONT font = CreateFontIndirectW(&logFont);
    HDC dc = CreateCompatibleDC(NULL);
    if (!font || !dc) {
        if (font) DeleteObject(font);
        if (dc) DeleteDC(dc);
        return -1;
    }
    HGDIOBJ previous = SelectObject(dc, font);
    std::vector<WORD> glyphs(text.size() + 1);
    int missing = -1;
    if (GetGlyphIndicesW(dc, text.c_str(), (int)text.size(), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) !=
        GDI_ERROR) {
        missing = 0;
        for (size_t i = 0; i < text.size(); i++)
            if (text[i] >= L' ' && glyphs[i] == 0xFFFF) missing++;
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(font);
    return missing;
}

// The fonts the system draws boxes with: caption and message font.
static inline bool BoxFonts(NONCLIENTMETRICSW &metrics)
{
    metrics = {};
    metrics.cbSize = sizeof metrics;
    return SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) != 0;
}

static BOOL CALLBACK FindIconChild(HWND child, LPARAM found)
{
    char className[32];
    GetClassNameA(child, className, sizeof className);
    if (!lstrcmpiA(className, "Static") && (GetWindowLongA(child, GWL_STYLE) & 0x1F) == SS_ICON)
        *(bool *)found = true;
    return TRUE;
}

// Waits for a top-level window titled title that belongs to processId;
// null when none appeared within the timeout.
static inline HWND WaitForBox(const char *title, DWORD processId, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        HWND box = NULL;
        while ((box = FindWindowExA(NULL, box, NULL, title))) {
            DWORD owner = 0;
            GetWindowThreadProcessId(box, &owner);
            if (owner == processId) return box;
        }
        Sleep(100);
    }
    return NULL;
}

// The message text of a box: its static text control (id 0xFFFF).
static inline std::wstring BoxText(HWND box)
{
    HWND textControl = GetDlgItem(box, 0xFFFF);
    wchar_t text[2048] = L"";
    if (textControl) GetWindowTextW(textControl, text, 2048);
    return text;
}

// Waits for the box titled title of processId, reads it, then presses OK.
static inline BoxSeen ReadAndCloseBox(const char *title, DWORD processId, DWORD timeoutMs)
{
    BoxSeen seen;
    HWND box = WaitForBox(title, processId, timeoutMs);
    if (!box) return seen;
    seen.found = true;
    seen.text = BoxText(box);
    wchar_t caption[512] = L"";
    GetWindowTextW(box, caption, 512);
    seen.title = caption;
    NONCLIENTMETRICSW fonts;
    if (BoxFonts(fonts)) {
        seen.titleMissingGlyphs = MissingGlyphs(fonts.lfCaptionFont, seen.title);
        seen.textMissingGlyphs = MissingGlyphs(fonts.lfMessageFont, seen.text);
    }
    EnumChildWindows(box, FindIconChild, (LPARAM)&seen.hasIcon);
    seen.hasOwner = GetWindow(box, GW_OWNER) != NULL;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return seen;
}

static inline std::string Utf8(const std::wstring &text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string out(size, 0);
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], size, NULL, NULL);
    return out;
}

static inline std::wstring FromUtf8(const char *text)
{
    int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
    std::wstring out(size ? size - 1 : 0, 0);
    if (size > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], size);
    return out;
}
