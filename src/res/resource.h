// Resource ids of rillo.scr, shared by rillo.rc (windres) and the C++ code.
// Plain #defines only: the resource compiler understands nothing else.
#pragma once

// Strings
#define IDS_DESCRIPTION 1 // the name under which the Display control panel lists the saver
#define IDS_ABOUTBOX 101  // system-menu entry of the settings dialog

// System-menu command that opens the about box (its low four bits are free)
#define IDM_ABOUTBOX 0x0010

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_SETTINGS 102

// Icon, cursor and bitmap
#define IDI_SAVER 128
#define IDC_NOCURSOR 129
#define IDB_PREVIEW 134

// Controls of the settings dialog
#define IDC_WEBLINK 1008
#define IDC_QUIT 1009
#define IDC_TITLE 1011
#define IDC_SAVE 1015
#define IDC_DEFAULT 1016
#define IDC_WAVELENGTH 1017
#define IDC_AMPLITUDE 1018
#define IDC_WAVELENGTH_VALUE 1019
#define IDC_AMPLITUDE_VALUE 1020
