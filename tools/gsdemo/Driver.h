// A small UI driver for end-to-end tests: starts a program, finds its windows by class and
// caption, reads texts, presses buttons, and waits for the program to end.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/ScopedWin.h"

namespace e2e {

class Process {
public:
    // Starts `exe` with `workDir` as current directory and `args` after the program's name on
    // its command line; false when it cannot be started.
    bool Start(const std::string& exe, const std::string& workDir, const std::string& args = "");
    DWORD Id() const { return m_id; }
    bool Running() const;
    // The exit code, or STILL_ACTIVE when it did not end within the time.
    DWORD WaitExit(DWORD timeoutMs) const;
    void Kill();
    // Freezes and thaws the program's main thread (to photograph a passing window).
    void Suspend();
    void Resume();
    // Chooses `folder` in the program's folder browser and presses OK, as a player's clicks
    // would: the path is placed in the program's memory for the browser's set-selection message.
    bool ChooseFolder(HWND browser, const std::string& folder);

private:
    ScopedHandle m_process;
    ScopedHandle m_thread;
    DWORD m_id = 0;
};

// Top-level windows of a process (visible or not) with the given class and caption; null
// class or caption matches any.
std::vector<HWND> FindWindows(DWORD pid, const char* className, const char* caption);
// Waits until such a window exists; null after the time.
HWND WaitWindow(DWORD pid, const char* className, const char* caption, DWORD timeoutMs);
// Waits until no such window exists; false after the time.
bool WaitWindowGone(DWORD pid, const char* className, const char* caption, DWORD timeoutMs);

// A window's text as it holds it, and as code page 932 (how the tests hold the program's own
// texts; characters 932 lacks become '?').
std::wstring WindowTextW(HWND hwnd);
std::string WindowText(HWND hwnd);
std::string ControlText(HWND dialog, int id);
// A message box's text is its static control 0xFFFF.
std::string MessageBoxText(HWND box);
// Waits for a message box with that caption, reads its text and presses `button`; "(no box)"
// when none shows in time.
std::string AnswerBox(DWORD pid, const char* caption, DWORD timeoutMs, int button = IDOK);
bool IsVisible(HWND hwnd);

// Posts a button press (WM_COMMAND with BN_CLICKED) to a dialog.
void Press(HWND dialog, int id);
// The title bar's close command.
void SysClose(HWND hwnd);
// A key press delivered through the dialog's own message loop.
void PostKey(HWND hwnd, UINT vk);


}  // namespace e2e
