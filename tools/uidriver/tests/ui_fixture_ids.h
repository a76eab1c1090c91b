// Control ids of the fixture dialog; uidriver_test.sh uses the same numbers.
#pragma once

#define IDD_FIXTURE 100
#define IDC_STATUS 1001
#define IDC_ADD 1002
#define IDC_LIST 1003
#define IDC_DRAWN_LIST 1004
#define IDC_LOG 1005
#define IDC_NAME 1006
#define IDC_ALARM 1007
#define IDC_DISABLED 1008
#define IDC_PANEL 1009
#define IDC_ASK 1010
#define IDC_ANSWER 1011
#define IDC_HIDDEN 1012
#define IDC_LANGUAGE 1013
