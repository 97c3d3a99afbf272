// A role starter: its whole work is one call of the core library's entry
// with the role name compiled into it.
#include "frame/corelibrary.h"
#include "frame/frame.h"

#ifndef ROLE_NAME
#error ROLE_NAME names the role this starter passes
#endif

static const char RoleName[] = ROLE_NAME;

void CreateGlobalVariables(void) {}
void FreeGlobalVariables(void) {}

int StartRoutine(void)
{
    CallTovrel(RoleName);
    return 0;
}
