// Resource and control identifiers of the Vandrel program, shared by the resource script and the
// code. Plain #defines so that the resource compiler reads them too.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDR_MAINFRAME 128

// The program's configuration, resources of the named type "BINARY".
#define IDR_FIRMWARE 131
#define IDR_DEFAULT_VID 132
#define IDR_DEFAULT_PID 133
#define IDR_MESSAGE_TEXT 134
#define IDR_TITLE_TEXT 135
#define IDR_UPDATE_TEXT 136
#define IDR_EXIT_TEXT 137
#define IDR_GROUP_TEXT 138

#define IDC_UPDATE_TARGET 1000
#define IDC_EXIT 1001
#define IDC_VID 1002
#define IDC_PID 1003
#define IDC_MESSAGE 1004
#define IDC_HID_GROUP 1005

// System-menu command of the About entry.
#define IDM_ABOUTBOX 0x0010

// Status bar: its child identifier and the identifiers of its two panes.
#define IDC_STATUS_BAR 0xE801
#define ID_PANE_MESSAGE 101
#define ID_PANE_VERSION 102

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
