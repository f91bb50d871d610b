#include "app/GsSingleInstance.h"

#include "app/MainAppFrame.h"
#include "res/resource.h"

int CGsSingleInstance::Create(const char* name)
{
    m_mutexes.clear();
    return Add(name);
}

int CGsSingleInstance::Add(const char* name)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    // Read the last error before anything else can change it.
    const DWORD error = GetLastError();
    if (mutex == nullptr)
        return 0;
    m_mutexes.emplace_back(mutex);
    return error != ERROR_ALREADY_EXISTS ? 1 : 0;
}

int GsTakeProgramNames(HINSTANCE instance, CGsSingleInstance& guard)
{
    char setupName[256] = {};
    LoadStringA(instance, IDS_MUTEX_NAME, g_mutexName, sizeof(g_mutexName));
    LoadStringA(instance, IDS_SETUP_MUTEX_NAME, setupName, sizeof(setupName));
    return guard.Create(g_mutexName) && guard.Add(setupName) ? 1 : 0;
}
