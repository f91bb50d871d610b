// CSetupDialog, the install menu: type, install folder, save location and options, then the
// install run by the progress dialog, and the removal of what a failed run made.
#include "update/SetupDialog.h"

#include "base/GsPath.h"
#include "res/resource.h"
#include "setup/Removal.h"
#include "ui/GsMessageBox.h"
#include "update/InstallDialog.h"
#include "update/ProgramFolder.h"
#include "update/UpdateTexts.h"

#include <cstring>

namespace {

const char kMakerFolder[] = "KIRO";
const char kTitleFolder[] = "Quillamet";
const char kInstallSubfolder[] = "KIRO\\Quillamet";
const char kSaveSubfolder[] = "\\SAVE";  // made by the game inside the save folder
const char kDocumentsName[] = "My Documents(マイ ドキュメント)";

const char kCaption[] = "Setup error";
const char kCannotInstallThere[] = "指定の場所へはインストールできません";
const char kNotEnoughSpace[] = "空き容量が不足しています";
const char kCannotInstallHere[] = "指定の場所にはインストールできません";
const char kCannotSaveHere[] = "指定の場所には保存できません";
const char kFreeSpaceUnknown[] = "空き容量を取得できません";
const char kProgramDirTooLong[] =
    "プログラムのフォルダのパスが長すぎるため\r\nインストールできません。\r\n"
    "短いパスのフォルダにコピーしてから実行してください。";

constexpr ULONGLONG kMegabyte = 0x100000;

void Warn(HWND owner, const char* text) { GsMessageBox(owner, text, kCaption, MB_ICONWARNING | MB_OK); }

// Any folder the menu composes may become the save folder: room is kept for "\SAVE".
constexpr size_t kFolderRoom = MAX_PATH - (sizeof(kSaveSubfolder) - 1);

// Composes "a\b" (or "a\b\c") into `out` (MAX_PATH bytes) only when it leaves that room;
// `out` is untouched otherwise.
bool ComposeFolder(char* out, const char* a, const char* b, const char* c = nullptr)
{
    char path[MAX_PATH];
    if (!GsComposePath(path, kFolderRoom, a, b) || (c != nullptr && !GsComposePath(path, kFolderRoom, path, c)))
        return false;
    lstrcpynA(out, path, MAX_PATH);
    return true;
}

// A folder (at most 259 bytes) without one trailing backslash; a 0x5C trail byte stays.
void CopyWithoutBackslash(char* out, const char* folder)
{
    lstrcpynA(out, folder, MAX_PATH);
    GsDropTrailingBackslash(out);
}

}  // namespace

int GetDocumentsPath(char* out, int size)
{
    CGsSystem system;
    char folder[MAX_PATH] = {};
    int found = system.GetDocumentsFolder(folder, sizeof(folder));
    lstrcpynA(out, folder, size);
    return found;
}

bool CSetupDialog::IsChecked(int id) const { return IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED; }

int CSetupDialog::OnInitDialog(CGsMessage& msg)
{
    CGsDialogSync::OnInitDialog(msg);

    char programFiles[MAX_PATH] = {};
    m_system.GetProgramFilesFolder(programFiles, sizeof(programFiles));
    SetInstallParent(programFiles);  // leaves the install folder empty if it would not fit
    CopyWithoutBackslash(m_saveBase, programFiles);

    ComposeSourceFolder(m_sourceDir);  // stays empty if it would not fit: Start refuses then

    CheckRadioButton(m_hwnd, IDC_SETUP_TYPE_A, IDC_SETUP_TYPE_C, IDC_SETUP_TYPE_A);
    CheckDlgButton(m_hwnd, IDC_SETUP_DESKTOP, BST_CHECKED);
    CheckDlgButton(m_hwnd, IDC_SETUP_STARTMENU, BST_CHECKED);
    CheckRadioButton(m_hwnd, IDC_SETUP_SAVE_DOCS, IDC_SETUP_SAVE_OTHER, IDC_SETUP_SAVE_DOCS);

    char text[512];
    wsprintfA(text, "%sに\n\"%s\\%s\\SAVE\"　を作成します", kDocumentsName, kMakerFolder, kTitleFolder);
    SetDlgItemText(IDC_SETUP_SAVE_DOCS, text);
    SetDlgItemText(IDC_SETUP_SAVE_INSTALL, "インストール先に　\"SAVE\"　を作成します");
    wsprintfA(text, "任意の場所に　\"%s\\SAVE\"　を作成します", kTitleFolder);
    SetDlgItemText(IDC_SETUP_SAVE_OTHER, text);

    if (!ApplySaveLocation()) {
        // The documents folder is too deep for the save data: start with the install folder.
        CheckRadioButton(m_hwnd, IDC_SETUP_SAVE_DOCS, IDC_SETUP_SAVE_OTHER, IDC_SETUP_SAVE_INSTALL);
        ApplySaveLocation();
    }

    ShowFreeSpace(m_installDir);
    ShowRequiredSpace();
    wsprintfA(text, "インストール先に \"%s\" を作成します", kInstallSubfolder);
    SetDlgItemText(IDC_SETUP_DEST_LABEL, text);
    CenterWindowOnScreen(msg.hwnd);
    return 1;
}

