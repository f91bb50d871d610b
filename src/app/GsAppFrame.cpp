#include "app/GsAppFrame.h"

#include "base/GsPath.h"

#include <commctrl.h>
#include <cstring>
#include <exception>

CGsAppFrame* g_pAppFrame = nullptr;

GsModuleQueries g_moduleQueries = {GetModuleFileNameA, GetCurrentDirectoryA};

CGsAppFrame::CGsAppFrame()
{
    g_pAppFrame = this;
    std::memset(m_moduleDir, 0, sizeof(m_moduleDir));
    InitCommonControls();  // the progress bars need the class registered
}

CGsAppFrame::~CGsAppFrame() = default;

int CGsAppFrame::InitInstance() { return 1; }

int CGsAppFrame::ExitInstance() { return 0; }

int CGsAppFrame::Run(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd)
{
    InitModuleInfo(instance, prevInstance, cmdLine, showCmd);
    InitInstance();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return ExitInstance();
}

void CGsAppFrame::InitModuleInfo(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd)
{
    m_instance = instance;
    m_prevInstance = prevInstance;
    m_cmdLine = cmdLine;
    m_showCmd = showCmd;

    g_moduleQueries.getModuleFileName(instance, m_moduleDir, MAX_PATH);
    m_moduleDir[MAX_PATH - 1] = '\0';  // older systems leave a truncated path unterminated

    // Cut at the last backslash after the first character: C:\Games\update.exe gives C:\Games,
    // D:\update.exe gives D:. The scan steps over double-byte characters so that a 0x5C trail
    // byte in a file name (ソ, 表) is not taken for a separator.
    char* lastSeparator = const_cast<char*>(GsFindLastOf(m_moduleDir, "\\"));
    if (lastSeparator == m_moduleDir)
        lastSeparator = nullptr;
    if (lastSeparator != nullptr) {
        *lastSeparator = '\0';
    } else {
        std::memset(m_moduleDir, 0, sizeof(m_moduleDir));
        g_moduleQueries.getCurrentDirectory(MAX_PATH, m_moduleDir);
        m_moduleDir[MAX_PATH - 1] = '\0';
    }
}

int GsRunAppFrame(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd)
{
    try {
        return g_pAppFrame->Run(instance, prevInstance, cmdLine, showCmd);
    } catch (const std::exception& e) {
        OutputDebugStringA(e.what());
        return -1;
    }
}
