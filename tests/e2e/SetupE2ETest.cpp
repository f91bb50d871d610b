// The install menu of the real gssetup.exe under Wine, driven from outside. tests/run-in-prefix.sh
// maps E: (8 MiB tmpfs) and R: (a CD-ROM).
#include "E2E.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// ProgramFilesDir as each build reads it: a 32-bit program sees the 32-bit registry view.
const std::string kPF = sizeof(void*) == 8 ? "C:\\Program Files" : "C:\\Program Files (x86)", kRoot = "C:\\gs-e2e\\setup";

class SetupE2E : public testing::Test {
protected:
    void TearDown() override { app_.Kill(); }

    void Open(bool withSources)
    {
        fs::remove_all(kRoot);
        for (const char* name : kArchives)  // past the 72-byte header
            ASSERT_TRUE(Write(kRoot + (withSources ? "\\ZUNA\\" : "\\away\\") + name, name + std::string(72, '.')));
        ASSERT_TRUE(CopyFileA(Bin("gssetup.exe").c_str(), (kRoot + "\\gssetup.exe").c_str(), FALSE));
        ASSERT_TRUE(app_.Start(kRoot + "\\gssetup.exe", kRoot));
        ASSERT_NE(menu_ = WaitWindow(app_.Id(), "#32770", "インストールメニュー", kWait), nullptr);
        // Wine's first folder browser in a process finds no folder by path (a player's click
        // works): open one and cancel it, which changes nothing.
        Do(1018, "");
    }
    HWND Other()  // a visible dialog besides the menu
    {
        for (HWND w : FindWindows(app_.Id(), "#32770", nullptr))
            if (w != menu_ && IsVisible(w)) return w;
        return nullptr;
    }
    // Command `id`; chooses `folder` in the browser it opens ("" cancels); answers the box
    // with that caption and text; returns once the menu has handled it all.
    void Do(int id, const char* folder = nullptr, const char* caption = nullptr, const char* text = "")
    {
        SendNotifyMessageA(menu_, WM_COMMAND, id, 0);  // before any later sent message
        HWND browser = nullptr;
        for (int i = 0; folder != nullptr && i < 2000 && (browser = Other()) == nullptr; ++i) Sleep(10);
        ASSERT_TRUE(!folder || (*folder ? app_.ChooseFolder(browser, folder) : PostMessageA(browser, WM_COMMAND, IDCANCEL, 0)));
        if (caption != nullptr) {
            EXPECT_EQ(AnswerBox(app_.Id(), caption, kWait), text);
        }
        for (int i = 0; i < 2000 && app_.Running() && (Other() != nullptr || !IsWindowEnabled(menu_)); ++i) Sleep(10);
        SendMessageA(menu_, WM_NULL, 0, 0);  // the command has ended (a removal included)
    }
    bool Checked(int id) { return IsDlgButtonChecked(menu_, id) == BST_CHECKED; }

    Process app_;
    HWND menu_ = nullptr;
};

