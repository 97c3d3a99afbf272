// What sets the two service hosts apart. The shared code reads the table of
// the host it is built into through ThisHost; updateservice.cpp and
// coreservice.cpp each define one table.
#pragma once
#include <windows.h>

struct HostIdentity {
    const char *serviceName; // also the role name passed to Tovrel
    const char *displayName;
    const char *description;
    const char *const *extraDirectories; // below RunDirectory, each after its parent
    DWORD extraDirectoryCount;
    bool stopEndsProcess; // the control handler terminates the own process after the stop
};

extern const HostIdentity UpdateServiceIdentity; // quorviUpdateService
extern const HostIdentity CoreServiceIdentity;   // quorviService

// The table of this program. The unit tests build both tables and choose
// one per test (HOST_IDENTITY_CHOSEN_BY_TEST); a program defines it in its
// table file.
extern const HostIdentity *ThisHost;
