#include "ui/GsDialog.h"

#include "app/GsAppFrame.h"
#include "ui/GsDialogTable.h"
#include "base/GsText.h"

#include <exception>

namespace {

HINSTANCE FrameInstance()
{
    return g_pAppFrame != nullptr ? g_pAppFrame->GetInstanceHandle() : nullptr;
}

// An exception must not unwind through the platform's message loop: it is kept here and
// raised again when the platform call that runs the loop has returned to Open.
std::exception_ptr g_pendingException;

void RethrowPending()
{
    if (g_pendingException) {
        std::exception_ptr e = g_pendingException;
        g_pendingException = nullptr;
        std::rethrow_exception(e);
    }
}

int Deliver(CGsDialog* dialog, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result)
{
    CGsMessage record{dialog, hwnd, message, wParam, lParam, 0};
    if (dialog->HandleMessage(record) == 0)
        return 0;
    *result = record.result;
    return 1;
}

}  // namespace

CGsDialog::~CGsDialog()
{
    if (g_dialogTableAlive)
        g_dialogTable.Remove(this);
}

int CGsDialog::Open(HWND parent, int templateId)
{
    HINSTANCE instance = FrameInstance();
    if (instance == nullptr)
        return 0;
    g_dialogTable.Register(this);
    m_parent = parent;
    // The wide functions keep the template's texts; the narrow ones would pass them through the
    // process's code page, which turns them into question marks on a system set to another language.
    m_hwnd = CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId & 0xFFFF), parent, GsDialogProc, 0);
    OnCreated();
    if (m_hwnd == nullptr) {
        // Without a window nothing would ever take it out of the table again.
        g_dialogTable.Remove(this);
        m_parent = nullptr;
    }
    RethrowPending();
    return m_hwnd != nullptr ? 1 : 0;
}

int CGsDialogSync::Open(HWND parent, int templateId)
{
    HINSTANCE instance = FrameInstance();
    if (instance == nullptr)
        return 0;
    g_dialogTable.Register(this);
    m_parent = parent;
    INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId & 0xFFFF), parent, GsDialogProc, 0);
    g_dialogTable.Remove(this);
    // A handler that threw may have disabled the parent for work it never finished.
    if (g_pendingException && parent != nullptr)
        EnableWindow(parent, TRUE);
    RethrowPending();
    return static_cast<int>(result);
}

int CGsDialog::OnCreated() { return 1; }
int CGsDialog::OnGetMinMaxInfo(CGsMessage&) { return 0; }
int CGsDialog::OnInitDialog(CGsMessage&) { return 0; }

int CGsDialogSync::OnInitDialog(CGsMessage& msg)
{
    m_hwnd = msg.hwnd;
    return 1;
}

int CGsDialog::OnSysCommand(CGsMessage& msg)
{
    if (msg.wParam != SC_CLOSE)
        return 0;
    OnClose(msg);
    return 1;
}

int CGsDialog::OnClose(CGsMessage& msg)
{
    DestroyWindow(msg.hwnd);
    return 1;
}

int CGsDialogSync::OnClose(CGsMessage& msg)
{
    EndDialog(msg.hwnd, 0);
    return 1;
}

int CGsDialog::OnCommand(CGsMessage&) { return 0; }
int CGsDialog::OnActivate(CGsMessage&) { return 0; }
int CGsDialog::OnNcActivate(CGsMessage&) { return 0; }
int CGsDialog::OnActivateApp(CGsMessage&) { return 0; }
int CGsDialog::OnPaint(CGsMessage&) { return 0; }
int CGsDialog::OnSize(CGsMessage&) { return 0; }
int CGsDialog::OnEraseBkgnd(CGsMessage&) { return 0; }
int CGsDialog::OnMouseMove(CGsMessage&) { return 0; }
int CGsDialog::OnVScroll(CGsMessage&) { return 0; }
int CGsDialog::OnHScroll(CGsMessage&) { return 0; }
int CGsDialog::OnNotify(CGsMessage&) { return 0; }
int CGsDialog::OnDropFiles(CGsMessage&) { return 0; }
int CGsDialog::OnDestroy(CGsMessage&) { return 0; }

int CGsDialog::OnNcDestroy(CGsMessage&)
{
    m_hwnd = nullptr;
    m_parent = nullptr;
    if (g_pAppFrame != nullptr)
        g_dialogTable.Remove(this);
    return 0;
}

