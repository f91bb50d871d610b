// The copy engine with a scripted copy routine (progress, pump, stop prompt, failures), with
// the real one (read-only and held files, a stop mid-file), and the double-byte-aware join.
#include "base/ScopedWin.h"
#include "files/GsCopyList.h"
#include "files/GsCopyRoutine.h"
#include "ui/GsMessageBox.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;
namespace {

std::string Read(const std::string& path)  // empty when the file cannot be read
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}
void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Message boxes are recorded as "text|caption|style|owner" and answered from a queue (then IDOK).
std::vector<std::string> g_boxes;
std::vector<int> g_answers;
std::string Box(HWND owner, const std::string& text, const std::string& caption, UINT style)
{
    return text + "|" + caption + "|" + std::to_string(style) + "|" + std::to_string(uintptr_t(owner));
}
const UINT kError = MB_OK | MB_ICONERROR, kPrompt = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;

// A copy routine that reports as the stream starts and per chunk but, like Wine's CopyFileExA,
// never looks at the cancel flag.
struct Script {
    int64_t chunk = 1 << 20, failAt = -1;  // failAt: ERROR_DISK_FULL once this many bytes are done
    bool data = true;                      // false: an empty target, the length reported
    int postAt = -1;                       // after this report, post WM_APP to the bar: a stop request
} g_script;
int g_reports, g_stopFrom;  // g_stopFrom: the first position from which on a stop is posted
HWND g_bar;
CGsCopyList* g_list;
std::vector<int> g_positions;

BOOL WINAPI ScriptedCopy(LPCSTR source, LPCSTR target, LPPROGRESS_ROUTINE progress, LPVOID data, LPBOOL, DWORD)
{
    std::error_code error;
    LARGE_INTEGER size, done;
    size.QuadPart = int64_t(fs::file_size(source, error));
    if (error || !(g_script.data ? CopyFileA(source, target, FALSE) : bool(std::ofstream(target))))
        return FALSE;
    for (int64_t at = 0;; at += g_script.chunk) {
        done.QuadPart = std::min(at, size.QuadPart);
        if (g_script.failAt >= 0 && done.QuadPart >= g_script.failAt)
            return SetLastError(ERROR_DISK_FULL), FALSE;
        progress(size, done, size, done, 1, 0, nullptr, nullptr, data);
        if (g_reports++ == g_script.postAt)
            PostMessageA(g_bar, WM_APP, 0, 0);
        if (done.QuadPart == size.QuadPart)
            return TRUE;
    }
}

// Owner and bar: positions are recorded; WM_APP asks for the stop prompt (wParam 1: with the
// caller's own text, as posted once the bar reaches g_stopFrom), as a dialog's handler would.
LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETPOS) {
        g_positions.push_back(int(wParam));
        if (int(wParam) >= g_stopFrom)
            g_stopFrom = INT_MAX, PostMessageA(hwnd, WM_APP, 1, 0);
    } else if (message == WM_APP)
        g_list->RequestAbort(wParam ? "本当に止めますか" : nullptr, wParam ? "確認" : nullptr);
    else
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return 0;
}

class Copy : public testing::Test {
protected:
    static constexpr int kStatus = 1003;
    void SetUp() override
    {
        fs::create_directories(out);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WindowProc, wc.hInstance = GetModuleHandleA(nullptr), wc.lpszClassName = "GsTestWindow";
        RegisterClassA(&wc);  // a second registration fails harmlessly
        for (HWND* w : {&owner, &bar})
            *w = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, wc.hInstance, nullptr);
        CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 9, 9, owner, HMENU(INT_PTR(kStatus)), wc.hInstance, nullptr);
        g_list = &list, g_bar = bar, g_script = Script(), g_reports = 0, g_stopFrom = INT_MAX;
        g_boxes.clear(), g_answers.clear(), g_positions.clear();
        SetGsMessageBoxHandler([](HWND owner, const char* text, const char* caption, UINT style) {
            g_boxes.push_back(Box(owner, text, caption, style));
            int answer = g_answers.empty() ? IDOK : g_answers.front();
            return g_answers.empty() ? answer : (g_answers.erase(g_answers.begin()), answer);
        });
        SetGsCopyFileRoutine(ScriptedCopy);
    }
    void TearDown() override
    {
        DestroyWindow(owner), DestroyWindow(bar);
        SetGsMessageBoxHandler(nullptr), SetGsCopyFileRoutine(nullptr);  // the platform's again
        fs::remove_all(dir);
    }
    // Adds dir\<name> -> dir\out\<name>, writing the source when create; returns the destination.
    std::string Add(const std::string& name, const std::string& content, bool create = true)
    {
        if (create)
            Write(dir + "\\" + name, content);
        list.Add(CGsFileName(dir.c_str(), name.c_str()), CGsFileName(out.c_str(), name.c_str()));
        return out + "\\" + name;
    }
    int Run(HWND who) { return list.CopyAll(who, bar, kStatus, 1024); }
    static std::string Temp(const std::string& path) { return CGsCopyList::TemporaryPath(path.c_str()); }

    std::string dir = (fs::temp_directory_path() / ("gscopy-" + std::to_string(GetCurrentProcessId()))).string();
    std::string out = dir + "\\out";
    CGsCopyList list;
    HWND owner = nullptr, bar = nullptr;
};

