// A binding cell: the address every call of an external entry goes
// through, and the names it is bound by at its first call.
#pragma once
#include <windows.h>

struct BindingCell {
    FARPROC address; // first member: the call sequence reads it at offset 0
    const char *moduleName;
    const char *entryName;
};

extern "C" {
// Binds the cell's entry and returns its address (cdecl, for the stub).
FARPROC BindCell(BindingCell *cell);
// Calls the cell's entry with one 32-bit argument and returns how far the
// stack pointer is from where it was before the argument was pushed: 0
// when the callee removed exactly that argument.
long CallStdcall1(BindingCell *cell, const void *argument);
}
