// The install menu of the real gssetup.exe under Wine, driven from outside. run-e2e.sh maps
// E: (8 MiB tmpfs), F: (a CD-ROM) and G: (a tmpfs of exactly 1800 MiB).
#include "Driver.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

const char kMenu[] = "インストールメニュー";
const char* const kArchives[] = {"Scr01.pak", "Graphic01.pak", "Voice01.pak"};
const std::string kProgramFiles = "C:\\Program Files", kRoot = "C:\\gs-e2e\\setup";

// One command and what the menu shows afterwards. folder: null presses the control; "" opens
// its browser and cancels; else the browser chooses that folder. box: a "Setup error" text.
struct Act {
    int id;
    const char* folder;
    const char* box;
    int shows;                // control whose text is checked, 0 none
    std::string text;         // with {docs} for the documents folder
};

class SetupE2E : public testing::Test {
protected:
    void Open(bool withSources)
    {
        fs::remove_all(kRoot);
        fs::create_directories(kRoot + "\\ZUNA");
        for (const char* name : kArchives)
            std::ofstream(kRoot + (withSources ? "\\ZUNA\\" : "\\") + name) << name;
        ASSERT_TRUE(CopyFileA(std::getenv("GS_SETUP_EXE"), (kRoot + "\\gssetup.exe").c_str(), FALSE));
        ASSERT_TRUE(app_.Start(kRoot + "\\gssetup.exe", kRoot));
        ASSERT_NE(menu_ = WaitWindow(app_.Id(), "#32770", kMenu, 20000), nullptr);
        // Wine's first folder browser in a process finds no folder by path (a player's click
        // works): open one and cancel it, which also changes nothing.
        Do({1018, "", nullptr, 1008, kProgramFiles});
    }
    void TearDown() override { app_.Kill(); }
    bool Checked(int id) { return IsDlgButtonChecked(menu_, id) == BST_CHECKED; }

    int Dialogs()
    {
        int n = 0;
        for (HWND w : FindWindows(app_.Id(), "#32770", nullptr))
            n += IsVisible(w) ? 1 : 0;
        return n;
    }

    void Do(const Act& a)
    {
        SCOPED_TRACE(std::to_string(a.id) + " " + (a.folder != nullptr ? a.folder : ""));
        if (a.folder == nullptr && a.id != 0) {
            SendMessageA(menu_, WM_COMMAND, a.id, 0);  // returns once handled
        } else if (a.id != 0) {
            Press(menu_, a.id);
            HWND browser = nullptr;
            for (int i = 0; i < 2000 && browser == nullptr; ++i, Sleep(10))
                for (HWND w : FindWindows(app_.Id(), "#32770", nullptr))
                    browser = w != menu_ && IsVisible(w) ? w : browser;
            ASSERT_NE(browser, nullptr);
            ASSERT_TRUE(*a.folder ? app_.ChooseFolder(browser, a.folder) : PostMessageA(browser, WM_COMMAND, IDCANCEL, 0));
            if (a.box != nullptr) {
                HWND box = WaitWindow(app_.Id(), "#32770", "Setup error", 20000);
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(MessageBoxText(box), a.box);
                Press(box, IDOK);
            }
            for (int i = 0; i < 2000 && Dialogs() > 1; ++i)
                Sleep(10);
            SendMessageA(menu_, WM_NULL, 0, 0);  // the command has been handled
        }
        char docs[MAX_PATH] = {};
        SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, docs);
        std::string want = a.text;
        if (want.find("{docs}") == 0)
            want.replace(0, 6, docs);
        EXPECT_EQ(a.shows != 0 ? ControlText(menu_, a.shows) : want, want);
    }

    Process app_;
    HWND menu_ = nullptr;
};

