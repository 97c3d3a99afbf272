#pragma once

// The StartRoutine of both service hosts: identity gate, runtime tree,
// error log, then ServiceEntry. Returns 0.
int ServiceHostStartup(void);
