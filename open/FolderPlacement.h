#pragma once
// Where a pressed key's folder goes, decided from the window that was in front:
// into a file dialog, into a folder picker's folder box, into an Explorer window,
// to the Explorer window that already shows it, or into a new Explorer window.
// No windows.h here: the window is
// described by what can be read of it without sending it a message, and the few
// messages a file dialog gets go through FileDialogParts; open/PlaceFolder does
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

// What is read of the window in front without asking it anything (but the one
// question a dialog shaped like a folder picker is asked, see ClassifyWindow).
struct WindowFacts {
    std::uintptr_t handle = 0; // 0: nothing was in front
    std::string className;
    bool ours = false; // a window of Pathwink's own process
    std::vector<ChildWindow> children;
    // It answered CDM_GETFOLDERPATH with a length, as the Open and Save As dialogs of
    // GetOpenFileName and GetSaveFileName do (the item dialog and its folder picker do not).
    bool answersFolderPathQuery = false;
};

enum class WindowKind {
    Nothing,    // no window
    Own,        // Pathwink's own: never typed into
    Terminal,   // a console or terminal: never typed into
    FileDialog, // Open or Save As, any kind
    // A folder picker, or an item dialog that cannot be told from one (no file types):
    // its folder box gets the folder, and OK is left to the user.
    FolderPicker,
    Explorer, // an Explorer window
    Other,    // anything else, other dialogs included
};

struct WindowInFront {
    WindowKind kind = WindowKind::Nothing;
    // A file dialog's file-name box and OK button.
    std::uintptr_t nameBox = 0, okButton = 0;
    // An Explorer window's Location box, where it has one that navigates on Enter
    // (Wine's Explorer); 0 for Windows' address bar.
    std::uintptr_t locationBox = 0;
};

// The kind of the window and the parts of it the placement uses. A dialog with a
// file-name box and an OK button is a file dialog when it is one of the classic
// API's (the shell view has the documented id lst2, or the dialog answers the
// folder-path query; the old style has its file and folder list boxes instead),
// which never pick folders, or when it shows a file-type box, which no folder
// picker has. An item dialog without one is taken for a folder picker: nothing
// else outside the program tells them apart, and OK in a picker chooses.
// A dialog of this shape whose answer to the folder-path query is not yet asked
// classifies as FolderPicker; the caller asks and classifies again.
WindowInFront ClassifyWindow(const WindowFacts& window);

enum class PlacementStep {
    FileDialog,         // the file dialog in front shows the folder
    FolderPicker,       // the folder picker in front has it in its folder box
    ExplorerInFront,    // the Explorer window in front shows it
    OpenExplorerWindow, // the Explorer window that already shows it comes forward
    NewExplorerWindow,  // a new Explorer window (also what is told when none opens)
    // Not a step but an outcome: the file dialog closed on OK, having taken the typed
    // path for its file (the folder was gone). Nothing else opens; the user is told.
    FileDialogClosed,
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
    // The folder is still there (asked right before OK).
    virtual bool FolderExists() = 0;
    // Lets the dialog finish what the last message started, before a look again.
    virtual void Settle() = 0;
    virtual void RestoreFocus() = 0;

protected:
    ~FileDialogParts() = default;
};

enum class DialogOutcome {
    Shown,       // the dialog shows the folder and is still open
    LeftAsItWas, // it did not take the folder (or did not answer)
    Closed,      // it closed on OK: it took the typed path for its file
};

// Types the folder into the file-name box and presses OK, which makes a file
// dialog show a folder that exists, then puts the name the user had typed back
// and the focus where it was. The folder is checked once more right before OK:
// a file dialog takes a path that is not there for a file name and closes. The
// folder is typed as the caller gives it (with a closing separator, which most
// dialogs refuse as a file name). Whatever happens, once the name box was read
// the saved name is written back last, so that a dialog that did not take the
// folder is left as it was (a message that timed out is still handled, in order,
// once the dialog answers again).
DialogOutcome PutFolderInFileDialog(FileDialogParts& dialog, const std::string& folder);

// A browser of an Explorer window as the shell's window list gives it: on Windows
// 11 one per tab, named by its tab's window; otherwise the window's only one, named
// by the window itself.
struct ExplorerBrowser {
    std::uintptr_t window = 0;
    bool showsFolder = false;
};

// The browser of the window's active tab (the first tab window among its children),
// else the one named by the window itself; nothing when neither is listed.
std::optional<std::size_t> ActiveBrowser(const std::vector<ExplorerBrowser>& browsers,
                                         std::uintptr_t explorer, std::uintptr_t activeTab);

// Whether the window that the shell says shows a folder counts as showing it: only
// when its active tab does (a folder in a background tab is not in view). Without
// a list of browsers (nullopt: Wine's cannot be read, and its windows have no tabs)
// the shell's answer stands.
bool ShowsFolderInFront(const std::optional<std::vector<ExplorerBrowser>>& browsers,
                        std::uintptr_t explorer, std::uintptr_t activeTab);

} // namespace pw
