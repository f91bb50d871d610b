// CInstallDialog, the copy run: Start and the handlers of the progress dialog.
#include "update/InstallDialog.h"

#include "files/GsFileName.h"
#include "res/resource.h"
#include "store/InstallInfo.h"
#include "ui/GsMessageBox.h"
#include "update/MediumSums.h"
#include "update/UpdateTexts.h"

#include <commctrl.h>

namespace {
const char kCompleted[] = "アップデート完了しました";
const char kCannotShowProgress[] = "インストール画面を表示できません";
}  // namespace

int CInstallDialog::Start(HWND parent, const char* destDir, const char* sourceDir, int /*installType*/,
                          int /*desktopShortcut*/, int /*startMenu*/, int extBits, const char* /*saveDir*/,
                          int /*saveType*/)
{
    lstrcpynA(m_sourceDir, sourceDir, MAX_PATH);
    lstrcpynA(m_destDir, destDir, MAX_PATH);
    m_extBits = extBits;
    int result = Open(parent, IDD_INSTALL);
    if (result == -1) {
        // The window could not be made: nothing was copied, and that is not success.
        GsMessageBox(parent, kCannotShowProgress, "Setup error", MB_ICONERROR | MB_OK);
    }
    return result == 1 ? 1 : 0;
}

int CInstallDialog::OnInitDialog(CGsMessage& msg)
{
    CGsDialogSync::OnInitDialog(msg);
    CenterWindowOnScreen(msg.hwnd);
    ShowWindow(SW_SHOWNORMAL);
    UpdateWindow();

    HWND progress = GetDlgItem(IDC_INSTALL_PROGRESS);
    SendMessageA(progress, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressRange));
    SendMessageA(progress, PBM_SETPOS, 0, 0);

    // All the work happens inside this handler, while the copy engine pumps messages; the
    // parent must be disabled now (not only once the modal loop runs), or its OK could start
    // a second, nested update.
    HWND parent = m_parent;
    if (parent != nullptr)
        EnableWindow(parent, FALSE);

    m_copyList.Clear();
    m_copyList.SetMinimumSourceSize(kArchiveHeaderSize);
    for (const char* name : kUpdateFiles) {
        CGsFileName dest(m_destDir, name);
        CGsFileName source(m_sourceDir, name);
        if (m_sums != nullptr)
            m_copyList.AddChecked(source, dest, m_sums->Find(MediumName(name)));
        else
            m_copyList.Add(source, dest);
    }

    const int copied = m_copyList.CopyAll(msg.hwnd, progress, IDC_INSTALL_STATUS, kProgressRange) != 0 ? 1 : 0;
    if (copied) {
        Sleep(100);
        AddInstallExt(m_extBits);
        Sleep(100);
        m_copyList.Clear();
        GsMessageBox(msg.hwnd, kCompleted, "Update", MB_ICONINFORMATION | MB_OK);
    }
    if (parent != nullptr)
        EnableWindow(parent, TRUE);
    EndDialog(msg.hwnd, copied);
    return copied;
}

int CInstallDialog::OnClose(CGsMessage&)
{
    return 1;
}

int CInstallDialog::OnCommand(CGsMessage& msg)
{
    if (LOWORD(msg.wParam) == IDC_INSTALL_ABORT)
        m_copyList.RequestAbort(nullptr, nullptr);
    msg.result = 0;
    return 1;
}
