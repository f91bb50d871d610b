#include "app/MainAppFrame.h"

#include "app/GsDualBoot.h"
#include "res/resource.h"

const char kGameWindowClass[] = "PebbleCradle_MainProgram19_ClassName";
const char kGameWindowTitle[] = "Quillamet";
char g_mutexName[256];
HWND(WINAPI* g_findGameWindow)(LPCSTR, LPCSTR) = FindWindowA;

int CMainAppFrame::ExitInstance() { return 0; }

int CMainAppFrame::Run(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd)
{
    InitModuleInfo(instance, prevInstance, cmdLine, showCmd);

    CGsDualBoot guard;  // holds the mutex until Run returns
    LoadStringA(instance, IDS_MUTEX_NAME, g_mutexName, sizeof(g_mutexName));
    if (!guard.Create(g_mutexName))
        return 0;  // another instance runs: leave silently
    if (g_findGameWindow(kGameWindowClass, kGameWindowTitle) != nullptr)
        return 0;  // the game runs: leave silently

    if (InitInstance()) {
        return ExitInstance();
    }
    ExitInstance();
    return -1;
}
