// The host operations against a real Windows (Wine): directories, files,
// sharing, file positions, program starts and process termination.
//
//   hostops_probe <programs dir> <fixtures dir> <scratch dir>
//                              runs every check, reports each failed one
//                              with its line, then a summary; exit code 1
//                              on any failure (only the scratch dir is used)
//   hostops_probe <mode> ...   a child that the checks start (see ChildMain)
//
// The frame's sources are compiled into this ordinary console program, so
// it supplies the frame's program side itself.
#include "harness.h"

#include "files.h"
#include "processes.h"

#include "frame/frame.h"
#include "frame/hostops.h"

void CreateGlobalVariables(void) {}
void FreeGlobalVariables(void) {}
int StartRoutine(void) { return 0; }

static std::string Take(char *text)
{
    std::string copy = text;
    FreeText(text);
    return copy;
}

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
static const char *const ChildModes[] = {"sleep-exit3", "sleep-forever", "terminate-self", "terminate-self-id",
                                         "echo-args"};

static bool IsChildMode(const char *argument)
{
    for (const char *mode : ChildModes)
        if (!lstrcmpA(argument, mode)) return true;
    return false;
}

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
    ok(lstrcmpiA(name.c_str(), "hostops_probe.exe") == 0,
       "GetExeFileName is the image name: expected hostops_probe.exe, got %s", name.c_str());
    ok(directory + "\\" + name == own,
       "GetRunDirectory + backslash + GetExeFileName is the module path: expected %s, got %s + \\ + %s", own.c_str(),
       directory.c_str(), name.c_str());
    std::string host = Take(GetHostName());
    ok(!host.empty(), "GetHostName gives a name: expected a name, got the empty text");
}

static void CheckDirectories(const std::string &base)
{
    std::string missing = base + "\\missing", child = missing + "\\child";
    bool made = MakeDirectory(child.c_str());
    ok(!made, "MakeDirectory with a missing parent fails: expected false, got true");
    ok(!PathExists(missing) && !PathExists(child),
       "MakeDirectory with a missing parent creates nothing: expected neither %s nor its child, got %s",
       missing.c_str(), PathExists(missing) ? "the parent" : "the child");

    std::string directory = base + "\\made";
    made = MakeDirectory(directory.c_str());
    ok(made && IsDirectory(directory), "MakeDirectory creates the directory: expected true and a directory, got %s",
       made ? "true but no directory" : "false");
    ok(!MakeDirectory(directory.c_str()), "MakeDirectory of an existing directory fails: expected false, got true");
    ok(FileExists(directory.c_str()), "FileExists sees a directory: expected true, got false");
    ok(!FileExists(missing.c_str()), "FileExists of a missing path: expected false, got true");
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
    ok(written && content == "hello world",
       "WriteWholeFile writes the arrays in order: expected true and \"hello world\", got %s and %s",
       written ? "true" : "false", Shown(content).c_str());
    ok(FileExists(path.c_str()), "FileExists sees a file: expected true, got false");

    ByteArray empty = {NULL, 0};
    written = WriteWholeFile(path.c_str(), &empty, 1);
    content = ReadWholeFile(path);
    ok(written && PathExists(path) && content.empty(),
       "WriteWholeFile with one empty array replaces the file with an empty one: "
       "expected true and an empty file, got %s and %s",
       written ? "true" : "false", PathExists(path) ? Shown(content).c_str() : "no file");

    std::string unreachable = base + "\\missing\\whole.txt";
    ok(!WriteWholeFile(unreachable.c_str(), &empty, 1),
       "WriteWholeFile into a missing directory fails: expected false, got true");
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
    ok(missing == 0, "OpenFileWithMode of a missing file with the defaults gives 0: expected 0, got a file");
    ok(!PathExists(base + "\\none.txt"), "no file created by the defaults: expected no file, got one");

    FileNumber file = OpenFileWithMode(path.c_str(), LeftOut, LeftOut);
    ok(file != 0, "OpenFileWithMode with the defaults opens an existing file: expected a file, got 0 (error %lu)",
       GetLastError());
    if (!file) return;
    ok(CleanupSlot2 == CloseOpenFiles, "the first open file sets clean-up slot 2: expected CloseOpenFiles, got %s",
       CleanupSlot2 ? "another routine" : "none");
    ok(SecondOpenerSucceeds(path, readWrite, shareAll),
       "defaults share reading and writing: expected a second read-write opener to succeed, got error %lu",
       GetLastError());
    ok(!SecondOpenerSucceeds(path, GENERIC_READ, FILE_SHARE_READ),
       "defaults open for writing: expected an opener that denies writing to fail, got success");

    DWORD before = SetFilePointer(file->handle, 0, NULL, FILE_CURRENT);
    SeekToEnd(file);
    DWORD after = SetFilePointer(file->handle, 0, NULL, FILE_CURRENT);
    ok(before == 0, "a file opens at its start: expected position 0, got %lu", before);
    ok(after == 10, "SeekToEnd moves to the end: expected position 10, got %lu", after);
    char byte = 0;
    DWORD read = 0;
    SetFilePointer(file->handle, 3, NULL, FILE_BEGIN);
    bool readOk = ReadFile(file->handle, &byte, 1, &read, NULL) && read == 1 && byte == '3';
    ok(readOk, "defaults open for reading: expected to read \"3\", got error %lu", GetLastError());
    OpenFileRecord stranger = {file->handle, NULL};
    SeekToEnd(&stranger); // not a number OpenFileWithMode gave out
    SeekToEnd(0);
    DWORD unmoved = SetFilePointer(file->handle, 0, NULL, FILE_CURRENT);
    ok(unmoved == 4, "SeekToEnd of 0 or an unknown number does nothing: expected position 4, got %lu", unmoved);

    std::string locked = base + "\\locked.txt";
    WriteBytes(locked, "x");
    FileNumber exclusive = OpenFileWithMode(locked.c_str(), Given(1), Given(4));
    ok(exclusive && !SecondOpenerSucceeds(locked, GENERIC_READ, shareAll),
       "share mode 4 shares nothing: expected a second reader to fail, got %s",
       exclusive ? "success" : "no file at all");
    ok(OpenFileList == exclusive && exclusive->next == file,
       "the newest open file heads the list: expected the exclusive file first, then the shared one, got %s",
       OpenFileList != exclusive ? "another file first" : "another file second");

    CloseOpenFiles();
    ok(SecondOpenerSucceeds(locked, readWrite, 0) && SecondOpenerSucceeds(path, readWrite, 0),
       "CloseOpenFiles closes every file: expected exclusive openers to succeed, got error %lu", GetLastError());
    ok(OpenFileList == NULL && CleanupSlot2 == NULL,
       "CloseOpenFiles empties the list and slot 2: expected both empty, got the list %s and slot 2 %s",
       OpenFileList ? "holding files" : "empty", CleanupSlot2 ? "set" : "empty");
}

