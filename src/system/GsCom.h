// CGsCom: keeps the process's COM initialisation balanced across helper objects and writes
// shell shortcut files (.lnk) from stored properties.
#pragma once
#include <windows.h>

#include <string>

#include "base/GsInterface.h"

// AddRef calls not yet balanced by Release, over all helpers. UI thread only.
extern int g_comInitCount;

class CGsCom : public IGsInterface {
public:
    CGsCom() = default;
    ~CGsCom() override;
    CGsCom(const CGsCom&) = delete;
    CGsCom& operator=(const CGsCom&) = delete;

    // The first unbalanced AddRef initialises COM on the calling thread. Returns 0.
    int AddRef() override;
    // Uninitialises COM when the count comes back to 0, then deletes the object. Returns 0.
    int Release() override;
    // Empties the texts and zeroes hot key, icon index and show command. Returns 1.
    virtual int Reset();
    // The setters copy their text; an empty text is not handed to the shell link (left unset).
    virtual void SetArguments(const char* text);
    virtual void SetDescription(const char* text);
    virtual void SetIconLocation(const char* path, int index);
    virtual void SetWorkingDirectory(const char* text);
    virtual void SetShowCmd(int showCmd);
    // Virtual key in the low byte, HOTKEYF_ modifiers in the high byte.
    virtual void SetHotkey(WORD hotkey);
    // Writes `linkPath` pointing at `targetPath` with the stored properties. 1 only when the
    // shell saved it (S_OK); 0 also for a link path of 260 characters or more.
    virtual int CreateShortcut(const char* linkPath, const char* targetPath);

private:
    std::string m_arguments;
    std::string m_description;
    std::string m_iconPath;
    std::string m_workingDir;
    WORD m_hotkey = 0;
    int m_iconIndex = 0;
    int m_showCmd = 0;
};