TEST_F(Copy, ProgressFollowsBytesOverTheWholeRunAndRestartsOnTheNextRun)
{
    EXPECT_TRUE(Run(owner) == 1 && g_boxes.empty() && g_positions.empty());  // empty list
    std::string a(1 << 20, 'a'), b(3 << 20, 'b'), outA = Add("a.bin", a), outE = Add("e", ""), outB = Add("b.bin", b);
    for (int run = 1; run <= 2; ++run, g_positions.clear()) {
        ASSERT_EQ(Run(owner), 1);
        // Per report: 1024 * (bytes of finished files + of this one) / (4 MiB + 1), the empty
        // file weighing one byte; then one position per file.
        EXPECT_EQ(g_positions, (std::vector<int>{0, 255, 255, 255, 256, 256, 512, 768, 1024, 1024})) << run;
        char status[64] = {};
        GetDlgItemTextA(owner, kStatus, status, sizeof status);
        EXPECT_STREQ(status, "b.bin をコピーしています...");
        EXPECT_TRUE(Read(outA) == a && Read(outB) == b && fs::exists(outE) && !fs::exists(Temp(outB)));
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(Copy, MissingSourceIsNamedToTheOwnerOnlyAndNothingIsCopied)
{
    std::string outA = Add("a.bin", "aaaa");
    Add("missing.pak", "", false);
    EXPECT_TRUE(Run(owner) == 0 && Run(nullptr) == 0 && !fs::exists(outA));  // nothing copied
    EXPECT_EQ(g_boxes, std::vector<std::string>{Box(owner, "missing.pak", "file open error", kError)});
}

TEST_F(Copy, CopyFailureNamesBothPathsKeepsTheOldFileAndEndsTheRun)
{
    g_script.failAt = 2 << 20;
    std::string small = Add("a.bin", "small"), outB = Add("b.bin", std::string(3 << 20, 'b')), outC = Add("c.bin", "c");
    Write(outB, "old");
    for (HWND who : {owner, HWND(nullptr)}) {  // told without an owner too
        g_boxes.clear();
        EXPECT_EQ(Run(who), 0);
        std::string text = dir + "\\b.bin\r\n↓\r\n" + outB + "\r\nファイルをコピーできません";
        EXPECT_EQ(g_boxes, std::vector<std::string>{Box(who, text, "copy file error", kError)});
        // Finished files stay; c.bin is not attempted.
        EXPECT_TRUE(Read(small) == "small" && Read(outB) == "old" && !fs::exists(Temp(outB)) && !fs::exists(outC));
    }
}

TEST_F(Copy, StopAnsweredAtTheLastReportOfACompletedCopyStillKeepsTheOldFile)
{
    // The routine ignores the cancel flag and finishes; the player's Yes must still win.
    // Without an owner or bar the pump still dispatches every window's messages.
    g_script.postAt = 1;  // shown at report 2, the last one
    std::string outA = Add("a.bin", std::string(2 << 20, 'a'));
    Write(outA, "old");
    list.RequestAbort(nullptr, nullptr);  // made before the run: cleared, never shown
    g_answers = {IDYES};
    EXPECT_EQ(list.CopyAll(nullptr, nullptr, 0, 1024), 0);
    EXPECT_EQ(g_boxes, std::vector<std::string>{Box(nullptr, "中止しますか？", "ファイルコピー", kPrompt)});
    EXPECT_TRUE(g_reports == 3 && Read(outA) == "old" && !fs::exists(Temp(outA)));
}

TEST_F(Copy, SourceOfFiveGigabytesIsMeasuredAndProgressedExactly)
{
    const int64_t kGiB = int64_t(1) << 30;
    Add("five.pak", "");
    std::error_code error;  // sparse on Wine's Unix file systems
    fs::resize_file(dir + "\\five.pak", 5 * kGiB, error);
    if (error)
        GTEST_SKIP() << "no room for a 5 GiB file: " << error.message();
    g_script.chunk = kGiB, g_script.data = false;
    ASSERT_EQ(Run(nullptr), 1);
    EXPECT_EQ(list.GetTotalBytes(), 5 * kGiB);
    EXPECT_EQ(g_positions, (std::vector<int>{0, 204, 409, 614, 819, 1024, 1024}));
}

TEST_F(Copy, RealRoutineReplacesReadOnlyFilesOverLeftoversAndOntoItselfButNotOneHeldOpen)
{
    SetGsCopyFileRoutine(nullptr);
    std::string bytes(500000, 'n'), source = dir + "\\game.pak", destination = Add("game.pak", bytes);
    Write(destination, "old");
    Write(Temp(destination), std::string(900000, 't'));  // of an interrupted run: overwritten, never continued
    for (const std::string& path : {source, destination, Temp(destination)})
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(Run(nullptr), 1);
    EXPECT_TRUE(Read(destination) == bytes && !(GetFileAttributesA(destination.c_str()) & FILE_ATTRIBUTE_READONLY));
    Write(destination, "old");
    {
        // Another program reads the destination: the replace fails, and one that removed the
        // old file first would lose it once that program lets go.
        ScopedFile lock(CreateFileA(destination.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(Run(nullptr), 0);
    }
    EXPECT_TRUE(g_boxes.size() == 1 && g_boxes[0].find("|copy file error|") != std::string::npos);
    list.Clear();
    list.Add(CGsFileName(out.c_str(), "game.pak"), CGsFileName(out.c_str(), "game.pak"));
    EXPECT_EQ(Run(nullptr), 1);
    EXPECT_TRUE(Read(destination) == "old" && !fs::exists(Temp(destination)) && g_boxes.size() == 1);
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Under Wine the seam's own routine reports each MiB of a real file: the bar moves within it.
// A stop request from before the run is shown at the first report (No goes on); one posted
// mid-file with the caller's text is served by the pump at once, and Yes keeps the old file.
TEST_F(Copy, RealRoutineMovesTheBarWithinAFileAndServesStopRequests)
{
    SetGsCopyFileRoutine(nullptr);
    std::string big(64 << 20, 'n'), target = Add("big.pak", big);
    for (bool stop : {true, false}) {
        Write(target, "old");
        g_positions.clear(), g_boxes.clear(), g_answers = {IDNO, IDYES}, g_stopFrom = stop ? 256 : INT_MAX;
        if (stop)
            PostMessageA(bar, WM_APP, 0, 0);
        EXPECT_EQ(Run(owner), stop ? 0 : 1);
        EXPECT_TRUE(std::is_sorted(g_positions.begin(), g_positions.end()));
        auto within = std::count_if(g_positions.begin(), g_positions.end(), [](int p) { return p > 0 && p < 1024; });
        EXPECT_TRUE(stop ? within >= 16 && within <= 20 : within >= 60) << within << " positions within the file";
        EXPECT_TRUE(Read(target) == (stop ? "old" : big) && !fs::exists(Temp(target)));
        const std::vector<std::string> prompts = {Box(owner, "中止しますか？", "ファイルコピー", kPrompt),
                                                  Box(owner, "本当に止めますか", "確認", kPrompt)};
        EXPECT_EQ(g_boxes, stop ? prompts : std::vector<std::string>()) << "the prompts only, no error box";
    }
}

size_t g_answerAt;  // the report (from 1) answered with g_answer
DWORD g_answer;
std::vector<std::pair<DWORD, int64_t>> g_seen;  // reason, bytes done
DWORD CALLBACK Report(LARGE_INTEGER total, LARGE_INTEGER done, LARGE_INTEGER streamSize, LARGE_INTEGER streamDone,
                      DWORD stream, DWORD reason, HANDLE in, HANDLE out, LPVOID data)
{
    EXPECT_TRUE(total.QuadPart == (5 << 20) + 3 && streamSize.QuadPart == total.QuadPart && in && out &&
                streamDone.QuadPart == done.QuadPart && stream == 1 && data == &g_seen);
    g_seen.push_back({reason, done.QuadPart});
    return g_seen.size() == g_answerAt ? g_answer : PROGRESS_CONTINUE;
}

// The seam's own routine against CopyFileExA on one source: a stream-switch report, then one
// per MiB; the answers that stop it; the copy's bytes, attributes and write time.
TEST_F(Copy, OwnRoutineReportsEachMiBStopsWhenAnsweredAndCopiesAsThePlatformDoes)
{
    EXPECT_EQ(GsPlatformCopyRoutine(GetModuleHandleA("ntdll.dll")), &GsChunkedCopyFile);
    // kernel32 exports no wine_get_version: as on Windows, the platform's routine.
    EXPECT_EQ(GsPlatformCopyRoutine(GetModuleHandleA("kernel32.dll")), &CopyFileExA);
    EXPECT_EQ((SetGsCopyFileRoutine(nullptr), SetGsCopyFileRoutine(nullptr)), &GsChunkedCopyFile) << "the seam's choice";
    std::mt19937 rng(9);
    std::string bytes((5 << 20) + 3, '\0'), source = dir + "\\src.pak", own = out + "\\own", platform = out + "\\platform";
    for (char& c : bytes)
        c = char(rng());
    Write(source, bytes);
    FILETIME written = {0x89ABCDEF, 0x01D00000};
    ASSERT_TRUE(SetFileTime(ScopedFile(CreateFileA(source.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                                                   nullptr)).Get(), nullptr, nullptr, &written));
    const struct { size_t at; DWORD answer, attributes; size_t reports; } rows[] = {
        {0, PROGRESS_CONTINUE, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, 7},
        {0, PROGRESS_CONTINUE, FILE_ATTRIBUTE_NORMAL, 7}, {1, PROGRESS_QUIET, FILE_ATTRIBUTE_ARCHIVE, 1},
        {3, PROGRESS_CANCEL, FILE_ATTRIBUTE_ARCHIVE, 3}, {1, PROGRESS_STOP, FILE_ATTRIBUTE_ARCHIVE, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.answer) + " at report " + std::to_string(row.at));
        g_seen.clear(), g_answerAt = row.at, g_answer = row.answer;
        ASSERT_TRUE(SetFileAttributesA(source.c_str(), row.attributes));
        const bool stopped = row.answer == PROGRESS_CANCEL || row.answer == PROGRESS_STOP;
        EXPECT_EQ(GsChunkedCopyFile(source.c_str(), own.c_str(), Report, &g_seen, nullptr, 0), !stopped);
        EXPECT_EQ(stopped ? GetLastError() : 0, stopped ? DWORD(ERROR_REQUEST_ABORTED) : 0);
        ASSERT_EQ(g_seen.size(), row.reports);
        for (size_t i = 0; i < g_seen.size(); ++i)
            EXPECT_TRUE(g_seen[i] == std::make_pair(DWORD(i ? CALLBACK_CHUNK_FINISHED : CALLBACK_STREAM_SWITCH),
                                                    std::min(int64_t(i) << 20, int64_t(bytes.size())))) << i;
        if (stopped) {
            EXPECT_FALSE(fs::exists(own)) << "partial output left";
            continue;
        }
        ASSERT_TRUE(CopyFileExA(source.c_str(), platform.c_str(), nullptr, nullptr, nullptr, 0));
        WIN32_FILE_ATTRIBUTE_DATA a, b;
        ASSERT_TRUE(GetFileAttributesExA(own.c_str(), GetFileExInfoStandard, &a) &&
                    GetFileAttributesExA(platform.c_str(), GetFileExInfoStandard, &b));
        EXPECT_EQ(a.dwFileAttributes, b.dwFileAttributes);
        EXPECT_EQ(CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime), 0);
        // An existing file is kept when the caller says so.
        EXPECT_FALSE(GsChunkedCopyFile(source.c_str(), own.c_str(), nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS));
        EXPECT_TRUE(Read(own) == bytes);
        for (const std::string& copy : {own, platform})
            SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL), DeleteFileA(copy.c_str());
    }
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(GsFileName, JoinsWithOneSeparatorAndSplitsTheJoinedPath)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932 (run with LC_ALL=ja_JP.UTF-8)";
    const std::string d255 = "C:" + std::string(254, 'd') + "\\", d256 = "C:" + std::string(255, 'd');
    // 表 (\x95\x5C) ends in the byte 0x5C, the backslash: a folder ending in it still gets its
    // separator. The directory part may hold 255 bytes; one more empties name and folder.
    const std::string cases[][4] = {
        {"C:\\Game", "Scr01.pak", "C:\\Game\\Scr01.pak", "C:\\Game\\|Scr01.pak"},
        {"C:\\Game\\", "sub\\a.b.pak", "C:\\Game\\sub\\a.b.pak", "C:\\Game\\sub\\|a.b.pak"},
        {"C:\\\x95\x5C", "a\x95\x5C", "C:\\\x95\x5C\\a\x95\x5C", "C:\\\x95\x5C\\|a\x95\x5C"},
        {d255, "a.txt", d255 + "a.txt", d255 + "|a.txt"},
        {d256, "a.txt", d256 + "\\a.txt", "|"},
    };
    for (const auto& c : cases) {
        CGsFileName p(c[0].c_str(), c[1].c_str());
        EXPECT_EQ(p.GetPath() + ("|" + std::string(p.GetFolder())) + "|" + p.GetName(), c[2] + "|" + c[3]);
    }
}

}  // namespace
