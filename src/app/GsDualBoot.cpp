#include "app/GsDualBoot.h"

int CGsDualBoot::Create(const char* name)
{
    m_mutex.Reset();  // closed first: a name this object already holds is no second instance
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    // Read the last error before anything else can change it.
    const DWORD error = GetLastError();
    m_mutex.Reset(mutex);
    return (m_mutex && error != ERROR_ALREADY_EXISTS) ? 1 : 0;
}
