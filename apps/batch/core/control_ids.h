// The dialogs and controls of the production tool: the numbers the resource script, the
// window code and the core all use. Plain defines, so the resource compiler reads them too.
#pragma once

#define IDD_BATCH_ABOUT 100
#define IDD_BATCH_MAIN 129

// Main dialog.
#define IDC_BOOT_PATH 1000
#define IDC_EXIT 1001
#define IDC_BOOT_VERSION 1002
#define IDC_BOOT_DATE 1003
#define IDC_LIST 1004
#define IDC_DEMO_PATH 1005
#define IDC_CLEAR 1006
#define IDC_SUCCEEDED 1007
#define IDC_FAILED 1008
#define IDC_RESET_COUNTERS 1009
#define IDC_DEMO 1010
#define IDC_BOOT_CHOOSE 1011
#define IDC_IMAGE_CHOOSE 1012
#define IDC_IMAGE_PATH 1014
#define IDC_SETTINGS_FRAME 1016
#define IDC_FORCE_ERASE 1017
#define IDC_AUTO 1018
#define IDC_IMAGE 1020
#define IDC_COPY 1021
#define IDC_UPGRADE 1022
#define IDC_BOOT_LABEL 1023
#define IDC_VERSION_LABEL 1024
#define IDC_DATE_LABEL 1025
#define IDC_GRID_FRAME 1026
#define IDC_FAILED_LABEL 1027
#define IDC_DEMO_CHOOSE 1028
#define IDC_SWITCH 1029
#define IDC_SUCCEEDED_LABEL 1019
// Cell i (0..15) of the grid: its number above its Layer.
#define IDC_NUMBER_CELL 1101
#define IDC_LAYER_CELL 1201

// About box.
#define IDC_ABOUT_PRODUCT 1030

// The system-menu item of the about box.
#define IDM_BATCH_ABOUT 16

// Posted to the main dialog when a slot's stage ends: wParam the slot, lParam 0 it ended
// well, 1 it failed.
#define WM_IMAGE_STAGE_DONE (0x0400 + 100)
#define WM_DEMO_STAGE_DONE (0x0400 + 101)
