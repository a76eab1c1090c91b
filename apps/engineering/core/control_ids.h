// The dialogs and controls of the engineering tool: the numbers the resource script, the
// window code and the core all use. Plain defines, so the resource compiler reads them too.
#pragma once

#define IDD_ENGINEERING_ABOUT 100
#define IDD_ENGINEERING_MAIN 102

// Main dialog.
#define IDC_BOOT_PATH 1000
#define IDC_IMAGE_PATH 1001
#define IDC_EXIT 1002
#define IDC_SDRAM_PATH 1003
#define IDC_BOOT_CHOOSE 1004
#define IDC_IMAGE_CHOOSE 1005
#define IDC_BOOT_VERSION 1006
#define IDC_BOOT_DATE 1007
#define IDC_SDRAM_CHOOSE 1008
#define IDC_MERGE_VERSION 1009
#define IDC_PARTITION 1010
#define IDC_DEMO_PATH 1011
#define IDC_UPGRADE 1012
#define IDC_DEMO_CHOOSE 1013
#define IDC_FORCE_ERASE 1014
#define IDC_CLEAR 1015
#define IDC_NEW_SYSTEM_DISK 1016
#define IDC_LOG 1019
#define IDC_SWITCH 1020
#define IDC_BOOT_DOWNLOAD 1021
#define IDC_DEVICE_LINE 1022
#define IDC_DOWNLOAD_BOOT 1023
#define IDC_TEST 1024
#define IDC_DEMO 1025
#define IDC_AUTO 1026
#define IDC_REPEAT 1027
#define IDC_CAPACITY 1028
#define IDC_SERIAL_TEXT 1029
#define IDC_SERIAL 1030
#define IDC_ERASE_IDB 1031

// About box.
#define IDC_ABOUT_PRODUCT 1028

// The system-menu item of the about box.
#define IDM_ENGINEERING_ABOUT 16

// Posted to the main dialog when a pass ends: wParam 0 it ended well, 1 it did not.
#define WM_ENGINEERING_PASS_END 0x8100
