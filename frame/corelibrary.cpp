#include "corelibrary.h"

#include "binding.h"
#include "frame.h"

static BindingCell TovrelCell = BINDING_CELL("Tovrel.dll", "Tovrel");

// Fatal errors here show SourceCoreLibrary (frame/frame.h) and the line.

void CallTovrel(const char *roleName) { CallBoundEntry1(&TovrelCell, roleName, FATAL_LOCATION(SourceCoreLibrary)); }

#ifndef _WIN32
// Host build only: every unit test starts as a fresh process, with the cell
// unbound. In the programs a bound cell stays bound until the process ends.
void UnbindCoreLibrary(void) { TovrelCell.address = (FARPROC)(void *)FirstCallStub; }
#endif
