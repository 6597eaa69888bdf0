// Resource identifiers of Quorvane (res/quorvane.rc). Shared by the resource script and the code.
#pragma once

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_QUORVANE_FORM 101
#define IDD_BROWSE_ITEMS 131
#define IDD_CONNECT_SERVER 134
#define IDD_REMOTE_MACHINE 135
#define IDD_CONNECTION_PARAMS 136

// Frame resources (document template, menu bar, accelerators, application icon)
#define IDR_MAINFRAME 128
#define IDI_HELP_ICON 130
#define IDR_CONTEXT_MENU 137

// Controls of the main form (101)
#define IDC_SERVER_TAB 1000
#define IDC_ITEM_LIST 1001
#define IDC_SUSPEND 1002
#define IDC_RESUME 1003
#define IDC_CONNECT 1004
#define IDC_ADD_ITEM 1005
#define IDC_STATUS 1008
#define IDC_HELP_ICON 1016
#define IDC_DDE_WRITES 1020

// Controls of the browser (131)
#define IDC_BROWSE_TREE 1004
#define IDC_BROWSE_ADD_ITEM 1005
#define IDC_BROWSE_ADD_BRANCH 1006

// Controls of the connection dialogs (134, 135, 136)
#define IDC_MACHINE_NAME 1010
#define IDC_SERVER_LIST 1011
#define IDC_SELECT_REMOTE 1012
#define IDC_TEXT_FIELD 1013
#define IDC_UPDATE_RATE 1014
#define IDC_DEADBAND 1015

// Commands (the framework's standard numbers)
#define ID_MENU_TITLE 65535
#define ID_FILE_NEW 0xE100
#define ID_FILE_OPEN 0xE101
#define ID_FILE_SAVE 0xE103
#define ID_EDIT_COPY 0xE122
#define ID_EDIT_CUT 0xE123
#define ID_EDIT_PASTE 0xE125
#define ID_EDIT_UNDO 0xE12B
#define ID_APP_ABOUT 0xE140
#define ID_HELP_FINDER 0xE143
#define ID_CONTEXT_HELP 0xE145
#define ID_HELP 0xE146
#define ID_DEFAULT_HELP 0xE147
#define ID_NEXT_PANE 0xE150
#define ID_PREV_PANE 0xE151
#define ID_OPEN_LOG 32771
#define ID_AUTO_RECONNECT 32772
#define ID_DDE_WRITES 32780

// Strings
#define AFX_IDS_APP_TITLE 0xE000

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
