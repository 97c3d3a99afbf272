// Starts a program, waits for its message box and tells where the box is and
// what it says, so that scripts/screenshots can picture it and check that it
// pictured the box it meant to. Then waits for someone to close the box and
// for the program to end.
//   box_report <program> <box title> <report file>
// Writes <report file> once the box shows: "rect <left> <top> <right> <bottom>"
// (screen coordinates of the whole window, title bar included), then the
// message text in UTF-8; or "none" when no box appeared. When the program has
// ended, writes <report file>.exit: "exit <code>", or "killed" when it had to
// be ended. Exits with 0 when the box showed and the program ended by itself.
#include "boxes.h"
#include "files.h"
#include "processes.h"

static const DWORD BoxTimeoutMs = 120000, CloseTimeoutMs = 300000, ExitTimeoutMs = 60000;

// Writes through a temporary file, so that a reader never sees half of it.
static bool WriteReport(const std::string &path, const std::string &content)
{
    std::string temporary = path + ".part";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool complete = WriteFile(file, content.data(), (DWORD)content.size(), &written, NULL) && written == content.size();
    CloseHandle(file);
    return complete && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

static std::string DirectoryOf(const std::string &path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        printf("usage: box_report <program> <box title> <report file>\n");
        return 2;
    }
    std::string program = WinePath(argv[1]), report = WinePath(argv[3]);
    const char *title = argv[2];
    std::string directory = DirectoryOf(program);

    Started started = StartProgram(Quoted(program), directory.c_str());
    if (!started.process) {
        WriteReport(report, "none\n");
        return 1;
    }
    // No box is coming once the program has ended.
    HWND box = NULL;
    for (DWORD waited = 0; !box && waited < BoxTimeoutMs; waited += 500)
        if (!(box = WaitForBox(title, started.id, 500)) && WaitForSingleObject(started.process, 0) == WAIT_OBJECT_0)
            break;
    // A box is found as soon as it exists; it is worth picturing once shown.
    for (DWORD waited = 0; box && !IsWindowVisible(box) && waited < BoxTimeoutMs; waited += 100) Sleep(100);
    RECT rect;
    if (!box || !IsWindowVisible(box) || !GetWindowRect(box, &rect)) {
        WriteReport(report, "none\n");
        WaitForExit(started, 0);
        return 1;
    }
    std::string text = Utf8(BoxText(box));
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\n");
    char place[100];
    snprintf(place, sizeof place, "rect %ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    if (!WriteReport(report, place + text + "\n")) return 1;

    for (DWORD waited = 0; IsWindow(box) && waited < CloseTimeoutMs; waited += 100) Sleep(100);
    long code = WaitForExit(started, ExitTimeoutMs);
    WriteReport(report + ".exit", code < 0 ? std::string("killed\n") : "exit " + std::to_string(code) + "\n");
    return code == 0 ? 0 : 1;
}
