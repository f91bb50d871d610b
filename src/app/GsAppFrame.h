// The application frame: start-up arguments, the program folder and the start-up hooks.
#pragma once
#include <windows.h>

// The platform queries behind the program-folder computation; tests steer them.
struct GsModuleQueries {
    DWORD(WINAPI* getModuleFileName)(HMODULE module, LPSTR buffer, DWORD size);
    DWORD(WINAPI* getCurrentDirectory)(DWORD size, LPSTR buffer);
};
extern GsModuleQueries g_moduleQueries;

class CGsAppFrame {
public:
    CGsAppFrame();
    virtual ~CGsAppFrame();

    virtual int InitInstance();
    virtual int ExitInstance();
    // Framework default: start-up, then a plain message loop until WM_QUIT.
    virtual int Run(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd);

    // Stores the entry point's values and computes the program folder.
    void InitModuleInfo(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd);

    HINSTANCE GetInstanceHandle() const { return m_instance; }
    // The folder of the program file without a trailing backslash (D: for a drive root).
    const char* GetModuleDir() const { return m_moduleDir; }

    CGsAppFrame(const CGsAppFrame&) = delete;
    CGsAppFrame& operator=(const CGsAppFrame&) = delete;

protected:
    HINSTANCE m_instance = nullptr;
    HINSTANCE m_prevInstance = nullptr;  // stored, never used
    LPSTR m_cmdLine = nullptr;           // not owned, never parsed
    int m_showCmd = 0;                   // stored, never used
    char m_moduleDir[MAX_PATH];
};

// Set by the frame's constructor; never cleared.
extern CGsAppFrame* g_pAppFrame;

// The body of WinMain: the frame's Run. Out of memory, the only exception the program lets
// propagate, ends the process with -1.
int GsRunAppFrame(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd);