TEST_F(SetupE2E, InitialStateButtonsAndFolderChoices)
{
    if (std::getenv("GS_E2E_SMALL_DRIVE") == nullptr)
        GTEST_SKIP() << "the harness could not mount its drives (it needs root)";
    Open(true);
    EXPECT_TRUE(Checked(1031) && !Checked(1032) && !Checked(1033) && Checked(1007) && Checked(1009) && Checked(1011));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(menu_, 1021)));
    ULARGE_INTEGER free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", nullptr, nullptr, &free));
    const std::string freeText = ControlText(menu_, 1020);
    EXPECT_NEAR(std::atof(freeText.c_str() + freeText.find(' ')), free.QuadPart >> 20, (free.QuadPart >> 20) / 100 + 8.0);
    EXPECT_EQ(freeText.substr(freeText.rfind(" M")), " M の空きがあります");
    const Act acts[] = {
        {0, nullptr, nullptr, 1019, "約 1800 M 必要です"},
        {0, nullptr, nullptr, 1008, kProgramFiles},
        {0, nullptr, nullptr, 1002, "インストール先に \"KIRO\\Quillamet\" を作成します"},
        {0, nullptr, nullptr, 1011, "My Documents(マイ ドキュメント)に\n\"KIRO\\Quillamet\\SAVE\"　を作成します"},
        {0, nullptr, nullptr, 1013, "任意の場所に　\"Quillamet\\SAVE\"　を作成します"},
        {0, nullptr, nullptr, 1010, "{docs}\\KIRO\\Quillamet"},
        {1032, nullptr, nullptr, 1019, "約 1300 M 必要です"},
        {1033, nullptr, nullptr, 1019, "約 400 M 必要です"},
        {1031, nullptr, nullptr, 1019, "約 1800 M 必要です"},
        {1013, nullptr, nullptr, 1010, kProgramFiles + "\\Quillamet"},
        {1021, "C:\\gs-e2e\\setup", nullptr, 1010, "C:\\gs-e2e\\setup\\Quillamet"},
        {1021, "", nullptr, 1010, "C:\\gs-e2e\\setup\\Quillamet"},
        {1021, "F:\\", "指定の場所には保存できません", 1010, "C:\\gs-e2e\\setup\\Quillamet"},
        {1012, nullptr, nullptr, 1010, kProgramFiles + "\\KIRO\\Quillamet"},
        {1018, "C:\\gs-e2e\\setup", nullptr, 1010, "C:\\gs-e2e\\setup\\KIRO\\Quillamet"},
        {1018, "", nullptr, 1008, "C:\\gs-e2e\\setup"},
        {1018, "E:\\", nullptr, 1010, "E:\\KIRO\\Quillamet"},
        {1018, "F:\\", "指定の場所にはインストールできません", 1010, kProgramFiles + "\\KIRO\\Quillamet"},
        {0, nullptr, nullptr, 1008, kProgramFiles},
        {1011, nullptr, nullptr, 1010, "{docs}\\KIRO\\Quillamet"},
    };
    for (const Act& a : acts) {
        Do(a);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(menu_, 1021)) != FALSE, Checked(1013));
        EXPECT_EQ(Checked(1031) + Checked(1032) + Checked(1033), 1);
    }
    EXPECT_TRUE(Checked(1031) && Checked(1011) && !Checked(1012) && !Checked(1013));
    Press(menu_, 1001);
    EXPECT_EQ(app_.WaitExit(20000), 0u);
}

// Start on each kind of folder: refused for space, failed (the folders it made are removed
// and the menu stays), or installed (the menu ends with 1).
TEST_F(SetupE2E, Start)
{
    if (std::getenv("GS_E2E_SMALL_DRIVE") == nullptr)
        GTEST_SKIP() << "the harness could not mount its drives (it needs root)";
    const struct {
        bool sources, fillOnePage;
        const char *parent, *caption, *text;
    } runs[] = {
        {true, false, "E:", "Setup error", "空き容量が不足しています"},
        {false, false, "G:", "file open error", "Scr01.pak"},  // exactly 1800 MiB free: enough
        {false, true, "G:", "Setup error", "空き容量が不足しています"},
        {false, false, "C:\\gs-e2e\\setup\\kept", "file open error", "Scr01.pak"},
        {true, false, "C:\\gs-e2e\\setup\\new", "Update", "アップデート完了しました"},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(r.parent);
        Open(r.sources);
        const std::string parent = r.parent;
        fs::create_directories(parent + "\\mine");
        if (r.fillOnePage)
            std::ofstream(parent + "\\one") << 'x';
        Do({1018, (parent + (parent.size() == 2 ? "\\" : "")).c_str(), nullptr, 0, ""});
        Press(menu_, 1004);
        HWND box = WaitWindow(app_.Id(), "#32770", r.caption, 20000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), r.text);
        Press(box, IDOK);
        if (std::string(r.caption) == "Update") {
            EXPECT_EQ(app_.WaitExit(20000), 1u);
            for (const char* name : kArchives)
                EXPECT_EQ(fs::file_size(parent + "\\KIRO\\Quillamet\\" + name), std::string(name).size());
        } else {
            for (int i = 0; i < 2000 && !IsWindowEnabled(menu_); ++i)
                Sleep(10);  // the progress dialog has ended
            SendMessageA(menu_, WM_NULL, 0, 0);  // so has the removal
            EXPECT_TRUE(IsWindowEnabled(menu_) && IsVisible(menu_)) << "the menu stays";
            EXPECT_FALSE(fs::exists(parent + "\\KIRO")) << "made, then removed";
            EXPECT_TRUE(fs::exists(parent + "\\mine"));
            app_.Kill();
        }
    }
    fs::remove("G:\\one");
}

}  // namespace
