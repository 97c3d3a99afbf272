// Binding of external entries at their first call.
#include "process.h"

static std::vector<std::string> entryCalls;

static intptr_t FakeEntry(const void *argument)
{
    entryCalls.push_back((const char *)argument);
    return 0;
}

// Acts as a callee that does not remove its argument.
static intptr_t CdeclEntry(const void *argument)
{
    entryCalls.push_back((const char *)argument);
    fake::nextStackDelta = -4;
    return 0;
}

class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcess();
        entryCalls.clear();
    }
    static void Provide(const char *library, const char *entry, intptr_t (*function)(const void *))
    {
        fake::libraries[BesideProgram(library)].byName[entry] = (FARPROC)(void *)function;
    }
};

TEST_F(Binding, ResolvedName)
{
    struct {
        const char *entryName;
        const char *resolved; // as GetProcAddress sees it
    } rows[] = {
        {"Tovrel", "\"Tovrel\""},
        {"#12", "#12"},
        {"#  +12abc", "#12"},
        {"#\t0012", "#12"},
        {"#65535", "#65535"},
        {"Tovrel@@8", "\"Tovrel\""},
        {"Tovrel@8", "\"Tovrel@8\""},
        {"Tovrel@", "\"Tovrel@\""},
        {"To@vrel@@8", "\"To@vrel@@8\""}, // only the first at-sign counts
        {"@@x", "\"\""},
    };
    for (const auto &row : rows) {
        ResetProcess();
        BindingCell cell = BINDING_CELL("core.dll", row.entryName);
        fake::libraries["core.dll"];
        FARPROC found = (FARPROC)(void *)FakeEntry;
        fake::hooks.LoadLibraryA = [](LPCSTR) { return (HMODULE)fake::NewHandle("module", "core.dll"); };
        RunUntilExit([&] { BindEntry(cell.moduleName, cell.entryName, &cell.address); });
        auto lookups = fake::Calls("GetProcAddress(");
        ASSERT_EQ(1u, lookups.size()) << row.entryName << "\n" << fake::Log();
        std::string expected = ", " + std::string(row.resolved) + ")";
        EXPECT_EQ(expected, lookups[0].substr(lookups[0].find(", "))) << "entry name " << row.entryName;
        (void)found;
    }
}

TEST_F(Binding, UnusableOrdinalsAndOverlongNamesAreEntriesNotFound)
{
    std::string tooLong(1024, 'a'), longest(1023, 'a');
    struct {
        std::string entryName;
        bool lookedUp;
    } rows[] = {{"#0", false}, {"#65536", false}, {"#99999999999999999999", false}, {"#-5", false},
                {"#", false},  {tooLong, false},  {longest, true}};
    for (const auto &row : rows) {
        ResetProcess();
        fake::libraries[BesideProgram("core.dll")];
        FARPROC cell = nullptr;
        EXPECT_EQ(0, RunUntilExit([&] { BindEntry("core.dll", row.entryName.c_str(), &cell); }))
            << row.entryName.substr(0, 20);
        EXPECT_EQ(row.lookedUp ? 1u : 0u, fake::Calls("GetProcAddress(").size()) << row.entryName.substr(0, 20);
        ASSERT_EQ(1u, fake::boxes.size());
        EXPECT_EQ("DLL ERROR", fake::boxes[0].caption);
        // The entry-not-found box with the name as given; wsprintfA cuts
        // what does not fit its 1024 bytes.
        std::string expected = "无法定位DLL文件:\"core.dll\"当中的\"" + row.entryName + "\"函数.";
        EXPECT_EQ(expected.substr(0, 1023), fake::boxes[0].text) << row.entryName.substr(0, 20);
        EXPECT_EQ(nullptr, cell);
    }
}

