// The copy engine with a scripted copy routine (progress, pump, stop prompt, failures), with
// the real one (read-only and held files, a stop mid-file), and the double-byte-aware join.
#include "base/ScopedWin.h"
#include "files/GsCopyCheck.h"
#include "files/GsCopyList.h"
#include "files/GsCopyRoutine.h"
#include "files/GsFileHash.h"
#include "base/GsText.h"
#include "ui/GsMessageBox.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
namespace {

// Message boxes are recorded as "text|caption|style|owner"; the g_yesAt-th is answered Yes, others No.
std::vector<std::string> g_boxes;
size_t g_yesAt;
std::string Box(HWND owner, const std::string& text, const std::string& caption, UINT style)
{
    return text + "|" + caption + "|" + std::to_string(style) + "|" + std::to_string(uintptr_t(owner));
}
const UINT kError = MB_OK | MB_ICONERROR, kPrompt = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;

int64_t g_failFrom;  // the scripted copy of a source this long or longer fails once its target exists
int g_stopFrom;      // when not 0: the bar position from which on a stop is posted, once
CGsCopyList* g_list;
std::vector<int> g_positions;

// A copy routine that writes an empty target and reports as it starts and per GiB of the
// source but, like Wine's CopyFileExA, never looks at the cancel flag.
BOOL WINAPI ScriptedCopy(LPCSTR source, LPCSTR target, LPPROGRESS_ROUTINE progress, LPVOID data, LPBOOL, DWORD)
{
    LARGE_INTEGER size, done;
    size.QuadPart = int64_t(fs::file_size(source));
    if (!std::ofstream(target) || size.QuadPart >= g_failFrom) return FALSE;
    for (int64_t at = 0; at < size.QuadPart + (1 << 30); at += 1 << 30) {
        done.QuadPart = std::min(at, size.QuadPart);
        progress(size, done, size, done, 1, 0, nullptr, nullptr, data);
    }
    return TRUE;
}

// Owner and bar in one: positions are recorded; WM_APP asks for the stop prompt (wParam 1: with
// the caller's own text, as posted once the bar reaches g_stopFrom), as a dialog's handler would.
LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETPOS && (g_positions.push_back(int(wParam)), g_stopFrom != 0) && int(wParam) >= g_stopFrom)
        g_stopFrom = 0, PostMessageA(hwnd, WM_APP, 1, 0);
    if (message == WM_APP) g_list->RequestAbort(wParam ? "本当に止めますか" : nullptr, wParam ? "確認" : nullptr);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class Copy : public testing::Test {
protected:
    static constexpr int kStatus = 1003;
    void SetUp() override
    {
        fs::create_directories(out);
        owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrA(owner, GWLP_WNDPROC, LONG_PTR(WindowProc));
        CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 9, 9, owner, HMENU(INT_PTR(kStatus)), nullptr, nullptr);
        g_list = &list, g_yesAt = 0, g_failFrom = INT64_MAX, g_stopFrom = 0, g_boxes.clear(), g_positions.clear();
        SetGsMessageBoxHandler([](HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
            g_boxes.push_back(Box(owner, GsTextToCp932(text), GsTextToCp932(caption), style));
            return g_boxes.size() == g_yesAt ? IDYES : IDNO;
        });
        SetGsCopyFileRoutine(ScriptedCopy);
    }
    void TearDown() override
    {
        DestroyWindow(owner);
        SetGsMessageBoxHandler(nullptr), SetGsCopyFileRoutine(nullptr);  // the platform's again
        for (const auto& file : fs::recursive_directory_iterator(dir))  // read-only ones too
            SetFileAttributesA(file.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(dir);
    }
    // Writes dir\<name> and adds it -> dir\out\<name>; returns the destination.
    std::string Add(const std::string& name, const std::string& content)
    {
        Write(dir + "\\" + name, content);
        list.Add(CGsFileName(dir.c_str(), name.c_str()), CGsFileName(out.c_str(), name.c_str()));
        return out + "\\" + name;
    }
    int Run(HWND who) { return list.CopyAll(who, owner, kStatus, 1024); }
    static std::string Temp(const std::string& path) { return CGsCopyList::TemporaryPath(path.c_str()); }
    void Write(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }
    std::string Read(const std::string& path)  // empty when the file cannot be read
    {
        return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
    }

    std::string dir = (fs::temp_directory_path() / ("gscopy-" + std::to_string(GetCurrentProcessId()))).string();
    std::string out = dir + "\\out";
    CGsCopyList list;
    HWND owner = nullptr;
};

