// The update entry's folder composition and its refusals, without the progress template
// (this test program has no dialog resources, so the progress dialog cannot be created).
#include "app/GsAppFrame.h"
#include "ui/GsMessageBox.h"
#include "update/InstallDialog.h"
#include "update/SetupDialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Box {
    std::string text, caption;
    UINT style;
};
std::vector<Box> g_boxes;

int RecordBox(HWND, const char* text, const char* caption, UINT style)
{
    g_boxes.push_back({text, caption, style});
    return IDOK;
}

std::string g_modulePath;
DWORD WINAPI FakeModuleFileName(HMODULE, LPSTR buffer, DWORD size)
{
    lstrcpynA(buffer, g_modulePath.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(std::strlen(buffer));
}
DWORD WINAPI FakeCurrentDirectory(DWORD size, LPSTR buffer)
{
    lstrcpynA(buffer, g_modulePath.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(std::strlen(buffer));
}

class ExposedSetup : public CSetupDialog {
public:
    std::string SourceDir() const { return m_sourceDir; }
};

class UpdateEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_boxes.clear();
        previousBox_ = SetGsMessageBoxHandler(RecordBox);
        savedQueries_ = g_moduleQueries;
        g_moduleQueries = {FakeModuleFileName, FakeCurrentDirectory};
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
        HKEY key;
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\Game"), 7);
        RegCloseKey(key);
    }
    void TearDown() override
    {
        SetGsMessageBoxHandler(previousBox_);
        g_moduleQueries = savedQueries_;
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
    }

    // Runs the entry with the program at `modulePath`; returns its result.
    int RunFrom(const std::string& modulePath, std::string* sourceDir)
    {
        g_modulePath = modulePath;
        frame_.InitModuleInfo(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
        ExposedSetup setup;
        int result = setup.RunUpdate(nullptr);
        *sourceDir = setup.SourceDir();
        return result;
    }

    CGsAppFrame frame_;
    GsMessageBoxFn previousBox_ = nullptr;
    GsModuleQueries savedQueries_{};
};

}  // namespace

TEST_F(UpdateEntryTest, SourceFolderIsTheProgramFolderPlusZuna)
{
    struct Case {
        const char* module;
        const char* source;
    };
    const Case cases[] = {
        {"C:\\Games\\Disc\\update.exe", "C:\\Games\\Disc\\ZUNA"},
        {"D:\\update.exe", "D:\\ZUNA"},
        {"C:\\", "C:\\ZUNA"},  // current directory at a drive root: one backslash removed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.module);
        g_boxes.clear();
        std::string source;
        // The progress template is missing here, so the entry must report failure, not success.
        EXPECT_EQ(RunFrom(c.module, &source), 0);
        EXPECT_EQ(source, c.source);
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].caption, "Setup error");
    }
}

TEST_F(UpdateEntryTest, ProgressDialogThatCannotBeShownIsNotSuccess)
{
    g_modulePath = "C:\\Disc\\update.exe";
    frame_.InitModuleInfo(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
    CInstallDialog dialog;
    EXPECT_EQ(dialog.Start(nullptr, "C:\\Game", "C:\\Disc\\ZUNA", 3, 0, 0, 2, nullptr, 0), 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].caption, "Setup error");
    EXPECT_EQ(g_boxes[0].style, static_cast<UINT>(MB_ICONERROR | MB_OK));
    // Nothing was recorded.
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_NE(RegQueryValueExA(key, "Ext", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(UpdateEntryTest, ProgramFolderTooLongForTheSourceFolderIsRefusedWithAMessage)
{
    // 255 bytes of folder: with "\ZUNA" and the terminator it needs 261 bytes.
    std::string dir = "C:\\" + std::string(252, 'd');
    ASSERT_EQ(dir.size(), 255u);
    std::string source;
    EXPECT_EQ(RunFrom(dir + "\\u", &source), 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].caption, "Setup error");
    EXPECT_NE(g_boxes[0].text.find("長すぎる"), std::string::npos);
    EXPECT_EQ(source.find("ZUNA"), std::string::npos) << "nothing composed";

    // One byte shorter fits exactly.
    g_boxes.clear();
    dir.pop_back();
    EXPECT_EQ(RunFrom(dir + "\\u", &source), 0);
    EXPECT_EQ(source, dir + "\\ZUNA");
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text.find("長すぎる"), std::string::npos) << "this one failed only for the template";
}

TEST_F(UpdateEntryTest, NoInstallRecordEndsSilently)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
    std::string source;
    EXPECT_EQ(RunFrom("C:\\Disc\\update.exe", &source), 0);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(source, "");
}
