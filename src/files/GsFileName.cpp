#include "files/GsFileName.h"

#include "files/GsPathSplit.h"

#include <windows.h>

#include <memory>

namespace {
// The ANSI code page's lead bytes (code page 932 on the systems the program addresses).
bool IsAnsiLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}
}  // namespace

CGsFileName::CGsFileName(const char* folder, const char* name) : m_name(name), m_folder(folder)
{
    // Only the last byte is compared: a folder ending in a double-byte character whose trail
    // byte is 0x5C counts as ending in a separator, as the platform's own path code does.
    if (!m_folder.empty() && m_folder.back() != '\\')
        m_folder += '\\';
    m_path = m_folder + m_name;

    auto parts = std::make_unique<GsPathParts>();
    GsSplitPath(m_path.c_str(), IsAnsiLeadByte, parts.get());
    m_name = std::string(parts->fname) + parts->ext;
    m_folder = std::string(parts->drive) + parts->dir;
}
