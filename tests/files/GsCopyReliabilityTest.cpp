// The copy engine against real files and the real copy routine: a failed, stopped or killed
// copy must leave the old destination whole, and no temporary file behind.
#include "FileTestUtil.h"

#include <winioctl.h>

#include <chrono>
#include <cstdlib>
#include <iostream>

using namespace gstest;

namespace {

// This program started with GS_COPY_SOURCE and GS_COPY_DESTINATION set copies and exits
// before the tests' main, so a test can start it as a copier and kill it.
int RunCopyChildIfAsked()
{
    char source[MAX_PATH], destination[MAX_PATH];
    if (!GetEnvironmentVariableA("GS_COPY_SOURCE", source, MAX_PATH) ||
        !GetEnvironmentVariableA("GS_COPY_DESTINATION", destination, MAX_PATH))
        return 0;
    SetGsMessageBoxHandler([](HWND, const char*, const char*, UINT) { return IDOK; });
    CGsCopyList list;
    list.Add(CGsFileName("", source), CGsFileName("", destination));
    ExitProcess(list.CopyAll(nullptr, nullptr, 0, 1024) == 1 ? 0 : 3);
}
const int g_copyChild = RunCopyChildIfAsked();

// Runs the copier, killing it when it has not ended after killAfterMs.
void RunCopier(DWORD killAfterMs)
{
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(exe, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ScopedHandle process(pi.hProcess), thread(pi.hThread);
    if (WaitForSingleObject(process.Get(), killAfterMs) == WAIT_TIMEOUT)
        TerminateProcess(process.Get(), 99);
    WaitForSingleObject(process.Get(), INFINITE);
}

CGsCopyList* g_stopList = nullptr;

BOOL WINAPI DeleteSourceThenCopy(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress,
                                 LPVOID data, LPBOOL cancel, DWORD flags)
{
    DeleteFileA(source);
    return CopyFileExA(source, destination, progress, data, cancel, flags);
}

class CopyReliability : public testing::Test {
protected:
    void SetUp() override
    {
        const char* seedText = std::getenv("GS_TEST_SEED");
        seed = seedText != nullptr ? uint32_t(std::strtoul(seedText, nullptr, 10)) : GetTickCount();
        std::cout << "[ seed     ] " << seed << " (set GS_TEST_SEED to repeat)" << std::endl;
        oldBytes = RandomBytes(300000, seed);
        newBytes = RandomBytes(500000, seed + 1);
        WriteBytes(source, newBytes);
        WriteBytes(destination, oldBytes);
        list.Add(CGsFileName(dir.Path().c_str(), "new.pak"), CGsFileName(dir.Path().c_str(), "game.pak"));
        g_stopList = &list;
    }
    void ExpectOldDestinationOnly()
    {
        EXPECT_TRUE(ReadBytes(destination) == oldBytes) << "destination changed; seed " << seed;
        EXPECT_FALSE(Exists(TempOf(destination))) << "temporary file left behind";
    }

    uint32_t seed = 0;
    ScratchDir dir;
    std::string source = dir / "new.pak", destination = dir / "game.pak", oldBytes, newBytes;
    CGsCopyList list;
    MessageBoxCapture boxes;
};

TEST_F(CopyReliability, FailedOrStoppedCopyKeepsTheOldFile)
{
    FakeCopyOptions options;
    options.chunk = 100000;
    options.onReport = [](int report) {
        if (report == 3)
            g_stopList->RequestAbort(nullptr, nullptr);
    };
    enum Case { kLocked, kVanished, kStopped };
    for (Case c : {kLocked, kVanished, kStopped}) {
        SCOPED_TRACE("case " + std::to_string(c));
        WriteBytes(source, newBytes);
        boxes.boxes.clear();
        boxes.answers = {IDYES};
        FakeCopyRoutine fake(options);  // stops at the report after the request
        ScopedFile lock;
        if (c == kLocked) {  // another program holds the destination without sharing
            SetGsCopyFileRoutine(nullptr);
            lock.Reset(CreateFileA(destination.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        } else if (c == kVanished) {  // the source goes between measuring and copying
            SetGsCopyFileRoutine(DeleteSourceThenCopy);
        }
        EXPECT_EQ(list.CopyAll(nullptr, nullptr, 0, 1024), 0);
        lock.Reset();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, c == kStopped ? "ファイルコピー" : "copy file error");
        EXPECT_EQ(FakeCopyRoutine::reports, c == kStopped ? 5 : 0);
        ExpectOldDestinationOnly();
    }
}

TEST_F(CopyReliability, ReplacesReadOnlyFilesOverLeftoversAndOntoItself)
{
    // Read-only source and destination give a writable copy; a longer, read-only leftover of
    // an interrupted run is overwritten, never continued.
    ASSERT_TRUE(SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_READONLY));
    WriteBytes(TempOf(destination), RandomBytes(900000, seed + 2));
    ASSERT_TRUE(SetFileAttributesA(TempOf(destination).c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(list.CopyAll(nullptr, nullptr, 0, 1024), 1);
    EXPECT_TRUE(ReadBytes(destination) == newBytes);
    EXPECT_EQ(GetFileAttributesA(destination.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(Exists(TempOf(destination)));

    list.Clear();
    list.Add(CGsFileName(dir.Path().c_str(), "game.pak"), CGsFileName(dir.Path().c_str(), "game.pak"));
    EXPECT_EQ(list.CopyAll(nullptr, nullptr, 0, 1024), 1);
    EXPECT_TRUE(ReadBytes(destination) == newBytes);
    EXPECT_TRUE(boxes.boxes.empty());
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A copier killed at random moments leaves the complete old or the complete new file.
TEST_F(CopyReliability, KilledCopierLeavesOldOrNewFile)
{
    std::string pristineOld = dir / "old.pak";
    oldBytes = RandomBytes(40 << 20, seed);
    newBytes = RandomBytes(64 << 20, seed + 1);
    WriteBytes(pristineOld, oldBytes);
    WriteBytes(source, newBytes);
    SetEnvironmentVariableA("GS_COPY_SOURCE", source.c_str());
    SetEnvironmentVariableA("GS_COPY_DESTINATION", destination.c_str());
    struct Unset {
        ~Unset() { SetEnvironmentVariableA("GS_COPY_SOURCE", nullptr); }
    } unset;

    // One whole copier run, start-up included, sets the range of the kills.
    auto start = std::chrono::steady_clock::now();
    RunCopier(INFINITE);
    double wholeMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(ReadBytes(destination) == newBytes);

    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> delay(0.0, wholeMs * 1.2);
    int during = 0;
    for (int i = 0; i < 24; ++i) {
        ASSERT_TRUE(CopyFileA(pristineOld.c_str(), destination.c_str(), FALSE));
        DWORD ms = DWORD(delay(rng));
        RunCopier(ms);
        during += Exists(TempOf(destination));
        std::string now = ReadBytes(destination);
        ASSERT_TRUE(now == oldBytes || now == newBytes) << "kill " << i << " after " << ms << " ms left "
                                                        << now.size() << " bytes; seed " << seed;
    }
    EXPECT_GT(during, 0) << "no kill landed while the copy ran, so the test proved nothing; seed " << seed;

    // The next run is not disturbed by whatever the kills left.
    RunCopier(INFINITE);
    EXPECT_TRUE(ReadBytes(destination) == newBytes);
    EXPECT_FALSE(Exists(TempOf(destination)));
}

// A sparse 5 GiB source is measured exactly; the fake reports its length without copying.
TEST(CopySizes, SparseSourceOfFiveGigabytesIsMeasuredAndProgressedExactly)
{
    ScratchDir dir;
    const int64_t kGiB = int64_t(1) << 30;
    {
        ScopedFile file(CreateFileA((dir / "five.pak").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD returned = 0;
        // Windows needs the sparse attribute; Wine's files on a Unix file system are sparse anyway.
        DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = 5 * kGiB;
        if (!file || !SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.Get()))
            GTEST_SKIP() << "this file system cannot hold a sparse 5 GiB file (error " << GetLastError() << ")";
    }
    FakeCopyOptions options;
    options.chunk = kGiB;
    options.writeData = false;
    FakeCopyRoutine fake(options);
    MessageBoxCapture boxes;
    TestWindow bar;
    CGsCopyList list;
    list.Add(CGsFileName(dir.Path().c_str(), "five.pak"), CGsFileName(dir.Path().c_str(), "out.pak"));
    ASSERT_EQ(list.CopyAll(nullptr, bar.Handle(), 0, 1024), 1);
    EXPECT_EQ(list.GetTotalBytes(), 5 * kGiB);
    EXPECT_EQ(TestWindow::positions, (std::vector<int>{0, 204, 409, 614, 819, 1024, 1024}));
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
