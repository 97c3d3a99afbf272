// Start-up of a service host: run as the local system account it lays out
// the runtime tree, holds the error log open and serves its service; run by
// anybody else it hands over to quorviServiceControl.exe.
#include "startup.h"

#include "frame/frame.h"
#include "frame/hostops.h"
#include "globals.h"
#include "hostidentity.h"
#include "processowner.h"
#include "quotedpath.h"
#include "runtime.h"

// Each after its parent: MakeDirectory creates one level only.
static const char *const RuntimeDirectories[] = {
    "runtime", "runtime\\update", "runtime\\down", "runtime\\log", "runtime\\dmp", "runtime\\error",
};
static const char ErrorLogName[] = "runtime\\error\\error.log";
static const char ServiceControlProgram[] = "quorviServiceControl.exe";

static void SetRunDirectory(void)
{
    char *directory = GetRunDirectory();
    if (RunDirectory) FreeText(RunDirectory);
    RunDirectory = JoinTexts(directory, "\\");
    FreeText(directory);
}

// Compared by name, upper-cased. An empty owner (no process list, or the
// process not in it) counts as the system account; the 255 spaces of a
// failed account lookup count as a user.
static bool RunsAsSystemAccount(void)
{
    char *owner = ProcessOwnerName(LeftOut);
    char *upperOwner = ToUpperText(owner);
    bool system = TextsEqual(upperOwner, "SYSTEM") || TextsEqual(upperOwner, "");
    FreeText(upperOwner);
    FreeText(owner);
    return system;
}

static void HandOverToServiceControl(void)
{
    // Quoted, so that a run directory with spaces cannot start another program.
    char *path = JoinTexts(RunDirectory, ServiceControlProgram);
    char *commandLine = QuotedPath(path);
    (void)RunProgram(commandLine, false, LeftOut); // not waited for, not checked
    FreeText(commandLine);
    FreeText(path);
}

// A failure leaves the rest to be tried; the ones below it fail as well.
static void MakeMissingDirectories(const char *const *names, DWORD count)
{
    for (DWORD index = 0; index < count; index++) {
        char *path = JoinTexts(RunDirectory, names[index]);
        if (!FileExists(path)) (void)MakeDirectory(path);
        FreeText(path);
    }
}

// An existing log is left as it is, whatever it holds.
static void EnsureErrorLog(const char *path)
{
    if (FileExists(path)) return;
    ByteArray nothing = {nullptr, 0};
    (void)WriteWholeFile(path, &nothing, 1);
}

int ServiceHostStartup(void)
{
    SetRunDirectory();
    // Before the gate, so that a program started there inherits it.
    (void)SetErrorMode(SEM_NOGPFAULTERRORBOX);

    if (!RunsAsSystemAccount()) {
        HandOverToServiceControl();
        return 0;
    }

    MakeMissingDirectories(RuntimeDirectories, sizeof RuntimeDirectories / sizeof RuntimeDirectories[0]);
    char *errorLog = JoinTexts(RunDirectory, ErrorLogName);
    EnsureErrorLog(errorLog);
    MakeMissingDirectories(ThisHost->extraDirectories, ThisHost->extraDirectoryCount);
    // Read and write, must exist, shared for reading and writing but not
    // deleting: held open until the exit sequence closes it.
    ErrorLogFile = OpenFileWithMode(errorLog, LeftOut, LeftOut);
    SeekToEnd(ErrorLogFile);
    FreeText(errorLog);

    ServiceEntry();
    return 0;
}

int StartRoutine(void) { return ServiceHostStartup(); }
