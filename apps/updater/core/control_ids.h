// The updater's dialogs, controls, timers and private message: the numbers the resource
// script, the window code and the core all use. Plain defines, so the resource compiler reads
// them too.
#pragma once

#define IDD_UPDATER_ABOUT 100
#define IDD_UPDATER_MAIN 102
#define IDD_UPDATER_SPLASH 132

// Main dialog.
#define IDC_HIDDEN_EDIT 1000
#define IDC_UPGRADE 1002
#define IDC_FORCE_FORMAT 1003
#define IDC_BUSY 1004
#define IDC_EXIT 1005
#define IDC_REPAIR 1006
#define IDC_INSTALL_DRIVER 1007
#define IDC_STEP_LINE 1009
#define IDC_STATUS_LINE 1010
#define IDC_DEVICE_NAME 1011
#define IDC_IMAGE_SOFTWARE 1012
#define IDC_IMAGE_LOADER 1013
#define IDC_PLAYER_SOFTWARE 1014
#define IDC_PLAYER_LOADER 1015
#define IDC_ELAPSED 1018
#define IDC_TEST 1022
#define IDC_FIRMWARE_PATH 1027
#define IDC_CHOOSE_IMAGE 1028
#define IDC_HOMEPAGE 1029
#define IDC_TITLE_PICTURE 1030
#define IDC_EXTRACT_BOOT 1036
#define IDC_EXTRACT_OUTPUT 1037
#define IDC_CORVUSB 1038
// The labels, with ids of their own so that a language file reaches them.
#define IDC_DEVICE_GROUP 1040
#define IDC_DEVICE_LABEL 1041
#define IDC_STATUS_LABEL 1042
#define IDC_STEP_LABEL 1043
#define IDC_VERSION_GROUP 1044
#define IDC_SOFTWARE_LABEL 1045
#define IDC_LOADER_LABEL 1046
#define IDC_IMAGE_LABEL 1047
#define IDC_PLAYER_LABEL 1048
#define IDC_FIRMWARE_LABEL 1049

// About box.
#define IDC_ABOUT_TITLE 1023
#define IDC_ABOUT_VERSION 1024
#define IDC_ABOUT_PICTURE 1032

// Splash.
#define IDC_SPLASH_PICTURE 1031
#define IDC_SPLASH_LABEL 1033

// The system-menu item of the about box.
#define IDM_UPDATER_ABOUT 16

// Timer 0 runs the start-up image check once; timer 1 shows the time a command has run.
#define IDT_START 0
#define IDT_ELAPSED 1

// Posted by the upgrade worker: wParam the mode (0 Upgrade, 1 Repair), lParam the result.
#define WM_UPGRADE_RESULT (0x0400 + 100)
