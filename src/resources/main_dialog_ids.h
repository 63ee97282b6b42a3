/* Button ids of the main menu ("MAINDIALOG"), bottom of the column first and
   the small button at the top right last; shared by the resource script and
   the code, so plain defines only. */
#pragma once

#define IDC_MAIN_BUTTON1 1000
#define IDC_MAIN_BUTTON2 1001
#define IDC_MAIN_BUTTON3 1002
#define IDC_MAIN_BUTTON4 1003
#define IDC_MAIN_BUTTON5 1004
#define IDC_MAIN_BUTTON6 1005
#define IDC_MAIN_BUTTON7 1006
#define IDC_MAIN_BUTTON8 1007
#define IDC_MAIN_BUTTON9 1008

/* The application icon. */
#define IDI_APP 1
