// Start-up: program folder rules, the single-instance guard and the order of Run's checks.
#include "app/GsDualBoot.h"
#include "app/MainAppFrame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kTestMutex[] = "GsTest_AppFrameMutex";  // string 101 of this test program

std::string g_fakeModulePath;
int g_currentDirCalls = 0;

DWORD WINAPI FakeModuleFileName(HMODULE, LPSTR buffer, DWORD size)
{
    std::strncpy(buffer, g_fakeModulePath.c_str(), size);
    return static_cast<DWORD>(std::strlen(buffer));
}

DWORD WINAPI FakeCurrentDirectory(DWORD size, LPSTR buffer)
{
    ++g_currentDirCalls;
    std::strncpy(buffer, "E:\\cwd", size);
    return 6;
}

class ModuleDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = g_moduleQueries;
        g_moduleQueries = {FakeModuleFileName, FakeCurrentDirectory};
        g_currentDirCalls = 0;
    }
    void TearDown() override { g_moduleQueries = saved_; }

    std::string DirFor(const std::string& modulePath)
    {
        g_fakeModulePath = modulePath;
        CGsAppFrame frame;
        frame.InitModuleInfo(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
        return frame.GetModuleDir();
    }

    GsModuleQueries saved_{};
};

}  // namespace

TEST_F(ModuleDirTest, FolderOfTheProgramWithoutTrailingBackslash)
{
    EXPECT_EQ(DirFor("C:\\Games\\Disc\\update.exe"), "C:\\Games\\Disc");
    EXPECT_EQ(DirFor("D:\\update.exe"), "D:");
    EXPECT_EQ(DirFor("\\\\server\\share\\update.exe"), "\\\\server\\share");
    EXPECT_EQ(g_currentDirCalls, 0);
}

TEST_F(ModuleDirTest, NoBackslashAfterTheFirstCharacterFallsBackToCurrentDirectory)
{
    EXPECT_EQ(DirFor("update.exe"), "E:\\cwd");
    EXPECT_EQ(DirFor("\\update.exe"), "E:\\cwd");
    EXPECT_EQ(DirFor(""), "E:\\cwd");
    EXPECT_EQ(g_currentDirCalls, 3);
}

TEST_F(ModuleDirTest, DoubleByteTrailBackslashIsNotASeparator)
{
    ASSERT_EQ(GetACP(), 932u) << "run under code page 932 (tools/wine-run sets it)";
    // 表 is 0x95 0x5C and ソ is 0x83 0x5C in code page 932.
    EXPECT_EQ(DirFor("C:\\表\\update.exe"), "C:\\表");
    EXPECT_EQ(DirFor("C:\\ゲーム\\アップデートソ.exe"), "C:\\ゲーム");
    EXPECT_EQ(DirFor("C:\\ソ"), "C:");
}

TEST(DualBoot, SecondHolderOfTheNameIsRefusedUntilTheFirstCloses)
{
    const char* name = "GsTest_DualBootMutex";
    {
        CGsDualBoot first;
        ASSERT_EQ(first.Create(name), 1);
        CGsDualBoot second;
        EXPECT_EQ(second.Create(name), 0);
        // Create again on the same guard closes the old handle first: still held by `second`.
        EXPECT_EQ(first.Create(name), 0);
    }
    CGsDualBoot again;
    EXPECT_EQ(again.Create(name), 1) << "the handles were closed by the destructors";
}

namespace {

int g_findCalls = 0;
bool g_gameRunning = false;

HWND WINAPI FakeFindWindow(LPCSTR className, LPCSTR title)
{
    ++g_findCalls;
    if (g_gameRunning && std::strcmp(className, kGameWindowClass) == 0 && std::strcmp(title, kGameWindowTitle) == 0)
        return GetDesktopWindow();
    return nullptr;
}

class ProbeFrame : public CMainAppFrame {
public:
    int initResult = 1;
    int initCalls = 0;
    int exitCalls = 0;
    int InitInstance() override
    {
        ++initCalls;
        return initResult;
    }
    int ExitInstance() override
    {
        ++exitCalls;
        return CMainAppFrame::ExitInstance();
    }
};

class RunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = g_findGameWindow;
        g_findGameWindow = FakeFindWindow;
        g_findCalls = 0;
        g_gameRunning = false;
    }
    void TearDown() override { g_findGameWindow = saved_; }
    int RunFrame(ProbeFrame& frame)
    {
        return frame.Run(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL);
    }
    decltype(g_findGameWindow) saved_ = nullptr;
};

}  // namespace

TEST_F(RunTest, InitInstanceResultDecidesExitCode)
{
    ProbeFrame ok;
    EXPECT_EQ(RunFrame(ok), 0);
    EXPECT_EQ(ok.initCalls, 1);
    EXPECT_EQ(ok.exitCalls, 1);
    EXPECT_STREQ(g_mutexName, kTestMutex);

    ProbeFrame failing;
    failing.initResult = 0;
    EXPECT_EQ(RunFrame(failing), -1);
    EXPECT_EQ(failing.exitCalls, 1);
}

TEST_F(RunTest, RunningInstanceLeavesSilentlyBeforeLookingForTheGame)
{
    CGsDualBoot other;
    ASSERT_EQ(other.Create(kTestMutex), 1);
    g_gameRunning = true;
    ProbeFrame frame;
    EXPECT_EQ(RunFrame(frame), 0);
    EXPECT_EQ(frame.initCalls, 0);
    EXPECT_EQ(g_findCalls, 0) << "the mutex decides first";
}

TEST_F(RunTest, RunningGameLeavesSilentlyAndReleasesTheMutex)
{
    g_gameRunning = true;
    ProbeFrame frame;
    EXPECT_EQ(RunFrame(frame), 0);
    EXPECT_EQ(frame.initCalls, 0);
    EXPECT_EQ(g_findCalls, 1);

    g_gameRunning = false;
    ProbeFrame next;
    EXPECT_EQ(RunFrame(next), 0);
    EXPECT_EQ(next.initCalls, 1) << "the first run closed its mutex on the way out";
}
