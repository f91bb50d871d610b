// The real update.exe under Wine, driven from outside through its windows.
// tests/e2e/run-e2e.sh prepares a fresh prefix and passes the program's path.
#include "e2e/Driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

const char kDialogClass[] = "#32770";
const char kTitle[] = "Quillamet　アップデート１";
const char kNotInstalled[] = "Quillamet が\r\nインストールされていません";
const char kAlreadyApplied[] = "Quillamet アップデート１は\r\nインストールされています";
const char* const kArchives[] = {"Scr01.pak", "Graphic01.pak", "Voice01.pak"};
const char kRecord[] = "Software\\KIRO\\ZUNA";
const DWORD kWait = 20000;

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

// Different sizes and contents for old and new, so a half-done copy cannot pass for either.
std::string Archive(const std::string& name, bool newVersion)
{
    std::mt19937 rng(static_cast<unsigned>(std::hash<std::string>()(name)) + (newVersion ? 1u : 0u));
    std::string data(newVersion ? 300000 + name.size() * 1000 : 200000, '\0');
    for (char& c : data)
        c = static_cast<char>(rng());
    return data;
}

// File helpers on the narrow API, so that code-page-932 folder names work as the program sees them.
std::string ReadFile(const std::string& path)
{
    ScopedFile f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f)
        return "<missing>";
    std::string data(GetFileSize(f.Get(), nullptr), '\0');
    DWORD read = 0;
    ::ReadFile(f.Get(), &data[0], static_cast<DWORD>(data.size()), &read, nullptr);
    return data.substr(0, read);
}

void WriteFile(const std::string& path, const std::string& data)
{
    ScopedFile f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(f && ::WriteFile(f.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr)) << path;
}

void MakeFolders(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\')
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
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

// Values plus subkeys of a key, -1 when it does not exist.
int KeyEntries(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD values = 0, subkeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(values + subkeys);
}

// "Ext" as stored: -1 when missing or not a REG_DWORD.
long long StoredExt()
{
    DWORD value = 0, size = sizeof(value);
    LONG rc = RegGetValueA(HKEY_CURRENT_USER, kRecord, "Ext", RRF_RT_REG_DWORD, nullptr, &value, &size);
    return rc == ERROR_SUCCESS ? static_cast<long long>(value) : -1;
}

void SetString(const char* key, const char* name, const std::string& value)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
}

