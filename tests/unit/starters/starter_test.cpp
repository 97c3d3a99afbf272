// A role starter run from start to exit.
#include "process.h"

static std::vector<std::string> roles;

static intptr_t RecordingTovrel(const void *roleName)
{
    roles.push_back((const char *)roleName);
    return 12345;
}

// A cdecl entry: it leaves its argument on the stack.
static intptr_t UnbalancedTovrel(const void *roleName)
{
    roles.push_back((const char *)roleName);
    fake::nextStackDelta = -4;
    return 0;
}

class Starter : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcess();
        roles.clear();
    }
};

TEST_F(Starter, CallsTovrelOnceWithItsRoleNameThenReleasesAndExits)
{
    fake::libraries[BesideProgram("Tovrel.dll")].byName["Tovrel"] = (FARPROC)(void *)RecordingTovrel;
    fake::commandLine = "quorviClient.exe --role other \"x\"";
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    EXPECT_EQ((std::vector<std::string>{"quorviClient"}), roles);
    EXPECT_TRUE(fake::Calls("GetCommandLineA(").empty()) << "the command line is never read";
    EXPECT_TRUE(fake::boxes.empty());
    long loaded = CallIndex("LoadLibraryA(\"" + BesideProgram("Tovrel.dll") + "\")"), freed = CallIndex("FreeLibrary(module#");
    ASSERT_GE(loaded, 0);
    ASSERT_GE(freed, 0) << fake::Log();
    EXPECT_LT(freed, CallIndex("ExitProcess(0)"));
}

TEST_F(Starter, WithoutTheLibraryOnlyTheBindingBoxIsShown)
{
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    EXPECT_TRUE(roles.empty());
    ASSERT_EQ(1u, fake::boxes.size());
    EXPECT_EQ("同目录下无法找到DLL文件:\"Tovrel.dll\".请与作者联系.", fake::boxes[0].text);
    EXPECT_TRUE(fake::Calls("FreeLibrary(").empty());
}

TEST_F(Starter, UnbalancedTovrelIsFatalErrorSixOfTheCoreLibrarysFile)
{
    fake::libraries[BesideProgram("Tovrel.dll")].byName["Tovrel"] = (FARPROC)(void *)UnbalancedTovrel;
    EXPECT_EQ(0, RunUntilExit(ProcessEntry));
    EXPECT_EQ((std::vector<std::string>{"quorviClient"}), roles);
    ASSERT_EQ(1u, fake::boxes.size()) << fake::Log();
    EXPECT_EQ(0u, fake::boxes[0].text.find("program internal error number is 6. \r\n")) << fake::boxes[0].text;
    EXPECT_EQ(2, ShownSourceFileNumber(fake::boxes[0].text)) << fake::boxes[0].text;
}
