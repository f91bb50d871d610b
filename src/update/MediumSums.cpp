#include "update/MediumSums.h"

#include "base/GsPath.h"
#include "base/GsText.h"
#include "base/ScopedWin.h"
#include "base/StrFormat.h"
#include "files/GsFileHash.h"
#include "ui/GsMessageBox.h"
#include "update/ProgramFolder.h"
#include "update/UpdateTexts.h"

#include <vector>

namespace {
// Far more than the few lines a medium lists; a larger file is not a list.
constexpr DWORD kLargestList = 64 * 1024;

const char* Reason(GsSumError error)
{
    switch (error) {
    case GsSumError::kUnknownName:
        return "このメディアにないファイル名です";
    case GsSumError::kDuplicate:
        return "同じファイルが二度あります";
    default:
        return "書式が正しくありません";
    }
}
}  // namespace

std::string MediumName(const char* archive)
{
    return std::string(kSourceSubfolder) + "/" + archive;
}

MediumSums LoadMediumSums(HWND owner, GsSumList* list)
{
    char folder[MAX_PATH], path[MAX_PATH];
    CopyProgramFolder(folder);
    if (!GsComposePath(path, MAX_PATH, folder, "SHA256SUMS") || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return MediumSums::kAbsent;
    ScopedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<char> text(kLargestList + 1);
    DWORD read = 0;
    std::string problem = "\r\nファイルが読めません";
    if (file && ReadFile(file.Get(), text.data(), kLargestList + 1, &read, nullptr) && read <= kLargestList) {
        std::vector<std::string> known = {"update.exe", "gssetup.exe"};
        for (const char* name : kUpdateFiles)
            known.push_back(MediumName(name));
        size_t line = 0;
        GsSumError error = list->Parse(std::string(text.data(), read), known, &line);
        if (error == GsSumError::kNone)
            return MediumSums::kLoaded;
        problem = StrFormat("\r\n%u 行目: %s", static_cast<unsigned>(line), Reason(error));
    }
    GsMessageBox(owner, GsPathText(path) + GsText((problem + "\r\nアップデートできません").c_str()), kGsCheckCaption,
                 MB_OK | MB_ICONERROR);
    return MediumSums::kRefused;
}
