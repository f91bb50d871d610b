// Process entry: the one application frame, then its Run.
#include "app/MainAppFrame.h"

static CMainAppFrame s_appFrame;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd)
{
    return GsRunAppFrame(instance, prevInstance, cmdLine, showCmd);
}
