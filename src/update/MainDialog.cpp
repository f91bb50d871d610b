#include "app/MainAppFrame.h"

int CMainAppFrame::InitInstance() { return 1; }