int CGsDialog::OnSetCursor(CGsMessage&) { return 0; }
int CGsDialog::OnCtlColorBtn(CGsMessage&) { return 0; }
int CGsDialog::OnCtlColorStatic(CGsMessage&) { return 0; }
int CGsDialog::OnCtlColorEdit(CGsMessage&) { return 0; }
int CGsDialog::OnUserMessage(CGsMessage&) { return 0; }
int CGsDialog::OnCopyData(CGsMessage&) { return 0; }

int CGsDialog::HandleMessage(CGsMessage& msg)
{
    switch (msg.message) {
    case WM_GETMINMAXINFO: return OnGetMinMaxInfo(msg);
    case WM_INITDIALOG: return OnInitDialog(msg);
    case WM_SYSCOMMAND: return OnSysCommand(msg);
    case WM_COMMAND: return OnCommand(msg);
    case WM_ACTIVATE: return OnActivate(msg);
    case WM_NCACTIVATE: return OnNcActivate(msg);
    case WM_ACTIVATEAPP: return OnActivateApp(msg);
    case WM_PAINT: return OnPaint(msg);
    case WM_SIZE: return OnSize(msg);
    case WM_ERASEBKGND: return OnEraseBkgnd(msg);
    case WM_MOUSEMOVE: return OnMouseMove(msg);
    case WM_VSCROLL: return OnVScroll(msg);
    case WM_HSCROLL: return OnHScroll(msg);
    case WM_NOTIFY: return OnNotify(msg);
    case WM_DROPFILES: return OnDropFiles(msg);
    case WM_DESTROY: return OnDestroy(msg);
    case WM_NCDESTROY: return OnNcDestroy(msg);
    case WM_SETCURSOR: return OnSetCursor(msg);
    case WM_CTLCOLORBTN: return OnCtlColorBtn(msg);
    case WM_CTLCOLORSTATIC: return OnCtlColorStatic(msg);
    case WM_CTLCOLOREDIT: return OnCtlColorEdit(msg);
    case WM_COPYDATA: return OnCopyData(msg);
    default:
        msg.result = 0;
        if (msg.message >= WM_USER && msg.message <= 0x7FFF)
            return OnUserMessage(msg);
        return 0;
    }
}

HWND CGsDialog::GetDlgItem(int id) const { return ::GetDlgItem(m_hwnd, id); }

int CGsDialog::SetDlgItemText(int id, const char* text)
{
    if (m_hwnd == nullptr)
        return 0;
    return ::SetDlgItemTextW(m_hwnd, id, GsText(text).c_str());
}

int CGsDialog::SetDlgItemPath(int id, const char* path)
{
    if (m_hwnd == nullptr)
        return 0;
    return ::SetDlgItemTextW(m_hwnd, id, GsPathText(path).c_str());
}

BOOL CGsDialog::ShowWindow(int showCmd) { return ::ShowWindow(m_hwnd, showCmd); }

BOOL CGsDialog::UpdateWindow() { return ::UpdateWindow(m_hwnd); }

INT_PTR CALLBACK GsDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_pAppFrame == nullptr || !g_dialogTableAlive)
        return 0;
    CGsDialog* target = nullptr;
    try {
        INT_PTR result = 0;
        target = g_dialogTable.FindByWindow(hwnd);
        if (target != nullptr && Deliver(target, hwnd, message, wParam, lParam, &result))
            return result;
        // Declined or unclaimed: offer it to the dialog registered last. This is how a new
        // window's first messages, WM_INITDIALOG included, find their object.
        target = g_dialogTable.Current();
        if (target != nullptr && Deliver(target, hwnd, message, wParam, lParam, &result))
            return result;
    } catch (...) {
        if (!g_pendingException)
            g_pendingException = std::current_exception();
        // Left open, a modal dialog whose work was cut short would wait for a button it may
        // not have, with its parent disabled. Open raises the exception once the run is over.
        if (dynamic_cast<CGsDialogSync*>(target) != nullptr)
            EndDialog(hwnd, 0);
    }
    return 0;
}

int CenterWindowOnScreen(HWND hwnd)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    MoveWindow(hwnd, x, y, width, height, TRUE);
    return 1;
}
