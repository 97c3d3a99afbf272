// A program built as the deliverables are (the frame, its flags, no C
// runtime) for the Wine test of the frame. Its first argument chooses what
// it does; it ends through the frame like every deliverable.
//   index-above   an element access above the count: fatal error 1
//   index-below   an element access below 1: fatal error 4
//   unbalanced    a bound entry that leaves its argument: fatal error 6
//   no-memory     an allocation the process heap refuses: out of memory
//   binding       calls through binding cells of BindingEntries.dll, which
//                 lies beside the probe and writes what was called
// The location numbers of each mode are fixed, so that the test knows the
// whole box text.
#include "frame/binding.h"
#include "frame/frame.h"
#include "frame/hostops.h"

void CreateGlobalVariables(void) {}
void FreeGlobalVariables(void) {}

static const char Entries[] = "BindingEntries.dll";

static BindingCell PlainCell = BINDING_CELL(Entries, "Plain");
static BindingCell OrdinalCell = BINDING_CELL(Entries, "#12");
static BindingCell CutCell = BINDING_CELL(Entries, "Cut@@8");
static BindingCell WholeCell = BINDING_CELL(Entries, "Whole@4");
static BindingCell CdeclCell = BINDING_CELL(Entries, "Cdecl");

static void CallThroughCells(void)
{
    CallBoundEntry1(&PlainCell, "first", 71, 1);
    // A second binding of this cell would now end the run with the
    // library-not-found box: the second call must go straight through.
    PlainCell.moduleName = "missing.dll";
    PlainCell.entryName = "Missing";
    CallBoundEntry1(&PlainCell, "second", 71, 2);
    CallBoundEntry1(&OrdinalCell, "#12", 72, 1);
    CallBoundEntry1(&CutCell, "Cut@@8", 73, 1);
    CallBoundEntry1(&WholeCell, "Whole@4", 74, 1);
}

int StartRoutine(void)
{
    TextList arguments = {0, NULL};
    GetCommandArguments(&arguments);
    const char *mode = arguments.count ? TextListItem(&arguments, 1) : "";
    if (TextsEqual(mode, "index-above")) CheckIndex(2, 1, 11, 12);
    if (TextsEqual(mode, "index-below")) CheckIndex(0, 1, 41, 42);
    if (TextsEqual(mode, "unbalanced")) CallBoundEntry1(&CdeclCell, "unbalanced", 61, 62);
    if (TextsEqual(mode, "no-memory")) (void)AllocateBlock(0xFFFFFF00, false);
    if (TextsEqual(mode, "binding")) CallThroughCells();
    FreeTextList(&arguments);
    return 0;
}
