// Resource and control identifiers shared by the dialogs, the code and the tests.
#pragma once

#define IDD_SETUP 101
#define IDD_README 102
#define IDD_BACKDROP 115
#define IDI_SETUP 1

// main dialog
#define IDC_HEADING 1013
#define IDC_FOLDER 1007
#define IDC_BROWSE 1008
#define IDC_MENU 1004
#define IDC_LOCATION 1021
#define IDC_SHORTCUT 1006
#define IDC_STARTUP 1005
#define IDC_EXT 1011
#define IDC_SENDTO 1012
#define IDC_COPY 1009
#define IDC_DELETE_AFTER 1010
#define IDC_ICON_FRAME 1018
#define IDC_RUN 1
#define IDC_CANCEL 2
#define IDC_README 3
#define IDC_FILE_GROUP 1022
#define IDC_PROGRESS 1030  // made by the program while files are copied or removed

// ReadMe dialog
#define IDC_README_TEXT 1010
#define IDC_README_BUTTON1 1024
#define IDC_README_BUTTON2 1025
#define IDC_README_BUTTON3 1026
#define IDC_README_END 1027
