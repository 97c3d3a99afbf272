// The host build's form of boundcall_i386.S, for the unit tests: the cell
// is handed to the first-call stub through a variable instead of a
// register, and the stack difference comes from the stand-in's
// fake::nextStackDelta.
#include "bindingcell.h"
#include <fake.h>

typedef intptr_t (*Entry1)(const void *);

static BindingCell *CellInCall;

extern "C" intptr_t FirstCallStub(const void *argument)
{
    FARPROC entry = BindCell(CellInCall);
    return ((Entry1)(void *)entry)(argument);
}

extern "C" long CallStdcall1(BindingCell *cell, const void *argument)
{
    fake::nextStackDelta = 0;
    CellInCall = cell;
    ((Entry1)(void *)cell->address)(argument);
    long delta = fake::nextStackDelta;
    fake::nextStackDelta = 0;
    return delta;
}
