#pragma once
// Identifiers of the dialogs' resources and controls, shared by the resource
// script and the code.

#define IDD_CONVERTER 102
#define IDD_SENDING 103
#define IDI_T2TK 128
#define IDC_CONVERT 1000
#define IDC_PROGRAM 1003
#define IDC_PROGRAM_SLIDER 1004
#define IDC_SAME_PATH 1005
#define IDC_COMPATIBILITY 1006
#define IDC_STATUS 1007
#define IDC_SEND_TO 1008
#define IDC_PROGRAM_LABEL 1009
#define IDC_SEND_LABEL 1010
#define IDC_SENDING_TEXT 1101
#define IDC_SENDING_PROGRESS 1102
#define IDC_SENDING_LIST 1103
