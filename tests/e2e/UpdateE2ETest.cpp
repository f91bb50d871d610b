// The real update.exe under Wine, driven from outside through its windows, one scenario per
// row. tests/e2e/run-e2e.sh prepares a fresh prefix and passes the program's path.
#include "Driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

const char kTitle[] = "Quillamet　アップデート１";
const char kNotInstalled[] = "Quillamet が\r\nインストールされていません";
const char kApplied[] = "Quillamet アップデート１は\r\nインストールされています";
const char kCopyError[] = "{disc}\\ZUNA\\Graphic01.pak\r\n↓\r\n{game}\\Graphic01.pak\r\nファイルをコピーできません";
const char kConfirmText[] = "Quillamet アップデート１ を\r\nインストールします。\r\n"
                            "インストールを開始すると中断することはできません。\r\nＯＫを押すとインストールを開始します。";
const char* const kArchives[] = {"Scr01.pak", "Graphic01.pak", "Voice01.pak"};
const char kRecord[] = "Software\\KIRO\\ZUNA";
const DWORD kWait = 20000;
const int kNoRecord = -2, kNoExt = -1;

std::string Env(const char* name) { return std::getenv(name) != nullptr ? std::getenv(name) : ""; }

// Old and new differ in size and content, so a half-done copy cannot pass for either.
std::string Archive(const std::string& name, bool newVersion)
{
    std::mt19937 rng(static_cast<unsigned>(std::hash<std::string>()(name)) + newVersion);
    std::string data(newVersion ? 300000 + name.size() * 1000 : 200000, '\0');
    for (char& c : data)
        c = static_cast<char>(rng());
    return data;
}

// Narrow API and msvcrt streams: folder names in code page 932 work as the program sees them.
std::string Read(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}
void Write(const std::string& path, const std::string& data)
{
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == '\\' && !IsDBCSLeadByte(static_cast<BYTE>(path[i - 1])))
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
    ASSERT_TRUE(std::ofstream(path, std::ios::binary).write(data.data(), data.size())) << path;
}
int CountFiles(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    ScopedFind find(FindFirstFileA((dir + "\\*").c_str(), &fd));
    int files = 0;
    for (bool more = find.IsValid(); more; more = FindNextFileA(find.Get(), &fd) != FALSE)
        files += (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    return files;
}

int KeyEntries(const char* path)  // values plus subkeys, -1 when the key does not exist
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD values = 0, subkeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(values + subkeys);
}
long long StoredExt()  // -1 when missing or not a REG_DWORD
{
    DWORD value = 0, size = sizeof(value);
    return RegGetValueA(HKEY_CURRENT_USER, kRecord, "Ext", RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS
               ? static_cast<long long>(value) : -1;
}
void SetString(const char* key, const char* name, const std::string& value)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
}

class UpdateE2E;
// A window the program must show next: a dialog with that caption, a check of its text (a
// message box's, or control 1005's for the confirmation), then an optional action and a press.
struct Step {
    const char* caption;
    const char* text;
    int press;
    void (*before)(UpdateE2E&) = nullptr;
};
struct Scenario {
    const char* name;
    int ext;           // kNoRecord, kNoExt or the stored "Ext"
    const char* path;  // the recorded "Path"; null: the game folder
    void (*arrange)(UpdateE2E&);  // files and folders, before the record is written
    std::vector<Step> steps;
    bool scr, graphic, voice;  // which archives end up new
    long long extAfter;        // -1: the record is gone and the maker key left empty
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class UpdateE2E : public testing::TestWithParam<Scenario> {
public:
    void SetUp() override
    {
        exe_ = Env("GS_UPDATE_EXE");
        ASSERT_FALSE(exe_.empty()) << "run through tests/e2e/run-e2e.sh";
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\update.exe");
        root_ = "C:\\gs-e2e\\" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name());
        for (char& c : root_)
            c = c == '/' ? '-' : c;
        fs::remove_all(root_);
        Layout(root_ + "\\disc", root_ + "\\game");
    }
    void TearDown() override { app_.Kill(); }

