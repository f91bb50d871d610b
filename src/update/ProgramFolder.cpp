#include "update/ProgramFolder.h"

#include "app/GsAppFrame.h"
#include "base/GsPath.h"
#include "update/UpdateTexts.h"

void CopyProgramFolder(char* dest)
{
    lstrcpynA(dest, g_pAppFrame->GetModuleDir(), MAX_PATH);
    GsDropTrailingBackslash(dest);
}

bool ComposeSourceFolder(char* dest)
{
    char folder[MAX_PATH];
    CopyProgramFolder(folder);
    return GsComposePath(dest, MAX_PATH, folder, kSourceSubfolder);
}
