// Resource numbers of vistrel.rc, shared with the code that loads them.
#pragma once

#define IDI_VISTREL 1
#define IDD_SLIDE_SHOW 130
#define IDB_ROTATE_CCW_LARGE 132
#define IDB_ROTATE_CW_LARGE 133
#define IDR_HAND_CURSOR 136
#define IDB_ROTATE_CW_SMALL 137
#define IDB_ROTATE_CCW_SMALL 138
#define IDC_SLIDE_SHOW_DELAY 1003
#define IDC_SLIDE_SHOW_LOOP 1004
