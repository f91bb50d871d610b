// Single-instance guard: holds named mutexes whose prior existence marks a running instance.
#pragma once
#include <windows.h>

#include <vector>

#include "base/ScopedWin.h"

class CGsSingleInstance {
public:
    CGsSingleInstance() = default;
    virtual ~CGsSingleInstance() = default;
    // 1 when this process is the first to hold the name; 0 when another holds it or the
    // mutex cannot be made. Whatever the object held before is let go first, so a name it
    // already held is no second instance. Handles are held until the destructor.
    int Create(const char* name);
    // The same for one more name, held beside the others: a program that must not run beside
    // another also takes the other's name.
    int Add(const char* name);

    CGsSingleInstance(const CGsSingleInstance&) = delete;
    CGsSingleInstance& operator=(const CGsSingleInstance&) = delete;

private:
    std::vector<ScopedHandle> m_mutexes;
};

// update.exe and gssetup.exe work on the same archives and the same temporary file: each takes
// both names (string resources 101 and 102), so neither starts while the other runs. Loads the
// names from the module's resources; 1 when this process holds both.
int GsTakeProgramNames(HINSTANCE instance, CGsSingleInstance& guard);
