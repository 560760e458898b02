// Resource and control ids of the launcher dialog, shared by the resource script and
// the code that drives the dialog. Plain #defines: the resource compiler reads them.
#pragma once

#define IDD_LAUNCHER 129

#define IDC_START 1
#define IDC_EXIT 2
#define IDC_VIEW_DETAILS 1002
#define IDC_BB_TO_CLIPBOARD 1004
#define IDC_COMMENT_ENABLED 1005
#define IDC_COMMENT 1006
#define IDC_TEST_CHECK_FIRST 1010
#define IDC_TEST_RESULT_FIRST 1020
#define IDC_BASE_NAME_BUTTON 1035
#define IDC_BASE_NAME 1036
#define IDC_SYNC_SWAP 1037
#define IDC_SYNC_FLUSH 1038
#define IDC_BB_BOLD 1041
#define IDC_BB_CODE 1043
#define IDC_BB_URL 1044

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
