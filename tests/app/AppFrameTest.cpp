// Start-up: program folder rules, the single-instance guard and the order of Run's checks.
#include "app/GsDualBoot.h"
#include "app/MainAppFrame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kTestMutex[] = "GsTest_AppFrameMutex";  // string 101 of this test program

std::string g_modulePath;
int g_currentDirCalls = 0, g_findCalls = 0;
bool g_gameRunning = false;

DWORD WINAPI FakeModuleFileName(HMODULE, LPSTR buffer, DWORD size)
{
    std::strncpy(buffer, g_modulePath.c_str(), size);
    return static_cast<DWORD>(std::strlen(buffer));
}
DWORD WINAPI FakeCurrentDirectory(DWORD size, LPSTR buffer)
{
    ++g_currentDirCalls;
    std::strncpy(buffer, "E:\\cwd", size);
    return 6;
}
HWND WINAPI FakeFindWindow(LPCSTR className, LPCSTR title)
{
    ++g_findCalls;
    bool game = std::strcmp(className, kGameWindowClass) == 0 && std::strcmp(title, kGameWindowTitle) == 0;
    return g_gameRunning && game ? GetDesktopWindow() : nullptr;
}

class ProbeFrame : public CMainAppFrame {
public:
    int initResult = 1, initCalls = 0, exitCalls = 0;
    int InitInstance() override { return ++initCalls, initResult; }
    int ExitInstance() override { return ++exitCalls, CMainAppFrame::ExitInstance(); }
    int RunHere() { return Run(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL); }
};

}  // namespace

TEST(ModuleDir, FolderOfTheProgramOrTheCurrentDirectory)
{
    ASSERT_EQ(GetACP(), 932u) << "run under code page 932 (tools/wine-run sets it)";
    const GsModuleQueries saved = g_moduleQueries;
    g_moduleQueries = {FakeModuleFileName, FakeCurrentDirectory};
    const struct {
        const char *module, *dir;
    } cases[] = {
        {"C:\\Games\\Disc\\update.exe", "C:\\Games\\Disc"},
        {"D:\\update.exe", "D:"},
        {"\\\\server\\share\\update.exe", "\\\\server\\share"},
        // No backslash after the first character: the current directory.
        {"update.exe", "E:\\cwd"},
        {"\\update.exe", "E:\\cwd"},
        {"", "E:\\cwd"},
        // 表 is 0x95 0x5C and ソ is 0x83 0x5C in code page 932: trail bytes, not separators.
        {"C:\\表\\update.exe", "C:\\表"},
        {"C:\\ゲーム\\アップデートソ.exe", "C:\\ゲーム"},
        {"C:\\ソ", "C:"},
    };
    for (const auto& c : cases) {
        g_modulePath = c.module;
        g_currentDirCalls = 0;
        CGsAppFrame frame;
        frame.InitModuleInfo(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
        EXPECT_EQ(std::string(frame.GetModuleDir()), c.dir) << c.module;
        EXPECT_EQ(g_currentDirCalls, std::strcmp(c.dir, "E:\\cwd") == 0 ? 1 : 0) << c.module;
    }
    g_moduleQueries = saved;
}

TEST(DualBoot, SecondHolderOfTheNameIsRefusedUntilTheFirstCloses)
{
    const char* name = "GsTest_DualBootMutex";
    {
        CGsDualBoot first, second;
        ASSERT_EQ(first.Create(name), 1);
        EXPECT_EQ(second.Create(name), 0);
        // Create again on the same guard closes the old handle first: still held by `second`.
        EXPECT_EQ(first.Create(name), 0);
    }
    CGsDualBoot again;
    EXPECT_EQ(again.Create(name), 1) << "the handles were closed by the destructors";
}

TEST(Run, ChecksTheMutexThenTheGameThenInitInstance)
{
    auto* const saved = g_findGameWindow;
    g_findGameWindow = FakeFindWindow;

    ProbeFrame ok, failing;
    failing.initResult = 0;
    EXPECT_EQ(ok.RunHere(), 0);
    EXPECT_EQ(failing.RunHere(), -1);
    EXPECT_TRUE(ok.initCalls == 1 && ok.exitCalls == 1 && failing.exitCalls == 1);
    EXPECT_STREQ(g_mutexName, kTestMutex);

    // Another instance holds the mutex: leave silently before looking for the game.
    g_gameRunning = true;
    g_findCalls = 0;
    {
        CGsDualBoot other;
        ASSERT_EQ(other.Create(kTestMutex), 1);
        ProbeFrame frame;
        EXPECT_EQ(frame.RunHere(), 0);
        EXPECT_EQ(frame.initCalls, 0);
        EXPECT_EQ(g_findCalls, 0) << "the mutex decides first";
    }
    // The game runs: leave silently, releasing the mutex on the way out.
    ProbeFrame blocked, next;
    EXPECT_EQ(blocked.RunHere(), 0);
    EXPECT_EQ(blocked.initCalls, 0);
    EXPECT_EQ(g_findCalls, 1);
    g_gameRunning = false;
    EXPECT_EQ(next.RunHere(), 0);
    EXPECT_EQ(next.initCalls, 1) << "the blocked run closed its mutex";

    g_findGameWindow = saved;
}
