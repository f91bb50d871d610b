// The single-instance guard and the order of Run's checks.
#include "app/GsDualBoot.h"
#include "app/MainAppFrame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kTestMutex[] = "GsTest_AppFrameMutex";  // string 101 of this test program
bool g_gameRunning = false;
int g_findCalls = 0;

HWND WINAPI FakeFindWindow(LPCSTR className, LPCSTR title)
{
    ++g_findCalls;
    bool game = std::strcmp(className, kGameWindowClass) == 0 && std::strcmp(title, kGameWindowTitle) == 0;
    return g_gameRunning && game ? GetDesktopWindow() : nullptr;
}

struct ProbeFrame : CMainAppFrame {
    int initResult = 1, initCalls = 0, exitCalls = 0;
    int InitInstance() override { return ++initCalls, initResult; }
    int ExitInstance() override { return ++exitCalls, CMainAppFrame::ExitInstance(); }
};

}  // namespace

TEST(Run, ChecksTheMutexThenTheGameThenInitInstance)
{
    auto* const saved = g_findGameWindow;
    g_findGameWindow = FakeFindWindow;
    // Another instance holds the mutex, the game runs, InitInstance fails or succeeds. The last
    // row passes only if the blocked runs before it released their mutex. Creating the guard a
    // second time must close its own first handle.
    // Outcome: Run's result, InitInstance and ExitInstance calls, game searches.
    const struct { bool otherInstance, gameRunning; int initResult; const char* outcome; } rows[] = {
        {true, true, 1, "0 0 0 0"}, {false, true, 1, "0 0 0 1"}, {false, false, 0, "-1 1 1 1"},
        {false, false, 1, "0 1 1 1"}};
    for (const auto& row : rows) {
        CGsDualBoot other;
        ASSERT_EQ(row.otherInstance ? other.Create(kTestMutex) * other.Create(kTestMutex) : 1, 1);
        g_gameRunning = row.gameRunning;
        g_findCalls = 0;
        ProbeFrame frame;
        frame.initResult = row.initResult;
        int result = frame.Run(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL);
        const std::string calls = std::to_string(frame.initCalls) + " " + std::to_string(frame.exitCalls);
        EXPECT_EQ(std::to_string(result) + " " + calls + " " + std::to_string(g_findCalls), row.outcome);
    }
    EXPECT_STREQ(g_mutexName, kTestMutex);
    g_findGameWindow = saved;
}
