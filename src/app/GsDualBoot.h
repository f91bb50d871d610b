// Single-instance guard: holds a named mutex whose prior existence marks a running instance.
#pragma once
#include <windows.h>

#include "base/ScopedWin.h"

class CGsDualBoot {
public:
    CGsDualBoot() = default;
    virtual ~CGsDualBoot() = default;
    // 1 when this process is the first to hold the name; 0 when another holds it or the
    // mutex cannot be made. The handle, if any, is held until the destructor or next Create.
    int Create(const char* name);

    CGsDualBoot(const CGsDualBoot&) = delete;
    CGsDualBoot& operator=(const CGsDualBoot&) = delete;

private:
    ScopedHandle m_mutex;
};

// update.exe and gssetup.exe work on the same archives and the same temporary file: each takes
// both programs' names (string resources 101 and 112), one guard each, so neither starts while
// the other runs. 1 when this process holds both.
int GsTakeProgramNames(HINSTANCE instance, CGsDualBoot (&guards)[2]);
