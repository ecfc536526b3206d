#pragma once
// The program's name as users see it: the caption of its boxes, the tooltip of its
// tray icon, the name of its single-instance mutex; and the class of its window,
// which other programs (the installer, the add command, senders of folders) look for.

namespace pw {

constexpr char kProgramName[] = "Pathwink";
constexpr char kProgramWindowClass[] = "TPathwinkMainForm";

} // namespace pw
