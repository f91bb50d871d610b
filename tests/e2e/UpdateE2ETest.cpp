// The real update.exe under Wine, driven from outside through its windows.
// tests/e2e/run-e2e.sh prepares a fresh prefix and passes the program's path.
#include "e2e/Driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

using namespace e2e;

namespace {

const char kDialogClass[] = "#32770";
const char kTitle[] = "Quillamet　アップデート１";
const char kProgressTitle[] = "インストールしています";
const char kNotInstalled[] = "Quillamet が\r\nインストールされていません";
const char kAlreadyApplied[] = "Quillamet アップデート１は\r\nインストールされています";
const char kConfirmation[] =
    "Quillamet アップデート１ を\r\nインストールします。\r\n"
    "インストールを開始すると中断することはできません。\r\n"
    "ＯＫを押すとインストールを開始します。";
const char kCompleted[] = "アップデート完了しました";
const char* const kArchives[] = {"Scr01.pak", "Graphic01.pak", "Voice01.pak"};
const DWORD kWait = 20000;

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

std::string Archive(const std::string& name, bool newVersion)
{
    // Different sizes and contents for old and new, so a half-done copy cannot pass for either.
    std::mt19937 rng(static_cast<unsigned>(std::hash<std::string>()(name)) + (newVersion ? 1u : 0u));
    std::string data(newVersion ? 300000 + name.size() * 1000 : 200000, '\0');
    for (char& c : data)
        c = static_cast<char>(rng());
    return data;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

void DeleteTree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string n = fd.cFileName;
            if (n == "." || n == "..")
                continue;
            std::string p = dir + "\\" + n;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(p);
            else {
                SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(p.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

bool KeyExists(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

int KeyValueCount(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD values = 0, subkeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(values + subkeys);
}

// "Ext" as stored: -1 when missing or not a REG_DWORD.
long long StoredExt()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD type = 0, value = 0, size = sizeof(value);
    LONG rc = RegQueryValueExA(key, "Ext", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return (rc == ERROR_SUCCESS && type == REG_DWORD) ? static_cast<long long>(value) : -1;
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
        DeleteTree(root_);
        CreateDirectoryA("C:\\gs-e2e", nullptr);
        CreateDirectoryA(root_.c_str(), nullptr);
        SetLayout(root_ + "\\disc", root_ + "\\game");
    }

    void TearDown() override
    {
        for (Process* p : {&app_, &second_})
            p->Kill();
    }

    // Program folder with update.exe and ZUNA\*.pak (new); game folder with *.pak (old).
    void SetLayout(const std::string& disc, const std::string& game)
    {
        disc_ = disc;
        game_ = game;
        CreateDirectoryA(disc_.c_str(), nullptr);
        CreateDirectoryA((disc_ + "\\ZUNA").c_str(), nullptr);
        CreateDirectoryA(game_.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(exe_.c_str(), (disc_ + "\\update.exe").c_str(), FALSE)) << disc_;
        for (const char* name : kArchives) {
            WriteFile(disc_ + "\\ZUNA\\" + name, Archive(name, true));
            WriteFile(game_ + "\\" + name, Archive(name, false));
        }
    }

    void Record(DWORD ext, bool withExt = true)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(game_.c_str()),
                       static_cast<DWORD>(game_.size()));
        RegSetValueExA(key, "SavePath", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\save"), 7);
        DWORD res = 3;
        RegSetValueExA(key, "Res", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&res), 4);
        if (withExt)
            RegSetValueExA(key, "Ext", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ext), 4);
        RegCloseKey(key);
    }

    void StartApp() { ASSERT_TRUE(app_.Start(disc_ + "\\update.exe", disc_)) << disc_; }

    HWND WaitBox(const char* caption) { return WaitWindow(app_.Id(), kDialogClass, caption, kWait); }

    HWND WaitConfirmation() { return WaitWindow(app_.Id(), kDialogClass, kTitle, kWait); }

    void ExpectGame(bool scr, bool graphic, bool voice)
    {
        const bool want[] = {scr, graphic, voice};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(ReadFile(game_ + "\\" + kArchives[i]) == Archive(kArchives[i], true), want[i])
                << kArchives[i] << (want[i] ? " should be the new archive" : " should be unchanged");
            if (!want[i]) {
                EXPECT_EQ(ReadFile(game_ + "\\" + kArchives[i]), Archive(kArchives[i], false)) << kArchives[i];
            }
        }
        // No temporary or stray file is left beside the archives.
        int files = 0;
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((game_ + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    ++files;
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        EXPECT_EQ(files, 3);
    }

    // OK in the confirmation, then the completion box; returns once the program has ended.
    void ApplyAndFinish(HWND confirmation)
    {
        Press(confirmation, 1002);
        HWND done = WaitBox("Update");
        ASSERT_NE(done, nullptr) << "no completion box";
        EXPECT_FALSE(IsWindowEnabled(confirmation));
        EXPECT_EQ(MessageBoxText(done), kCompleted);
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
    Record(0);
    HKEY key;
    RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", 0, KEY_ALL_ACCESS, &key);
    RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 0);  // empty: not installed
    RegCloseKey(key);

    StartApp();
    HWND box = WaitBox("Info");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), kNotInstalled);
    EXPECT_TRUE(FindWindows(app_.Id(), kDialogClass, kTitle).empty() ||
                !IsVisible(FindWindows(app_.Id(), kDialogClass, kTitle)[0]))
        << "the confirmation must not be shown";
    Press(box, IDOK);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
    EXPECT_FALSE(KeyExists("Software\\KIRO\\ZUNA"));
    EXPECT_TRUE(KeyExists("Software\\KIRO"));
    EXPECT_EQ(KeyValueCount("Software\\KIRO"), 0);
    ExpectGame(false, false, false);
}

