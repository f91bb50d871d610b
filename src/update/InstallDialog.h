// The progress dialog: copies the update's archives with a progress bar and status line,
// records the update and reports completion, all inside its WM_INITDIALOG handler.
// update/InstallDialog.cpp holds the copy run; update/PackagedUpdate.cpp the packaged update
// (ApplyPackagedUpdate, MergeArchive, ScrambleTable).
#pragma once
#include "files/GsCopyList.h"
#include "files/GsSumList.h"
#include "system/GsSystem.h"
#include "ui/GsDialog.h"

class CInstallDialog : public CGsDialogSync {
public:
    CInstallDialog() = default;
    ~CInstallDialog() override = default;

    // Runs the dialog modally. 1 only when the dialog ended with 1 (copied and recorded);
    // 0 when it ended with 0 or could not be shown at all (the player has then been told).
    // The install type, option flags, save folder and save type are accepted and ignored.
    int Start(HWND parent, const char* destDir, const char* sourceDir, int installType, int desktopShortcut,
              int startMenu, int extBits, const char* saveDir, int saveType);

    // The medium's list each archive must match, or null for a medium without one. Kept by
    // reference: it must outlive Start or ApplyPackagedUpdate.
    void SetMediumSums(const GsSumList* sums) { m_sums = sums; }

    int OnInitDialog(CGsMessage& msg) override;
    int OnCommand(CGsMessage& msg) override;
    // Ignored: the copy runs inside WM_INITDIALOG and pumps messages, so Alt+F4 or any
    // SC_CLOSE arrives while it works; ending the dialog then would hide it and free the
    // confirmation dialog for a second, nested update. The dialog ends only by itself.
    int OnClose(CGsMessage& msg) override;

    // The packaged update (PackagedUpdate.cpp): merges the update archives of sourceDir into
    // those of installDir under the "更新中" notice and records updateBit in "Ext" when all three
    // merged. With the medium's list, an archive that does not match it is not merged. Always 1; a failure has been told to the player. The install type and the two
    // options are accepted and not used.
    int ApplyPackagedUpdate(HWND owner, const char* installDir, const char* sourceDir, int installType,
                            int desktopShortcut, int startMenu, int updateBit);
    // 1 when the target holds the source's newer and missing entries afterwards (merged, or
    // nothing to take); 0 on failure, with the target's archive as before (after a failed write
    // it is cut back to its old length; if even that fails it keeps extra bytes past its end,
    // which its header never names). A source or target that cannot be opened, is damaged or
    // whose path is too long, and a target that is not updatable, was told to the player with
    // its path; a failed read or write, or a result too large, is left to the caller to report.
    int MergeArchive(const char* source, const char* target, int requireBase, int appliedBit, int requiredBit);
    // bytes[i] ^= (i mod 256) AND key; its own inverse. 1.
    int ScrambleTable(unsigned char key, unsigned char* bytes, int length);

private:
    // True when the medium has no list or `source` matches its entry; else told, false.
    bool MatchesMediumSums(const char* source, const char* name);

    CGsSystem m_system;
    CGsCopyList m_copyList;
    char m_sourceDir[MAX_PATH] = {};
    char m_destDir[MAX_PATH] = {};
    int m_extBits = 0;
    const GsSumList* m_sums = nullptr;
};