class UpdateE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe_ = Env("GS_UPDATE_EXE");
        ASSERT_FALSE(exe_.empty()) << "run through tests/e2e/run-e2e.sh";
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\update.exe");
        root_ = "C:\\gs-e2e\\" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        SetLayout(root_ + "\\disc", root_ + "\\game");
    }

    void TearDown() override { app_.Kill(), second_.Kill(); }

    // Program folder with update.exe and ZUNA\*.pak (new); game folder with *.pak (old).
    void SetLayout(const std::string& disc, const std::string& game)
    {
        disc_ = disc;
        game_ = game;
        MakeFolders(disc_ + "\\ZUNA");
        MakeFolders(game_);
        ASSERT_TRUE(CopyFileA(exe_.c_str(), (disc_ + "\\update.exe").c_str(), FALSE)) << disc_;
        for (const char* name : kArchives) {
            WriteFile(disc_ + "\\ZUNA\\" + name, Archive(name, true));
            WriteFile(game_ + "\\" + name, Archive(name, false));
        }
    }

    // An install record for the game folder; ext < 0 leaves "Ext" out.
    void Record(int ext)
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, kRecord);
        SetString(kRecord, "Path", game_);
        SetString(kRecord, "SavePath", "C:\\save");
        DWORD res = 3;
        RegSetKeyValueA(HKEY_CURRENT_USER, kRecord, "Res", REG_DWORD, &res, 4);
        if (ext >= 0)
            RegSetKeyValueA(HKEY_CURRENT_USER, kRecord, "Ext", REG_DWORD, &ext, 4);
    }

    void StartApp() { ASSERT_TRUE(app_.Start(disc_ + "\\update.exe", disc_)) << disc_; }
    HWND WaitBox(const char* caption) { return WaitWindow(app_.Id(), kDialogClass, caption, kWait); }
    HWND StartToConfirmation() { return StartApp(), WaitBox(kTitle); }
    void Cancel(HWND confirmation)
    {
        Press(confirmation, 1001);
        EXPECT_EQ(app_.WaitExit(kWait), 0u);
    }

    // Starts the program and expects only a box with that caption and text; OK ends it.
    void ExpectOnlyBox(const char* caption, const std::string& text)
    {
        StartApp();
        HWND box = WaitBox(caption);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), text);
        auto main = FindWindows(app_.Id(), kDialogClass, kTitle);
        EXPECT_TRUE(main.empty() || !IsVisible(main[0])) << "the confirmation must not be shown";
        Press(box, IDOK);
        EXPECT_EQ(app_.WaitExit(kWait), 0u);
    }

    // Which archives are new; the others must be unchanged, and nothing else may lie beside them.
    void ExpectGame(bool scr, bool graphic, bool voice)
    {
        const bool want[] = {scr, graphic, voice};
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(ReadFile(game_ + "\\" + kArchives[i]) == Archive(kArchives[i], want[i]))
                << kArchives[i] << (want[i] ? " should be the new archive" : " should be unchanged");
        EXPECT_EQ(CountFiles(game_), 3);
    }

    // OK in the confirmation, then the completion box; returns once the program has ended.
    void ApplyAndFinish(HWND confirmation)
    {
        Press(confirmation, 1002);
        HWND done = WaitBox("Update");
        ASSERT_NE(done, nullptr) << "no completion box";
        EXPECT_FALSE(IsWindowEnabled(confirmation));
        EXPECT_EQ(MessageBoxText(done), "アップデート完了しました");
        EXPECT_EQ(StoredExt() & 2, 2) << "recorded before the box is shown";
        Press(done, IDOK);
        EXPECT_EQ(app_.WaitExit(kWait), 0u);
    }

    std::string exe_, root_, disc_, game_;
    Process app_, second_;
};

}  // namespace

TEST_F(UpdateE2E, NotInstalledTellsThePlayerAndRemovesTheStaleKey)
{
    for (bool staleRecord : {true, false}) {
        SCOPED_TRACE(staleRecord ? "empty Path" : "no record");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
        if (staleRecord) {
            Record(0);
            SetString(kRecord, "Path", "");
        }
        ExpectOnlyBox("Info", kNotInstalled);
        EXPECT_EQ(KeyEntries(kRecord), -1);
        EXPECT_EQ(KeyEntries("Software\\KIRO"), 0) << "the maker key stays, empty";
        ExpectGame(false, false, false);
    }
}

TEST_F(UpdateE2E, AlreadyAppliedCopiesNothing)
{
    for (int ext : {2, 3}) {
        SCOPED_TRACE(ext);
        Record(ext);
        ExpectOnlyBox("Info", kAlreadyApplied);
        ExpectGame(false, false, false);
        EXPECT_EQ(StoredExt(), ext);
    }
}

TEST_F(UpdateE2E, HappyPathReplacesTheArchivesAndRecordsTheUpdate)
{
    // A missing "Ext" counts as 0; the second run also has the program at a drive root.
    for (int ext : {1, -1}) {
        SCOPED_TRACE(ext);
        SetLayout(ext < 0 && !Env("GS_E2E_DRIVE_D").empty() ? "D:" : disc_, game_);
        Record(ext);
        HWND confirmation = StartToConfirmation();
        ASSERT_NE(confirmation, nullptr);
        EXPECT_TRUE(FindWindows(app_.Id(), kDialogClass, "Setup Info").empty()) << "Wine offers DirectX 7";
        EXPECT_EQ(ControlText(confirmation, 1005),
                  "Quillamet アップデート１ を\r\nインストールします。\r\n"
                  "インストールを開始すると中断することはできません。\r\nＯＫを押すとインストールを開始します。");
        ApplyAndFinish(confirmation);
        ExpectGame(true, true, true);
        EXPECT_EQ(StoredExt(), std::max(ext, 0) | 2);
        ExpectOnlyBox("Info", kAlreadyApplied);
    }
}

