// The ids of the window's resources, shared by the resource script and the
// code. String ids are those of model/StringTable.def.
#pragma once

#define IDD_QELONECLICK_DIALOG 102
#define IDR_MAINFRAME 128
#define IDI_CHECK 133
#define IDI_UPGRADE 134
#define IDR_TITLE 150
#define IDR_HELP 152
#define IDC_CHECK 1000
#define IDC_LIST 1011
#define IDC_UPGRADE 1013
