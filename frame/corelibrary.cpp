#include "corelibrary.h"

#include "binding.h"
#include "frame.h"

static BindingCell TovrelCell = BINDING_CELL("Tovrel.dll", "Tovrel");

enum { SourceFileNumber = 2 };

void CallTovrel(const char *roleName) { CallBoundEntry1(&TovrelCell, roleName, FATAL_LOCATION(SourceFileNumber)); }
