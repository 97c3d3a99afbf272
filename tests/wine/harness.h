// A small harness for the Wine tests, in the manner of Wine's own
// conformance tests: ok() checks that report the caller's line, a summary,
// and helpers to drive the real programs from outside.
#pragma once
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string>
#include <vector>

static int testsPassed, testsFailed, testsTodo;
static const char *testFile;
static int testLine;

static void ReportCheck(bool passed, bool todo, const char *format, va_list args)
{
    char message[2048];
    vsnprintf(message, sizeof message, format, args);
    if (todo) {
        // What Windows does but Wine does not: shown, not counted as a failure.
        printf("%s:%d: %s %s\n", testFile, testLine, passed ? "todo_wine passed:" : "todo_wine:", message);
        testsTodo++;
    } else if (passed) {
        testsPassed++;
    } else {
        printf("%s:%d: not ok: %s\n", testFile, testLine, message);
        testsFailed++;
    }
    fflush(stdout);
}

static inline void CheckAt(bool passed, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    ReportCheck(passed, false, format, args);
    va_end(args);
}

static inline void TodoAt(bool passed, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    ReportCheck(passed, true, format, args);
    va_end(args);
}

#define ok (testFile = __FILE__, testLine = __LINE__), CheckAt
#define todo_wine (testFile = __FILE__, testLine = __LINE__), TodoAt

static inline int TestSummary(const char *name)
{
    printf("%s: %d passed, %d failed, %d todo\n", name, testsPassed, testsFailed, testsTodo);
    return testsFailed ? 1 : 0;
}

// A path of the Linux side, as ctest passes it, on Wine's Z: drive.
static inline std::string WinePath(const char *unixPath)
{
    std::string path = unixPath;
    if (path.size() > 1 && path[1] == ':') return path;
    for (char &c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

// The path of this program's own module, and the directory that holds it.
static inline std::string OwnPath()
{
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    return std::string(path, length);
}

static inline std::string OwnDirectory()
{
    std::string path = OwnPath();
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

static inline std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

// A new empty directory under the temporary directory; name may hold spaces.
static inline std::string NewTestDirectory(const char *name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string base = std::string(temp) + name;
    for (int n = 0;; n++) {
        std::string path = base + " " + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n);
        if (CreateDirectoryA(path.c_str(), NULL)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return "";
    }
}

static inline bool CopyInto(const std::string &from, const std::string &directory, const std::string &name)
{
    std::string to = directory + "\\" + name;
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

static inline std::string ReadWholeFile(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string content;
    char buffer[4096];
    DWORD read;
    while (ReadFile(file, buffer, sizeof buffer, &read, NULL) && read) content.append(buffer, read);
    CloseHandle(file);
    return content;
}

static inline bool PathExists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

static inline bool IsDirectory(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes a directory tree of test files.
static inline void RemoveTree(const std::string &path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

struct Started {
    HANDLE process = NULL;
    DWORD id = 0;
};

// Starts a command line from inside Wine, so that its bytes arrive as given.
static inline Started StartProgram(const std::string &commandLine, const char *directory = NULL)
{
    Started started;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    if (CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, directory, &si, &pi)) {
        CloseHandle(pi.hThread);
        started.process = pi.hProcess;
        started.id = pi.dwProcessId;
    }
    return started;
}

// Waits for the process; kills it when it outlives the timeout. Returns its
// exit code, or -1 when it had to be killed or never started.
static inline long WaitForExit(Started &started, DWORD timeoutMs)
{
    if (!started.process) return -1;
    long code = -1;
    if (WaitForSingleObject(started.process, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exitCode;
        if (GetExitCodeProcess(started.process, &exitCode)) code = (long)exitCode;
    } else {
        TerminateProcess(started.process, 99);
        WaitForSingleObject(started.process, 5000);
    }
    CloseHandle(started.process);
    started.process = NULL;
    return code;
}

static inline long RunProgramAndWait(const std::string &commandLine, DWORD timeoutMs, const char *directory = NULL)
{
    Started started = StartProgram(commandLine, directory);
    return WaitForExit(started, timeoutMs);
}

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

// Lines of a text file, without their line ends.
static inline std::vector<std::string> ReadLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::string content = ReadWholeFile(path), line;
    for (char c : content) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

static inline std::string Joined(const std::vector<std::string> &lines)
{
    std::string all;
    for (const auto &l : lines) all += (all.empty() ? "" : " | ") + l;
    return all;
}
