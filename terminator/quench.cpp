// The client terminator: ends every running process of the image named by
// the first command-line argument, or of the main program, "quorvi.exe",
// when there is no argument at all.
#include "frame/frame.h"
#include "frame/hostops.h"
#include "processes.h"

static const char DefaultTarget[] = "quorvi.exe";

// No global variables.
void CreateGlobalVariables(void) {}
void FreeGlobalVariables(void) {}

// The trimmed first argument; an empty or blank one stays empty, so that
// only a missing argument falls back to the main program.
static char *TargetName(void)
{
    TextList arguments = {0, nullptr};
    GetCommandArguments(&arguments);
    char *target = arguments.count == 0 ? CopyText(DefaultTarget) : TrimText(TextListItem(&arguments, 1));
    FreeTextList(&arguments);
    return target;
}

int StartRoutine(void)
{
    char *target = TargetName();
    // The whole list is taken before the first process is ended: ending
    // ourselves (when named) must not cut the snapshot walk short.
    ProcessIdList matches = FindProcessesByName(target);
    FreeText(target);
    for (long index = 1; index <= (long)matches.count; index++) {
        // A process that is gone or refuses to end is skipped. Our own id
        // ends the run right here.
        (void)TerminateProcessById(Given((long)ProcessIdAt(&matches, index)));
    }
    FreeProcessIdList(&matches);
    return 0;
}
