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

    CGsDualBoot guards[2];  // hold the names until Run returns
    if (!GsTakeProgramNames(instance, guards))
        return 0;  // another instance, or the setup program, runs: leave silently
    if (g_findGameWindow(kGameWindowClass, kGameWindowTitle) != nullptr)
        return 0;  // the game runs: leave silently

    if (InitInstance()) {
        return ExitInstance();
    }
    ExitInstance();
    return -1;
}
