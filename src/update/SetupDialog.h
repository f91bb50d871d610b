// The framework's setup dialog. This program uses its update entry only; the install-menu
// operations follow RunUpdate in the same class.
#pragma once
#include "system/GsSystem.h"
#include "ui/GsDialog.h"

class CInstallDialog;

class CSetupDialog : public CGsDialogSync {
public:
    CSetupDialog() = default;
    ~CSetupDialog() override;

    // Copies the update's archives into the recorded install folder in the progress dialog.
    // 1 when the update has been applied, 0 otherwise (the player has been told why).
    virtual int RunUpdate(HWND parent);

protected:
    CGsSystem m_system;  // the install menu's folder, drive and space questions
    char m_sourceDir[MAX_PATH] = {};
    char m_installDir[MAX_PATH] = {};
    char m_menuPath3[MAX_PATH] = {};  // install menu
    char m_unusedPath[MAX_PATH] = {};
    char m_saveDir[MAX_PATH] = {};
    char m_menuPath6[MAX_PATH] = {};  // install menu
    int m_saveType = 0;
    int m_installType = 0;
    int m_installSizeMB = 1800;
    int m_desktopShortcut = 0;
    int m_startMenu = 0;
    CInstallDialog* m_installDialog = nullptr;  // owned
};
