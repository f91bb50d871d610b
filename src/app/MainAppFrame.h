// The program's frame: single-instance and running-game checks, then the update dialog.
#pragma once
#include "app/GsAppFrame.h"

// Names that identify a running copy of the game.
extern const char kGameWindowClass[];
extern const char kGameWindowTitle[];
// The running-game search; tests steer it.
extern HWND(WINAPI* g_findGameWindow)(LPCSTR className, LPCSTR title);
// Mutex name, loaded from string resource 101.
extern char g_mutexName[256];

class CMainAppFrame : public CGsAppFrame {
public:
    int InitInstance() override;  // opens the confirmation dialog (update/MainDialog.cpp)
    int ExitInstance() override;
    int Run(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd) override;
};
