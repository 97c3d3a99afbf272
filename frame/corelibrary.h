// The product's core library, Tovrel.dll, and its one entry.
#pragma once

// Calls Tovrel with the role name, binding it at the first call. The text
// must stay valid for the life of the process.
void CallTovrel(const char *roleName);

#ifndef _WIN32
void UnbindCoreLibrary(void); // host build only: back to the first-call stub
#endif
