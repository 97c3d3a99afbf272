// The client terminator run from start to exit against a scripted process
// table.
#include "process.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "frame/hostops.h"
#include "terminator/processes.h"

namespace {

struct ScriptedProcess {
    DWORD id;
    std::string exeFile; // bytes of szExeFile; longer than 259 bytes is cut
};

std::vector<ScriptedProcess> table;
size_t nextEntry;

// Acts like the tool-help functions: a wrong dwSize or a handle that is no
// snapshot fails, otherwise the next entry of the table is filled in.
BOOL FillEntry(HANDLE snapshot, LPPROCESSENTRY32 entry)
{
    fake::Object *object = fake::Lookup(snapshot);
    if (!object || object->kind != "snapshot" || object->closed) return FALSE;
    if (entry->dwSize != sizeof(PROCESSENTRY32)) return FALSE;
    if (nextEntry >= table.size()) return FALSE;
    const ScriptedProcess &p = table[nextEntry++];
    memset((char *)entry + sizeof entry->dwSize, 0x5A, sizeof *entry - sizeof entry->dwSize);
    entry->th32ProcessID = p.id;
    size_t length = std::min(p.exeFile.size(), sizeof entry->szExeFile);
    memcpy(entry->szExeFile, p.exeFile.data(), length);
    if (length < sizeof entry->szExeFile) entry->szExeFile[length] = 0;
    return TRUE;
}

void ScriptProcesses(std::vector<ScriptedProcess> processes)
{
    table = std::move(processes);
    nextEntry = 0;
    fake::hooks.Process32First = [](HANDLE snapshot, LPPROCESSENTRY32 entry) {
        nextEntry = 0;
        return FillEntry(snapshot, entry);
    };
    fake::hooks.Process32Next = FillEntry;
}

// The ids passed to OpenProcess, in call order.
std::vector<DWORD> OpenedIds()
{
    std::vector<DWORD> ids;
    for (const auto &call : fake::Calls("OpenProcess(")) {
        unsigned access, inherit, id;
        if (sscanf(call.c_str(), "OpenProcess(0x%x, %u, %u)", &access, &inherit, &id) == 3) ids.push_back(id);
    }
    return ids;
}

std::string Ids(const std::vector<DWORD> &ids)
{
    std::string text = "{";
    for (size_t i = 0; i < ids.size(); i++) text += (i ? ", " : "") + std::to_string(ids[i]);
    return text + "}";
}

const std::vector<ScriptedProcess> Desktop = {
    {4, "System"},
    {10, "quorvi.exe"},
    {11, "QUORVI.EXE"},
    {12, "Quorvi.exe"},
    {13, "quorviClient.exe"},
    {14, "quorviServiceControl.exe"},
    {15, "quorviRestart.exe"},
    {16, "explorer.exe"},
    {17, "my tool.exe"},
    {18, "quorviClient.exe"},
};

class Quench : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcess();
        fake::currentProcessId = 900;
        ScriptProcesses(Desktop);
    }
};

} // namespace

TEST_F(Quench, FirstArgumentChoosesTheTarget)
{
    struct {
        const char *commandLine;
        std::vector<DWORD> ended;
    } rows[] = {
        {"quench.exe", {10, 11, 12}},
        {"\"C:\\Program Files\\quench.exe\"", {10, 11, 12}},
        {"\"C:\\Program Files\\quench.exe\"  ", {10, 11, 12}},
        {"quench.exe \"\"", {}},
        {"quench.exe \"   \"", {}},
        {"quench.exe \" \xA1\xA1  \xA1\xA1\"", {}},
        {"quench.exe \"  QUORVICLIENT.EXE  \"", {13, 18}},
        {"quench.exe \xA1\xA1quorviRestart.exe\xA1\xA1", {15}},
        {"quench.exe \"\xA1\xA1 explorer.exe \xA1\xA1\"", {16}},
        {"quench.exe explorer.exe quorvi.exe", {16}},
        {"quench.exe \"\" quorvi.exe", {}},
        {"quench.exe \"my tool.exe\"", {17}},
        {"quench.exe my tool.exe", {}},
        {"quench.exe \"quorvi.exe\t\"", {}}, // a tab is no blank
        {"quench.exe quorvi", {}},
        {"quench.exe system", {4}},
    };
    for (const auto &row : rows) {
        ResetProcess();
        fake::currentProcessId = 900;
        ScriptProcesses(Desktop);
        fake::commandLine = row.commandLine;
        long code = RunUntilExit(ProcessEntry);
        EXPECT_EQ(0, code) << row.commandLine;
        EXPECT_EQ(Ids(row.ended), Ids(OpenedIds())) << "command line [" << row.commandLine << "]\n" << fake::Log();
        EXPECT_EQ(row.ended.size(), fake::Calls("TerminateProcess(process#").size()) << row.commandLine;
        for (const auto &call : fake::Calls("TerminateProcess("))
            EXPECT_NE(std::string::npos, call.find(", 0)")) << "exit code 0 expected: " << call;
        EXPECT_EQ(0, fake::liveBlocks) << "blocks left after [" << row.commandLine << "]";
        EXPECT_TRUE(fake::boxes.empty()) << row.commandLine;
    }
}

