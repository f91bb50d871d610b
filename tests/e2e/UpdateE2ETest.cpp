// The real update.exe under Wine, driven from outside through its windows, one scenario per
// row. tests/run-in-prefix.sh prepares a fresh prefix and passes the program's folder.
#include "E2E.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace e2e;

namespace {

const char kTitle[] = "Quillamet　アップデート１";
const char kNotInstalled[] = "Quillamet が\r\nインストールされていません";
const char kApplied[] = "Quillamet アップデート１は\r\nインストールされています";
const char kGameClass[] = "PebbleCradle_MainProgram19_ClassName";
const char kCopyError[] = "C:\\gs-e2e\\LockedArchiveFailsThatFileAndRetrySucceeds\\disc\\ZUNA\\Graphic01.pak\r\n↓\r\n"
                          "C:\\gs-e2e\\LockedArchiveFailsThatFileAndRetrySucceeds\\game\\Graphic01.pak\r\nファイルをコピーできません";
const char kConfirmText[] = "Quillamet アップデート１ を\r\nインストールします。\r\n"
                            "インストールを開始すると中断することはできません。\r\nＯＫを押すとインストールを開始します。";
const int kNoExt = -1;

// Old and new differ in size and content, so a half-done copy cannot pass for either.
std::string Archive(const std::string& name, bool newVersion)
{
    unsigned x = static_cast<unsigned>(std::hash<std::string>()(name)) + newVersion;
    std::string data(newVersion ? 300000 + name.size() * 1000 : 200000, '\0');
    for (char& c : data) c = static_cast<char>((x = x * 1103515245 + 12345) >> 16);
    return data;
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
    int ext;                      // kNoExt or the stored "Ext"
    void (*arrange)(UpdateE2E&);  // after the default layout and record
    std::vector<Step> steps;
    bool updated;               // all three archives end up new, or all stay old
    long long extAfter;         // -1: no Ext, the record is gone
    UINT codePage = 0;          // runs only on a system of this code page (0: any)
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class UpdateE2E : public testing::TestWithParam<Scenario> {
public:
    void TearDown() override { app_.Kill(), DestroyWindow(gameWindow_); }

    // Program folder with update.exe and ZUNA\*.pak (new); game folder with *.pak (old), recorded.
    void Layout(const std::string& disc, const std::string& game)
    {
        disc_ = disc, game_ = game;
        for (const char* name : kArchives)
            ASSERT_TRUE(Write(disc_ + "\\ZUNA\\" + name, Archive(name, true)) && Write(game_ + "\\" + name, Archive(name, false)));
        ASSERT_TRUE(CopyFileA(Bin("update.exe").c_str(), (disc_ + "\\update.exe").c_str(), FALSE)) << disc_;
        Record(game_, GetParam().ext);
    }
    HWND Wait(const char* caption) { return WaitWindow(app_.Id(), "#32770", caption, kWait); }

    std::string root_, disc_, game_;
    Process app_;
    ScopedFile lock_;
    HWND gameWindow_ = nullptr;
};

const Step kConfirmOk{kTitle, "", 1002}, kConfirmCancel{kTitle, "", 1001}, kDone{"Update", "アップデート完了しました", IDOK};
// Alt+F4 at the progress dialog and at the confirmation, and a second OK, while the copy waits
// on its error box: the dialog must stay and no nested update may start.
void CloseAndOkWhileWorking(UpdateE2E& t)
{
    HWND progress = t.Wait("インストールしています"), confirmation = t.Wait(kTitle);
    SysClose(progress), SysClose(confirmation), Press(confirmation, 1002), Sleep(500);
    EXPECT_TRUE(IsVisible(progress));
    EXPECT_EQ(FindWindows(t.app_.Id(), "#32770", "copy file error").size(), 1u);
}

// A top-level window like the running game's main window.
void GameWindow(UpdateE2E& t, const char* className, const char* title)
{
    const WNDCLASSA wc = {0, DefWindowProcA, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, className};
    RegisterClassA(&wc);
    t.gameWindow_ = CreateWindowA(className, title, WS_OVERLAPPED, 0, 0, 9, 9, nullptr, nullptr, wc.hInstance, nullptr);
}
// A second instance leaves silently, and so does the setup program's packaged update, which
// would merge into the same archives (a refusal of its own would wait on a box); Escape is
// ignored; then the close box, which is Cancel.
void SecondInstanceEscapeAndCloseBox(UpdateE2E& t)
{
    Process second, setup;
    ASSERT_TRUE(second.Start(t.disc_ + "\\update.exe", t.disc_) && setup.Start(Bin("gssetup.exe"), t.disc_, "packaged"));
    EXPECT_EQ(second.WaitExit(kWait), 0u);
    EXPECT_EQ(setup.WaitExit(kWait / 4), 0u);
    setup.Kill();
    HWND confirmation = t.Wait(kTitle);
    PostKey(confirmation, VK_ESCAPE), Press(confirmation, IDCANCEL), Sleep(300);  // IDCANCEL: what Escape turns into
    EXPECT_TRUE(IsVisible(confirmation)) << "Escape must not close the confirmation";
    SysClose(confirmation);
}

const Scenario kScenarios[] = {
    {"RunningGameLeavesSilently", 1, [](UpdateE2E& t) { GameWindow(t, kGameClass, "Quillamet"); }, {}, false, 1},
    {"OtherTitleSecondInstanceEscapeCloseBox", 1, [](UpdateE2E& t) { GameWindow(t, kGameClass, "Quillamet 2"); },
     {{kTitle, "", 0, SecondInstanceEscapeAndCloseBox}}, false, 1},
    {"NoRecord", 1, [](UpdateE2E&) { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO"); }, {{"Info", kNotInstalled, IDOK}}, false, -1},
    {"AppliedExt3BesideAnotherClassTitledLikeTheGame", 3, [](UpdateE2E& t) { GameWindow(t, "GsOther", "Quillamet"); },
     {{"Info", kApplied, IDOK}}, false, 3},
    {"HappyWithoutExtFromADriveRoot", kNoExt, [](UpdateE2E& t) { t.Layout("E:", t.game_); }, {kConfirmOk, kDone}, true, 2},
    // 表 is 0x95 0x5C: neither folder may lose its last byte or go without its separator.
    {"FoldersEndingInTrailByte5C", 1, [](UpdateE2E& t) { t.Layout(t.root_ + "\\ディスク表", t.root_ + "\\ゲーム\\予約表"); },
     {kConfirmOk, kDone}, true, 3, 932},
    // é is a lead byte of 932, a letter of 1252: the backslash after it stays a separator.
    {"AccentedMediumIntoProgramFiles", 1,
     [](UpdateE2E& t) { t.Layout(Native(L"C:\\Users\\José\\Downloads\\Café"), Native(L"C:\\Program Files (x86)\\KIRO\\Quillamet")); },
     {kConfirmOk, kDone}, true, 3, 1252},
    // 燶 is 0xA0 0x5C in 936, and 0xA0 no lead byte of 932.
    {"MediumInFolderEndingInTrailByte5C", 1, [](UpdateE2E& t) { t.Layout(t.root_ + Native(L"\\燶"), t.game_); },
     {kConfirmOk, kDone}, true, 3, 936},
    {"MissingSourceFoundBeforeCopying", 1, [](UpdateE2E& t) { DeleteFileA((t.disc_ + "\\ZUNA\\Voice01.pak").c_str()); },
     {kConfirmOk, {"file open error", "Voice01.pak", IDOK}, kConfirmCancel}, false, 1},
    {"LockedArchiveFailsThatFileAndRetrySucceeds", 1,
     [](UpdateE2E& t) {
         t.lock_.Reset(CreateFileA((t.game_ + "\\Graphic01.pak").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
     },
     {kConfirmOk, {"copy file error", kCopyError, IDOK, CloseAndOkWhileWorking}, {kTitle, "", 1002, [](UpdateE2E& t) { t.lock_.Reset(); }}, kDone},
     true, 3},
    // Wine takes per-program DLL overrides from its registry; an empty one leaves DirectDraw out.
    {"OldDirectXWarnedOnceFirst", 1,
     [](UpdateE2E&) { RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\update.exe\\DllOverrides", "ddraw", REG_SZ, "", 1); },
     {{"Setup Info", "Quillametを動作させるにはDirectX7以上が必要です。", IDOK}, kConfirmCancel}, false, 1},
    {"SourceUnder72BytesRefused", 1, [](UpdateE2E& t) { Write(t.disc_ + "\\ZUNA\\Voice01.pak", std::string(71, 'v')); },
     {kConfirmOk, {"file open error", "Voice01.pak", IDOK}, kConfirmCancel}, false, 1},
    // The longest archive path, 245 + "\Graphic01.pak", just fits; tools/reliability.sh refuses 246.
    {"InstallFolderOf245BytesFits", 1, [](UpdateE2E& t) { t.Layout(t.disc_, t.root_ + "\\" + std::string(244 - t.root_.size(), 'x')); },
     {kConfirmOk, kDone}, true, 3},
};

}  // namespace

TEST_P(UpdateE2E, Run)
{
    const Scenario& s = GetParam();
    if (s.codePage != 0 && s.codePage != GetACP()) GTEST_SKIP() << "for a system of code page " << s.codePage;
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\update.exe");
    root_ = "C:\\gs-e2e\\" + std::string(s.name);
    std::filesystem::remove_all(root_);
    ASSERT_NO_FATAL_FAILURE(Layout(root_ + "\\disc", root_ + "\\game"));
    ASSERT_NO_FATAL_FAILURE(s.arrange(*this));
    ASSERT_TRUE(app_.Start(disc_ + "\\update.exe", disc_)) << disc_;
    // Every step's window in turn. A box never shows beside a usable confirmation: before the
    // confirmation it is not shown at all, during the update it is disabled (no second OK).
    bool confirmed = false;
    for (const Step& step : s.steps) {
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
            EXPECT_EQ(ControlText(w, 1001), "キャンセル") << "the template's own text";
            confirmed = true;
        } else {
            EXPECT_EQ(MessageBoxText(w), step.text);
            for (HWND c : FindWindows(app_.Id(), "#32770", kTitle))
                EXPECT_TRUE(confirmed ? !IsWindowEnabled(c) : !IsVisible(c));
            EXPECT_TRUE(std::string(step.caption) != "Update" || (Ext() & 2) == 2) << "recorded before the box";
        }
        if (step.before != nullptr) step.before(*this);
        if (step.press != 0) Press(w, step.press);
    }
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
    for (const char* name : kArchives) EXPECT_TRUE(Read(game_ + "\\" + name) == Archive(name, s.updated)) << name;
    EXPECT_EQ(Ext(), s.extAfter);
}

INSTANTIATE_TEST_SUITE_P(, UpdateE2E, testing::ValuesIn(kScenarios), [](const auto& info) { return info.param.name; });
