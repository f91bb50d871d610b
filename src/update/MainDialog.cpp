#include "update/MainDialog.h"

#include "app/MainAppFrame.h"
#include "res/resource.h"
#include "store/InstallInfo.h"
#include "ui/GsMessageBox.h"
#include "base/GsText.h"
#include "update/DirectXProbe.h"
#include "update/ProgramFolder.h"
#include "update/SetupDialog.h"
#include "update/UpdateTexts.h"

namespace {

const char kTitle[] = "Quillamet　アップデート１";
const char kNotInstalled[] = "Quillamet が\r\nインストールされていません";
const char kAlreadyApplied[] = "Quillamet アップデート１は\r\nインストールされています";
const char kConfirmation[] =
    "Quillamet アップデート１ を\r\nインストールします。\r\n"
    "インストールを開始すると中断することはできません。\r\n"
    "ＯＫを押すとインストールを開始します。";
const char kDirectXWarningFormat[] = "%sを動作させるにはDirectX7以上が必要です。";

// Tells the player why there is nothing to update and closes the dialog.
int Refuse(HWND dialog, const char* text, UINT icon)
{
    GsMessageBox(dialog, text, "Info", icon | MB_OK);
    EndDialog(dialog, 0);
    return 0;
}

}  // namespace

int CMainAppFrame::InitInstance()
{
    CMainDialog* dialog = new CMainDialog;
    int executed = dialog->Execute();
    delete dialog;
    return executed != 0 ? 1 : 0;
}

CMainDialog::~CMainDialog()
{
    delete m_setupDialog;
    m_setupDialog = nullptr;
}

int CMainDialog::Execute()
{
    CopyProgramFolder(m_moduleDir);

    DWORD version = 0;
    DWORD platform = 0;
    ProbeDirectXVersion(&version, &platform);
    if (version < kDirectXRequired) {
        char text[512];
        wsprintfA(text, kDirectXWarningFormat, kGameTitle);
        GsMessageBox(nullptr, text, "Setup Info", MB_ICONWARNING | MB_OK);
    }

    Open(nullptr, IDD_MAIN);
    return 1;
}

int CMainDialog::OnInitDialog(CGsMessage& msg)
{
    CGsDialogSync::OnInitDialog(msg);
    HINSTANCE instance = g_pAppFrame->GetInstanceHandle();
    m_smallIcon.Reset(static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
    SendMessageA(msg.hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.Get()));
    m_bigIcon.Reset(static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
    SendMessageA(msg.hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.Get()));
    GsSetWindowText(msg.hwnd, GsText(kTitle));

    int installed = ReadInstallPaths(m_installPath, m_savePath, nullptr, MAX_PATH, MAX_PATH);
    // The record is kept: the game may still run from it, only this update cannot use it.
    if (installed == GS_INSTALL_PATH_TOO_LONG)
        return Refuse(msg.hwnd, kInstallPathTooLong, MB_ICONWARNING);
    if (installed != 1)
        return Refuse(msg.hwnd, kNotInstalled, MB_ICONINFORMATION);

    DWORD flags = 0;
    ReadInstallExt(&flags);
    if (flags & kUpdateExtBit)
        return Refuse(msg.hwnd, kAlreadyApplied, MB_ICONINFORMATION);

    SetDlgItemText(IDC_MAIN_TEXT, kConfirmation);
    CenterWindowOnScreen(msg.hwnd);
    return 1;
}

int CMainDialog::OnCommand(CGsMessage& msg)
{
    msg.result = 0;
    if (m_setupDialog != nullptr)
        return 1;
    switch (LOWORD(msg.wParam)) {
    case IDC_MAIN_CANCEL:
        EndDialog(msg.hwnd, 0);
        break;
    case IDC_MAIN_OK: {
        m_setupDialog = new CSetupDialog;
        int applied = m_setupDialog->RunUpdate(msg.hwnd);
        delete m_setupDialog;
        m_setupDialog = nullptr;
        if (applied == 1)
            EndDialog(msg.hwnd, 0);
        break;
    }
    default:
        break;
    }
    return 1;
}

int CMainDialog::OnClose(CGsMessage& msg)
{
    if (m_setupDialog != nullptr)
        return 1;
    return CGsDialogSync::OnClose(msg);
}