TEST_F(Quench, NamesMatchWholeWithOnlyAsciiLettersFolded)
{
    struct {
        std::string target, exeFile;
        bool match;
    } rows[] = {
        {"quorvi.exe", "quorvi.exe", true},
        {"quorvi.exe", "QuOrVi.ExE", true},
        {"QUORVI.EXE", "quorvi.exe", true},
        {"quorvi", "quorvi.exe", false},
        {"quorvi.exe", "quorvi.ex", false},
        {"quorvi.exe", "quorvi.exe.exe", false},
        {"quorvi.exe", "xquorvi.exe", false},
        {"C:\\dir\\quorvi.exe", "quorvi.exe", false},
        {"quorvi.exe", "C:\\dir\\quorvi.exe", false},
        {"*.exe", "quorvi.exe", false},
        {"quorvi?exe", "quorvi.exe", false},
        {"quorvi.exe", "", false},
        {"", "", true},
        {"", "quorvi.exe", false},
        // Full-width capital and small A: the bytes differ outside A to Z.
        {"\xA3\xC1.exe", "\xA3\xE1.exe", false},
        {"\xA3\xC1.exe", "\xA3\xC1.EXE", true},
        // A second byte in 'A'..'Z' belongs to its character and stays.
        {"\x81\x41.exe", "\x81\x61.exe", false},
        {"\x81\x41.exe", "\x81\x41.exe", true},
        {"\x81\x41Q.exe", "\x81\x41q.exe", true},
        // Accented letters of a single-byte code page are not folded.
        {"\xC0X.exe", "\xE0X.exe", false},
        {"caf\xC9.exe", "caf\xE9.exe", false},
        // Only the first 256 bytes of szExeFile form the name.
        {std::string(256, 'A'), std::string(256, 'a') + "bcd", true},
        {std::string(256, 'a') + "bcd", std::string(256, 'a') + "bcd", false},
        {std::string(255, 'a'), std::string(256, 'a') + "bcd", false},
    };
    for (const auto &row : rows) {
        ResetProcess();
        ScriptProcesses({{31, "other.exe"}, {32, row.exeFile}, {33, "another.exe"}});
        ProcessHeap = GetProcessHeap();
        ProcessIdList found = FindProcessesByName(row.target.c_str());
        std::vector<DWORD> ids(found.ids, found.ids + found.count);
        EXPECT_EQ(row.match ? "{32}" : "{}", Ids(ids))
            << "target [" << row.target << "] against szExeFile [" << row.exeFile << "]";
        FreeProcessIdList(&found);
    }
}

TEST_F(Quench, WholeSnapshotIsReadAndClosedBeforeTheFirstProcessEnds)
{
    fake::commandLine = "quench.exe";
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    ASSERT_EQ(1u, fake::Calls("CreateToolhelp32Snapshot(").size());
    EXPECT_EQ("CreateToolhelp32Snapshot(15, 0)", fake::Calls("CreateToolhelp32Snapshot(")[0]);
    auto first = fake::Calls("Process32First(");
    ASSERT_EQ(1u, first.size());
    EXPECT_NE(std::string::npos, first[0].find("dwSize 296")) << first[0];
    EXPECT_EQ(Desktop.size(), fake::Calls("Process32Next(").size()) << "one call per entry, plus the failing one";
    for (const auto &call : fake::Calls("Process32Next("))
        EXPECT_NE(std::string::npos, call.find("dwSize 296")) << call;

    long lastNext = -1, closed = -1;
    for (size_t i = 0; i < fake::calls.size(); i++) {
        if (fake::calls[i].rfind("Process32Next(", 0) == 0) lastNext = (long)i;
        if (fake::calls[i].rfind("CloseHandle(snapshot#", 0) == 0) closed = (long)i;
    }
    long firstOpen = CallIndex("OpenProcess(");
    ASSERT_GE(closed, 0) << "the snapshot is closed\n" << fake::Log();
    ASSERT_GE(firstOpen, 0);
    EXPECT_LT(lastNext, closed);
    EXPECT_LT(closed, firstOpen) << fake::Log();
    EXPECT_EQ(1u, fake::Calls("CloseHandle(snapshot#").size());
}

