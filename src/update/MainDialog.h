// The update confirmation dialog: names the update, tells whether it can be applied, and
// runs it on OK.
#pragma once
#include "base/ScopedWin.h"
#include "ui/GsDialog.h"

class CSetupDialog;

class CMainDialog : public CGsDialogSync {
public:
    CMainDialog() = default;
    ~CMainDialog() override;

    // Probes DirectX (warning below version 7), then runs the dialog modally; returns 1.
    int Execute();

    int OnInitDialog(CGsMessage& msg) override;
    // While an update runs (inside OK), commands and close requests that reach the dialog
    // through the copy engine's message pump (a queued second OK, a posted close) do nothing.
    int OnCommand(CGsMessage& msg) override;
    int OnClose(CGsMessage& msg) override;

private:
    char m_moduleDir[MAX_PATH] = {};
    char m_installPath[MAX_PATH] = {};
    char m_savePath[MAX_PATH] = {};
    CSetupDialog* m_setupDialog = nullptr;  // owned while OK runs
    // The window's icons; they outlive the window, which is gone before the object is deleted.
    ScopedIcon m_smallIcon;
    ScopedIcon m_bigIcon;
};
