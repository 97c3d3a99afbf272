// The frame's start and exit sequence, its reports and the index test.
#include "process.h"

#include <functional>

static std::vector<std::string> events;
static std::function<void()> routine;

void CreateGlobalVariables(void) { events.push_back("create globals"); }
void FreeGlobalVariables(void) { events.push_back("slot 1"); }
int StartRoutine(void)
{
    events.push_back("start");
    if (routine) routine();
    events.push_back("start returned");
    return 0;
}

static void Slot2(void) { events.push_back("slot 2"); }
static void Release(void) { events.push_back("release"); }

class Frame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcess();
        events.clear();
        routine = nullptr;
    }
};

static std::string Events()
{
    std::string all;
    for (const auto &e : events) all += (all.empty() ? "" : ", ") + e;
    return all;
}

TEST_F(Frame, NormalReturnRunsOnlySlotOneWhenNothingElseWasSet)
{
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    EXPECT_EQ("create globals, start, start returned, slot 1", Events());
    EXPECT_NE(nullptr, ProcessHeap) << "the process heap is taken first";
    EXPECT_TRUE(fake::boxes.empty());
    EXPECT_EQ("ExitProcess(0)", fake::calls.back());
}

TEST_F(Frame, ExitSequenceRunsSlotsAndReleaseHookInOrder)
{
    routine = [] {
        CleanupSlot2 = Slot2;
        ReleaseHook = Release;
    };
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    EXPECT_EQ("create globals, start, start returned, slot 1, slot 2, release", Events());
}

TEST_F(Frame, FatalErrorMidRoutineShowsOneBoxThenExitsInOrder)
{
    routine = [] {
        CleanupSlot2 = Slot2;
        ReleaseHook = Release;
        events.push_back("before");
        ReportFatalError(ErrorStackUnbalanced, 3, 77);
    };
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    EXPECT_EQ("create globals, start, before, slot 1, slot 2, release", Events())
        << "nothing after the failed test may run";
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_LT(CallIndex("MessageBoxA("), CallIndex("ExitProcess("));
}

TEST_F(Frame, FatalErrorBoxTexts)
{
    struct {
        int error, location1, location2;
        const char *text;
    } rows[] = {
        {1, 2, 40, "program internal error number is 1. \r\n数组成员引用下标超出定义范围\r\n"
                   "错误位置:2,40(仅5.8以上版本有效)"},
        {4, 7, 0, "program internal error number is 4. \r\n数组成员引用下标必须大于等于1\r\n"
                  "错误位置:7,0(仅5.8以上版本有效)"},
        {6, -1, 2147483647, "program internal error number is 6. \r\n"
                            "调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确\r\n"
                            "错误位置:-1,2147483647(仅5.8以上版本有效)"},
    };
    for (const auto &row : rows) {
        ResetProcess();
        EXPECT_EQ(0, RunUntilExit([&] { ReportFatalError(row.error, row.location1, row.location2); }));
        ASSERT_EQ(1u, fake::boxes.size()) << "error " << row.error;
        EXPECT_EQ(row.text, fake::boxes[0].text) << "error " << row.error;
        EXPECT_EQ("error", fake::boxes[0].caption);
        EXPECT_EQ((unsigned)MB_ICONERROR, fake::boxes[0].type) << "one OK button, error icon, nothing else";
        EXPECT_FALSE(fake::boxes[0].hasOwner);
    }
}

TEST_F(Frame, RefusedAllocationShowsOutOfMemoryBoxAndExits)
{
    routine = [] {
        fake::heapAllocsBeforeFailure = 0;
        AllocateBlock(16, true);
        events.push_back("after allocation");
    };
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_EQ("内存不足", fake::boxes[0].text);
    EXPECT_EQ("error", fake::boxes[0].caption);
    EXPECT_EQ((unsigned)MB_ICONERROR, fake::boxes[0].type);
    EXPECT_EQ("create globals, start, slot 1", Events());
}

