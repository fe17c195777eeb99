// Resource identifiers: dialogs, controls, strings, icons and menu commands, defined once for every host.
#pragma once

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_PADWRIGHT_DIALOG 102

// Icons
#define IDR_MAINFRAME 128

// Strings
#define IDS_ABOUTBOX 101
#define IDS_DISPLAY_FORMAT 102
#define IDS_VERSION_FORMAT 104
#define IDS_WARNING 105
// Keeping a calibration (offered where the platform can keep one)
#define IDS_KEEP_MENU 106
#define IDS_FORGET_MENU 107
#define IDS_KEEP_SCOPE 108
#define IDS_KEPT 109
#define IDS_FORGOTTEN 110
#define IDS_KEEP_DECLINED 111
#define IDS_KEEP_FAILED 112
#define IDS_FORGET_ALL 113
#define IDS_FORGOTTEN_ALL 114
#define AFX_IDS_APP_TITLE 57344

// Framework prompts (the exchange's validation messages)
#define AFX_IDP_PARSE_INT 61440
#define AFX_IDP_PARSE_REAL 61441
#define AFX_IDP_PARSE_INT_RANGE 61442
#define AFX_IDP_PARSE_UINT 61446

// System-menu command of the About entry
#define IDM_ABOUTBOX 0x0010
// System-menu commands of keeping a calibration (multiples of 16: the low four bits are the system's)
#define IDM_KEEP_CALIBRATION 0x0020
#define IDM_FORGET_KEPT 0x0030

// Framework commands
#define ID_HELP 0xE146

// About box
#define IDC_VERSION_LINE 1071

// Main dialog: WinMM values, calibrated 1000..1005 and raw 1006..1011 (axis order X Y Z R U V)
#define IDC_JOY_COOKED_X 1000
#define IDC_JOY_RAW_X 1006
#define IDC_NEXT 1012
#define IDC_POLLED_DEVICE 1013
// DirectInput values: the first row has its own ids, later rows pair up from 1071
#define IDC_DI_COOKED_X 1014
#define IDC_DI_RAW_X 1015
#define IDC_DI_COOKED_Y 1071
#define IDC_DI_RAW_Y 1072
#define IDC_DI_COOKED_Z 1073
#define IDC_DI_RAW_Z 1074
#define IDC_DI_COOKED_R 1075
#define IDC_DI_RAW_R 1076
#define IDC_DI_COOKED_U 1077
#define IDC_DI_RAW_U 1078
#define IDC_DI_COOKED_V 1079
#define IDC_DI_RAW_V 1080
// Calibration flags
#define IDC_CALIBRATED_XY 1016
#define IDC_CALIBRATED_Z 1065
#define IDC_CALIBRATED_R 1066
#define IDC_CALIBRATED_U 1067
#define IDC_CALIBRATED_V 1068
// Edits step by two: edit N, its up-down control N + 1
#define IDC_DEADZONE_X 1017  // ..1027, up-downs 1018..1028
#define IDC_CAL_MIN_X 1029   // ..1039, up-downs 1030..1040
#define IDC_CAL_CENTER_X 1041  // ..1051
#define IDC_CAL_MAX_X 1053   // ..1063
#define IDC_DEFAULT_VALUES 1069
#define IDC_CLEAR_CALIBRATION 1081

#define AXIS_COUNT 6
#define CALIBRATION_FLAG_COUNT 5

// The program's version (PADWRIGHT_VERSION), as the About box and the version resource show it
#include "res/version.h"

// Timer of the live monitor
#define IDT_REFRESH 1971
#define REFRESH_PERIOD_MS 50
