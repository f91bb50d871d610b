// Resource identifiers shared by update.rc and the code.
#pragma once

#define IDS_MUTEX_NAME 101
#define IDS_SETUP_MUTEX_NAME 112  // gssetup's; each program takes both names

#define IDD_MAIN 102     // update confirmation
#define IDD_SETUP 104    // install menu
#define IDD_INSTALL 105  // progress
#define IDD_UPDATE 108   // packaged-update notice

#define IDI_UPDATE 103
#define IDI_MAIN 111

// Template 102
#define IDC_MAIN_CANCEL 1001
#define IDC_MAIN_OK 1002
#define IDC_MAIN_TEXT 1005

// Template 105
#define IDC_INSTALL_ABORT 1001  // no control carries it; the stop command's number
#define IDC_INSTALL_PROGRESS 1002
#define IDC_INSTALL_STATUS 1003

// Template 104
#define IDC_SETUP_CANCEL 1001
#define IDC_SETUP_DEST_LABEL 1002
#define IDC_SETUP_START 1004
#define IDC_SETUP_DESKTOP 1007
#define IDC_SETUP_DEST 1008
#define IDC_SETUP_STARTMENU 1009
#define IDC_SETUP_SAVE 1010
#define IDC_SETUP_SAVE_DOCS 1011
#define IDC_SETUP_SAVE_INSTALL 1012
#define IDC_SETUP_SAVE_OTHER 1013
#define IDC_SETUP_DEST_CHANGE 1018
#define IDC_SETUP_REQUIRED 1019
#define IDC_SETUP_FREE 1020
#define IDC_SETUP_SAVE_CHANGE 1021
#define IDC_SETUP_TYPE_A 1031
#define IDC_SETUP_TYPE_B 1032
#define IDC_SETUP_TYPE_C 1033
