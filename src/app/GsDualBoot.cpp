#include "app/GsDualBoot.h"

CGsDualBoot::~CGsDualBoot() { CloseMutex(); }

void CGsDualBoot::CloseMutex()
{
    if (m_mutex != nullptr) {
        CloseHandle(m_mutex);
        m_mutex = nullptr;
    }
}

int CGsDualBoot::Create(const char* name)
{
    CloseMutex();
    m_mutex = CreateMutexA(nullptr, FALSE, name);
    // Read the last error before anything else can change it.
    DWORD error = GetLastError();
    return (m_mutex != nullptr && error != ERROR_ALREADY_EXISTS) ? 1 : 0;
}
