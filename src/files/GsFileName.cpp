#include "files/GsFileName.h"

#include "files/GsPathSplit.h"

#include <memory>

CGsFileName::CGsFileName(const char* folder, const char* name) : m_name(name), m_folder(folder)
{
    // The last character decides, not the last byte: a folder ending in 表 (0x95 0x5C) still
    // needs its separator, or the name would be glued onto the folder's own name.
    if (!m_folder.empty() && !GsEndsWithBackslash(m_folder.c_str()))
        m_folder += '\\';
    m_path = m_folder + m_name;

    auto parts = std::make_unique<GsPathParts>();
    GsSplitPath(m_path.c_str(), GsIsPathLeadByte, parts.get());
    m_name = std::string(parts->fname) + parts->ext;
    m_folder = std::string(parts->drive) + parts->dir;
}
