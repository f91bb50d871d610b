#include "update/ProgramFolder.h"

#include "app/GsAppFrame.h"
#include "files/GsPathSplit.h"

#include <cstring>

size_t CopyProgramFolder(char* dest)
{
    lstrcpynA(dest, g_pAppFrame->GetModuleDir(), MAX_PATH);
    size_t len = std::strlen(dest);
    // A trail byte of 0x5C (a folder named 表) is part of the name, not a separator.
    if (GsEndsWithBackslash(dest, GsIsAnsiLeadByte))
        dest[--len] = '\0';
    return len;
}