TEST_F(SetupE2E, InitialStateButtonsAndFolderChoices)
{
    Open(true);
    EXPECT_TRUE(Checked(1031) && Checked(1007) && Checked(1009) && Checked(1011));
    ULARGE_INTEGER free;
    const std::string freeText = ControlText(menu_, 1020);  // other runs use the disk meanwhile
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", nullptr, nullptr, &free) && freeText.find(" M の空きがあります") != std::string::npos);
    EXPECT_NEAR(std::atof(freeText.c_str() + 3), free.QuadPart >> 20, (free.QuadPart >> 20) / 100 + 8.0) << freeText;
    char docs[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, docs);
    const std::string kSave = "指定の場所には保存できません", kInstall = "指定の場所にはインストールできません";
    const std::string deep = kRoot + "\\" + std::string(230, 'd');  // with \KIRO\Quillamet\SAVE past 260 bytes
    fs::create_directories(deep);
    const struct {
        int id;
        const char *folder, *box;
        int shows;
        std::string text;
    } rows[] = {
        {0, nullptr, nullptr, 1019, "約 1800 M 必要です"},
        {0, nullptr, nullptr, 1008, kPF},
        {0, nullptr, nullptr, 1002, "インストール先に \"KIRO\\Quillamet\" を作成します"},
        {0, nullptr, nullptr, 1011, "My Documents(マイ ドキュメント)に\n\"KIRO\\Quillamet\\SAVE\"　を作成します"},
        {0, nullptr, nullptr, 1013, "任意の場所に　\"Quillamet\\SAVE\"　を作成します"},
        {0, nullptr, nullptr, 1010, docs + std::string("\\KIRO\\Quillamet")},
        {1032, nullptr, nullptr, 1019, "約 1300 M 必要です"},
        {1033, nullptr, nullptr, 1019, "約 400 M 必要です"},
        {1031, nullptr, nullptr, 1019, "約 1800 M 必要です"},
        {1013, nullptr, nullptr, 1010, kPF + "\\Quillamet"},
        {1021, "C:\\gs-e2e\\setup", nullptr, 1010, kRoot + "\\Quillamet"},
        {1021, "", nullptr, 1010, kRoot + "\\Quillamet"},
        {1021, deep.c_str(), kSave.c_str(), 1010, kRoot + "\\Quillamet"},
        {1021, "R:\\", kSave.c_str(), 1010, kRoot + "\\Quillamet"},
        {1012, nullptr, nullptr, 1010, kPF + "\\KIRO\\Quillamet"},
        {1018, "C:\\gs-e2e\\setup", nullptr, 1010, kRoot + "\\KIRO\\Quillamet"},
        {1018, "", nullptr, 1008, kRoot},
        {1018, deep.c_str(), kInstall.c_str(), 1010, kRoot + "\\KIRO\\Quillamet"},
        {1018, "E:\\", nullptr, 1010, "E:\\KIRO\\Quillamet"},
        {1018, "R:\\", kInstall.c_str(), 1010, kPF + "\\KIRO\\Quillamet"},
        {0, nullptr, nullptr, 1008, kPF},
        {1011, nullptr, nullptr, 1010, docs + std::string("\\KIRO\\Quillamet")},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.id) + " " + (r.folder != nullptr ? r.folder : ""));
        if (r.id != 0) Do(r.id, r.folder, r.box ? "Setup error" : nullptr, r.box);
        EXPECT_EQ(ControlText(menu_, r.shows), r.text);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(menu_, 1021)) != FALSE, Checked(1013));
        EXPECT_TRUE(Checked(1031) + Checked(1032) + Checked(1033) == 1 && Checked(1011) + Checked(1012) + Checked(1013) == 1);
    }
    Press(menu_, 1001);
    EXPECT_EQ(app_.WaitExit(kWait), 0u);
}

// Start refused for space; failed (what it made is removed, a game that was there stays, the
// menu stays); done, with Start pressed twice. A second gssetup leaves at once.
TEST_F(SetupE2E, Start)
{
    Open(false);
    Process second, update;  // neither may run beside the menu (the update would tell "not installed")
    ASSERT_TRUE(second.Start(kRoot + "\\gssetup.exe", kRoot, "packaged") && update.Start(Bin("update.exe"), kRoot));
    EXPECT_EQ(second.WaitExit(kWait / 4), 0u);
    EXPECT_EQ(update.WaitExit(kWait / 4), 0u);
    second.Kill(), update.Kill(), Do(1018, "E:\\");
    Do(1004, nullptr, "Setup error", "空き容量が不足しています");
    Do(1018, kRoot.c_str());
    Do(1004, nullptr, "file open error", "Scr01.pak");
    EXPECT_FALSE(fs::exists(kRoot + "\\KIRO")) << "made, then removed";
    const std::string game = kRoot + "\\KIRO\\Quillamet\\";
    ASSERT_TRUE(Write(game + "ZUNA.exe", "z") && Write(game + "Scr01.pak", "s"));
    Do(1004, nullptr, "file open error", "Scr01.pak");
    EXPECT_EQ(Read(game + "ZUNA.exe") + Read(game + "Scr01.pak"), "zs") << "a failed re-install keeps the game";
    EXPECT_TRUE(IsWindowEnabled(menu_) && fs::exists(kRoot + "\\gssetup.exe"));
    fs::rename(kRoot + "\\away", kRoot + "\\ZUNA");
    PostMessageA(menu_, WM_COMMAND, 1004, 0);  // handled while the first Start copies
    Do(1004, nullptr, "Update", "アップデート完了しました");
    EXPECT_EQ(app_.WaitExit(kWait / 4), 1u) << "one install, one completion box";
    for (const char* name : kArchives) EXPECT_TRUE(fs::exists(game + name)) << name;
}

}  // namespace
