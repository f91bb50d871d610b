// The packaged update: CSetupDialog::RunPackagedUpdate (the entry) and CInstallDialog's
// ApplyPackagedUpdate, MergeArchive and ScrambleTable. The archive work itself is the portable
// MergePak; here it meets files and the player.
#include "update/InstallDialog.h"
#include "update/MediumSums.h"
#include "update/SetupDialog.h"

#include "app/GsAppFrame.h"
#include "base/StrFormat.h"
#include "files/GsFileHash.h"
#include "pack/PakFile.h"
#include "store/InstallInfo.h"
#include "ui/GsMessageBox.h"
#include "base/GsText.h"
#include "update/ProgramFolder.h"
#include "update/UpdateDialog.h"
#include "update/UpdateTexts.h"

#include <cstring>
#include <memory>

namespace {

const char kCaption[] = "更新チェック";
const char kSetupCaption[] = "Setup error";

// Tells the player and gives the 0 that the caller then returns.
int Tell(HWND owner, const std::wstring& text, const char* caption, UINT style)
{
    GsMessageBox(owner, text, caption, style | MB_OK);
    return 0;
}

int TellCannotOpen(HWND owner, const char* path)
{
    return Tell(owner, GsPathText(path) + GsText("\nファイルが開けません"), kCaption, MB_ICONQUESTION);
}

}  // namespace

int CInstallDialog::ScrambleTable(unsigned char key, unsigned char* bytes, int length)
{
    return length > 0 ? ::ScrambleTable(key, bytes, static_cast<size_t>(length)) : 1;
}

int CInstallDialog::MergeArchive(const char* source, const char* target, int requireBase, int appliedBit,
                                 int requiredBit)
{
    // The paths stand for 260-byte buffers: a longer one is refused, never cut.
    CPakFile sourceFile, targetFile;
    if (std::strlen(source) >= MAX_PATH || !sourceFile.Open(source, CPakFile::kRead))
        return TellCannotOpen(m_hwnd, source);
    if (std::strlen(target) >= MAX_PATH || !targetFile.Open(target, CPakFile::kUpdate))
        return TellCannotOpen(m_hwnd, target);
    switch (MergePak(sourceFile, targetFile, static_cast<uint32_t>(requireBase), static_cast<uint32_t>(appliedBit),
                     static_cast<uint32_t>(requiredBit), nullptr)) {
    case PakMergeResult::Merged:
    case PakMergeResult::UpToDate:
        return 1;
    case PakMergeResult::SourceDamaged:
        return TellCannotOpen(m_hwnd, source);
    case PakMergeResult::TargetDamaged:
        return TellCannotOpen(m_hwnd, target);
    case PakMergeResult::NotUpdatable:
        return Tell(m_hwnd, GsPathText(target) + GsText("\n更新可能なバージョンではありません"), kCaption, MB_ICONQUESTION);
    case PakMergeResult::TooLarge:
    case PakMergeResult::Failed:
    case PakMergeResult::RestoreFailed:
        break;
    }
    return 0;
}

// Read once more before the merge reads it: packaged archives hold only what changed.
bool CInstallDialog::MatchesMediumSums(const char* source, const char* name)
{
    if (m_sums == nullptr)
        return true;
    const GsDigest* listed = m_sums->Find(MediumName(name));
    GsDigest digest;
    if (listed != nullptr && !GsHashFile(source, &digest))
        return TellCannotOpen(m_hwnd, source) != 0;
    if (listed != nullptr && digest == *listed)
        return true;
    return Tell(m_hwnd, GsPathText(source) + GsText(listed != nullptr ? kGsDamagedText : kGsUnlistedText), kGsCheckCaption,
                MB_ICONERROR) != 0;
}

int CInstallDialog::ApplyPackagedUpdate(HWND owner, const char* installDir, const char* sourceDir,
                                        int /*installType*/, int /*desktopShortcut*/, int /*startMenu*/,
                                        int updateBit)
{
    auto notice = std::make_unique<CUpdateDialog>();
    notice->Open(owner);
    bool failed = false;
    for (const char* name : kUpdateFiles) {
        const std::string source = StrFormat("%s\\%s", sourceDir, name);
        const std::string target = StrFormat("%s\\%s", installDir, name);
        if (!MatchesMediumSums(source.c_str(), name) ||
            MergeArchive(source.c_str(), target.c_str(), 0, updateBit, updateBit) == 0)
            failed = true;
    }
    if (!failed)
        AddInstallExt(static_cast<DWORD>(updateBit));
    notice->Close();
    if (failed)
        Tell(owner, GsText("ファイルの更新に失敗しました"), kCaption, MB_ICONQUESTION);
    return 1;
}

int CSetupDialog::RunPackagedUpdate(HWND owner)
{
    if (!ComposeSourceFolder(m_sourceDir))
        return Tell(owner, GsText("プログラムのフォルダのパスが長すぎるため\r\nアップデートできません。"), kSetupCaption, MB_ICONWARNING);
    if (ReadInstallOptions(m_installDir, &m_desktopShortcut, &m_startMenu) != 1)
        return Tell(owner, GsText("インストール情報の取得に失敗しました"), kSetupCaption, MB_ICONWARNING);
    if (!m_system.IsFixedDrive(m_installDir))
        return Tell(owner, GsText("指定の場所へはインストールできません"), kSetupCaption, MB_ICONWARNING);
    if (!HasEnoughSpace(m_installDir))
        return Tell(owner, GsText("空き容量が不足しています"), kSetupCaption, MB_ICONWARNING);
    GsSumList sums;
    const MediumSums listed = LoadMediumSums(owner, &sums);
    if (listed == MediumSums::kRefused)
        return 0;
    m_installType = 3;
    delete m_installDialog;
    m_installDialog = new CInstallDialog;
    m_installDialog->SetMediumSums(listed == MediumSums::kLoaded ? &sums : nullptr);
    m_installDialog->ApplyPackagedUpdate(owner, m_installDir, m_sourceDir, m_installType, m_desktopShortcut,
                                         m_startMenu, kUpdateExtBit);
    delete m_installDialog;
    m_installDialog = nullptr;
    return 1;
}