TEST_F(Binding, FirstCallBindsLaterCallsGoStraightThrough)
{
    Provide("Tovrel.dll", "Tovrel", FakeEntry);
    BindingCell cell = BINDING_CELL("Tovrel.dll", "Tovrel");
    CallBoundEntry1(&cell, "first", 1, 1);
    size_t callsAfterFirst = fake::calls.size();
    CallBoundEntry1(&cell, "second", 1, 1);
    EXPECT_EQ((std::vector<std::string>{"first", "second"}), entryCalls);
    EXPECT_EQ(callsAfterFirst, fake::calls.size()) << "the second call must not bind again:\n" << fake::Log();
    EXPECT_EQ((FARPROC)(void *)FakeEntry, cell.address);
    EXPECT_EQ(0, CallIndex("GetModuleHandleA(\"Tovrel.dll\")"));
    EXPECT_LT(0, CallIndex("LoadLibraryA(\"C:\\Program Files\\Lumaro\\Tovrel.dll\")")) << fake::Log();
    ASSERT_EQ(1u, LoadedModuleCount);
    EXPECT_EQ((CleanupRoutine)ReleaseLoadedModules, ReleaseHook);
}

TEST_F(Binding, ModuleAlreadyPresentIsNeitherRecordedNorReleased)
{
    fake::presentModules["kernel32"] = (HMODULE)fake::NewHandle("module", "kernel32");
    fake::libraries["kernel32"].byName["SetErrorMode"] = (FARPROC)(void *)FakeEntry;
    FARPROC cell = nullptr;
    EXPECT_EQ((FARPROC)(void *)FakeEntry, BindEntry("kernel32", "SetErrorMode", &cell));
    EXPECT_EQ((FARPROC)(void *)FakeEntry, cell);
    EXPECT_TRUE(fake::Calls("LoadLibraryA(").empty());
    EXPECT_EQ(0u, LoadedModuleCount);
    EXPECT_EQ(nullptr, ReleaseHook);
}

TEST_F(Binding, MissingLibraryShowsBoxAndExits)
{
    BindingCell cell = BINDING_CELL("Tovrel.dll", "Tovrel");
    EXPECT_EQ(0, RunUntilExit([&] { CallBoundEntry1(&cell, "quorvi", 1, 1); }));
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_EQ("同目录下无法找到DLL文件:\"Tovrel.dll\".请与作者联系.", fake::boxes[0].text);
    EXPECT_EQ("DLL ERROR", fake::boxes[0].caption);
    EXPECT_EQ((unsigned)MB_ICONERROR, fake::boxes[0].type);
    EXPECT_FALSE(fake::boxes[0].hasOwner);
    EXPECT_TRUE(fake::Calls("GetProcAddress(").empty());
    EXPECT_TRUE(entryCalls.empty());
    EXPECT_EQ(0u, LoadedModuleCount);
}

TEST_F(Binding, MissingEntryShowsBoxAndReleasesTheLibrary)
{
    fake::libraries[BesideProgram("Tovrel.dll")]; // loads, exports nothing
    BindingCell cell = BINDING_CELL("Tovrel.dll", "Tovrel@@4");
    EXPECT_EQ(0, RunUntilExit([&] { CallBoundEntry1(&cell, "quorvi", 1, 1); }));
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_EQ("无法定位DLL文件:\"Tovrel.dll\"当中的\"Tovrel@@4\"函数.", fake::boxes[0].text)
        << "the entry name is shown as given, before the cut";
    EXPECT_EQ("DLL ERROR", fake::boxes[0].caption);
    long freed = CallIndex("FreeLibrary(");
    ASSERT_GE(freed, 0) << fake::Log();
    EXPECT_LT(CallIndex("MessageBoxA("), freed);
    EXPECT_LT(freed, CallIndex("ExitProcess(0)"));
}

TEST_F(Binding, ReleaseInLoadOrderUpToTheFirstEmptySlot)
{
    HMODULE a = (HMODULE)fake::NewHandle("module", "a"), b = (HMODULE)fake::NewHandle("module", "b");
    LoadedModules[0] = a;
    LoadedModules[1] = b;
    LoadedModules[3] = (HMODULE)fake::NewHandle("module", "after a gap");
    LoadedModuleCount = 2;
    ReleaseLoadedModules();
    EXPECT_EQ((std::vector<std::string>{"FreeLibrary(" + fake::Describe(a) + ")",
                                        "FreeLibrary(" + fake::Describe(b) + ")"}),
              fake::Calls("FreeLibrary("));
}