TEST_F(Quench, FailedSnapshotEndsNothing)
{
    fake::hooks.CreateToolhelp32Snapshot = [](DWORD, DWORD) { return INVALID_HANDLE_VALUE; };
    fake::commandLine = "quench.exe";
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    EXPECT_TRUE(fake::Calls("OpenProcess(").empty()) << fake::Log();
    EXPECT_TRUE(fake::Calls("TerminateProcess(").empty());
    EXPECT_TRUE(fake::Calls("CloseHandle(INVALID)").empty()) << "INVALID_HANDLE_VALUE is no handle to close";
    EXPECT_TRUE(fake::boxes.empty());
    EXPECT_EQ("ExitProcess(0)", fake::calls.back());
}

TEST_F(Quench, FailedTerminationsAreSkipped)
{
    // 10 cannot be opened (gone, or another account's); 11 refuses to end.
    fake::hooks.OpenProcess = [](DWORD, BOOL, DWORD id) -> HANDLE {
        if (id == 10) return nullptr;
        return fake::NewHandle("process", std::to_string(id));
    };
    fake::hooks.TerminateProcess = [](HANDLE process, UINT) -> BOOL {
        fake::Object *o = fake::Lookup(process);
        return o && o->name != "11";
    };
    fake::commandLine = "quench.exe";
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    EXPECT_EQ("{10, 11, 12}", Ids(OpenedIds())) << fake::Log();
    EXPECT_EQ(3u, fake::Calls("TerminateProcess(").size());
    EXPECT_TRUE(fake::boxes.empty());
    EXPECT_EQ("ExitProcess(0)", fake::calls.back());
}

TEST_F(Quench, ManyMatchesAreAllEndedInSnapshotOrder)
{
    std::vector<ScriptedProcess> processes;
    std::vector<DWORD> expected;
    for (DWORD i = 0; i < 100; i++) {
        DWORD id = 5000 - i * 7; // ids out of numeric order
        processes.push_back({id, i % 3 ? "quorvi.exe" : "QUORVI.exe"});
        expected.push_back(id);
        processes.push_back({id + 1, "quorviClient.exe"});
    }
    ScriptProcesses(processes);
    fake::commandLine = "quench.exe";
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    EXPECT_EQ(Ids(expected), Ids(OpenedIds()));
    EXPECT_EQ(0, fake::liveBlocks);
}

TEST_F(Quench, EndingItselfEndsTheRunThere)
{
    ScriptProcesses({{40, "quench.exe"}, {41, "QUENCH.EXE"}, {42, "quorvi.exe"}, {43, "quench.exe"}});
    fake::currentProcessId = 41;
    fake::commandLine = "quench.exe quench.exe";
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    EXPECT_EQ("{40, 41}", Ids(OpenedIds())) << "matches after its own id stay running\n" << fake::Log();
    EXPECT_TRUE(fake::Calls("ExitProcess(").empty()) << "its own termination ends it, not the exit sequence";
    EXPECT_EQ(4u + 1, fake::Calls("Process32").size()) << "the whole list was taken before";
}

TEST_F(Quench, ShowsNothingAndWritesNothing)
{
    fake::commandLine = "quench.exe";
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    EXPECT_TRUE(fake::boxes.empty());
    EXPECT_TRUE(fake::Calls("CreateFileA(").empty());
    EXPECT_TRUE(fake::Calls("LoadLibraryA(").empty()) << "no library is loaded";
    EXPECT_TRUE(fake::Calls("CreateProcessA(").empty());
}

TEST_F(Quench, ProcessIdOutsideTheListIsAFatalErrorOfTheProcessListsFile)
{
    struct {
        long index;
        int error;
    } rows[] = {{0, 4}, {-1, 4}, {3, 1}};
    for (const auto &row : rows) {
        ResetProcess();
        ProcessHeap = GetProcessHeap();
        ProcessIdList list = {0, 0, nullptr};
        AppendProcessId(&list, 10);
        AppendProcessId(&list, 11);
        EXPECT_EQ(0, RunUntilExit([&] { (void)ProcessIdAt(&list, row.index); })) << "index " << row.index;
        ASSERT_EQ(1u, fake::boxes.size()) << fake::Log();
        std::string first = "program internal error number is " + std::to_string(row.error) + ". \r\n";
        EXPECT_EQ(first, fake::boxes[0].text.substr(0, first.size())) << "index " << row.index;
        EXPECT_EQ(41, ShownSourceFileNumber(fake::boxes[0].text)) << fake::boxes[0].text;
    }
}