TEST_F(Copy, ProgressFollowsBytesOverTheWholeRunAndRestartsOnTheNextRun)
{
    std::string mib(1 << 20, 'm'), outA = Add("a.bin", mib), outE = Add("e", ""), outB = Add("b.bin", mib + mib + mib);
    for (int run = 1; run <= 2; ++run, g_positions.clear()) {
        ASSERT_EQ(Run(owner), 1);
        // Per report: 1024 * (bytes of finished files + of this one) / (4 MiB + 1), the empty
        // file weighing one byte; then one position per file.
        EXPECT_EQ(g_positions, (std::vector<int>{0, 255, 255, 255, 256, 256, 1024, 1024})) << run;
        EXPECT_TRUE(g_boxes.empty() && fs::exists(outA) && fs::exists(outE) && fs::exists(outB));
    }
    char status[64] = {};
    GetDlgItemTextA(owner, kStatus, status, sizeof status);
    EXPECT_STREQ(status, "b.bin をコピーしています...");
}

TEST_F(Copy, MissingSourceOrFailedCopyIsNamedEndsTheRunAndKeepsTheOldFile)
{
    g_failFrom = 6;  // b.bin's copy fails
    std::string small = Add("a.bin", "small"), outB = Add("b.bin", "larger"), outC = Add("c.bin", "c");
    list.Add(CGsFileName(dir.c_str(), "missing.pak"), CGsFileName(out.c_str(), "missing.pak"));
    Write(outB, "old");
    // A missing source is named to the owner only, and nothing is copied.
    EXPECT_TRUE(Run(owner) == 0 && Run(nullptr) == 0 && !fs::exists(small));
    Write(dir + "\\missing.pak", "");
    EXPECT_EQ(Run(owner), 0);
    std::string text = dir + "\\b.bin\r\n↓\r\n" + outB + "\r\nファイルをコピーできません";
    EXPECT_EQ(g_boxes, (std::vector<std::string>{Box(owner, "missing.pak", "file open error", kError),
                                                 Box(owner, text, "copy file error", kError)}));
    // Finished files stay; the later ones are not attempted.
    EXPECT_TRUE(fs::exists(small) && Read(outB) == "old" && !fs::exists(Temp(outB)) && !fs::exists(outC));
}

// Sizes are 64-bit. The routine ignores the cancel flag and finishes; the player's Yes, given
// at its last report, must still win. Without an owner the pump still serves the request
// posted then.
TEST_F(Copy, FiveGigabytesProgressExactlyAndYesAtTheLastReportStillKeepsTheOldFile)
{
    Add("five.pak", "");
    fs::resize_file(dir + "\\five.pak", int64_t(5) << 30);  // sparse on Wine's Unix file systems
    std::string outA = Add("a.bin", "new");
    Write(outA, "old");
    list.RequestAbort(nullptr, nullptr);  // made before the run: cleared, never shown
    g_yesAt = 1, g_stopFrom = 1024;
    EXPECT_EQ(Run(nullptr), 0);
    EXPECT_EQ(g_boxes, std::vector<std::string>{Box(nullptr, "本当に止めますか", "確認", kPrompt)});
    EXPECT_EQ(g_positions, (std::vector<int>{0, 204, 409, 614, 819, 1023, 1023, 1023, 1024}));
    EXPECT_TRUE(Read(outA) == "old" && !fs::exists(Temp(outA)));
}