int CSetupDialog::OnCommand(CGsMessage& msg)
{
    // The progress dialog pumps messages while it copies: a second Start, a folder change or
    // Cancel reaching the menu then would nest a second install or pull the folders from under
    // the running one. Commands are ignored until the install ends.
    const int id = m_installDialog != nullptr ? 0 : LOWORD(msg.wParam);
    switch (id) {
    case IDC_SETUP_CANCEL:
        EndDialog(m_hwnd, 0);
        break;
    case IDC_SETUP_START:
        StartInstall();
        break;
    case IDC_SETUP_DEST_CHANGE:
        ChangeInstallFolder();
        break;
    case IDC_SETUP_SAVE_CHANGE:
        ChangeSaveFolder();
        break;
    case IDC_SETUP_TYPE_A:
    case IDC_SETUP_TYPE_B:
    case IDC_SETUP_TYPE_C:
        CheckRadioButton(m_hwnd, IDC_SETUP_TYPE_A, IDC_SETUP_TYPE_C + 1, id);
        ShowRequiredSpace();
        break;
    case IDC_SETUP_SAVE_DOCS:
    case IDC_SETUP_SAVE_INSTALL:
    case IDC_SETUP_SAVE_OTHER:
        CheckRadioButton(m_hwnd, IDC_SETUP_SAVE_DOCS, IDC_SETUP_SAVE_OTHER, id);
        UpdateSaveLocation();
        break;
    default:  // Escape's command 2 among them: the menu ends only through its buttons
        break;
    }
    msg.result = 0;
    return 1;
}

void CSetupDialog::ShowFreeSpace(const char* folder)
{
    ULONGLONG freeBytes = 0;
    char text[64];
    if (m_system.GetDiskFreeBytes(folder, &freeBytes))
        wsprintfA(text, "約 %d M の空きがあります", static_cast<int>(static_cast<DWORD>(freeBytes / 1024 / 1024)));
    else
        lstrcpynA(text, kFreeSpaceUnknown, sizeof(text));
    SetDlgItemText(IDC_SETUP_FREE, text);
}

void CSetupDialog::ShowRequiredSpace()
{
    m_installSizeMB = IsChecked(IDC_SETUP_TYPE_A) ? 1800 : IsChecked(IDC_SETUP_TYPE_B) ? 1300 : 400;
    char text[64];
    wsprintfA(text, "約 %d M 必要です", m_installSizeMB);
    SetDlgItemText(IDC_SETUP_REQUIRED, text);
}

int CSetupDialog::HasEnoughSpace(const char* folder)
{
    ULONGLONG freeBytes = 0;
    if (!m_system.GetDiskFreeBytes(folder, &freeBytes))
        return 0;
    return freeBytes >= static_cast<ULONGLONG>(m_installSizeMB) * kMegabyte ? 1 : 0;
}

void CSetupDialog::UpdateSaveLocation()
{
    if (ApplySaveLocation())
        return;
    Warn(m_hwnd, kCannotSaveHere);
    // The buttons follow the save folder still in force.
    CheckRadioButton(m_hwnd, IDC_SETUP_SAVE_DOCS, IDC_SETUP_SAVE_OTHER, IDC_SETUP_SAVE_DOCS + m_saveType - 1);
}

