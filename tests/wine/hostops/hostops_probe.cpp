// The host operations against a real Windows (Wine): directories, files,
// sharing, file positions, program starts and process termination.
//
//   hostops_probe              runs every check, one line each, "ok <name>"
//                              or "not ok <name>: ..."; exit code 1 on any
//                              failure
//   hostops_probe <mode> ...   a child that the checks start (see ChildMain)
//
// The frame's sources are compiled into this ordinary console program, so
// it supplies the frame's program side itself.
#include "harness.h"

#include "frame/frame.h"
#include "frame/hostops.h"

void CreateGlobalVariables(void) {}
void FreeGlobalVariables(void) {}
int StartRoutine(void) { return 0; }

static int failures;

static void Check(const char *name, bool passed, const char *format = "", ...)
{
    if (passed) {
        printf("ok %s\n", name);
    } else {
        char detail[2048];
        va_list args;
        va_start(args, format);
        vsnprintf(detail, sizeof detail, format, args);
        va_end(args);
        printf("not ok %s: %s\n", name, detail);
        failures++;
    }
    fflush(stdout);
}

static std::string Take(char *text)
{
    std::string copy = text;
    FreeText(text);
    return copy;
}

static std::string OwnPath(void)
{
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    return std::string(path, length);
}

static std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

// Bytes shown readably: printable ASCII as is, the rest as \xNN.
static std::string Shown(const std::string &bytes)
{
    std::string shown;
    char hex[8];
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            shown += (char)c;
        } else {
            snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        }
    }
    return "\"" + shown + "\"";
}

static bool WriteBytes(const std::string &path, const std::string &bytes)
{
    ByteArray array = {(const BYTE *)bytes.data(), (DWORD)bytes.size()};
    return WriteWholeFile(path.c_str(), &array, 1);
}

// ---- Children ------------------------------------------------------------

// sleep-exit3 <marker>: sleeps a second, writes the marker, exits with 3.
// sleep-forever: sleeps a minute, exits with 5.
// terminate-self / terminate-self-id: ends itself through the operation,
//   left out or with its own id; exit code 7 means the call returned.
// echo-args <file>: writes GetCommandArguments' list, one per line.
static int ChildMain(int argc, char **argv)
{
    std::string mode = argv[1];
    if (mode == "sleep-exit3" && argc > 2) {
        Sleep(1000);
        WriteBytes(argv[2], "done");
        return 3;
    }
    if (mode == "sleep-forever") {
        Sleep(60000);
        return 5;
    }
    if (mode == "terminate-self") {
        (void)TerminateProcessById(LeftOut);
        return 7;
    }
    if (mode == "terminate-self-id") {
        (void)TerminateProcessById(Given((long)GetCurrentProcessId()));
        return 7;
    }
    if (mode == "echo-args" && argc > 2) {
        TextList list = {0, NULL};
        GetCommandArguments(&list);
        std::string lines;
        for (DWORD i = 1; i <= list.count; i++) lines += std::string(TextListItem(&list, (long)i)) + "\n";
        FreeTextList(&list);
        return WriteBytes(argv[2], lines) ? 0 : 9;
    }
    return 11;
}

// ---- Checks --------------------------------------------------------------

static void CheckPaths(void)
{
    std::string own = OwnPath();
    std::string directory = Take(GetRunDirectory());
    std::string name = Take(GetExeFileName());
    Check("GetExeFileName is the image name", lstrcmpiA(name.c_str(), "hostops_probe.exe") == 0,
          "expected hostops_probe.exe, got %s", name.c_str());
    Check("GetRunDirectory + backslash + GetExeFileName is the module path", directory + "\\" + name == own,
          "expected %s, got %s + \\ + %s", own.c_str(), directory.c_str(), name.c_str());
    std::string host = Take(GetHostName());
    Check("GetHostName gives a name", !host.empty(), "expected a name, got the empty text");
}

static void CheckDirectories(const std::string &base)
{
    std::string missing = base + "\\missing", child = missing + "\\child";
    bool made = MakeDirectory(child.c_str());
    Check("MakeDirectory with a missing parent fails", !made, "expected false, got true");
    Check("MakeDirectory with a missing parent creates nothing", !PathExists(missing) && !PathExists(child),
          "expected neither %s nor its child, got %s", missing.c_str(),
          PathExists(missing) ? "the parent" : "the child");

    std::string directory = base + "\\made";
    made = MakeDirectory(directory.c_str());
    Check("MakeDirectory creates the directory", made && IsDirectory(directory), "expected true and a directory, got %s",
          made ? "true but no directory" : "false");
    Check("MakeDirectory of an existing directory fails", !MakeDirectory(directory.c_str()),
          "expected false, got true");
    Check("FileExists sees a directory", FileExists(directory.c_str()), "expected true, got false");
    Check("FileExists of a missing path", !FileExists(missing.c_str()), "expected false, got true");
}

