#pragma once
#include "frame/hostops.h"

// The account name (without domain) under which the process runs, as the
// terminal-services process list and the account database give it. Left
// out: the calling process. The empty text when the list cannot be had or
// does not hold the process; 255 spaces when the account lookup fails.
char *ProcessOwnerName(Optional processId);
