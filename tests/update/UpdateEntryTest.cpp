// The update entry's folder composition and its refusals. This test program has no dialog
// resources, so the progress dialog can never be shown: every run must end as a failure.
#include "app/GsAppFrame.h"
#include "ui/GsMessageBox.h"
#include "update/SetupDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_boxes;  // caption|text|style
int RecordBox(HWND, const char* text, const char* caption, UINT style)
{
    g_boxes.push_back(std::string(caption) + "|" + text + "|" + std::to_string(style));
    return IDOK;
}

std::string g_modulePath;
DWORD WINAPI FakeModuleFileName(HMODULE, LPSTR buffer, DWORD size)
{
    lstrcpynA(buffer, g_modulePath.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(lstrlenA(buffer));
}
DWORD WINAPI FakeCurrentDirectory(DWORD size, LPSTR buffer)
{
    lstrcpynA(buffer, "C:\\", static_cast<int>(size));
    return 3;
}

class ExposedSetup : public CSetupDialog {
public:
    std::string SourceDir() const { return m_sourceDir; }
};

}  // namespace

TEST(UpdateEntry, ComposesTheSourceFolderAndRefusesWhatCannotWork)
{
    const GsMessageBoxFn previousBox = SetGsMessageBoxHandler(RecordBox);
    const GsModuleQueries savedQueries = g_moduleQueries;
    g_moduleQueries = {FakeModuleFileName, FakeCurrentDirectory};
    CGsAppFrame frame;
    // 255 bytes of folder: with "\ZUNA" and the terminator it needs 261 bytes; one less fits.
    const std::string longDir = "C:\\" + std::string(252, 'd');
    const std::string cannotShow = "Setup error|インストール画面を表示できません|" + std::to_string(MB_ICONERROR | MB_OK);
    const struct {
        std::string module;
        bool recorded;
        std::string source, box;
    } cases[] = {
        {"C:\\Games\\Disc\\update.exe", true, "C:\\Games\\Disc\\ZUNA", cannotShow},
        {"D:\\update.exe", true, "D:\\ZUNA", cannotShow},
        {"C:\\\x95\x5C\\update.exe", true, "C:\\\x95\x5C\\ZUNA", cannotShow},  // 表's trail byte is no separator
        {"update.exe", true, "C:\\ZUNA", cannotShow},  // from the current directory, a drive root
        {longDir + "\\u", true, longDir,
         "Setup error|プログラムのフォルダのパスが長すぎるため\r\nアップデートできません。\r\n"
         "短いパスのフォルダにコピーしてから実行してください。|" + std::to_string(MB_ICONWARNING | MB_OK)},
        {longDir.substr(0, 254) + "\\u", true, longDir.substr(0, 254) + "\\ZUNA", cannotShow},
        {"C:\\Disc\\update.exe", false, "", ""},  // no install record: silently nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
        if (c.recorded)
            RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", "Path", REG_SZ, "C:\\Game", 8);
        g_boxes.clear();
        g_modulePath = c.module;
        frame.InitModuleInfo(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
        ExposedSetup setup;
        EXPECT_EQ(setup.RunUpdate(nullptr), 0);
        EXPECT_EQ(setup.SourceDir(), c.source);
        EXPECT_EQ(g_boxes, c.box.empty() ? std::vector<std::string>() : std::vector<std::string>{c.box});
        EXPECT_NE(RegGetValueA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", "Ext", RRF_RT_ANY, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS) << "nothing recorded";
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
    g_moduleQueries = savedQueries;
    SetGsMessageBoxHandler(previousBox);
}
