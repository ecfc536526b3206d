#pragma once
// Resource identifiers shared by resources/pathwink.rc.in and the code.

// The string table's key names and modifier prefixes, from IDS_KEY_FIRST on. Each row
// is its offset, the name the code knows it by (KeyText's kt<name>) and its text; the
// string table and KeyText are both made of this one list.
#define IDS_KEY_FIRST 1000
#define PW_KEY_TEXTS(ROW)                                                                          \
    ROW(0, BkSp, "BkSp")                                                                           \
    ROW(1, Tab, "Tab")                                                                             \
    ROW(2, Esc, "Esc")                                                                             \
    ROW(3, Enter, "Enter")                                                                         \
    ROW(4, Space, "Space")                                                                         \
    ROW(5, PgUp, "PgUp")                                                                           \
    ROW(6, PgDn, "PgDn")                                                                           \
    ROW(7, End, "End")                                                                             \
    ROW(8, Home, "Home")                                                                           \
    ROW(9, Left, "Left")                                                                           \
    ROW(10, Up, "Up")                                                                              \
    ROW(11, Right, "Right")                                                                        \
    ROW(12, Down, "Down")                                                                          \
    ROW(13, Ins, "Ins")                                                                            \
    ROW(14, Del, "Del")                                                                            \
    ROW(15, Shift, "Shift+")                                                                       \
    ROW(16, Ctrl, "Ctrl+")                                                                         \
    ROW(17, Alt, "Alt+")
