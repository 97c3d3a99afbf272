// Recording, typed handles and reset of the Win32 stand-in.
#include <fake.h>

#include <cstdarg>
#include <cstdio>
#include <deque>

namespace fake {

std::vector<std::string> calls;
std::vector<Box> boxes;
std::map<std::string, Library> libraries;
std::map<std::string, HMODULE> presentModules;
long nextStackDelta;
long liveBlocks;
long heapAllocsBeforeFailure = -1;
std::string commandLine;
std::string moduleFileName;
DWORD currentProcessId, currentThreadId;
DWORD consoleSessionId;
DWORD lastError;
Hooks hooks;

static std::deque<Object> objects; // deque: handles stay valid as it grows

void Record(const char *format, ...)
{
    char line[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    calls.push_back(line);
}

std::vector<std::string> Calls(const std::string &prefix)
{
    std::vector<std::string> found;
    for (const auto &c : calls)
        if (c.compare(0, prefix.size(), prefix) == 0) found.push_back(c);
    return found;
}

std::string Log()
{
    std::string all;
    for (const auto &c : calls) all += "  " + c + "\n";
    return all;
}

HANDLE NewHandle(const std::string &kind, const std::string &name)
{
    objects.push_back(Object{kind, (int)objects.size() + 1, name, false});
    return &objects.back();
}

Object *Lookup(const void *handle)
{
    for (auto &o : objects)
        if (&o == handle) return &o;
    return nullptr;
}

std::string Describe(const void *handle)
{
    if (!handle) return "NULL";
    if (handle == INVALID_HANDLE_VALUE) return "INVALID";
    if (Object *o = Lookup(handle)) return o->kind + "#" + std::to_string(o->id);
    char text[32];
    snprintf(text, sizeof text, "%p", handle);
    return text;
}

void Reset()
{
    calls.clear();
    boxes.clear();
    libraries.clear();
    presentModules.clear();
    presentModules["kernel32"] = (HMODULE)NewHandle("module", "kernel32");
    nextStackDelta = 0;
    FreeHeap();
    heapAllocsBeforeFailure = -1;
    commandLine = "\"C:\\Program Files\\Lumaro\\program.exe\"";
    moduleFileName = "C:\\Program Files\\Lumaro\\program.exe";
    currentProcessId = 4242;
    currentThreadId = 1;
    consoleSessionId = 1;
    lastError = 0;
    hooks = Hooks();
}

} // namespace fake
