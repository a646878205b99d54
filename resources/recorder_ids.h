// Resource and control ids of the recorder library (TarnwickDll.dll), shared by
// its resource script and its code.
#pragma once

// Icon (also carried by the launcher, which the window class loads it from).
#define IDI_TARNWICK 100

// Main window menu and the control bar's bitmaps.
#define IDR_MAINMENU 101
#define IDB_BUTTONS 101
#define IDB_SPEAKER 102

// Enter-URL dialog.
#define IDD_ENTERURL 28444
#define IDC_URL 1000

// Options dialog.
#define IDD_OPTIONS 114
#define IDC_SAVEDIR 1001
#define IDC_BROWSE 1002
#define IDC_AUTOUPDATE 1003

// About dialog.
#define IDD_ABOUT 200

// Menu commands; the window procedure compares the whole wParam with these.
#define ID_FILE_OPENURL 40001
#define ID_FILE_EXIT 40002
#define ID_CONTROL_PLAYPAUSE 40003
#define ID_CONTROL_STOP 40004
#define ID_FILE_CLOSE 40005
#define ID_CONTROL_MUTE 40006
#define ID_SIZE_NORMAL 40008
#define ID_SIZE_HALF 40009
#define ID_SIZE_DOUBLE 40010
#define ID_SIZE_THREEQUARTER 40012
#define ID_CONTROL_RESTART 40013
#define ID_HELP_ABOUT 40014
#define ID_CONTROL_RECORD 40015
#define ID_EXTRA_OPTIONS 40016
