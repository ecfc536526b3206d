#pragma once
// The program's name as users see it: the caption of its boxes, the tooltip of its
// tray icon, the name of its single-instance mutex; and the class of its window,
// which other programs (the installer, the add command, senders of folders) look for.

// The name as a literal, for texts made of it at compile time ("Exit " PATHWINK_NAME "?").
#define PATHWINK_NAME "Pathwink"

namespace pw {

constexpr char kProgramName[] = PATHWINK_NAME;
constexpr char kProgramWindowClass[] = "T" PATHWINK_NAME "MainForm";

} // namespace pw
