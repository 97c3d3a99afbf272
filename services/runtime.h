// The service side of a host: install or serve, the service main function,
// the worker that runs the core library and the control handler.
#pragma once
#include <windows.h>

void ServiceEntry(void);
void WINAPI ServiceMain(DWORD argumentCount, LPSTR *arguments);
DWORD WINAPI ServiceWorker(LPVOID parameter);
void WINAPI ServiceControlHandler(DWORD control);
