// Files and directories, and the list of files left open until exit.
#include "hostops_test.h"

using Files = HostOps;

static ByteArray Bytes(const char *text) { return ByteArray{(const BYTE *)text, TextLength(text)}; }

TEST_F(Files, FileExistsAsksPathFileExists)
{
    EXPECT_FALSE(FileExists("C:\\missing"));
    fake::hooks.PathFileExistsA = [](LPCSTR path) { return std::string(path) == "C:\\runtime" ? TRUE : FALSE; };
    EXPECT_TRUE(FileExists("C:\\runtime"));
    EXPECT_FALSE(FileExists("C:\\runtime\\log"));
    EXPECT_EQ("PathFileExistsA(\"C:\\runtime\")", fake::Calls("PathFileExistsA(")[1]);
}

TEST_F(Files, MakeDirectoryPassesANonInheritableSecurityRecord)
{
    EXPECT_TRUE(MakeDirectory("C:\\dir\\runtime"));
    EXPECT_EQ(std::vector<std::string>{"CreateDirectoryA(\"C:\\dir\\runtime\", {12, NULL, 0})"},
              fake::Calls("CreateDirectoryA("));
    fake::hooks.CreateDirectoryA = [](LPCSTR, LPSECURITY_ATTRIBUTES) { return FALSE; };
    EXPECT_FALSE(MakeDirectory("C:\\dir\\runtime"));
}

TEST_F(Files, WriteWholeFileWritesTheArraysInOrder)
{
    HANDLE created = nullptr;
    fake::hooks.CreateFileA = [&](LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
        return created = fake::NewHandle("file", path);
    };
    ByteArray arrays[] = {Bytes("first "), Bytes(""), Bytes("second")};
    EXPECT_TRUE(WriteWholeFile("C:\\r\\error.log", arrays, 3));
    std::string file = fake::Describe(created);
    std::vector<std::string> expected = {
        "CreateFileA(\"C:\\r\\error.log\", 0x40000000, 0, NULL, 2, 0x20, NULL)",
        "WriteFile(" + file + ", \"first \", 6, NULL)",
        "WriteFile(" + file + ", \"second\", 6, NULL)",
        "CloseHandle(" + file + ")",
    };
    std::vector<std::string> got;
    for (const auto &call : fake::calls)
        if (call.rfind("CreateFileA(", 0) == 0 || call.rfind("WriteFile(", 0) == 0 || call.rfind("CloseHandle(", 0) == 0)
            got.push_back(call);
    EXPECT_EQ(expected, got) << fake::Log();
}

TEST_F(Files, WriteWholeFileWithOnlyEmptyArraysCreatesAnEmptyFile)
{
    ByteArray empty = {nullptr, 0};
    EXPECT_TRUE(WriteWholeFile("C:\\e.log", &empty, 1));
    EXPECT_EQ(1u, fake::Calls("CreateFileA(\"C:\\e.log\", 0x40000000, 0, NULL, 2,").size()) << fake::Log();
    EXPECT_TRUE(fake::Calls("WriteFile(").empty()) << "nothing to write";
    EXPECT_EQ(1u, fake::Calls("CloseHandle(").size());
    EXPECT_TRUE(WriteWholeFile("C:\\e.log", nullptr, 0));
}

TEST_F(Files, WriteWholeFileStopsAtTheFirstFailingWriteAndStillCloses)
{
    int writes = 0;
    fake::hooks.WriteFile = [&](HANDLE, LPCVOID, DWORD bytes, LPDWORD written, LPOVERLAPPED) -> BOOL {
        if (++writes == 2) return FALSE;
        *written = bytes;
        return TRUE;
    };
    ByteArray arrays[] = {Bytes("a"), Bytes("b"), Bytes("c")};
    EXPECT_FALSE(WriteWholeFile("C:\\f", arrays, 3));
    EXPECT_EQ(2u, fake::Calls("WriteFile(").size()) << fake::Log();
    EXPECT_EQ(1u, fake::Calls("CloseHandle(").size()) << fake::Log();
}

TEST_F(Files, WriteWholeFileWhenTheFileCannotBeCreated)
{
    fake::hooks.CreateFileA = [](LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
        return INVALID_HANDLE_VALUE;
    };
    ByteArray arrays[] = {Bytes("abc")};
    EXPECT_FALSE(WriteWholeFile("C:\\locked", arrays, 1));
    EXPECT_TRUE(fake::Calls("WriteFile(").empty());
    EXPECT_TRUE(fake::Calls("CloseHandle(").empty()) << "no handle to close";
}