    // Program folder with update.exe and ZUNA\*.pak (new); game folder with *.pak (old).
    void Layout(const std::string& disc, const std::string& game)
    {
        disc_ = disc, game_ = game;
        for (const char* name : kArchives) {
            Write(disc_ + "\\ZUNA\\" + name, Archive(name, true));
            Write(game_ + "\\" + name, Archive(name, false));
        }
        ASSERT_TRUE(CopyFileA(exe_.c_str(), (disc_ + "\\update.exe").c_str(), FALSE)) << disc_;
    }
    void Record(int ext, const char* path)
    {
        if (ext == kNoRecord)
            return;
        SetString(kRecord, "Path", path != nullptr ? path : game_);
        SetString(kRecord, "SavePath", "C:\\save");
        DWORD res = 3;
        RegSetKeyValueA(HKEY_CURRENT_USER, kRecord, "Res", REG_DWORD, &res, 4);
        if (ext >= 0)
            RegSetKeyValueA(HKEY_CURRENT_USER, kRecord, "Ext", REG_DWORD, &ext, 4);
    }
    std::string Expand(std::string s) const
    {
        for (auto [key, value] : {std::pair{"{disc}", disc_}, std::pair{"{game}", game_}}) {
            for (size_t at; (at = s.find(key)) != std::string::npos;)
                s.replace(at, std::string(key).size(), value);
        }
        return s;
    }
    HWND Wait(const char* caption) { return WaitWindow(app_.Id(), "#32770", caption, kWait); }
    HWND Confirmation() { return Wait(kTitle); }
    void StartApp() { ASSERT_TRUE(app_.Start(disc_ + "\\update.exe", disc_)) << disc_; }

    // Every step's window in turn. A box never shows beside a usable confirmation: before the
    // confirmation it is not shown at all, during the update it is disabled (no second OK).
    void Play(const std::vector<Step>& steps)
    {
        bool confirmed = false;
        for (const Step& step : steps) {
            SCOPED_TRACE(step.caption);
            const bool isTitle = std::string(step.caption) == kTitle;
            HWND w = Wait(step.caption);
            ASSERT_NE(w, nullptr);
            for (DWORD t = 0; isTitle && !IsWindowEnabled(w) && t < kWait; t += 10)
                Sleep(10);  // back at the confirmation once the progress dialog has ended
            if (isTitle) {
                EXPECT_TRUE(IsWindowEnabled(w)) << "the player can go on";
                EXPECT_TRUE(FindWindows(app_.Id(), "#32770", "Setup Info").empty());
                EXPECT_EQ(ControlText(w, 1005), kConfirmText);
                confirmed = true;
            } else {
                EXPECT_EQ(MessageBoxText(w), Expand(step.text));
                for (HWND c : FindWindows(app_.Id(), "#32770", kTitle))
                    EXPECT_TRUE(confirmed ? !IsWindowEnabled(c) : !IsVisible(c));
                EXPECT_TRUE(std::string(step.caption) != "Update" || (StoredExt() & 2) == 2) << "recorded before the box";
            }
            if (step.before != nullptr)
                step.before(*this);
            Press(w, step.press);
        }
        EXPECT_EQ(app_.WaitExit(kWait), 0u);
    }

    std::string exe_, root_, disc_, game_;
    Process app_;
    ScopedFile lock_;
};

const Step kConfirmOk{kTitle, "", 1002}, kConfirmCancel{kTitle, "", 1001};
const Step kDone{"Update", "アップデート完了しました", IDOK};
void Unlock(UpdateE2E& t) { t.lock_.Reset(); }
const std::string kLongPath = "C:\\" + std::string(300, 'p');

