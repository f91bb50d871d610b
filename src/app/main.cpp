// Process entry: the one application frame, then its Run.
#include "app/MainAppFrame.h"

#include <exception>

static CMainAppFrame s_appFrame;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd)
{
    try {
        return g_pAppFrame->Run(instance, prevInstance, cmdLine, showCmd);
    } catch (const std::exception& e) {
        // Out of memory is the only exception the program lets propagate.
        OutputDebugStringA(e.what());
        return -1;
    }
}
