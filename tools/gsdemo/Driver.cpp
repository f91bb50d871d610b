#include "Driver.h"

#include <commctrl.h>

#include "base/GsText.h"

#include <vector>

namespace e2e {

bool Process::Start(const std::string& exe, const std::string& workDir, const std::string& args)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
        return false;
    m_thread.Reset(pi.hThread);
    m_process.Reset(pi.hProcess);
    m_id = pi.dwProcessId;
    return true;
}

bool Process::Running() const { return m_process && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT; }

DWORD Process::WaitExit(DWORD timeoutMs) const
{
    if (!m_process)
        return STILL_ACTIVE;
    if (WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process.Get(), &code);
    return code;
}

void Process::Kill()
{
    if (Running()) {
        TerminateProcess(m_process.Get(), 99);
        WaitForSingleObject(m_process.Get(), 5000);
    }
}

void Process::Suspend()
{
    if (m_thread)
        SuspendThread(m_thread.Get());
}

void Process::Resume()
{
    if (m_thread)
        ResumeThread(m_thread.Get());
}

bool Process::ChooseFolder(HWND browser, const std::string& folder)
{
    const UINT kSetSelectionA = WM_USER + 102;  // BFFM_SETSELECTIONA
    void* remote = VirtualAllocEx(m_process.Get(), nullptr, folder.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    if (remote == nullptr || !WriteProcessMemory(m_process.Get(), remote, folder.c_str(), folder.size() + 1, nullptr))
        return false;
    // The browser has set itself up once its tree has a selection (the initial folder).
    HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    for (int i = 0; i < 1000 && SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) == 0; ++i)
        Sleep(10);
    SendMessageA(browser, kSetSelectionA, TRUE, reinterpret_cast<LPARAM>(remote));
    VirtualFreeEx(m_process.Get(), remote, 0, MEM_RELEASE);
    return PostMessageA(browser, WM_COMMAND, IDOK, 0) != FALSE;
}

namespace {

struct Search {
    DWORD pid;
    const char* className;
    const char* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM param)
{
    auto* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (s->pid != 0 && pid != s->pid)
        return TRUE;
    if (s->className != nullptr) {
        char cls[256] = {};
        GetClassNameA(hwnd, cls, sizeof(cls));
        if (lstrcmpA(cls, s->className) != 0)
            return TRUE;
    }
    if (s->caption != nullptr && WindowText(hwnd) != s->caption)
        return TRUE;
    s->found.push_back(hwnd);
    return TRUE;
}

}  // namespace

std::vector<HWND> FindWindows(DWORD pid, const char* className, const char* caption)
{
    Search s{pid, className, caption, {}};
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND WaitWindow(DWORD pid, const char* className, const char* caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND h : FindWindows(pid, className, caption)) {
            if (IsWindowVisible(h))
                return h;
        }
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(10);
    }
}

bool WaitWindowGone(DWORD pid, const char* className, const char* caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!FindWindows(pid, className, caption).empty()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

std::wstring WindowTextW(HWND hwnd)
{
    wchar_t text[2048] = {};
    // WM_GETTEXT works across processes; GetWindowText would not read another's controls. The
    // wide form reads what the window holds, whatever the code page of either process.
    SendMessageTimeoutW(hwnd, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

std::string WindowText(HWND hwnd) { return GsTextToCp932(WindowTextW(hwnd).c_str()); }

std::string ControlText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr ? WindowText(control) : std::string();
}

std::string MessageBoxText(HWND box) { return ControlText(box, 0xFFFF); }

std::string AnswerBox(DWORD pid, const char* caption, DWORD timeoutMs, int button)
{
    HWND box = WaitWindow(pid, "#32770", caption, timeoutMs);
    if (box == nullptr)
        return "(no box)";
    const std::string text = MessageBoxText(box);
    Press(box, button);
    return text;
}

bool IsVisible(HWND hwnd) { return IsWindow(hwnd) && IsWindowVisible(hwnd); }

void Press(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SysClose(HWND hwnd) { PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); }

void PostKey(HWND hwnd, UINT vk)
{
    PostMessageA(hwnd, WM_KEYDOWN, vk, 1);
    PostMessageA(hwnd, WM_KEYUP, vk, 0xC0000001);
}

}  // namespace e2e