TEST_F(Binding, UnbalancedStackAfterTheCallIsFatalErrorSix)
{
    Provide("Tovrel.dll", "Tovrel", CdeclEntry);
    BindingCell cell = BINDING_CELL("Tovrel.dll", "Tovrel");
    EXPECT_EQ(0, RunUntilExit([&] { CallBoundEntry1(&cell, "quorvi", 5, 6); }));
    EXPECT_EQ((std::vector<std::string>{"quorvi"}), entryCalls);
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_EQ("program internal error number is 6. \r\n调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确\r\n"
              "错误位置:5,6(仅5.8以上版本有效)",
              fake::boxes[0].text);
    EXPECT_GE(CallIndex("FreeLibrary("), 0) << "the exit sequence still releases the library";
}

// Only the library beside the program is loaded, whatever the current
// directory and PATH hold: LoadLibraryA gets the full path, never the bare
// name, and the box still names the module as the cell does.
TEST_F(Binding, LibraryIsLoadedOnlyFromTheProgramsOwnDirectory)
{
    std::string longDirectory = "D:\\a directory with spaces";
    while (longDirectory.size() < 300) longDirectory += "\\and more of it";
    struct {
        std::string program;
        const char *loaded; // the one LoadLibraryA argument; nullptr: no load at all
    } rows[] = {
        {"C:\\Program Files\\Lumaro\\quorvi.exe", "C:\\Program Files\\Lumaro\\Tovrel.dll"},
        {"C:\\quorvi.exe", "C:\\Tovrel.dll"},
        {longDirectory + "\\quorvi.exe", nullptr},
        {"", nullptr}, // GetModuleFileNameA failed: no directory to load from
    };
    for (const auto &row : rows) {
        ResetProcess();
        fake::moduleFileName = row.program;
        long blocksBefore = fake::liveBlocks;
        BindingCell cell = BINDING_CELL("Tovrel.dll", "Tovrel");
        EXPECT_EQ(0, RunUntilExit([&] { CallBoundEntry1(&cell, "quorvi", 1, 1); })) << row.program;
        std::string expected = row.loaded ? row.loaded : row.program.empty() ? "" : longDirectory + "\\Tovrel.dll";
        std::vector<std::string> loads = fake::Calls("LoadLibraryA(");
        if (expected.empty())
            EXPECT_TRUE(loads.empty()) << "no directory, yet: " << fake::Log();
        else
            EXPECT_EQ(std::vector<std::string>{"LoadLibraryA(\"" + expected + "\")"}, loads) << row.program;
        ASSERT_EQ(1u, fake::boxes.size()) << row.program;
        EXPECT_EQ("同目录下无法找到DLL文件:\"Tovrel.dll\".请与作者联系.", fake::boxes[0].text) << row.program;
        EXPECT_EQ(blocksBefore, fake::liveBlocks) << row.program << ": the path is released before the exit";
    }
}

TEST_F(Binding, LibraryFoundBesideTheProgramIsTheOneBound)
{
    fake::moduleFileName = "C:\\Program Files\\Lumaro\\quorviRestart.exe";
    fake::libraries["Tovrel.dll"].byName["Tovrel"] = (FARPROC)(void *)CdeclEntry; // as on PATH
    Provide("Tovrel.dll", "Tovrel", FakeEntry);                                  // beside the program
    BindingCell cell = BINDING_CELL("Tovrel.dll", "Tovrel");
    CallBoundEntry1(&cell, "quorviRestart", 1, 1);
    EXPECT_EQ((FARPROC)(void *)FakeEntry, cell.address);
    EXPECT_TRUE(fake::boxes.empty());
}

TEST_F(Binding, KeptModulesAreNotReleased)
{
    Provide("Tovrel.dll", "Tovrel", FakeEntry);
    KeepLoadedModules = true;
    BindingCell cell = BINDING_CELL("Tovrel.dll", "Tovrel");
    CallBoundEntry1(&cell, "quorviService", 1, 1);
    EXPECT_EQ(1u, LoadedModuleCount);
    EXPECT_EQ(0, RunUntilExit(ExitProgram));
    EXPECT_TRUE(fake::Calls("FreeLibrary(").empty()) << fake::Log();
}