// A missing source is found before anything is copied; a locked archive fails that file only.
// Either way the confirmation stays open for another try.
TEST_F(UpdateE2E, FailedCopyIsReportedAndTheConfirmationStays)
{
    const std::string locked = game_ + "\\Graphic01.pak";
    for (bool missing : {true, false}) {
        SCOPED_TRACE(missing ? "missing Voice01.pak" : "locked Graphic01.pak");
        SetLayout(disc_, game_);
        Record(1);
        if (missing)
            DeleteFileA((disc_ + "\\ZUNA\\Voice01.pak").c_str());
        ScopedFile lock(missing ? nullptr : CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(missing || lock.IsValid());
        HWND confirmation = StartToConfirmation();
        ASSERT_NE(confirmation, nullptr);
        Press(confirmation, 1002);
        HWND box = WaitBox(missing ? "file open error" : "copy file error");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), missing ? "Voice01.pak"
                                               : disc_ + "\\ZUNA\\Graphic01.pak\r\n↓\r\n" + locked + "\r\nファイルをコピーできません");
        EXPECT_FALSE(IsWindowEnabled(confirmation)) << "no second OK while an update runs";
        Press(box, IDOK);
        ASSERT_TRUE(WaitWindowGone(app_.Id(), kDialogClass, "インストールしています", kWait));
        EXPECT_TRUE(IsVisible(confirmation) && IsWindowEnabled(confirmation)) << "the player can try again";
        EXPECT_EQ(StoredExt(), 1);
        lock.Reset();
        ExpectGame(!missing, false, false);
        if (missing) {
            Cancel(confirmation);
        } else {
            ApplyAndFinish(confirmation);
            ExpectGame(true, true, true);
            EXPECT_EQ(StoredExt(), 3);
        }
    }
}

// A disk that fills up half-way: the archive being copied stays whole, no temporary file is
// left, and once the player has made room a second OK completes.
TEST_F(UpdateE2E, FullDiskKeepsTheOldArchiveWhole)
{
    const std::string drive = Env("GS_E2E_SMALL_DRIVE");
    if (drive.empty())
        GTEST_SKIP() << "the harness could not mount a small drive (it needs root)";
    SetLayout(disc_, drive + "\\game");
    Record(1);
    // Room for the first new archive's temporary copy, but not, once it has replaced the old
    // one, for the second's.
    ULARGE_INTEGER freeBytes;
    ASSERT_TRUE(GetDiskFreeSpaceExA((drive + "\\").c_str(), &freeBytes, nullptr, nullptr));
    const ULONGLONG keep = Archive(kArchives[0], true).size() + 48 * 1024;
    ASSERT_GT(freeBytes.QuadPart, keep);
    WriteFile(drive + "\\filler", std::string(static_cast<size_t>(freeBytes.QuadPart - keep), 'f'));

    HWND confirmation = StartToConfirmation();
    ASSERT_NE(confirmation, nullptr);
    Press(confirmation, 1002);
    HWND box = WaitBox("copy file error");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), disc_ + "\\ZUNA\\Graphic01.pak\r\n↓\r\n" + game_ +
                                       "\\Graphic01.pak\r\nファイルをコピーできません");
    Press(box, IDOK);
    ASSERT_TRUE(WaitWindowGone(app_.Id(), kDialogClass, "インストールしています", kWait));
    ExpectGame(true, false, false);
    EXPECT_EQ(StoredExt(), 1);

    DeleteFileA((drive + "\\filler").c_str());
    ApplyAndFinish(confirmation);
    ExpectGame(true, true, true);
    EXPECT_EQ(StoredExt(), 3);
}

