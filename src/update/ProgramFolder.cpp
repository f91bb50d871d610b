#include "update/ProgramFolder.h"

#include "app/GsAppFrame.h"

#include <cstring>

size_t CopyProgramFolder(char* dest)
{
    lstrcpynA(dest, g_pAppFrame->GetModuleDir(), MAX_PATH);
    size_t len = std::strlen(dest);
    if (len > 0 && dest[len - 1] == '\\')
        dest[--len] = '\0';
    return len;
}
