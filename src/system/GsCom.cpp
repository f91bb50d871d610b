#include "system/GsCom.h"

#include <objbase.h>
#include <shlobj.h>

#include "base/ScopedWin.h"

int g_comInitCount = 0;

CGsCom::~CGsCom() = default;

int CGsCom::AddRef()
{
    if (g_comInitCount == 0)
        ::CoInitialize(nullptr);
    ++g_comInitCount;
    return 0;
}

int CGsCom::Release()
{
    if (--g_comInitCount == 0)
        ::CoUninitialize();
    delete this;
    return 0;
}

int CGsCom::Reset()
{
    m_arguments.clear();
    m_description.clear();
    m_iconPath.clear();
    m_workingDir.clear();
    m_hotkey = 0;
    m_iconIndex = 0;
    m_showCmd = 0;
    return 1;
}

void CGsCom::SetArguments(const char* text) { m_arguments = text; }
void CGsCom::SetDescription(const char* text) { m_description = text; }
void CGsCom::SetIconLocation(const char* path, int index)
{
    m_iconPath = path;
    m_iconIndex = index;
}
void CGsCom::SetWorkingDirectory(const char* text) { m_workingDir = text; }
void CGsCom::SetShowCmd(int showCmd) { m_showCmd = showCmd; }
void CGsCom::SetHotkey(WORD hotkey) { m_hotkey = hotkey; }

int CGsCom::CreateShortcut(const char* linkPath, const char* targetPath)
{
    // Converted first: a path that does not fit 260 UTF-16 units cannot be saved, and the
    // shell link is then not worth creating.
    WCHAR widePath[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH) == 0)
        return 0;

    ScopedComRef<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  link.Out())))
        return 0;
    // The setters' results are not looked at. An empty text is not handed over at all, which
    // leaves the property unset as a null pointer would: Wine's link object stores one
    // uninitialised character for a null working directory.
    link.p->SetPath(targetPath);
    if (!m_arguments.empty())
        link.p->SetArguments(m_arguments.c_str());
    if (!m_description.empty())
        link.p->SetDescription(m_description.c_str());
    if (!m_workingDir.empty())
        link.p->SetWorkingDirectory(m_workingDir.c_str());
    if (!m_iconPath.empty())
        link.p->SetIconLocation(m_iconPath.c_str(), m_iconIndex);
    link.p->SetHotkey(m_hotkey);
    link.p->SetShowCmd(m_showCmd);

    ScopedComRef<IPersistFile> file;
    if (FAILED(link.p->QueryInterface(IID_IPersistFile, file.Out())))
        return 0;
    return file.p->Save(widePath, TRUE) == S_OK ? 1 : 0;
}