// Recomputes the save folder and type from the buttons; 0, changing neither, when the folder
// would not fit. Control 1010 and button 1021 follow what is in force.
int CSetupDialog::ApplySaveLocation()
{
    char folder[MAX_PATH] = {};
    int type = 3;
    bool fits = true;
    if (IsChecked(IDC_SETUP_SAVE_DOCS)) {
        char documents[MAX_PATH] = {};
        GetDocumentsPath(documents, sizeof(documents));
        fits = ComposeFolder(folder, documents, kMakerFolder, kTitleFolder);
        type = 1;
    } else if (IsChecked(IDC_SETUP_SAVE_INSTALL)) {
        lstrcpynA(folder, m_installDir, sizeof(folder));  // composed with room for "\SAVE"
        type = 2;
    } else {
        fits = ComposeFolder(folder, m_saveBase, kTitleFolder);
    }
    if (fits) {
        lstrcpynA(m_saveDir, folder, sizeof(m_saveDir));
        m_saveType = type;
    }
    EnableWindow(GetDlgItem(IDC_SETUP_SAVE_CHANGE), m_saveType == 3);
    SetDlgItemPath(IDC_SETUP_SAVE, m_saveDir);
    return fits ? 1 : 0;
}

// Makes `parent` the install parent and parent\KIRO\Quillamet the install folder; 0, changing
// nothing, when that would not fit.
int CSetupDialog::SetInstallParent(const char* parent)
{
    char work[MAX_PATH];
    char installDir[MAX_PATH];
    CopyWithoutBackslash(work, parent);
    if (parent[0] == '\0' || !ComposeFolder(installDir, work, kInstallSubfolder))
        return 0;
    ShowFreeSpace(parent);
    SetDlgItemPath(IDC_SETUP_DEST, parent);
    lstrcpynA(m_installParent, parent, sizeof(m_installParent));
    lstrcpynA(m_installDir, installDir, sizeof(m_installDir));
    return 1;
}

void CSetupDialog::StartInstall()
{
    m_desktopShortcut = IsChecked(IDC_SETUP_DESKTOP) ? 1 : 0;
    m_startMenu = IsChecked(IDC_SETUP_STARTMENU) ? 1 : 0;
    if (m_installDir[0] == '\0' || !m_system.IsFixedDrive(m_installDir)) {
        Warn(m_hwnd, kCannotInstallThere);
        return;
    }
    if (!HasEnoughSpace(m_installDir)) {
        Warn(m_hwnd, kNotEnoughSpace);
        return;
    }
    if (m_sourceDir[0] == '\0') {
        Warn(m_hwnd, kProgramDirTooLong);
        return;
    }
    m_installType = IsChecked(IDC_SETUP_TYPE_A) ? 3 : IsChecked(IDC_SETUP_TYPE_B) ? 2 : IsChecked(IDC_SETUP_TYPE_C) ? 1 : 3;

    // The progress dialog copies into the install folder but does not make it.
    CInstallTrail trail;
    trail.Begin(m_system, m_installDir);
    m_installDialog = new CInstallDialog;
    const int installed = m_installDialog->Start(m_hwnd, m_installDir, m_sourceDir, m_installType, m_desktopShortcut,
                                                 m_startMenu, kUpdateExtBit, m_saveDir, m_saveType);
    delete m_installDialog;
    m_installDialog = nullptr;
    if (installed) {
        Sleep(5);
        EndDialog(m_hwnd, 1);
    } else {
        RemoveFailedInstall(m_installDir, trail);  // the menu stays open for another try
    }
}

void CSetupDialog::ChangeInstallFolder()
{
    char chosen[MAX_PATH] = {};
    if (m_system.BrowseForFolder(m_hwnd, chosen, "インストール先", m_installParent)) {
        if (chosen[0] == '\0' || !m_system.IsFixedDrive(chosen)) {
            Warn(m_hwnd, kCannotInstallHere);
            std::memset(chosen, 0, sizeof(chosen));
            m_system.GetProgramFilesFolder(chosen, sizeof(chosen));
        }
        if (!SetInstallParent(chosen))
            Warn(m_hwnd, kCannotInstallHere);
    }
    UpdateSaveLocation();  // a save folder inside the install folder follows it
}

void CSetupDialog::ChangeSaveFolder()
{
    char chosen[MAX_PATH] = {};
    if (!m_system.BrowseForFolder(m_hwnd, chosen, "ＳＡＶＥ保存先", m_saveBase))
        return;
    char base[MAX_PATH];
    char composed[MAX_PATH];
    CopyWithoutBackslash(base, chosen);
    if (chosen[0] == '\0' || !m_system.IsFixedDrive(chosen) || !ComposeFolder(composed, base, kTitleFolder)) {
        Warn(m_hwnd, kCannotSaveHere);  // the previous save folder stays in force
        return;
    }
    lstrcpynA(m_saveBase, base, sizeof(m_saveBase));
    UpdateSaveLocation();
}
