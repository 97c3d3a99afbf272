// The four role starters run for real: role names, exit codes, the binding's
// boxes, and their resources read back with the resource and version APIs.
//   starters_e2e <programs dir> <fixtures dir> <scratch dir>
#include "harness.h"

#include "boxes.h"
#include "files.h"
#include "processes.h"

static std::string dist, fixtures;

static const char *const Roles[] = {"quorvi", "quorviClient", "quorviServiceControl", "quorviRestart"};

// A directory holding a copy of the starter and, if given, a test core library.
static std::string Prepare(const char *role, const char *core)
{
    std::string directory = NewTestDirectory(role);
    ok(CopyInto(dist + "\\" + role + ".exe", directory, std::string(role) + ".exe"), "copy %s", role);
    if (core) ok(CopyInto(fixtures + "\\" + core + "\\Tovrel.dll", directory, "Tovrel.dll"), "copy %s", core);
    return directory;
}

static void TestRoleNames(void)
{
    for (const char *role : Roles) {
        std::string directory = Prepare(role, "tovrel_record");
        // Arguments must make no difference to what the starter passes.
        long code = RunProgramAndWait("\"" + directory + "\\" + role + ".exe\" --role other x", 60000);
        ok(code == 0, "%s: exit code %ld, expected 0", role, code);
        std::vector<std::string> expected = {"load", std::string("role ") + role, "thread main", "unload"};
        std::vector<std::string> log = ReadLines(directory + "\\tovrel.log");
        ok(log == expected, "%s: core library saw [%s], expected [%s]", role, Joined(log).c_str(),
           Joined(expected).c_str());
        RemoveTree(directory);
    }
}

// Runs the starter in directory, expects one box and exit code 0.
static BoxSeen RunExpectingBox(const char *role, const std::string &directory, const char *title)
{
    Started started = StartProgram("\"" + directory + "\\" + role + ".exe\"");
    ok(started.process != NULL, "%s: started", role);
    BoxSeen box = ReadAndCloseBox(title, started.id, 60000);
    ok(box.found, "%s: no \"%s\" box appeared", role, title);
    ok(box.hasIcon, "%s: the box shows an icon", role);
    ok(!box.hasOwner, "%s: the box has no owner window", role);
    // The tests read the text through the API; a user needs a font with its
    // glyphs (a CJK font on the machine, for Wine).
    ok(box.titleMissingGlyphs == 0, "%s: %d characters of the title \"%s\" have no glyph in the caption font", role,
       box.titleMissingGlyphs, Utf8(box.title).c_str());
    ok(box.textMissingGlyphs == 0, "%s: %d characters of the text \"%s\" have no glyph in the message font", role,
       box.textMissingGlyphs, Utf8(box.text).c_str());
    long code = WaitForExit(started, 30000);
    ok(code == 0, "%s: exit code %ld after the box, expected 0", role, code);
    return box;
}

static void TestMissingLibrary(void)
{
    const std::wstring expected = L"同目录下无法找到DLL文件:\"Tovrel.dll\".请与作者联系.";
    for (const char *role : Roles) {
        std::string directory = Prepare(role, NULL);
        BoxSeen box = RunExpectingBox(role, directory, "DLL ERROR");
        ok(box.text == expected, "%s: box text \"%s\", expected \"%s\"", role, Utf8(box.text).c_str(),
           Utf8(expected).c_str());
        RemoveTree(directory);
    }
}

static void TestMissingEntry(void)
{
    std::string directory = Prepare("quorvi", "tovrel_noexport");
    BoxSeen box = RunExpectingBox("quorvi", directory, "DLL ERROR");
    const std::wstring expected = L"无法定位DLL文件:\"Tovrel.dll\"当中的\"Tovrel\"函数.";
    ok(box.text == expected, "box text \"%s\", expected \"%s\"", Utf8(box.text).c_str(), Utf8(expected).c_str());
    std::vector<std::string> log = ReadLines(directory + "\\tovrel.log");
    ok(log == std::vector<std::string>{"load", "unload"}, "the library is released before the end: [%s]",
       Joined(log).c_str());
    RemoveTree(directory);
}

// A callee that leaves the argument on the stack (cdecl) and one that takes
// away a word too many (stdcall with two arguments) both give error 6.
static void TestUnbalancedStack(void)
{
    for (const char *core : {"tovrel_cdecl", "tovrel_twoargs"}) {
        std::string directory = Prepare("quorviClient", core);
        BoxSeen box = RunExpectingBox("quorviClient", directory, "error");
        std::wstring first = L"program internal error number is 6. \r\n"
                             L"调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确\r\n错误位置:";
        ok(box.text.compare(0, first.size(), first) == 0, "%s: box text \"%s\"", core, Utf8(box.text).c_str());
        std::wstring last = L"(仅5.8以上版本有效)";
        ok(box.text.size() > last.size() && box.text.compare(box.text.size() - last.size(), last.size(), last) == 0,
           "%s: location line ends in the version note: \"%s\"", core, Utf8(box.text).c_str());
        std::vector<std::string> log = ReadLines(directory + "\\tovrel.log");
        ok(log == std::vector<std::string>{"load", "role quorviClient", "unload"},
           "%s: the entry ran once and the library was released: [%s]", core, Joined(log).c_str());
        RemoveTree(directory);
    }
}

// The sample core library shipped in dist/sample, as the README has people
// try it: its box names the role it was called with.
static void TestSampleLibrary(void)
{
    std::string directory = Prepare("quorviClient", NULL);
    ok(CopyInto(dist + "\\sample\\Tovrel.dll", directory, "Tovrel.dll"), "copy the sample library");
    BoxSeen box = RunExpectingBox("quorviClient", directory, "Tovrel sample");
    const std::wstring expected = L"Tovrel was called with the role name \"quorviClient\".";
    ok(box.text == expected, "box text \"%s\", expected \"%s\"", Utf8(box.text).c_str(), Utf8(expected).c_str());
    RemoveTree(directory);
}

int main(int argc, char **argv)
{
    TestPlaces places;
    if (!ReadTestPlaces(argc, argv, &places)) return 2;
    dist = places.programs;
    fixtures = places.fixtures;
    ReportPlatform("starters_e2e");
    TestRoleNames();
    TestMissingLibrary();
    TestMissingEntry();
    TestUnbalancedStack();
    TestSampleLibrary();
    return TestSummary("starters_e2e");
}
