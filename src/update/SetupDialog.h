// The framework's setup dialog: the update entry (no window of its own) and the install menu,
// a modal dialog from template 104. update/SetupDialog.cpp holds the update entry (RunUpdate),
// update/PackagedUpdate.cpp the packaged update entry (RunPackagedUpdate), setup/SetupMenu.cpp
// the install menu (its handlers, the space and save-location operations, GetDocumentsPath).
#pragma once
#include "system/GsSystem.h"
#include "ui/GsDialog.h"

class CInstallDialog;

class CSetupDialog : public CGsDialogSync {
public:
    CSetupDialog() = default;
    ~CSetupDialog() override;

    // Install menu: settings from the program-files and documents folders; the commands of
    // template 104. Both return 1 (handled).
    int OnInitDialog(CGsMessage& msg) override;
    int OnCommand(CGsMessage& msg) override;

    // Copies the update's archives into the recorded install folder in the progress dialog.
    // 1 when the update has been applied, 0 otherwise (the player has been told why, unless the
    // player stopped the copy or the install record can no longer be read).
    virtual int RunUpdate(HWND parent);

    // The packaged update (PackagedUpdate.cpp): checks the installation (install record, fixed
    // drive, free space), then merges the update archives of the ZUNA folder into the installed
    // ones. 1 when the merge ran, whatever its outcome; 0 when a check refused it (told).
    virtual int RunPackagedUpdate(HWND owner);

    // Control 1020: the free space of the folder's volume, or that it cannot be found.
    virtual void ShowFreeSpace(const char* folder);
    // The install size from the TYPE buttons, shown in control 1019.
    virtual void ShowRequiredSpace();
    // 1 when the folder's volume has at least the install size free; 0 also when the free
    // space cannot be found (never install blind).
    virtual int HasEnoughSpace(const char* folder);
    // Save folder and type from the save-location buttons. A folder that would be too long is
    // refused with a message; the previous save folder, type and buttons then stay.
    virtual void UpdateSaveLocation();

protected:
    CGsSystem m_system;  // the install menu's folder, drive and space questions
    char m_sourceDir[MAX_PATH] = {};
    char m_installDir[MAX_PATH] = {};
    char m_installParent[MAX_PATH] = {};  // the folder browser opens on it
    char m_unusedPath[MAX_PATH] = {};
    char m_saveDir[MAX_PATH] = {};        // the game makes its SAVE folder in it
    char m_saveBase[MAX_PATH] = {};       // a save folder of the player's choice is built on it
    int m_saveType = 0;
    int m_installType = 0;
    int m_installSizeMB = 1800;
    int m_desktopShortcut = 0;
    int m_startMenu = 0;
    CInstallDialog* m_installDialog = nullptr;  // owned

private:
    int SetInstallParent(const char* parent);
    int ApplySaveLocation();
    bool IsChecked(int id) const;
    void StartInstall();
    void ChangeInstallFolder();
    void ChangeSaveFolder();
};

// The user's documents folder into `out` (bounded by `size`); the folder query's result.
int GetDocumentsPath(char* out, int size);
