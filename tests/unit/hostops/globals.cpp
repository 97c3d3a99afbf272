// The program side of the frame for the host-operation tests: nothing.
#include "frame/frame.h"

void CreateGlobalVariables(void) {}
void FreeGlobalVariables(void) {}
int StartRoutine(void) { return 0; }
