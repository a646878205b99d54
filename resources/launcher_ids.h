// Resource and control ids of the launcher (Tarnwick), shared by its resource
// script and its code.
#pragma once

// Program icon.
#define IDI_TARNWICK 100

// Start-up dialog. Its Cancel button is IDCANCEL.
#define IDD_STARTUP 201
#define IDC_STARTUP_STATUS 1002
#define IDC_STARTUP_PROGRESS 1004
#define IDC_STARTUP_OK 1005