static void CheckWholeFiles(const std::string &base)
{
    std::string path = base + "\\whole.txt";
    std::string first = "hello ", second = "world";
    ByteArray arrays[] = {{(const BYTE *)first.data(), (DWORD)first.size()},
                          {NULL, 0},
                          {(const BYTE *)second.data(), (DWORD)second.size()}};
    bool written = WriteWholeFile(path.c_str(), arrays, 3);
    std::string content = ReadWholeFile(path);
    Check("WriteWholeFile writes the arrays in order", written && content == "hello world",
          "expected true and \"hello world\", got %s and %s", written ? "true" : "false", Shown(content).c_str());
    Check("FileExists sees a file", FileExists(path.c_str()), "expected true, got false");

    ByteArray empty = {NULL, 0};
    written = WriteWholeFile(path.c_str(), &empty, 1);
    content = ReadWholeFile(path);
    Check("WriteWholeFile with one empty array replaces the file with an empty one",
          written && PathExists(path) && content.empty(), "expected true and an empty file, got %s and %s",
          written ? "true" : "false", PathExists(path) ? Shown(content).c_str() : "no file");

    std::string unreachable = base + "\\missing\\whole.txt";
    Check("WriteWholeFile into a missing directory fails", !WriteWholeFile(unreachable.c_str(), &empty, 1),
          "expected false, got true");
}