TEST_F(UpdateE2E, NoRecordAtAllLeavesAnEmptyMakerKey)
{
    StartApp();
    HWND box = WaitBox("Info");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), kNotInstalled);
    Press(box, IDOK);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
    EXPECT_TRUE(KeyExists("Software\\KIRO"));
    EXPECT_FALSE(KeyExists("Software\\KIRO\\ZUNA"));
}

TEST_F(UpdateE2E, AlreadyAppliedCopiesNothing)
{
    for (DWORD ext : {2u, 3u}) {
        SCOPED_TRACE(ext);
        Record(ext);
        StartApp();
        HWND box = WaitBox("Info");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), kAlreadyApplied);
        Press(box, IDOK);
        EXPECT_EQ(app_.WaitExit(kWait), 0u);
        ExpectGame(false, false, false);
        EXPECT_EQ(StoredExt(), static_cast<long long>(ext));
    }
}

TEST_F(UpdateE2E, HappyPathReplacesTheArchivesAndRecordsTheUpdate)
{
    Record(1);
    StartApp();
    HWND confirmation = WaitConfirmation();
    ASSERT_NE(confirmation, nullptr);
    EXPECT_TRUE(FindWindows(app_.Id(), kDialogClass, "Setup Info").empty()) << "Wine offers DirectX 7";
    EXPECT_EQ(ControlText(confirmation, 1005), kConfirmation);
    ApplyAndFinish(confirmation);
    ExpectGame(true, true, true);
    EXPECT_EQ(StoredExt(), 3);

    // A second run now reports the update as applied.
    StartApp();
    HWND box = WaitBox("Info");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), kAlreadyApplied);
    Press(box, IDOK);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
}

TEST_F(UpdateE2E, MissingExtValueIsOfferedAndBecomesTwo)
{
    Record(0, false);
    StartApp();
    HWND confirmation = WaitConfirmation();
    ASSERT_NE(confirmation, nullptr);
    ApplyAndFinish(confirmation);
    EXPECT_EQ(StoredExt(), 2);
}

TEST_F(UpdateE2E, MissingSourceIsReportedBeforeAnythingIsCopied)
{
    Record(1);
    DeleteFileA((disc_ + "\\ZUNA\\Voice01.pak").c_str());
    StartApp();
    HWND confirmation = WaitConfirmation();
    ASSERT_NE(confirmation, nullptr);
    Press(confirmation, 1002);
    HWND box = WaitBox("file open error");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), "Voice01.pak");
    Press(box, IDOK);
    ASSERT_TRUE(WaitWindowGone(app_.Id(), kDialogClass, kProgressTitle, kWait));
    EXPECT_TRUE(IsVisible(confirmation)) << "the confirmation stays open";
    ExpectGame(false, false, false);
    EXPECT_EQ(StoredExt(), 1);
    Press(confirmation, 1001);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
}

TEST_F(UpdateE2E, LockedArchiveFailsThatFileOnlyAndASecondOkCompletes)
{
    Record(1);
    const std::string locked = game_ + "\\Graphic01.pak";
    ScopedFile lock(CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.IsValid());
    StartApp();
    HWND confirmation = WaitConfirmation();
    ASSERT_NE(confirmation, nullptr);
    Press(confirmation, 1002);
    HWND box = WaitBox("copy file error");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), disc_ + "\\ZUNA\\Graphic01.pak\r\n↓\r\n" + locked + "\r\nファイルをコピーできません");
    EXPECT_FALSE(IsWindowEnabled(confirmation)) << "no second OK while an update runs";
    Press(box, IDOK);
    ASSERT_TRUE(WaitWindowGone(app_.Id(), kDialogClass, kProgressTitle, kWait));
    EXPECT_TRUE(IsVisible(confirmation));
    EXPECT_TRUE(IsWindowEnabled(confirmation)) << "the player can try again";
    lock.Reset();
    ExpectGame(true, false, false);
    EXPECT_EQ(StoredExt(), 1);

    ApplyAndFinish(confirmation);
    ExpectGame(true, true, true);
    EXPECT_EQ(StoredExt(), 3);
}

