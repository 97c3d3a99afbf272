#include "quotedpath.h"

#include "frame/hostops.h"

char *QuotedPath(const char *path)
{
    char *opened = JoinTexts("\"", path);
    char *quoted = JoinTexts(opened, "\"");
    FreeText(opened);
    return quoted;
}