const Scenario kScenarios[] = {
    {"NoRecord", kNoRecord, nullptr, nullptr, {{"Info", kNotInstalled, IDOK}}, false, false, false, -1},
    {"EmptyPathIsAStaleRecord", 0, "", nullptr, {{"Info", kNotInstalled, IDOK}}, false, false, false, -1},
    {"AppliedExt2", 2, nullptr, nullptr, {{"Info", kApplied, IDOK}}, false, false, false, 2},
    {"AppliedExt3", 3, nullptr, nullptr, {{"Info", kApplied, IDOK}}, false, false, false, 3},
    {"Happy", 1, nullptr, nullptr, {kConfirmOk, kDone}, true, true, true, 3},
    {"HappyWithoutExtFromADriveRoot", kNoExt, nullptr,
     [](UpdateE2E& t) {
         if (!Env("GS_E2E_DRIVE_D").empty())
             t.Layout("D:", t.game_);
     },
     {kConfirmOk, kDone}, true, true, true, 2},
    // 表 is 0x95 0x5C: neither folder may lose its last byte or go without its separator.
    {"FoldersEndingInTrailByte5C", 1, nullptr, [](UpdateE2E& t) { t.Layout(t.root_ + "\\ディスク表", t.root_ + "\\ゲーム\\予約表"); },
     {kConfirmOk, kDone}, true, true, true, 3},
    {"MissingSourceFoundBeforeCopying", 1, nullptr, [](UpdateE2E& t) { DeleteFileA((t.disc_ + "\\ZUNA\\Voice01.pak").c_str()); },
     {kConfirmOk, {"file open error", "Voice01.pak", IDOK}, kConfirmCancel}, false, false, false, 1},
    {"LockedArchiveFailsThatFileAndRetrySucceeds", 1, nullptr,
     [](UpdateE2E& t) {
         t.lock_.Reset(CreateFileA((t.game_ + "\\Graphic01.pak").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
     },
     {kConfirmOk, {"copy file error", kCopyError, IDOK}, {kTitle, "", 1002, Unlock}, kDone}, true, true, true, 3},
    // Room for the first archive's temporary copy but not, once it has replaced the old one,
    // for the second's: the second stays whole; once there is room a second OK completes.
    {"DiskFullHalfWay", 1, nullptr,
     [](UpdateE2E& t) {
         const std::string drive = Env("GS_E2E_SMALL_DRIVE");
         if (drive.empty())
             GTEST_SKIP() << "the harness could not mount a small drive (it needs root)";
         t.Layout(t.disc_, drive + "\\game");
         ULARGE_INTEGER free;
         ASSERT_TRUE(GetDiskFreeSpaceExA((drive + "\\").c_str(), &free, nullptr, nullptr));
         Write(drive + "\\filler", std::string(free.QuadPart - Archive(kArchives[0], true).size() - 48 * 1024, 'f'));
     },
     {kConfirmOk, {"copy file error", kCopyError, IDOK},
      {kTitle, "", 1002, [](UpdateE2E&) { DeleteFileA((Env("GS_E2E_SMALL_DRIVE") + "\\filler").c_str()); }}, kDone},
     true, true, true, 3},
    {"OldDirectXWarnedOnceFirst", 1, nullptr,
     [](UpdateE2E& t) {
         ASSERT_TRUE(CopyFileA(Env("GS_FAKE_DDRAW").c_str(), (t.disc_ + "\\ddraw.dll").c_str(), FALSE));
         // Wine takes per-program DLL overrides from its registry; the DLL beside the program wins.
         SetString("Software\\Wine\\AppDefaults\\update.exe\\DllOverrides", "ddraw", "native");
     },
     {{"Setup Info", "Quillametを動作させるにはDirectX7以上が必要です。", IDOK}, kConfirmCancel}, false, false, false, 1},
    {"OverLongPathRefusedRecordKept", 1, kLongPath.c_str(), nullptr,
     {{"Info", "Quillamet のインストール先のパスが長すぎるため\r\nアップデートできません", IDOK}}, false, false, false, 1},
};

}  // namespace

TEST_P(UpdateE2E, Run)
{
    const Scenario& s = GetParam();
    if (s.arrange != nullptr)
        s.arrange(*this);
    if (IsSkipped() || HasFatalFailure())
        return;
    Record(s.ext, s.path);
    StartApp();
    Play(s.steps);
    const bool want[] = {s.scr, s.graphic, s.voice};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Read(game_ + "\\" + kArchives[i]) == Archive(kArchives[i], want[i])) << kArchives[i] << " " << want[i];
    EXPECT_EQ(CountFiles(game_), 3) << "nothing left beside the archives";
    EXPECT_EQ(StoredExt(), s.extAfter);
    if (s.extAfter < 0) {
        EXPECT_TRUE(KeyEntries(kRecord) == -1 && KeyEntries("Software\\KIRO") == 0) << "the maker key stays, empty";
    } else {
        EXPECT_GE(KeyEntries(kRecord), 3) << "the record is kept";
    }
}

INSTANTIATE_TEST_SUITE_P(, UpdateE2E, testing::ValuesIn(kScenarios), [](const auto& info) { return info.param.name; });

// A second instance and the running game leave silently; Escape is ignored; the close box is Cancel.
TEST_F(UpdateE2E, StartUpRefusalsEscapeAndCloseBox)
{
    Record(1, nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PebbleCradle_MainProgram19_ClassName";
    RegisterClassA(&wc);
    HWND game = CreateWindowA(wc.lpszClassName, "Quillamet", WS_OVERLAPPED, 0, 0, 9, 9, nullptr, nullptr, wc.hInstance, nullptr);
    StartApp();
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
    EXPECT_TRUE(FindWindows(app_.Id(), nullptr, nullptr).empty());
    SetWindowTextA(game, "Quillamet 2");  // another title does not block
    StartApp();
    HWND confirmation = Confirmation();
    ASSERT_NE(confirmation, nullptr);
    Process second;
    ASSERT_TRUE(second.Start(disc_ + "\\update.exe", disc_));
    EXPECT_EQ(second.WaitExit(kWait), 0u);
    EXPECT_TRUE(FindWindows(second.Id(), nullptr, nullptr).empty());
    PostKey(confirmation, VK_ESCAPE);
    Press(confirmation, IDCANCEL);  // what Escape turns into
    Sleep(300);
    EXPECT_TRUE(IsVisible(confirmation)) << "Escape must not close the confirmation";
    SysClose(confirmation);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
    EXPECT_EQ(Read(game_ + "\\Scr01.pak"), Archive("Scr01.pak", false));
    EXPECT_EQ(StoredExt(), 1);
    DestroyWindow(game);
}