TEST_F(UpdateE2E, SecondInstanceLeavesSilentlyEscapeIsIgnoredCloseBoxEndsLikeCancel)
{
    Record(1);
    HWND confirmation = StartToConfirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(second_.Start(disc_ + "\\update.exe", disc_));
    EXPECT_EQ(second_.WaitExit(kWait), 0u);
    EXPECT_TRUE(FindWindows(second_.Id(), nullptr, nullptr).empty());
    EXPECT_EQ(FindWindows(app_.Id(), kDialogClass, kTitle).size(), 1u);

    PostKey(confirmation, VK_ESCAPE);
    Press(confirmation, IDCANCEL);  // what Escape turns into
    Sleep(300);
    EXPECT_TRUE(IsVisible(confirmation)) << "Escape must not close the confirmation";
    SysClose(confirmation);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
    ExpectGame(false, false, false);
    EXPECT_EQ(StoredExt(), 1);
}

TEST_F(UpdateE2E, RunningGameWindowBlocksOnlyWithItsExactTitle)
{
    Record(1);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PebbleCradle_MainProgram19_ClassName";
    RegisterClassA(&wc);
    HWND game = CreateWindowA(wc.lpszClassName, "Quillamet", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
    ASSERT_NE(game, nullptr);
    StartApp();
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
    EXPECT_TRUE(FindWindows(app_.Id(), nullptr, nullptr).empty());

    SetWindowTextA(game, "Quillamet 2");
    HWND confirmation = StartToConfirmation();
    ASSERT_NE(confirmation, nullptr) << "another title must not block";
    Cancel(confirmation);
    DestroyWindow(game);
}

TEST_F(UpdateE2E, OldDirectXIsWarnedAboutOnceBeforeTheConfirmation)
{
    const std::string fake = Env("GS_FAKE_DDRAW");
    ASSERT_TRUE(CopyFileA(fake.c_str(), (disc_ + "\\ddraw.dll").c_str(), FALSE)) << fake;
    Record(1);
    // Wine takes per-program DLL overrides from its registry; the DLL beside the program wins.
    SetString("Software\\Wine\\AppDefaults\\update.exe\\DllOverrides", "ddraw", "native");
    StartApp();
    HWND warning = WaitBox("Setup Info");
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(MessageBoxText(warning), "Quillametを動作させるにはDirectX7以上が必要です。");
    EXPECT_TRUE(FindWindows(app_.Id(), kDialogClass, kTitle).empty()) << "the warning comes first";
    Press(warning, IDOK);
    HWND confirmation = WaitBox(kTitle);
    ASSERT_NE(confirmation, nullptr);
    EXPECT_TRUE(FindWindows(app_.Id(), kDialogClass, "Setup Info").empty()) << "shown once";
    Cancel(confirmation);
}

TEST_F(UpdateE2E, OverLongInstallPathIsRefusedAndTheRecordKept)
{
    Record(1);
    SetString(kRecord, "Path", "C:\\" + std::string(300, 'p'));
    ExpectOnlyBox("Info", "Quillamet のインストール先のパスが長すぎるため\r\nアップデートできません");
    EXPECT_EQ(KeyEntries(kRecord), 4) << "the record is kept whole";
    EXPECT_EQ(StoredExt(), 1);
    ExpectGame(false, false, false);
}

TEST_F(UpdateE2E, FoldersEndingInADoubleByteCharacterWithTrailByte0x5CWork)
{
    // 表 is 0x95 0x5C: neither folder may lose its last byte or go without its separator.
    SetLayout(root_ + "\\ディスク表", root_ + "\\ゲーム\\予約表");
    Record(1);
    HWND confirmation = StartToConfirmation();
    ASSERT_NE(confirmation, nullptr);
    ApplyAndFinish(confirmation);
    ExpectGame(true, true, true);
    EXPECT_EQ(StoredExt(), 3);
}