TEST_F(UpdateE2E, CloseBoxEndsLikeCancelAndEscapeIsIgnored)
{
    Record(1);
    StartApp();
    HWND confirmation = WaitConfirmation();
    ASSERT_NE(confirmation, nullptr);
    PostKey(confirmation, VK_ESCAPE);
    Press(confirmation, IDCANCEL);  // what Escape turns into
    Sleep(300);
    EXPECT_TRUE(IsVisible(confirmation)) << "Escape must not close the confirmation";
    SysClose(confirmation);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
    ExpectGame(false, false, false);
    EXPECT_EQ(StoredExt(), 1);
}

TEST_F(UpdateE2E, SecondInstanceLeavesSilently)
{
    Record(1);
    StartApp();
    ASSERT_NE(WaitConfirmation(), nullptr);
    ASSERT_TRUE(second_.Start(disc_ + "\\update.exe", disc_));
    EXPECT_EQ(second_.WaitExit(kWait), 0u);
    EXPECT_TRUE(FindWindows(second_.Id(), nullptr, nullptr).empty());
    EXPECT_EQ(FindWindows(app_.Id(), kDialogClass, kTitle).size(), 1u);
    Press(WaitConfirmation(), 1001);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);

    // Once the first has ended, a new start works again.
    StartApp();
    HWND again = WaitConfirmation();
    ASSERT_NE(again, nullptr);
    Press(again, 1001);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
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
    StartApp();
    HWND confirmation = WaitConfirmation();
    ASSERT_NE(confirmation, nullptr) << "another title must not block";
    Press(confirmation, 1001);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
    DestroyWindow(game);
}

TEST_F(UpdateE2E, ProgramAtADriveRootTakesItsArchivesFromThatRoot)
{
    if (Env("GS_E2E_DRIVE_D").empty())
        GTEST_SKIP() << "drive D: is not mapped by the harness";
    DeleteTree("D:\\ZUNA");
    SetLayout("D:", root_ + "\\game");
    Record(1);
    StartApp();
    HWND confirmation = WaitConfirmation();
    ASSERT_NE(confirmation, nullptr);
    ApplyAndFinish(confirmation);
    ExpectGame(true, true, true);
}

TEST_F(UpdateE2E, OldDirectXIsWarnedAboutOnceBeforeTheConfirmation)
{
    const std::string fake = Env("GS_FAKE_DDRAW");
    ASSERT_FALSE(fake.empty());
    ASSERT_TRUE(CopyFileA(fake.c_str(), (disc_ + "\\ddraw.dll").c_str(), FALSE));
    Record(1);
    // Wine takes per-program DLL overrides from its registry; the DLL beside the program wins.
    const char* overrides = "Software\\Wine\\AppDefaults\\update.exe\\DllOverrides";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, overrides, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "ddraw", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
    RegCloseKey(key);
    StartApp();
    HWND warning = WaitBox("Setup Info");
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(MessageBoxText(warning), "Quillametを動作させるにはDirectX7以上が必要です。");
    EXPECT_TRUE(FindWindows(app_.Id(), kDialogClass, kTitle).empty()) << "the warning comes first";
    Press(warning, IDOK);
    HWND confirmation = WaitConfirmation();
    ASSERT_NE(confirmation, nullptr);
    EXPECT_EQ(FindWindows(app_.Id(), kDialogClass, "Setup Info").size(), 0u) << "shown once";
    Press(confirmation, 1001);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\update.exe");
}

TEST_F(UpdateE2E, OverLongInstallPathIsRefusedAndTheRecordKept)
{
    Record(1);
    const std::string longPath = "C:\\" + std::string(300, 'p');
    HKEY key;
    RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", 0, KEY_ALL_ACCESS, &key);
    RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(longPath.c_str()),
                   static_cast<DWORD>(longPath.size()));
    RegCloseKey(key);

    StartApp();
    HWND box = WaitBox("Info");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(MessageBoxText(box).find("長すぎる"), std::string::npos) << MessageBoxText(box);
    Press(box, IDOK);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
    EXPECT_EQ(KeyValueCount("Software\\KIRO\\ZUNA"), 4) << "the record is kept whole";
    EXPECT_EQ(StoredExt(), 1);
    ExpectGame(false, false, false);
}
