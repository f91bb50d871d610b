// The program folder and the update entry's source folder from it, and the entry's refusals.
// This test program has no dialog resources, so the progress dialog can never be shown: every
// run must end as a failure.
#include "app/GsAppFrame.h"
#include "ui/GsMessageBox.h"
#include "update/SetupDialog.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string g_boxes, g_modulePath;
int g_currentDirCalls = 0;

int RecordBox(HWND, const char* text, const char* caption, UINT style)
{
    return g_boxes += std::string(caption) + "|" + text + "|" + std::to_string(style), IDOK;
}
DWORD WINAPI FakeModuleFileName(HMODULE, LPSTR buffer, DWORD size)
{
    return DWORD(lstrlenA(lstrcpynA(buffer, g_modulePath.c_str(), int(size))));
}
DWORD WINAPI FakeCurrentDirectory(DWORD size, LPSTR buffer)
{
    return ++g_currentDirCalls, lstrcpynA(buffer, "E:\\", int(size)), 3;
}
struct ExposedSetup : CSetupDialog {
    std::string SourceDir() const { return m_sourceDir; }
};

}  // namespace

TEST(UpdateEntry, ComposesTheSourceFolderFromTheProgramFolderAndRefusesWhatCannotWork)
{
    ASSERT_EQ(GetACP(), 932u) << "run under code page 932 (tools/wine-run sets it)";
    const GsMessageBoxFn previousBox = SetGsMessageBoxHandler(RecordBox);
    const GsModuleQueries savedQueries = g_moduleQueries;
    g_moduleQueries = {FakeModuleFileName, FakeCurrentDirectory};
    CGsAppFrame frame;
    // 255 bytes of folder: with "\ZUNA" and the terminator it needs 261 bytes; one less fits.
    const std::string longDir = "C:\\" + std::string(252, 'd');
    const std::string cannotShow = "Setup error|インストール画面を表示できません|" + std::to_string(MB_ICONERROR | MB_OK);
    const struct { std::string module, source, box; } rows[] = {
        {"C:\\Games\\Disc\\update.exe", "C:\\Games\\Disc\\ZUNA", cannotShow},
        {"D:\\update.exe", "D:\\ZUNA", cannotShow},
        {"\\\\server\\share\\update.exe", "\\\\server\\share\\ZUNA", cannotShow},
        // No backslash after the first character: the current directory, here a drive root.
        {"update.exe", "E:\\ZUNA", cannotShow}, {"\\update.exe", "E:\\ZUNA", cannotShow}, {"", "E:\\ZUNA", cannotShow},
        // 表 is 0x95 0x5C and ソ is 0x83 0x5C in code page 932: trail bytes, not separators.
        {"C:\\表\\update.exe", "C:\\表\\ZUNA", cannotShow}, {"C:\\ソ", "C:\\ZUNA", cannotShow},
        {"C:\\ゲーム\\アップデートソ.exe", "C:\\ゲーム\\ZUNA", cannotShow},
        {longDir + "\\u", longDir,
         "Setup error|プログラムのフォルダのパスが長すぎるため\r\nアップデートできません。\r\n"
         "短いパスのフォルダにコピーしてから実行してください。|" + std::to_string(MB_ICONWARNING | MB_OK)},
        {longDir.substr(0, 254) + "\\u", longDir.substr(0, 254) + "\\ZUNA", cannotShow},
        {"C:\\Disc\\update.exe", "", ""},  // no install record: silently nothing
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.module);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
        if (!row.box.empty())
            RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", "Path", REG_SZ, "C:\\Game", 8);
        g_boxes.clear();
        g_modulePath = row.module;
        g_currentDirCalls = 0;
        frame.InitModuleInfo(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
        ExposedSetup setup;
        EXPECT_EQ(setup.RunUpdate(nullptr), 0);
        EXPECT_EQ(setup.SourceDir() + "|" + g_boxes, row.source + "|" + row.box);
        EXPECT_EQ(g_currentDirCalls, row.source[0] == 'E' ? 1 : 0);
        EXPECT_NE(RegGetValueA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", "Ext", RRF_RT_ANY, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS) << "nothing recorded";
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
    g_moduleQueries = savedQueries;
    SetGsMessageBoxHandler(previousBox);
}