// A second opener, as another program would open the file.
static bool SecondOpenerSucceeds(const std::string &path, DWORD access, DWORD sharing)
{
    HANDLE file = CreateFileA(path.c_str(), access, sharing, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

static void CheckOpenFiles(const std::string &base)
{
    const DWORD readWrite = GENERIC_READ | GENERIC_WRITE, shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
    std::string path = base + "\\open.txt";
    WriteBytes(path, "0123456789");

    FileNumber missing = OpenFileWithMode((base + "\\none.txt").c_str(), LeftOut, LeftOut);
    Check("OpenFileWithMode of a missing file with the defaults gives 0", missing == 0, "expected 0, got a file");
    Check("no file created by the defaults", !PathExists(base + "\\none.txt"), "expected no file, got one");

    FileNumber file = OpenFileWithMode(path.c_str(), LeftOut, LeftOut);
    Check("OpenFileWithMode with the defaults opens an existing file", file != 0, "expected a file, got 0 (error %lu)",
          GetLastError());
    if (!file) return;
    Check("the first open file sets clean-up slot 2", CleanupSlot2 == CloseOpenFiles, "expected CloseOpenFiles");
    Check("defaults share reading and writing", SecondOpenerSucceeds(path, readWrite, shareAll),
          "expected a second read-write opener to succeed, got error %lu", GetLastError());
    Check("defaults open for writing", !SecondOpenerSucceeds(path, GENERIC_READ, FILE_SHARE_READ),
          "expected an opener that denies writing to fail, got success");

    DWORD before = SetFilePointer(file->handle, 0, NULL, FILE_CURRENT);
    SeekToEnd(file);
    DWORD after = SetFilePointer(file->handle, 0, NULL, FILE_CURRENT);
    Check("a file opens at its start", before == 0, "expected position 0, got %lu", before);
    Check("SeekToEnd moves to the end", after == 10, "expected position 10, got %lu", after);
    char byte = 0;
    DWORD read = 0;
    SetFilePointer(file->handle, 3, NULL, FILE_BEGIN);
    bool readOk = ReadFile(file->handle, &byte, 1, &read, NULL) && read == 1 && byte == '3';
    Check("defaults open for reading", readOk, "expected to read \"3\", got error %lu", GetLastError());
    OpenFileRecord stranger = {file->handle, NULL};
    SeekToEnd(&stranger); // not a number OpenFileWithMode gave out
    SeekToEnd(0);
    DWORD unmoved = SetFilePointer(file->handle, 0, NULL, FILE_CURRENT);
    Check("SeekToEnd of 0 or an unknown number does nothing", unmoved == 4, "expected position 4, got %lu", unmoved);

    std::string locked = base + "\\locked.txt";
    WriteBytes(locked, "x");
    FileNumber exclusive = OpenFileWithMode(locked.c_str(), Given(1), Given(4));
    Check("share mode 4 shares nothing", exclusive && !SecondOpenerSucceeds(locked, GENERIC_READ, shareAll),
          "expected a second reader to fail, got %s", exclusive ? "success" : "no file at all");
    Check("the newest open file heads the list", OpenFileList == exclusive && exclusive->next == file,
          "expected the exclusive file first, then the shared one");

    CloseOpenFiles();
    Check("CloseOpenFiles closes every file",
          SecondOpenerSucceeds(locked, readWrite, 0) && SecondOpenerSucceeds(path, readWrite, 0),
          "expected exclusive openers to succeed, got error %lu", GetLastError());
    Check("CloseOpenFiles empties the list and slot 2", OpenFileList == NULL && CleanupSlot2 == NULL,
          "expected both empty");
}

static void CheckRunProgram(const std::string &base)
{
    std::string self = Quoted(OwnPath());

    std::string marker = base + "\\waited.txt";
    DWORD start = GetTickCount();
    bool started = RunProgram((self + " sleep-exit3 " + Quoted(marker)).c_str(), true, LeftOut);
    DWORD waited = GetTickCount() - start;
    Check("RunProgram with wait starts the program", started, "expected true, got false");
    Check("RunProgram with wait returns after the program ended", waited >= 900 && PathExists(marker),
          "expected at least 900 ms and the marker, got %lu ms and %s", waited, PathExists(marker) ? "it" : "none");

    marker = base + "\\not-waited.txt";
    start = GetTickCount();
    started = RunProgram((self + " sleep-exit3 " + Quoted(marker)).c_str(), false, Given(1));
    DWORD returned = GetTickCount() - start;
    bool markerAtReturn = PathExists(marker);
    Check("RunProgram without wait starts the program", started, "expected true, got false");
    Check("RunProgram without wait returns at once", !markerAtReturn && returned < waited,
          "expected no marker yet and less than %lu ms, got %s and %lu ms", waited,
          markerAtReturn ? "the marker" : "none", returned);
    for (int i = 0; i < 100 && !PathExists(marker); i++) Sleep(100);
    Check("the program started without waiting runs to its end", PathExists(marker), "expected the marker, got none");

    std::string nowhere = Quoted(base + "\\no such program.exe");
    Check("RunProgram of a missing program fails", !RunProgram(nowhere.c_str(), true, LeftOut),
          "expected false, got true");
}

static void CheckTerminate(void)
{
    std::string self = Quoted(OwnPath());

    Started child = StartProgram(self + " sleep-forever");
    bool terminated = child.process && TerminateProcessById(Given((long)child.id));
    long code = WaitForExit(child, 10000);
    Check("TerminateProcessById ends another process", terminated, "expected true, got false");
    Check("the ended process has exit code 0", code == 0, "expected 0, got %ld", code);

    // An id no process has: the id of a process that has just ended may
    // already belong to another one, which must not be ended here.
    const long missingId = 0x7FFFFFFC;
    Check("TerminateProcessById of a process that does not exist", !TerminateProcessById(Given(missingId)),
          "expected false, got true");

    const char *selfModes[] = {"terminate-self", "terminate-self-id"};
    for (const char *mode : selfModes) {
        code = RunProgramAndWait(self + " " + mode, 30000);
        std::string name = std::string("TerminateProcessById ends the caller (") + mode + ")";
        Check(name.c_str(), code == 0, "expected exit code 0, got %ld%s", code,
              code == 7 ? " (the call returned)" : "");
    }
}

static void CheckCommandArguments(const std::string &base)
{
    std::string out = base + "\\args.txt";
    // Double-byte characters: a CJK character and the full-width space.
    std::string line = Quoted(OwnPath()) + "  echo-args " + Quoted(out) + " \xD6\xD0x \"\" \"b c\"\xA1\xA1 tail\\";
    bool started = RunProgram(line.c_str(), true, LeftOut);
    std::string got = ReadWholeFile(out);
    std::string expected = "echo-args\n" + out + "\n\xD6\xD0x\n\nb c\n\xA1\xA1\ntail\\\n";
    Check("GetCommandArguments in a started program", started && got == expected, "expected %s, got %s",
          Shown(expected).c_str(), Shown(got).c_str());
}

int main(int argc, char **argv)
{
    ProcessHeap = GetProcessHeap();
    if (argc > 1) return ChildMain(argc, argv);

    std::string base = NewTestDirectory("hostops probe");
    if (base.empty()) {
        printf("not ok test directory: expected a new directory, got error %lu\n", GetLastError());
        return 1;
    }
    CheckPaths();
    CheckDirectories(base);
    CheckWholeFiles(base);
    CheckOpenFiles(base);
    CheckRunProgram(base);
    CheckTerminate();
    CheckCommandArguments(base);
    RemoveTree(base);

    printf("hostops_probe: %d failed\n", failures);
    return failures ? 1 : 0;
}