TEST_F(Files, OpenModesAndShareModesToCreateFileArguments)
{
    const char *readWrite = "0xc0000000", *read = "0x80000000", *write = "0x40000000";
    struct {
        Optional openMode;
        const char *access;
        int creation;
    } openRows[] = {
        {LeftOut, readWrite, OPEN_EXISTING},  {Given(1), read, OPEN_EXISTING},      {Given(2), write, OPEN_EXISTING},
        {Given(3), readWrite, OPEN_EXISTING}, {Given(4), write, CREATE_ALWAYS},     {Given(5), write, OPEN_ALWAYS},
        {Given(6), readWrite, OPEN_ALWAYS},   {Given(0), readWrite, OPEN_EXISTING}, {Given(7), readWrite, OPEN_EXISTING},
        {Given(-1), readWrite, OPEN_EXISTING},
    };
    struct {
        Optional shareMode;
        int sharing;
    } shareRows[] = {
        {LeftOut, 3}, {Given(1), 3}, {Given(2), 2}, {Given(3), 1}, {Given(4), 0}, {Given(0), 3}, {Given(5), 3},
    };
    auto shown = [](Optional mode) { return mode.given ? std::to_string(mode.value) : std::string("left out"); };
    for (const auto &open : openRows) {
        for (const auto &share : shareRows) {
            fake::calls.clear();
            EXPECT_NE(nullptr, OpenFileWithMode("C:\\x", open.openMode, share.shareMode));
            std::string expected = std::string("CreateFileA(\"C:\\x\", ") + open.access + ", " +
                                   std::to_string(share.sharing) + ", NULL, " + std::to_string(open.creation) +
                                   ", 0x20, NULL)";
            EXPECT_EQ(std::vector<std::string>{expected}, fake::Calls("CreateFileA("))
                << "open mode " << shown(open.openMode) << ", share mode " << shown(share.shareMode);
        }
    }
}

TEST_F(Files, OpenFileThatFailsGivesZeroAndLeavesTheListAlone)
{
    fake::hooks.CreateFileA = [](LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
        return INVALID_HANDLE_VALUE;
    };
    EXPECT_EQ(nullptr, OpenFileWithMode("C:\\missing", LeftOut, LeftOut));
    EXPECT_EQ(nullptr, OpenFileList);
    EXPECT_EQ(nullptr, CleanupSlot2) << "nothing to close at exit";
    ExpectNoLeak("failed open");
}

TEST_F(Files, OpenFilesAreListedNewestFirstAndSetSlotTwoOnce)
{
    FileNumber first = OpenFileWithMode("C:\\1", LeftOut, LeftOut);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(CloseOpenFiles, CleanupSlot2);
    CleanupSlot2 = nullptr; // only the first record sets it
    FileNumber second = OpenFileWithMode("C:\\2", LeftOut, LeftOut);
    EXPECT_EQ(nullptr, CleanupSlot2);
    EXPECT_EQ(second, OpenFileList);
    EXPECT_EQ(first, OpenFileList->next);
    EXPECT_EQ(nullptr, first->next);
    EXPECT_EQ("file#" + std::to_string(fake::Lookup(first->handle)->id), fake::Describe(first->handle));
    EXPECT_EQ("C:\\1", fake::Lookup(first->handle)->name);
}

TEST_F(Files, CloseOpenFilesClosesNewestFirstAndEmptiesSlotTwo)
{
    FileNumber files[3];
    const char *paths[] = {"C:\\a", "C:\\b", "C:\\c"};
    for (int i = 0; i < 3; i++) files[i] = OpenFileWithMode(paths[i], LeftOut, LeftOut);
    std::vector<std::string> expected;
    for (int i = 2; i >= 0; i--) expected.push_back("CloseHandle(" + fake::Describe(files[i]->handle) + ")");
    fake::calls.clear();

    long code = RunUntilExit(ExitProgram); // slot 2 runs in the exit sequence
    EXPECT_EQ(0, code);
    EXPECT_EQ(expected, fake::Calls("CloseHandle(")) << fake::Log();
    EXPECT_EQ(nullptr, OpenFileList);
    EXPECT_EQ(nullptr, CleanupSlot2);
    ExpectNoLeak("records after CloseOpenFiles");

    // A later call finds nothing to close.
    fake::calls.clear();
    CloseOpenFiles();
    EXPECT_TRUE(fake::Calls("CloseHandle(").empty());
}

TEST_F(Files, SeekToEndOnlyForFilesOnTheList)
{
    FileNumber file = OpenFileWithMode("C:\\log", LeftOut, LeftOut);
    OpenFileRecord stranger = {file->handle, nullptr};
    fake::calls.clear();

    SeekToEnd(0);
    SeekToEnd(&stranger); // not a number OpenFileWithMode gave out
    EXPECT_TRUE(fake::Calls("SetFilePointer(").empty()) << fake::Log();

    SeekToEnd(file);
    EXPECT_EQ(std::vector<std::string>{"SetFilePointer(" + fake::Describe(file->handle) + ", 0, NULL, 2)"},
              fake::Calls("SetFilePointer("));

    // Once closed at exit the number is no longer on the list.
    CloseOpenFiles();
    fake::calls.clear();
    SeekToEnd(file);
    EXPECT_TRUE(fake::Calls("SetFilePointer(").empty()) << fake::Log();
}
