// Resource ids of Lutrovane.exe. The numbers are fixed: the window tests and
// the templates in lutrovane.rc address controls and strings by them.
#pragma once

#define IDI_LUTROVANE                   128
#define IDD_STEP1                       131
#define IDD_STEP2                       132
#define IDD_SPLASH                      133
#define IDD_MAP_EDIT                    134
#define IDD_KEYBOARD_VIEW               140
#define IDR_MAP_MENU                    136
#define IDB_HEADER                      137
#define IDB_SPLASH                      200
// The same pictures at 150 % and 200 %, for screens of 144 and 192 DPI.
#define IDB_HEADER_150                  138
#define IDB_HEADER_200                  139
#define IDB_SPLASH_150                  201
#define IDB_SPLASH_200                  202

// Window-menu commands of the wizard; WM_SYSCOMMAND masks the low four bits.
#define IDM_ABOUTBOX                    0x0010
#define IDM_HOMEPAGE                    0x0020

#define IDS_ABOUTBOX                    101
#define IDS_HOMEPAGE                    102
#define IDS_STEP1_TITLE                 103
#define IDS_STEP2_TITLE                 104
#define IDS_KEYBOARD_PC                 106
#define IDS_KEYBOARD_APPLE_EXT          107
#define IDS_KEYBOARD_APPLE_PRO          108
#define IDS_KEYBOARD_APPLE_ETC          109
#define IDS_REAL_KEY_COLUMN             110
#define IDS_MAP_KEY_COLUMN              111
#define IDS_ASK_LOAD_SYSTEM_MAP         112
#define IDS_NO_SYSTEM_MAP               113
#define IDS_ASK_NEW_MAP                 114
#define IDS_ASK_DELETE_MAP              115
#define IDS_ASK_MODIFY_MAP              116
#define IDS_CHOOSE_BOTH_KEYS            117
#define IDS_ASK_LOAD_FILE               118
#define IDS_INVALID_FILE                119
#define IDS_ASK_APPLY_MAP               120
#define IDS_ASK_REMOVE_SYSTEM_MAP       121
#define IDS_LIST_FULL                   122
#define IDS_LIST_TRUNCATED              123
#define IDS_APPLY_FAILED                124
#define IDS_REMOVE_FAILED               125
#define IDS_SAVE_FAILED                 126
#define IDS_PATH_NOT_949                127
#define IDS_OUT_OF_MEMORY               128
#define IDS_ASK_LOCKOUT                 129
#define IDS_HISTORY_FAILED              130
#define IDS_HOME_PAGE_ELEVATED          131
// What stood in the history's place, and another change holding its lock.
#define IDS_HISTORY_MOVED_ASIDE         150
#define IDS_HISTORY_IN_THE_WAY          151
#define IDS_HISTORY_BUSY                152
// What the map edit dialog says while it waits for a key, and how it stopped.
#define IDS_PRESS_KEY                   132
#define IDS_KEY_TAKEN                   133
#define IDS_KEY_WAIT_CANCELLED          134
#define IDS_KEY_WAIT_TIMED_OUT          135
// The mapped key that turns a key off, and the swap of the dialog's two keys:
// why it cannot be made, and the list page's questions before it changes rows.
#define IDS_KEY_OFF                     140
#define IDS_SWAP_CHOOSE_BOTH            141
#define IDS_SWAP_NOT_OFF                142
#define IDS_SWAP_NOT_BOTH_LISTS         143
#define IDS_ASK_REPLACE_ROW             144
#define IDS_ASK_DELETE_OLD_REVERSE      145
// Load file with another tool's map: why it was refused, what it left out.
#define IDS_IMPORT_FAILED               146
#define IDS_IMPORT_LEFT_OUT             147
// The keyboard view: what its picture and lines say, and its try-it mode;
// a key turned off is named by IDS_KEY_OFF.
#define IDS_VIEW_CONFLICT               160
#define IDS_VIEW_LEGEND                 161
#define IDS_VIEW_OFF_PICTURE            162
#define IDS_VIEW_LOST_KEYS              163
#define IDS_VIEW_UNCHANGED              164
#define IDS_VIEW_TRY_STARTED            165
#define IDS_VIEW_TRY_ENDED              166
#define IDS_VIEW_EFFECT_NONE            167
#define IDS_VIEW_EFFECT_MAP             168
#define IDS_VIEW_EFFECT_UNKNOWN         169

// Splash (template 133)
#define IDC_SPLASH_PICTURE              1000

// Keyboard choice page (template 131), top to bottom in keyboard type order
#define IDC_KEYBOARD_PC                 1002
#define IDC_KEYBOARD_APPLE_EXT          1003
#define IDC_KEYBOARD_APPLE_PRO          1005
#define IDC_KEYBOARD_APPLE_ETC          1006

// Mapping list page (template 132); its menu 136 uses the same command ids
#define IDC_LOAD_SYSTEM_MAP             1006
#define IDC_APPLY_MAP                   1007
#define IDC_MAP_LIST                    1008
#define IDC_ADD_MAP                     1009
#define IDC_MODIFY_MAP                  1010
#define IDC_DELETE_MAP                  1011
#define IDC_LOAD_FILE                   1012
#define IDC_REMOVE_SYSTEM_MAP           1013
#define IDC_SAVE_FILE                   1014
#define IDC_NEW_MAP                     1015
#define IDC_KEYBOARD_VIEW               1021

// Map edit dialog (template 134)
#define IDC_REAL_KEY                    1013
#define IDC_MAP_KEY                     1015
#define IDC_SET_MAP                     1016
#define IDC_CANCEL_MAP                  1017
// Each waits for one key and selects it in the list to its left.
#define IDC_PRESS_REAL_KEY              1018
#define IDC_PRESS_MAP_KEY               1019
#define IDC_KEY_WAIT_TEXT               1020
// Set makes the reverse pair too; the note says why the box is off.
#define IDC_SWAP_KEYS                   1030
#define IDC_SWAP_NOTE                   1031

// Keyboard view (template 140)
#define IDC_VIEW_PICTURE                1022
#define IDC_VIEW_LEGEND                 1023
#define IDC_VIEW_OFF_PICTURE            1024
#define IDC_VIEW_LOST_KEYS              1025
#define IDC_VIEW_TRY                    1026
#define IDC_VIEW_STATUS                 1027
#define IDC_VIEW_EFFECT                 1028

#ifndef IDC_STATIC
#define IDC_STATIC                      (-1)
#endif

// The project's home page: the window menu opens the address, both pages
// show the host (their text field is too narrow for the whole address).
#define LUTROVANE_HOME_HOST             "lutrovane.example"
#define LUTROVANE_HOME_PAGE             "https://" LUTROVANE_HOME_HOST "/"
