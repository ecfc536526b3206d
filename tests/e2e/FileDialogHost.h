#pragma once
// A second program with a real file dialog, for the tests and the benchmark of
// opening folders in the window in front:
//
//   file_dialog_host.exe classic|item|pick|browse|message <report file> [start folder]
//
// shows a Save As dialog (classic: GetSaveFileNameW; item: IFileSaveDialog), a
// folder picker (pick: IFileOpenDialog with FOS_PICKFOLDERS; browse:
// SHBrowseForFolderW) or a message box, and answers on a hidden window of the
// dialog's own thread (class kDialogHostClass), so that what it tells is what
// its dialog shows:
//   - kHostReportMessage: writes the report into the report file (UTF-8 lines:
//     the dialog's current folder, its file name, the class and id of the control
//     with the keyboard focus, then "open" or "closed") and returns 1;
//   - kHostHangMessage (wParam milliseconds): stops answering for that long;
//   - WM_COPYDATA with dwData kHostFolderIsData and a UTF-16 folder: returns 1
//     when the dialog shows that folder (the benchmark's poll).
// It ends when the dialog closes; its exit code tells how: 1 OK, 2 Cancel.

#include <windows.h>

namespace pwtest {

constexpr char kDialogHostClass[] = "PathwinkTestDialogHost";
constexpr char kDialogHostCaption[] = "Save Report As";
constexpr char kDialogHostMessageCaption[] = "Host message";
constexpr UINT kHostReportMessage = WM_APP + 40;
constexpr UINT kHostHangMessage = WM_APP + 41;
constexpr ULONG_PTR kHostFolderIsData = 0x464F4C44;

} // namespace pwtest
