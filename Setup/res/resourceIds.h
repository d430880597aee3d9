/* Identifiers of the installer's dialog templates and their controls, shared
   by the resource script and the code. */
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* The wizard's pages. */
#define IDD_WIZARD_ALL_USERS 141
#define IDC_ALL_USERS 1036
#define IDC_WELCOME_AREA 1037
#define IDC_WELCOME_PICTURE 1038

#define IDD_WIZARD_INFO 143
#define IDC_INFO_TEXT 1051

#define IDD_WIZARD_LICENSE 142
#define IDC_LICENSE_AGREE 1047
#define IDC_LICENSE_DISAGREE 1048
#define IDC_LICENSE_TEXT 1049

#define IDD_WIZARD_DIR 106
#define IDC_DIR_PATH 1011
#define IDC_DIR_CHANGE 1006
#define IDC_DIR_SPACE 1050
#define IDC_DIR_PICTURE 1015
#define IDC_DIR_AREA 1017

#define IDD_WIZARD_DRX 108
#define IDC_DRX_DETECT 1003
#define IDC_DRX_SETUP 1004

#define IDD_WIZARD_SETUP 110
#define IDC_STP_PROGRESS 1008
#define IDC_STP_FROM 1009
#define IDC_STP_TO 1010
#define IDC_STP_PICTURE 1014
#define IDC_STP_AREA 1018

/* The result dialog: the message, ten finish-action boxes (1023 to 1032) and OK. */
#define IDD_RESULT_OK 137
#define IDC_RESULT_MESSAGE 1033
#define IDC_RESULT_ACTION_FIRST 1023

/* The medium prompt. */
#define IDD_INSERT_CDROM 140
#define IDC_INSERT_CDROM_TEXT 1035
