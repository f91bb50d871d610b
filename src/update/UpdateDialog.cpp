#include "update/UpdateDialog.h"

#include "res/resource.h"

int CUpdateDialog::Open(HWND parent) { return CGsDialog::Open(parent, IDD_UPDATE); }

int CUpdateDialog::Close()
{
    if (m_hwnd != nullptr)
        DestroyWindow(m_hwnd);
    return 1;
}

// No messages are pumped while the merge runs: this one paint is all the notice gets.
int CUpdateDialog::OnCreated()
{
    ShowWindow(SW_SHOWNORMAL);
    UpdateWindow();
    return 1;
}

int CUpdateDialog::OnClose(CGsMessage& msg)
{
    DestroyWindow(msg.hwnd);
    return 1;
}
