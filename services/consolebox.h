#pragma once
#include <windows.h>

// The error box of a running service, shown to the user at the console
// instead of on the service's own desktop. Returns once it was answered,
// or at once when nobody is logged on at the console.
void SendBoxToConsoleUser(const char *text, const char *title, UINT style);
