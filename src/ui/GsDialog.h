// Dialog class family: modeless (CGsDialog) and modal (CGsDialogSync) dialogs built from
// resource templates, whose messages reach virtual handlers through GsDialogProc.
#pragma once
#include <windows.h>

#include "ui/GsMessage.h"

class CGsWindowBase {
public:
    virtual ~CGsWindowBase() = default;
};

class CGsDialog : public CGsWindowBase {
public:
    CGsDialog() = default;
    // Leaves the dialog table, so that no message can reach a deleted object.
    ~CGsDialog() override;

    // Modeless: 1 when the window exists. The dialog stays registered while its window lives.
    virtual int Open(HWND parent, int templateId);
    virtual int OnCreated();
    virtual int OnGetMinMaxInfo(CGsMessage& msg);
    virtual int OnInitDialog(CGsMessage& msg);
    virtual int OnSysCommand(CGsMessage& msg);
    virtual int OnClose(CGsMessage& msg);
    virtual int OnCommand(CGsMessage& msg);
    virtual int OnActivate(CGsMessage& msg);
    virtual int OnNcActivate(CGsMessage& msg);
    virtual int OnActivateApp(CGsMessage& msg);
    virtual int OnPaint(CGsMessage& msg);
    virtual int OnSize(CGsMessage& msg);
    virtual int OnEraseBkgnd(CGsMessage& msg);
    virtual int OnMouseMove(CGsMessage& msg);
    virtual int OnVScroll(CGsMessage& msg);
    virtual int OnHScroll(CGsMessage& msg);
    virtual int OnNotify(CGsMessage& msg);
    virtual int OnDropFiles(CGsMessage& msg);
    virtual int OnDestroy(CGsMessage& msg);
    virtual int OnNcDestroy(CGsMessage& msg);
    virtual int OnSetCursor(CGsMessage& msg);
    virtual int OnCtlColorBtn(CGsMessage& msg);
    virtual int OnCtlColorStatic(CGsMessage& msg);
    virtual int OnCtlColorEdit(CGsMessage& msg);
    virtual int OnUserMessage(CGsMessage& msg);
    virtual int OnCopyData(CGsMessage& msg);
    virtual int HandleMessage(CGsMessage& msg);

    HWND GetHwnd() const { return m_hwnd; }
    HWND GetDlgItem(int id) const;
    // 0 without touching anything while there is no window. A system text (code page 932)...
    int SetDlgItemText(int id, const char* text);
    // ... and a path (the process's code page).
    int SetDlgItemPath(int id, const char* path);
    BOOL ShowWindow(int showCmd);
    BOOL UpdateWindow();

    CGsDialog(const CGsDialog&) = delete;
    CGsDialog& operator=(const CGsDialog&) = delete;

protected:
    HWND m_hwnd = nullptr;
    HWND m_parent = nullptr;
};

class CGsDialogSync : public CGsDialog {
public:
    // Modal run: the value given to EndDialog, -1 when the window could not be made,
    // 0 without an application frame. The dialog has left the table when it returns.
    // A handler that throws ends the run with 0; the parent is enabled again and the
    // exception is raised here once the run is over.
    int Open(HWND parent, int templateId) override;
    // Binds the window; overrides call this first.
    int OnInitDialog(CGsMessage& msg) override;
    int OnClose(CGsMessage& msg) override;
};

INT_PTR CALLBACK GsDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Centres the window on the primary screen, keeping its size; returns 1.
int CenterWindowOnScreen(HWND hwnd);
