// Identifiers of Orvanel's resources and controls.
#pragma once

// Dialog templates
#define IDD_MAIN 102
#define IDD_FIND 129
#define IDD_RESULTS 130
#define IDD_INFO 131
#define IDD_LOOKUP 133

// Icon groups
#define IDR_MAINFRAME_ICON 128
#define IDI_LIST_ICON 132

// Controls
#define IDC_MESSAGE_LIST 1001
#define IDC_FIND_TEXT 1002
#define IDC_FIND_MODULE 1003
#define IDC_FIND_ERROR 1004
#define IDC_FIND_LANGUAGE 1005
#define IDC_FIND_VALUE 1006
#define IDC_FIND_HEX 1007
#define IDC_FIND_TEXTCOL 1008
#define IDC_FIND_MATCHCASE 1009
#define IDC_FIND_BUTTON 1010
#define IDC_INFO_TEXT 1012
#define IDC_INFO_ICON 1013
#define IDC_OPEN_DIR 1014
#define IDC_MASK_LABEL 1015
#define IDC_MASK 1016
#define IDC_RECURSIVE 1017
#define IDC_STATUS 1018
#define IDC_LOOKUP_TEXT 1019
#define IDC_LOOKUP_EXAMPLES 1020

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
