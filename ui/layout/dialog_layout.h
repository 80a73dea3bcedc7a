/* The dialog templates of the desktop program, written down once: resource
 * and control ids, dialog sizes and every control's place, in dialog units
 * (x, y, width, height). The Win32 resource script builds its templates from
 * these, the Qt views place their widgets by them, so the two layouts cannot
 * drift apart.
 *
 * Plain #defines only: the resource compiler reads this file through the C
 * preprocessor and knows nothing of C++. The controls of each dialog are
 * listed in template order, which is also the tab order. */
#ifndef KALVEX_UI_LAYOUT_DIALOG_LAYOUT_H_
#define KALVEX_UI_LAYOUT_DIALOG_LAYOUT_H_

/* Resources. */
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#define IDD_ABOUT 100
#define IDS_ABOUT_MENU 101
#define IDD_MAIN 102
#define IDI_KALVEX 128
#define IDD_PROGRESS 129

/* The system-menu command that opens the About box; the system reserves the
 * low four bits of system commands. */
#define IDM_ABOUT 0x0010

/* Main dialog. */
#define SIZE_MAIN 278, 143
#define IDC_SELECT_TARGET 1002
#define LAYOUT_SELECT_TARGET 195, 30, 66, 14
#define IDC_ALL_SPACE 1000
#define LAYOUT_ALL_SPACE 16, 80, 245, 10
#define IDC_ONLY 1001
#define LAYOUT_ONLY 16, 93, 37, 10
#define IDC_SIZE_EDIT 1004
#define LAYOUT_SIZE_EDIT 55, 91, 40, 14
#define IDC_ENDLESS 1008
#define LAYOUT_ENDLESS 192, 125, 82, 9
#define IDC_WRITE_VERIFY 1006
#define LAYOUT_WRITE_VERIFY 6, 121, 81, 14
#define IDC_VERIFY 1007
#define LAYOUT_VERIFY 97, 121, 81, 14
#define IDC_SIZE_GROUP 1025
#define LAYOUT_SIZE_GROUP 7, 69, 264, 41
#define IDC_TARGET_GROUP 1024
#define LAYOUT_TARGET_GROUP 7, 23, 264, 43
#define IDC_TARGET_LABEL 1009
#define LAYOUT_TARGET_LABEL 16, 33, 170, 8
#define IDC_MBYTE_LABEL 1020
#define LAYOUT_MBYTE_LABEL 97, 93, 21, 8
#define IDC_TEST_DATA_LINE 1018
#define LAYOUT_TEST_DATA_LINE 16, 51, 177, 8
#define IDC_REFRESH 1019
#define LAYOUT_REFRESH 195, 48, 67, 14
#define IDC_GERMAN 1022
#define LAYOUT_GERMAN 7, 7, 42, 10
#define IDC_ENGLISH 1023
#define LAYOUT_ENGLISH 56, 7, 38, 10
#define IDC_WEB_ADDRESS 1021
#define LAYOUT_WEB_ADDRESS 168, 7, 103, 8

/* Progress dialog. */
#define PROGRESS_WIDTH 258
#define PROGRESS_HEIGHT 180
#define SIZE_PROGRESS PROGRESS_WIDTH, PROGRESS_HEIGHT
#define IDC_ABORT 2
#define LAYOUT_ABORT 201, 159, 50, 14
#define IDC_BAR 1010
#define LAYOUT_BAR 7, 137, 244, 14
#define IDC_REPORT 1011
#define LAYOUT_REPORT 7, 54, 244, 78
#define IDC_WRITE_MB 1012
#define LAYOUT_WRITE_MB 12, 19, 103, 8
#define IDC_WRITE_TIME 1013
#define LAYOUT_WRITE_TIME 12, 29, 102, 8
#define IDC_WRITE_RATE 1014
#define LAYOUT_WRITE_RATE 12, 39, 102, 8
#define IDC_WRITE_GROUP 1026
#define LAYOUT_WRITE_GROUP 7, 7, 119, 45
#define IDC_VERIFY_GROUP 1027
#define LAYOUT_VERIFY_GROUP 131, 7, 119, 45
#define IDC_VERIFY_MB 1015
#define LAYOUT_VERIFY_MB 137, 18, 104, 8
#define IDC_VERIFY_TIME 1016
#define LAYOUT_VERIFY_TIME 137, 28, 103, 8
#define IDC_VERIFY_RATE 1017
#define LAYOUT_VERIFY_RATE 137, 38, 104, 8
#define IDC_COPY 1028
#define LAYOUT_COPY 7, 159, 103, 14
/* Below the fixed controls, shown only when the run's end has something to
 * say (the verdict, where the data read back came from); the window grows by
 * GROW_PROGRESS_NOTE for it. */
#define IDC_NOTE 1029
#define LAYOUT_NOTE 7, 180, 244, 52
#define GROW_PROGRESS_NOTE 56

/* About box. */
#define SIZE_ABOUT 260, 95
#define LAYOUT_ABOUT_ICON 14, 14, 20, 20
/* The three lines carry ids only so that their texts can be set from the
 * one place that holds them. */
#define IDC_ABOUT_PRODUCT 1101
#define LAYOUT_ABOUT_PRODUCT 44, 14, 209, 8
#define IDC_ABOUT_RIGHTS 1102
#define LAYOUT_ABOUT_RIGHTS 44, 27, 178, 8
#define LAYOUT_ABOUT_OK 203, 74, 50, 14
#define IDC_ABOUT_ICON_CREDIT 1103
#define LAYOUT_ABOUT_ICON_CREDIT 44, 40, 135, 8

#endif /* KALVEX_UI_LAYOUT_DIALOG_LAYOUT_H_ */
