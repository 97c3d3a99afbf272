// Entries bound by name at their first call, and the libraries loaded for them.
#pragma once
#include "bindingcell.h"

extern "C" char FirstCallStub[]; // a code label: every cell starts out pointing at it

#define BINDING_CELL(moduleName, entryName) {(FARPROC)(void *)FirstCallStub, moduleName, entryName}

enum { LoadedModuleCapacity = 100 };
extern HMODULE LoadedModules[LoadedModuleCapacity];
extern DWORD LoadedModuleCount;
// Set before a thread that may still run inside a loaded library exists:
// from then on ReleaseLoadedModules leaves every library loaded.
extern bool KeepLoadedModules;

// Finds the module already in the process by its bare name, or loads it
// from the program's own directory, never from anywhere else the search
// order would look. Resolves the entry and stores its address in the cell. Shows the library-not-found or entry-not-found box and ends the
// program instead of returning when either cannot be found.
FARPROC BindEntry(const char *moduleName, const char *entryName, FARPROC *cell);
void ReleaseLoadedModules(void);

// Calls the entry with one text argument, stdcall; a callee that leaves the
// stack unbalanced is fatal error 6 at the given location.
void CallBoundEntry1(BindingCell *cell, const void *argument, int location1, int location2);
