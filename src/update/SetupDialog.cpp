// CSetupDialog, the update entry: RunUpdate and the dialog's lifetime.
#include "update/SetupDialog.h"

#include "app/GsAppFrame.h"
#include "files/GsFileName.h"
#include "store/InstallInfo.h"
#include "ui/GsMessageBox.h"
#include "update/InstallDialog.h"
#include "update/MediumSums.h"
#include "update/ProgramFolder.h"
#include "update/UpdateTexts.h"

#include <cstring>
#include <string>

namespace {
const char kProgramDirTooLong[] =
    "プログラムのフォルダのパスが長すぎるため\r\nアップデートできません。\r\n"
    "短いパスのフォルダにコピーしてから実行してください。";
}  // namespace

CSetupDialog::~CSetupDialog()
{
    delete m_installDialog;
    m_installDialog = nullptr;
}

int CSetupDialog::RunUpdate(HWND parent)
{
    m_installType = 3;
    m_desktopShortcut = 1;
    m_startMenu = 1;
    if (ReadInstallOptions(m_installDir, &m_desktopShortcut, &m_startMenu) != 1)
        return 0;

    lstrcpynA(m_sourceDir, g_pAppFrame->GetModuleDir(), MAX_PATH);
    char sourceDir[MAX_PATH];

    // Every path the copy composes must fit the platform's limit, checked before anything
    // is copied: otherwise a later archive would fail after an earlier one was replaced.
    auto fits = [](const char* folder) {
        for (const char* name : kUpdateFiles) {
            if (std::strlen(CGsFileName(folder, name).GetPath()) >= MAX_PATH)
                return false;
        }
        return true;
    };
    if (!ComposeSourceFolder(sourceDir) || !fits(sourceDir)) {
        GsMessageBox(parent, kProgramDirTooLong, "Setup error", MB_ICONWARNING | MB_OK);
        return 0;
    }
    if (!fits(m_installDir)) {
        GsMessageBox(parent, kInstallPathTooLong, "Info", MB_ICONWARNING | MB_OK);
        return 0;
    }
    lstrcpynA(m_sourceDir, sourceDir, MAX_PATH);
    GsSumList sums;
    const MediumSums listed = LoadMediumSums(parent, &sums);
    if (listed == MediumSums::kRefused)
        return 0;

    m_installDialog = new CInstallDialog;
    m_installDialog->SetMediumSums(listed == MediumSums::kLoaded ? &sums : nullptr);
    if (m_installDialog->Start(parent, m_installDir, m_sourceDir, m_installType, 0, 0, kUpdateExtBit, nullptr, 0) == 0)
        return 0;
    Sleep(5);
    return 1;
}
