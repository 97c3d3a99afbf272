// Message boxes as a user sees them, read from outside with the W
// functions, and their texts as UTF-8 for comparing and printing.
#pragma once
#include <windows.h>

#include <string>

// A message box as a user sees it: its text read with the W functions.
struct BoxSeen {
    bool found = false;
    std::wstring text;
    bool hasIcon = false;
    bool hasOwner = false;
};

static BOOL CALLBACK FindIconChild(HWND child, LPARAM found)
{
    char className[32];
    GetClassNameA(child, className, sizeof className);
    if (!lstrcmpiA(className, "Static") && (GetWindowLongA(child, GWL_STYLE) & 0x1F) == SS_ICON)
        *(bool *)found = true;
    return TRUE;
}

// Waits for a top-level window titled title that belongs to processId,
// reads its message text, then presses OK.
static inline BoxSeen ReadAndCloseBox(const char *title, DWORD processId, DWORD timeoutMs)
{
    BoxSeen seen;
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        HWND box = NULL;
        while ((box = FindWindowExA(NULL, box, NULL, title))) {
            DWORD owner = 0;
            GetWindowThreadProcessId(box, &owner);
            if (owner == processId) break;
        }
        if (box) {
            HWND textControl = GetDlgItem(box, 0xFFFF);
            wchar_t text[2048] = L"";
            if (textControl) GetWindowTextW(textControl, text, 2048);
            seen.found = true;
            seen.text = text;
            EnumChildWindows(box, FindIconChild, (LPARAM)&seen.hasIcon);
            seen.hasOwner = GetWindow(box, GW_OWNER) != NULL;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return seen;
        }
        Sleep(100);
    }
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
