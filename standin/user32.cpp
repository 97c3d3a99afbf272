// Stand-in for the user32 functions the programs call.
#include <fake.h>

#include <cstdarg>
#include <cstdio>

extern "C" {

// Default: the user presses OK at once.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    fake::Record("MessageBoxA(%s, \"%s\", \"%s\", 0x%x)", fake::Describe(owner).c_str(), text ? text : "",
                 caption ? caption : "", type);
    fake::boxes.push_back(fake::Box{text ? text : "", caption ? caption : "", type, owner != nullptr});
    if (fake::hooks.MessageBoxA) return fake::hooks.MessageBoxA(owner, text, caption, type);
    return IDOK;
}

// wsprintfA knows %d and %s as the programs use them, and writes at most
// 1024 bytes, as documented.
int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int written = vsnprintf(buffer, 1024, format, args);
    va_end(args);
    return written > 1023 ? 1023 : written;
}

// Default: the queue holds only WM_QUIT with wParam 0.
BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax)
{
    fake::Record("GetMessageA(msg, %s, %u, %u)", fake::Describe(window).c_str(), filterMin, filterMax);
    if (fake::hooks.GetMessageA) return fake::hooks.GetMessageA(msg, window, filterMin, filterMax);
    msg->message = WM_QUIT;
    msg->wParam = 0;
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG *msg)
{
    fake::Record("TranslateMessage(0x%x)", msg->message);
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG *msg)
{
    fake::Record("DispatchMessageA(0x%x)", msg->message);
    return 0;
}

void WINAPI PostQuitMessage(int exitCode) { fake::Record("PostQuitMessage(%d)", exitCode); }

BOOL WINAPI PostThreadMessageA(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam)
{
    fake::Record("PostThreadMessageA(%u, 0x%x, %zu, %zd)", threadId, msg, (size_t)wParam, (ssize_t)lParam);
    return TRUE;
}

} // extern "C"
