#pragma once
// The program's name as users see it: the caption of its boxes, the tooltip of its
// tray icon, the name of its single-instance mutex.

namespace pw {

constexpr char kProgramName[] = "Pathwink";

} // namespace pw
