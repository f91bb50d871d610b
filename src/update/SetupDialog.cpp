#include "update/SetupDialog.h"

#include "app/GsAppFrame.h"
#include "store/InstallInfo.h"
#include "ui/GsMessageBox.h"
#include "update/InstallDialog.h"
#include "update/ProgramFolder.h"
#include "update/UpdateTexts.h"

#include <cstring>

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
    char programDir[MAX_PATH];
    size_t len = CopyProgramFolder(programDir);

    // programDir + '\' + "ZUNA" + terminator must fit the source-folder buffer.
    if (len + 1 + std::strlen(kSourceSubfolder) + 1 > sizeof(m_sourceDir)) {
        GsMessageBox(parent, kProgramDirTooLong, "Setup error", MB_ICONWARNING | MB_OK);
        return 0;
    }
    wsprintfA(m_sourceDir, "%s\\%s", programDir, kSourceSubfolder);

    m_installDialog = new CInstallDialog;
    if (m_installDialog->Start(parent, m_installDir, m_sourceDir, m_installType, 0, 0, kUpdateExtBit, nullptr, 0) == 0)
        return 0;
    Sleep(5);
    return 1;
}
