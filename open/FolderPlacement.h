#pragma once
// Where a pressed key's folder goes, decided from the window that was in front:
// into a file dialog, into an Explorer window, to the Explorer window that already
// shows it, or into a new Explorer window. No windows.h here: the window is
// described by what can be read of it without sending it a message, and the few
// messages a file dialog gets go through FileDialogParts; hotkey/PlaceFolder does
// the reading and the talking.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pw {

// A descendant of the window, in the order the system lists them.
struct ChildWindow {
    std::uintptr_t handle = 0;
    int parent = -1; // index of the parent in the list; -1 is the window itself
    std::string className;
    int id = 0;
    bool visible = true;
};

// What is read of the window in front without asking it anything.
struct WindowFacts {
    std::uintptr_t handle = 0; // 0: nothing was in front
    std::string className;
    bool ours = false; // a window of Pathwink's own process
    std::vector<ChildWindow> children;
};

enum class WindowKind {
    Nothing,    // no window
    Own,        // Pathwink's own: never typed into
    Terminal,   // a console or terminal: never typed into
    FileDialog, // Open or Save As, either kind
    Explorer,   // an Explorer window
    Other,      // anything else, other dialogs included
};

struct WindowInFront {
    WindowKind kind = WindowKind::Nothing;
    // A file dialog's file-name box and OK button.
    std::uintptr_t nameBox = 0, okButton = 0;
    // An Explorer window's Location box, where it has one that navigates on Enter
    // (Wine's Explorer); 0 for Windows' address bar.
    std::uintptr_t locationBox = 0;
};

// The kind of the window and the parts of it the placement uses. A file dialog
// is a dialog with a file-name box, an OK button and a shell view; an item dialog
// (the newer kind) also needs a visible file-type box, which its folder picker
// lacks: a folder picker would take the folder as the user's choice and close.
WindowInFront ClassifyWindow(const WindowFacts& window);

enum class PlacementStep {
    FileDialog,         // the file dialog in front shows the folder
    ExplorerInFront,    // the Explorer window in front shows it
    OpenExplorerWindow, // the Explorer window that already shows it comes forward
    NewExplorerWindow,  // a new Explorer window (also what is told when none opens)
};

// The path length (UTF-16 units) from which the shell cannot show a folder.
constexpr std::size_t kShellPathLimit = 260;

// The steps to try in order, each when the one before could not do it; the last
// is always a new window. A path the shell cannot show goes to that step alone,
// which tells the user.
std::vector<PlacementStep> PlacementSteps(WindowKind front, std::size_t pathUnits);

// A file dialog's parts as putting a folder into it needs them. Each call waits a
// bounded time and says whether the dialog answered.
class FileDialogParts {
public:
    virtual std::optional<std::string> ReadName() = 0;
    virtual bool WriteName(const std::string& text) = 0;
    virtual bool PressOk() = 0;
    virtual bool IsOpen() = 0;
    // Lets the dialog finish what the last message started, before a look again.
    virtual void Settle() = 0;
    virtual void RestoreFocus() = 0;

protected:
    ~FileDialogParts() = default;
};

// Types the folder into the file-name box and presses OK, which makes a file
// dialog show a folder that exists, then puts the name the user had typed back
// and the focus where it was. True when the dialog answered every step and is
// still open. Whatever happens, once the name box was read the saved name is
// written back last, so that a dialog that did not take the folder is left as
// it was (a message that timed out is still handled, in order, once the dialog
// answers again).
bool PutFolderInFileDialog(FileDialogParts& dialog, const std::string& folder);

} // namespace pw
