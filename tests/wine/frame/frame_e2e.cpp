// The frame and the binding as the deliverables have them, under Wine: the
// boxes of fatal errors 1, 4 and 6 and of exhausted memory as a user reads
// them, entries bound by name, ordinal and decorated name through the real
// call sequence, and the frame's texts in the deliverables as GBK bytes.
//   frame_e2e <programs dir> <fixtures dir> <scratch dir>
// The fixtures dir holds frame_probe.exe and binding_entries\BindingEntries.dll.
#include "harness.h"

#include "boxes.h"
#include "files.h"
#include "processes.h"

static std::string probe, fixtures, dist;

static const wchar_t *const ErrorOne = L"数组成员引用下标超出定义范围";
static const wchar_t *const ErrorFour = L"数组成员引用下标必须大于等于1";
static const wchar_t *const ErrorSix = L"调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确";
static const wchar_t *const OutOfMemory = L"内存不足";

static std::wstring FatalErrorText(int error, const wchar_t *message, int location1, int location2)
{
    wchar_t text[512];
    swprintf(text, 512, L"program internal error number is %d. \r\n%ls\r\n错误位置:%d,%d(仅5.8以上版本有效)", error,
             message, location1, location2);
    return text;
}

// A new directory holding the probe and the library of entries it binds.
static std::string PrepareProbe(void)
{
    std::string directory = NewTestDirectory("frame probe");
    ok(CopyInto(probe, directory, "frame_probe.exe"), "copy the probe: expected success, got error %lu",
       GetLastError());
    ok(CopyInto(fixtures + "\\binding_entries\\BindingEntries.dll", directory, "BindingEntries.dll"),
       "copy BindingEntries.dll: expected success, got error %lu", GetLastError());
    return directory;
}

static Started StartProbe(const std::string &directory, const char *mode)
{
    Started run = StartProgram(Quoted(directory + "\\frame_probe.exe") + " " + mode);
    ok(run.process != NULL, "%s: expected the probe to start, got error %lu", mode, GetLastError());
    return run;
}

static void TestBoxes(const std::string &directory)
{
    struct {
        const char *mode;
        std::wstring text;
    } rows[] = {
        {"index-above", FatalErrorText(1, ErrorOne, 11, 12)},
        {"index-below", FatalErrorText(4, ErrorFour, 41, 42)},
        {"unbalanced", FatalErrorText(6, ErrorSix, 61, 62)},
        {"no-memory", OutOfMemory},
    };
    for (const auto &row : rows) {
        Started run = StartProbe(directory, row.mode);
        BoxSeen box = ReadAndCloseBox("error", run.id, 60000);
        ok(box.found, "%s: expected a box titled \"error\", got none", row.mode);
        ok(box.text == row.text, "%s: box text \"%s\", expected \"%s\"", row.mode, Utf8(box.text).c_str(),
           Utf8(row.text).c_str());
        ok(box.hasIcon, "%s: expected the box to show an icon, got none", row.mode);
        ok(!box.hasOwner, "%s: expected a box without owner window, got one with an owner", row.mode);
        long code = WaitForExit(run, 30000);
        ok(code == 0, "%s: exit code %ld after the box, expected 0", row.mode, code);
    }
}

// Binding on the real call sequence: the first-call stub runs once per
// cell, and each entry writes what reached it.
static void TestBinding(const std::string &directory)
{
    DeleteFileA((directory + "\\entries.log").c_str()); // the error-6 run's call
    Started run = StartProbe(directory, "binding");
    std::string boxes; // this run shows none
    for (int tries = 0; tries < 300 && run.process && WaitForSingleObject(run.process, 0) == WAIT_TIMEOUT; tries++) {
        for (const char *title : {"DLL ERROR", "error"}) {
            BoxSeen box = ReadAndCloseBox(title, run.id, 100);
            if (!box.found) continue;
            boxes += std::string(" [") + title + ": " + Utf8(box.text) + "]";
            WaitForSingleObject(run.process, 10000); // closed, the box ends the run
        }
    }
    long code = WaitForExit(run, 10000);
    ok(boxes.empty(), "binding: expected no box, got%s", boxes.c_str());
    ok(code == 0, "binding: exit code %ld, expected 0", code);

    struct {
        const char *line; // what the entry wrote: its export, then its argument
        const char *what;
    } rows[] = {
        {"Plain first", "the first call binds \"Plain\" and runs it"},
        {"Plain second", "a second call goes straight through the bound cell"},
        {"#12 #12", "\"#12\" binds ordinal 12"},
        {"Cut Cut@@8", "a name whose first at-sign is doubled resolves the part before it"},
        {"Whole@4 Whole@4", "a name ending in \"@4\" resolves whole"},
    };
    std::vector<std::string> log = ReadLines(directory + "\\entries.log");
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; i++) {
        std::string got = i < log.size() ? log[i] : "(nothing)";
        ok(got == rows[i].line, "binding: %s: expected \"%s\", got \"%s\"", rows[i].what, rows[i].line, got.c_str());
    }
    ok(log.size() == sizeof rows / sizeof rows[0], "binding: expected %zu calls, got [%s]",
       sizeof rows / sizeof rows[0], Joined(log).c_str());
}

// The bytes the ANSI functions are given: GBK, code page 936.
static std::string Gbk(const wchar_t *text)
{
    int size = WideCharToMultiByte(936, 0, text, -1, NULL, 0, NULL, NULL);
    std::string bytes(size > 0 ? size - 1 : 0, 0);
    if (size > 1) WideCharToMultiByte(936, 0, text, -1, &bytes[0], size, NULL, NULL);
    return bytes;
}

// Every deliverable can raise the three fatal errors; only the ones that
// allocate blocks can run out of memory.
static void TestTextsInDeliverables(void)
{
    struct {
        const char *name;
        bool allocates;
    } programs[] = {{"quorvi", false},        {"quorviClient", false},       {"quorviServiceControl", false},
                    {"quorviRestart", false}, {"quorviUpdateService", true}, {"quorviService", true},
                    {"quench", true}};
    const wchar_t *const fatal[] = {ErrorOne, ErrorFour, ErrorSix, L"错误位置:%d,%d(仅5.8以上版本有效)"};
    for (const auto &p : programs) {
        std::string bytes = ReadWholeFile(dist + "\\" + p.name + ".exe");
        ok(!bytes.empty(), "%s: expected the program in %s, got no file", p.name, dist.c_str());
        std::vector<const wchar_t *> texts(fatal, fatal + 4);
        if (p.allocates) texts.push_back(OutOfMemory);
        for (const wchar_t *text : texts)
            ok(bytes.find(Gbk(text)) != std::string::npos, "%s: expected the GBK bytes of \"%s\", found none", p.name,
               Utf8(text).c_str());
    }
}

int main(int argc, char **argv)
{
    TestPlaces places;
    if (!ReadTestPlaces(argc, argv, &places)) return 2;
    dist = places.programs;
    fixtures = places.fixtures;
    probe = Join(fixtures, "frame_probe.exe");
    ReportPlatform("frame_e2e");
    std::string directory = PrepareProbe();
    if (!testsFailed) {
        TestBoxes(directory);
        TestBinding(directory);
    }
    RemoveTree(directory);
    TestTextsInDeliverables();
    return TestSummary("frame_e2e");
}