// Under Wine the seam's own routine reports each MiB of a real file: the bar moves within it.
// A stop request from before the run is shown at the first report (No goes on); one posted
// mid-file with the caller's text is served by the pump at once, and Yes keeps the old file.
// Then read-only files are replaced, and a held one is not.
TEST_F(Copy, RealRoutineMovesTheBarServesStopsAndReplacesReadOnlyFilesButNotOneHeldOpen)
{
    SetGsCopyFileRoutine(nullptr);
    std::string big(64 << 20, 'n'), source = dir + "\\big.pak", target = Add("big.pak", big);
    Write(target, "old");
    g_yesAt = 2, g_stopFrom = 256;
    PostMessageA(owner, WM_APP, 0, 0);
    EXPECT_EQ(Run(owner), 0);
    EXPECT_EQ(g_boxes, (std::vector<std::string>{Box(owner, "中止しますか？", "ファイルコピー", kPrompt),
                                                 Box(owner, "本当に止めますか", "確認", kPrompt)}));
    // 17 positions, the start and 16 MiB: stopped at once.
    EXPECT_TRUE(g_positions.size() == 17 && Read(target) == "old" && !fs::exists(Temp(target))) << g_positions.size();
    // Read-only files are replaced; a leftover of an interrupted run, longer than the new file,
    // is overwritten, never continued.
    Write(Temp(target), big + "tail");
    for (const std::string& path : {source, target, Temp(target)})
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    g_positions.clear();
    ASSERT_EQ(Run(owner), 1);
    EXPECT_EQ(g_positions.size(), 66u) << "the start, each MiB, the file's end";
    EXPECT_TRUE(Read(target) == big && !(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY));
    Write(target, "old");
    {
        // Another program reads the destination: the replace fails, and one that removed the
        // old file first would lose it once that program lets go.
        ScopedFile lock(CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(Run(nullptr), 0);
    }
    EXPECT_TRUE(Read(target) == "old" && !fs::exists(Temp(target)));
    EXPECT_TRUE(g_boxes.size() == 3 && g_boxes[2].find("|copy file error|") != std::string::npos);
}

size_t g_cancelAt;  // the report (from 1) answered with PROGRESS_CANCEL
std::vector<std::pair<DWORD, int64_t>> g_seen;  // reason, bytes done
DWORD CALLBACK Report(LARGE_INTEGER, LARGE_INTEGER done, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD reason, HANDLE,
                      HANDLE, LPVOID)
{
    g_seen.push_back({reason, done.QuadPart});
    return g_seen.size() == g_cancelAt ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

// The seam's choice, and its own routine against CopyFileExA on one source: a stream-switch
// report, then one per MiB; a cancel answer leaves nothing; the copy's bytes, attributes and
// write time.
TEST_F(Copy, OwnRoutineReportsEachMiBStopsWhenAnsweredAndCopiesAsThePlatformDoes)
{
    EXPECT_EQ(GsPlatformCopyRoutine(GetModuleHandleA("ntdll.dll")), &GsChunkedCopyFile);
    // kernel32 exports no wine_get_version: as on Windows, the platform's routine.
    EXPECT_EQ(GsPlatformCopyRoutine(GetModuleHandleA("kernel32.dll")), &CopyFileExA);
    std::string bytes((2 << 20) + 3, '\0'), source = dir + "\\src.pak", own = out + "\\own", copy = out + "\\copy";
    std::generate(bytes.begin(), bytes.end(), [n = 0]() mutable { return char(n++ % 251); });
    Write(source, bytes);
    fs::last_write_time(source, fs::last_write_time(source) - std::chrono::hours(100));
    ASSERT_TRUE(SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    g_cancelAt = 3;
    EXPECT_FALSE(GsChunkedCopyFile(source.c_str(), own.c_str(), Report, nullptr, nullptr, 0));
    EXPECT_TRUE(GetLastError() == ERROR_REQUEST_ABORTED && g_seen.size() == 3 && !fs::exists(own));
    g_seen.clear(), g_cancelAt = 0;
    ASSERT_TRUE(GsChunkedCopyFile(source.c_str(), own.c_str(), Report, nullptr, nullptr, 0));
    const DWORD kSwitch = CALLBACK_STREAM_SWITCH, kChunk = CALLBACK_CHUNK_FINISHED;
    EXPECT_EQ(g_seen, (decltype(g_seen){{kSwitch, 0}, {kChunk, 1 << 20}, {kChunk, 2 << 20}, {kChunk, (2 << 20) + 3}}));
    ASSERT_TRUE(CopyFileExA(source.c_str(), copy.c_str(), nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(GetFileAttributesA(own.c_str()), GetFileAttributesA(copy.c_str()));
    EXPECT_TRUE(fs::last_write_time(own) == fs::last_write_time(copy) && Read(own) == bytes);
}

// A checked job replaces its destination only when what it wrote matches the digest: the bar
// moves within the file, a mismatch or a missing digest keeps the old file, leaves no temporary
// copy and names the source; the run ends there. So does a stop.
TEST_F(Copy, CheckedCopyReplacesOnlyWhatMatchesItsDigest)
{
    SetGsCopyFileRoutine(nullptr);
    std::string bytes(3 << 20, '\0');
    std::generate(bytes.begin(), bytes.end(), [n = 0]() mutable { return char(n++ * 7 % 253); });
    GsSha256 hash;
    hash.Update(bytes.data(), bytes.size());
    const GsDigest right = hash.Final();
    GsDigest wrong = right;
    wrong[31] ^= 1;
    const GsDigest* digests[] = {&right, &wrong, nullptr};
    for (const GsDigest* digest : digests) {
        list.Clear(), g_boxes.clear(), g_positions.clear();
        Write(dir + "\\a.pak", bytes), Write(out + "\\a.pak", "old");
        list.AddChecked(CGsFileName(dir.c_str(), "a.pak"), CGsFileName(out.c_str(), "a.pak"), digest);
        EXPECT_EQ(Run(owner), digest == &right);
        EXPECT_EQ(Read(out + "\\a.pak"), digest == &right ? bytes : "old");
        EXPECT_FALSE(fs::exists(Temp(out + "\\a.pak")));
        const std::string text = digest == &right ? "" : dir + "\\a.pak" + (digest ? kGsDamagedText : kGsUnlistedText);
        EXPECT_EQ(g_boxes, text.empty() ? std::vector<std::string>{} : std::vector<std::string>{Box(owner, text, kGsCheckCaption, kError)});
        EXPECT_EQ(g_positions.size(), digest == &right ? 5u : digest ? 4u : 0u) << "the start, each MiB, the run's end";
    }
    // Stopped after the first MiB: the check lets go of the new file, which goes.
    list.Clear(), g_boxes.clear(), g_yesAt = 1, g_stopFrom = 300;
    Write(out + "\\a.pak", "old");
    list.AddChecked(CGsFileName(dir.c_str(), "a.pak"), CGsFileName(out.c_str(), "a.pak"), &right);
    EXPECT_EQ(Run(owner), 0);
    EXPECT_TRUE(g_boxes.size() == 1 && Read(out + "\\a.pak") == "old" && !fs::exists(Temp(out + "\\a.pak")));
}

// The check reads back only what the copy says it wrote, all of it however far behind it is when
// the copy ends; a file it cannot read is never reported as checked.
TEST(GsCopyCheck, FinalHashesEveryByteWrittenAndOnlyThose)
{
    std::string bytes(32 << 20, '\0');
    std::generate(bytes.begin(), bytes.end(), [n = 1u]() mutable { return char((n = n * 1103515245u + 12345u) >> 24); });
    const std::string path = (fs::temp_directory_path() / ("gscheck-" + std::to_string(GetCurrentProcessId()))).string();
    std::ofstream(path, std::ios::binary) << bytes << "not written yet";
    for (size_t size : {bytes.size(), size_t(1000)}) {
        GsSha256 expected;
        expected.Update(bytes.data(), size);
        CGsCopyCheck check;
        check.Created(path.c_str());
        check.Written(size / 3), check.Written(size);
        GsDigest digest{};
        EXPECT_TRUE(check.Final(&digest) && digest == expected.Final()) << size;
    }
    fs::remove(path);
    CGsCopyCheck missing;
    missing.Created(path.c_str());
    GsDigest digest{};
    EXPECT_FALSE(missing.Final(&digest));
}

// The own hash and the platform's agree over lengths around the block and padding edges.
TEST(GsFileHash, OwnAndPlatformHashAgree)
{
    std::string bytes(1 << 20, '\0');
    std::generate(bytes.begin(), bytes.end(), [n = 1u]() mutable { return char((n = n * 1103515245u + 12345u) >> 24); });
    for (size_t size : {size_t(0), size_t(55), size_t(56), size_t(64), size_t(119), size_t(1000), bytes.size()}) {
        CGsFileHash own(CGsFileHash::kOwn), platform(CGsFileHash::kPlatform);
        own.Update(bytes.data(), size), platform.Update(bytes.data(), size);
        GsDigest a{}, b{};
        EXPECT_TRUE(own.Final(&a) && platform.Final(&b) && a == b) << size;
    }
}

TEST(GsFileName, JoinsWithOneSeparatorAndSplitsTheJoinedPath)
{
    // 表 (\x95\x5C) ends in the byte 0x5C, the backslash: a folder ending in it still gets its
    // separator; one ending in a real separator gets no second one.
    const std::string cases[][4] = {{"C:\\Game\\", "sub\\a.b.pak", "C:\\Game\\sub\\a.b.pak", "C:\\Game\\sub\\|a.b.pak"},
                                    {"C:\\\x95\x5C", "a\x95\x5C", "C:\\\x95\x5C\\a\x95\x5C", "C:\\\x95\x5C\\|a\x95\x5C"}};
    for (const auto& c : cases) {
        CGsFileName p(c[0].c_str(), c[1].c_str());
        EXPECT_EQ(p.GetPath() + ("|" + std::string(p.GetFolder())) + "|" + p.GetName(), c[2] + "|" + c[3]);
    }
}

}  // namespace
