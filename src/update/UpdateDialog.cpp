#include "update/UpdateDialog.h"

#include "res/resource.h"

int CUpdateDialog::Open(HWND parent) { return CGsDialog::Open(parent, IDD_UPDATE); }

int CUpdateDialog::Close()
{
    if (m_hwnd != nullptr)
        DestroyWindow(m_hwnd);
    return 1;
}

// No messages are pumped while the merge runs: this one paint is all the notice gets. Wine
// copies a window's drawing to the X display only when its thread finds its queue empty, so
// the messages already queued for the new window are handled here, once.
int CUpdateDialog::OnCreated()
{
    ShowWindow(SW_SHOWNORMAL);
    UpdateWindow();
    MSG pending;
    while (m_hwnd != nullptr && PeekMessageW(&pending, m_hwnd, 0, 0, PM_REMOVE))
        DispatchMessageW(&pending);
    PeekMessageW(&pending, m_hwnd, 0, 0, PM_NOREMOVE);
    return 1;
}

int CUpdateDialog::OnClose(CGsMessage& msg)
{
    DestroyWindow(msg.hwnd);
    return 1;
}
