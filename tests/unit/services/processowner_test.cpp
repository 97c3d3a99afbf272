// The owner of a process through the terminal-services list.
#include "servicehost.h"
#include "services/processowner.h"

class ProcessOwner : public ServiceHostTest {
protected:
    void SetUp() override
    {
        ServiceHostTest::SetUp();
        StartGlobals();
    }
    std::string Owner(Optional id = LeftOut)
    {
        char *owner = ProcessOwnerName(id);
        std::string text = owner;
        FreeText(owner);
        return text;
    }
};

TEST_F(ProcessOwner, ResultsByPath)
{
    const std::string spaces(255, ' ');
    struct Row {
        const char *situation;
        bool available;
        std::vector<std::pair<DWORD, std::string>> records;
        std::string expected;
        size_t frees;
    } rows[] = {
        {"enumeration fails", false, {{4242, "S-1-5-18"}}, "", 0},
        {"empty list", true, {}, "", 1},
        {"own process missing", true, {{4, "S-1-5-18"}, {8, "S-1-5-18"}}, "", 1},
        {"lookup fails", true, {{4, "S-1-5-18"}, {4242, "S-1-unknown"}}, spaces, 1},
        {"system account", true, {{4, "S-1-5-19"}, {4242, "S-1-5-18"}}, "SYSTEM", 1},
        {"a user, name kept as spelt", true, {{4242, "S-1-5-21-1001"}}, "Wang Li", 1},
        {"first matching record wins", true, {{4242, "S-1-5-21-1001"}, {4242, "S-1-5-18"}}, "Wang Li", 1},
    };
    for (const Row &row : rows) {
        fake::calls.clear();
        processes.available = row.available;
        processes.records = row.records;
        processes.accounts = {{"S-1-5-18", "SYSTEM"}, {"S-1-5-19", "LOCAL SERVICE"}, {"S-1-5-21-1001", "Wang Li"}};
        EXPECT_EQ(row.expected, Owner()) << row.situation;
        EXPECT_EQ(row.frees, fake::Calls("WTSFreeMemory(list)").size())
            << row.situation << ": the list is released once exactly when it was obtained\n" << fake::Log();
        EXPECT_TRUE(fake::Calls("WTSFreeMemory(NULL)").empty()) << row.situation;
    }
}

TEST_F(ProcessOwner, LooksUpTheMatchingSidWithBlankBuffersOf255)
{
    processes.records = {{4, "S-1-5-19"}, {4242, "S-1-5-18"}, {9, "S-1-5-20"}};
    processes.accounts = {{"S-1-5-18", "SYSTEM"}};
    EXPECT_EQ("SYSTEM", Owner());
    EXPECT_EQ((std::vector<std::string>{"GetCurrentProcessId()", "WTSEnumerateProcessesA(NULL, 0, 1, list, count)",
                                        "LookupAccountSidA(\"\", S-1-5-18, name, 255, domain, 255, use)",
                                        "WTSFreeMemory(list)"}),
              [] {
                  std::vector<std::string> interesting;
                  for (const auto &line : fake::calls)
                      if (line.rfind("HeapAlloc", 0) && line.rfind("HeapFree", 0)) interesting.push_back(line);
                  return interesting;
              }())
        << fake::Log();
}

TEST_F(ProcessOwner, GivenIdIsUsedInsteadOfTheOwnProcess)
{
    processes.records = {{4242, "S-1-5-18"}, {77, "S-1-5-21-1001"}};
    processes.accounts = {{"S-1-5-18", "SYSTEM"}, {"S-1-5-21-1001", "Wang Li"}};
    EXPECT_EQ("Wang Li", Owner(Given(77)));
    EXPECT_TRUE(fake::Calls("GetCurrentProcessId(").empty());
}

TEST_F(ProcessOwner, RecordsBeyondTheCountAreNotRead)
{
    processes.records = {{4, "S-1-5-19"}, {8, "S-1-5-19"}, {4242, "S-1-5-18"}};
    processes.accounts = {{"S-1-5-18", "SYSTEM"}};
    processes.countOverride = 2;
    EXPECT_EQ("", Owner());
    EXPECT_TRUE(fake::Calls("LookupAccountSidA(").empty());
    EXPECT_EQ(1u, fake::Calls("WTSFreeMemory(list)").size());
}

TEST_F(ProcessOwner, LeavesNoBlockBehind)
{
    long before = fake::liveBlocks;
    processes.records = {{4242, "S-1-5-18"}};
    processes.accounts = {{"S-1-5-18", "SYSTEM"}};
    char *owner = ProcessOwnerName(LeftOut);
    EXPECT_EQ(before + 1, fake::liveBlocks) << "only the result is left to the caller";
    FreeText(owner);
}
