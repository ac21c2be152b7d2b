#pragma once
// Identifiers shared by the resource script and the code.
#define IDD_SETUP_DIALOG 102
#define IDI_SETUP_ICON 128
#define IDC_STATUS_TEXT 1000
#define IDC_PROGRESS 1001