TEST_F(Frame, AllocateBlockAsksForZeroFillOnlyWhenTold)
{
    ProcessHeap = GetProcessHeap();
    unsigned char *zeroed = (unsigned char *)AllocateBlock(8, true);
    unsigned char *raw = (unsigned char *)AllocateBlock(8, false);
    ASSERT_EQ(2u, fake::Calls("HeapAlloc(").size()) << fake::Log();
    EXPECT_EQ(std::string("HeapAlloc(") + fake::Describe(ProcessHeap) + ", 0x8, 8)", fake::Calls("HeapAlloc(")[0]);
    EXPECT_EQ(std::string("HeapAlloc(") + fake::Describe(ProcessHeap) + ", 0x0, 8)", fake::Calls("HeapAlloc(")[1]);
    for (int i = 0; i < 8; i++) EXPECT_EQ(0, zeroed[i]);
    long live = fake::liveBlocks;
    FreeBlock(zeroed);
    FreeBlock(raw);
    FreeBlock(nullptr);
    EXPECT_EQ(live - 2, fake::liveBlocks);
}

TEST_F(Frame, IndexTest)
{
    struct {
        long index;
        DWORD count;
        int error; // 0: no error
    } rows[] = {{1, 3, 0}, {3, 3, 0}, {0, 3, 4}, {-1, 3, 4}, {-2147483647L - 1, 3, 4},
                {4, 3, 1}, {1, 0, 1},  {0, 0, 4}, {100, 99, 1}};
    for (const auto &row : rows) {
        ResetProcess();
        long code = RunUntilExit([&] { CheckIndex(row.index, row.count, 9, 10); });
        if (!row.error) {
            EXPECT_EQ(-1, code) << "index " << row.index << " of " << row.count << " must pass";
            EXPECT_TRUE(fake::boxes.empty());
            continue;
        }
        EXPECT_EQ(0, code) << "index " << row.index << " of " << row.count;
        ASSERT_EQ(1u, fake::boxes.size());
        std::string first = "program internal error number is " + std::to_string(row.error) + ". \r\n";
        EXPECT_EQ(first, fake::boxes[0].text.substr(0, first.size()))
            << "index " << row.index << " of " << row.count;
    }
}

TEST_F(Frame, FailureInsideCleanUpDoesNotRunItAgain)
{
    CleanupSlot1 = [] {
        events.push_back("slot 1");
        ReportOutOfMemory();
    };
    CleanupSlot2 = Slot2;
    EXPECT_EQ(0, RunUntilExit(ExitProgram));
    EXPECT_EQ("slot 1", Events());
    EXPECT_EQ(1u, fake::boxes.size());
    EXPECT_EQ(1u, fake::Calls("ExitProcess(").size());
}

// Every box of the frame and the binding takes the same road: MessageBoxA,
// or the program's own box routine when it has set one.
TEST_F(Frame, ErrorBoxesGoThroughTheBoxRoutineWhenOneIsSet)
{
    static std::vector<std::string> routed;
    struct {
        const char *report;
        std::function<void()> raise;
        const char *title;
    } rows[] = {
        {"fatal error", [] { ReportFatalError(ErrorIndexBelowOne, 1, 2); }, "error"},
        {"out of memory", [] { ReportOutOfMemory(); }, "error"},
        {"binding failure",
         [] {
             FARPROC cell = nullptr;
             BindEntry("Tovrel.dll", "Tovrel", &cell);
         },
         "DLL ERROR"},
    };
    for (const auto &row : rows) {
        for (bool routeSet : {false, true}) {
            ResetProcess();
            routed.clear();
            if (routeSet)
                ErrorBoxRoutine = [](const char *text, const char *title, UINT style) {
                    routed.push_back(std::string(title) + "|" + std::to_string(style) + "|" + text);
                };
            EXPECT_EQ(0, RunUntilExit(row.raise)) << row.report;
            EXPECT_EQ(routeSet ? 0u : 1u, fake::boxes.size()) << row.report << ", routine set: " << routeSet;
            ASSERT_EQ(routeSet ? 1u : 0u, routed.size()) << row.report << ", routine set: " << routeSet;
            if (routeSet) {
                std::string expected = std::string(row.title) + "|" + std::to_string(MB_ICONERROR) + "|";
                EXPECT_EQ(expected, routed[0].substr(0, expected.size())) << row.report;
            }
            EXPECT_EQ("ExitProcess(0)", fake::calls.back()) << row.report << ": the exit follows the box";
        }
    }
}
