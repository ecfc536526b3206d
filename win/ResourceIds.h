#pragma once
// Resource identifiers shared by resources/pathwink.rc.in and the code.

// The eighteen texts of key names and modifier prefixes, in this order.
#define IDS_KEY_FIRST 1000
#define IDS_KEY_BKSP 1000
#define IDS_KEY_TAB 1001
#define IDS_KEY_ESC 1002
#define IDS_KEY_ENTER 1003
#define IDS_KEY_SPACE 1004
#define IDS_KEY_PGUP 1005
#define IDS_KEY_PGDN 1006
#define IDS_KEY_END 1007
#define IDS_KEY_HOME 1008
#define IDS_KEY_LEFT 1009
#define IDS_KEY_UP 1010
#define IDS_KEY_RIGHT 1011
#define IDS_KEY_DOWN 1012
#define IDS_KEY_INS 1013
#define IDS_KEY_DEL 1014
#define IDS_KEY_SHIFT 1015
#define IDS_KEY_CTRL 1016
#define IDS_KEY_ALT 1017
#define IDS_KEY_COUNT 18
