#include "app/GsDualBoot.h"

#include "app/MainAppFrame.h"
#include "res/resource.h"

int CGsDualBoot::Create(const char* name)
{
    m_mutex.Reset();  // closed first: a name this object already holds is no second instance
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    // Read the last error before anything else can change it.
    const DWORD error = GetLastError();
    m_mutex.Reset(mutex);
    return (m_mutex && error != ERROR_ALREADY_EXISTS) ? 1 : 0;
}

int GsTakeProgramNames(HINSTANCE instance, CGsDualBoot (&guards)[2])
{
    char setupName[256] = {};
    LoadStringA(instance, IDS_MUTEX_NAME, g_mutexName, sizeof(g_mutexName));
    LoadStringA(instance, IDS_SETUP_MUTEX_NAME, setupName, sizeof(setupName));
    return guards[0].Create(g_mutexName) && guards[1].Create(setupName) ? 1 : 0;
}