static void CheckRunProgram(const std::string &base)
{
    std::string self = Quoted(OwnPath());

    std::string marker = base + "\\waited.txt";
    DWORD start = GetTickCount();
    bool started = RunProgram((self + " sleep-exit3 " + Quoted(marker)).c_str(), true, LeftOut);
    DWORD waited = GetTickCount() - start;
    ok(started, "RunProgram with wait starts the program: expected true, got false");
    ok(waited >= 900 && PathExists(marker),
       "RunProgram with wait returns after the program ended: "
       "expected at least 900 ms and the marker, got %lu ms and %s",
       waited, PathExists(marker) ? "it" : "none");

    marker = base + "\\not-waited.txt";
    start = GetTickCount();
    started = RunProgram((self + " sleep-exit3 " + Quoted(marker)).c_str(), false, Given(1));
    DWORD returned = GetTickCount() - start;
    bool markerAtReturn = PathExists(marker);
    ok(started, "RunProgram without wait starts the program: expected true, got false");
    ok(!markerAtReturn && returned < waited,
       "RunProgram without wait returns at once: expected no marker yet and less than %lu ms, got %s and %lu ms",
       waited, markerAtReturn ? "the marker" : "none", returned);
    for (int i = 0; i < 100 && !PathExists(marker); i++) Sleep(100);
    ok(PathExists(marker), "the program started without waiting runs to its end: expected the marker, got none");

    std::string nowhere = Quoted(base + "\\no such program.exe");
    ok(!RunProgram(nowhere.c_str(), true, LeftOut), "RunProgram of a missing program fails: expected false, got true");
}

static void CheckTerminate(void)
{
    std::string self = Quoted(OwnPath());

    Started child = StartProgram(self + " sleep-forever");
    bool terminated = child.process && TerminateProcessById(Given((long)child.id));
    long code = WaitForExit(child, 10000);
    ok(terminated, "TerminateProcessById ends another process: expected true, got false");
    ok(code == 0, "the ended process has exit code 0: expected 0, got %ld", code);

    // An id no process has: the id of a process that has just ended may
    // already belong to another one, which must not be ended here.
    const long missingId = 0x7FFFFFFC;
    ok(!TerminateProcessById(Given(missingId)),
       "TerminateProcessById of a process that does not exist: expected false, got true");

    const char *selfModes[] = {"terminate-self", "terminate-self-id"};
    for (const char *mode : selfModes) {
        code = RunProgramAndWait(self + " " + mode, 30000);
        ok(code == 0, "TerminateProcessById ends the caller (%s): expected exit code 0, got %ld%s", mode, code,
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
    ok(started && got == expected, "GetCommandArguments in a started program: expected %s, got %s",
       Shown(expected).c_str(), Shown(got).c_str());
}

int main(int argc, char **argv)
{
    ProcessHeap = GetProcessHeap();
    if (argc > 1 && IsChildMode(argv[1])) return ChildMain(argc, argv);
    TestPlaces places;
    if (!ReadTestPlaces(argc, argv, &places)) return 2;
    ReportPlatform("hostops_probe");

    std::string base = NewTestDirectory("hostops probe");
    ok(!base.empty(), "test directory: expected a new directory, got error %lu", GetLastError());
    if (base.empty()) return TestSummary("hostops_probe");
    CheckPaths();
    CheckDirectories(base);
    CheckWholeFiles(base);
    CheckOpenFiles(base);
    CheckRunProgram(base);
    CheckTerminate();
    CheckCommandArguments(base);
    RemoveTree(base);

    return TestSummary("hostops_probe");
}
