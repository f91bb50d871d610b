// The progress dialog: copies the update's archives with a progress bar and status line,
// records the update and reports completion, all inside its WM_INITDIALOG handler.
#pragma once
#include "files/GsCopyList.h"
#include "system/GsSystem.h"
#include "ui/GsDialog.h"

class CInstallDialog : public CGsDialogSync {
public:
    CInstallDialog() = default;
    ~CInstallDialog() override = default;

    // Runs the dialog modally. 1 only when the dialog ended with 1 (copied and recorded);
    // 0 when it ended with 0 or could not be shown at all (the player has then been told).
    // The install type, option flags, save folder and save type are accepted and ignored.
    int Start(HWND parent, const char* destDir, const char* sourceDir, int installType, int desktopShortcut,
              int startMenu, int extBits, const char* saveDir, int saveType);

    int OnInitDialog(CGsMessage& msg) override;
    int OnCommand(CGsMessage& msg) override;

private:
    CGsSystem m_system;
    CGsCopyList m_copyList;
    char m_sourceDir[MAX_PATH] = {};
    char m_destDir[MAX_PATH] = {};
    int m_extBits = 0;
};
