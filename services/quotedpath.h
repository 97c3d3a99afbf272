#pragma once

// The path enclosed in double quotes, so that a command line or a service's
// binary path with spaces names the program and not a prefix of it. A new
// text that belongs to the caller.
char *QuotedPath(const char *path);
