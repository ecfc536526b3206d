#include "open/FolderPlacement.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace pw {

namespace {

// Control ids of the file dialogs (dlgs.h): OK, the classic dialog's shell view
// (lst2; in the old style its folder list box), the old style's file list box
// (lst1), the file-type box (cmb1), the file-name combo box (cmb13) and the
// file-name edit box (edt1), which the old style and Wine's item dialog have.
constexpr int kOkId = 1;
constexpr int kShellViewId = 0x461;
constexpr int kFileListId = 0x460;
constexpr int kFileTypeId = 0x470;
constexpr int kNameComboId = 0x47C;
constexpr int kNameEditId = 0x480;

// Window class names compare without regard to case, as the system compares them.
bool IsClass(const std::string& name, const char* wanted) {
    const std::string w(wanted);
    return name.size() == w.size() &&
           std::equal(name.begin(), name.end(), w.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

bool IsAnyClass(const std::string& name, std::initializer_list<const char*> wanted) {
    return std::any_of(wanted.begin(), wanted.end(),
                       [&](const char* w) { return IsClass(name, w); });
}

// Consoles and terminals run whatever is typed into them: keys are never sent there.
bool IsTerminal(const std::string& name) {
    return IsAnyClass(name,
                      {"ConsoleWindowClass", "CASCADIA_HOSTING_WINDOW_CLASS", "PseudoConsoleWindow",
                       "WineConsoleClass", "mintty", "PuTTY", "VirtualConsoleClass"});
}

// Windows' Explorer (CabinetWClass, and ExploreWClass with the folder tree of old)
// and Wine's (ExplorerWClass).
bool IsExplorer(const std::string& name) {
    return IsAnyClass(name, {"CabinetWClass", "ExploreWClass", "ExplorerWClass"});
}

const ChildWindow* ParentOf(const WindowFacts& window, const ChildWindow& child) {
    if (child.parent < 0 || child.parent >= static_cast<int>(window.children.size()))
        return nullptr;
    return &window.children[child.parent];
}

bool IsDirectChild(const ChildWindow& child) {
    return child.parent == -1;
}

// The file-name box: the edit box of the file-name combo box (classic: ComboBoxEx32 >
// ComboBox > Edit; Windows' item dialog: ComboBox > Edit), or the dialog's own edit
// box edt1 (Wine's item dialog).
std::uintptr_t FileNameBox(const WindowFacts& dialog) {
    for (const ChildWindow& child : dialog.children) {
        if (!IsClass(child.className, "Edit") || !child.visible)
            continue;
        if (child.id == kNameEditId && IsDirectChild(child))
            return child.handle;
        const ChildWindow* combo = ParentOf(dialog, child);
        for (int depth = 0; combo && depth < 2; ++depth, combo = ParentOf(dialog, *combo)) {
            if (!IsAnyClass(combo->className, {"ComboBox", "ComboBoxEx32"}))
                break;
            if (combo->id == kNameComboId)
                return child.handle;
        }
    }
    return 0;
}

bool IsDirectChildOf(const ChildWindow& child, int id, const char* className) {
    return IsDirectChild(child) && child.id == id && IsClass(child.className, className);
}

WindowInFront AsFileDialog(const WindowFacts& dialog) {
    WindowInFront found;
    bool hasShellView = false, isClassic = false, hasFileList = false, hasFolderList = false,
         hasFileTypes = false;
    for (const ChildWindow& child : dialog.children) {
        if (IsDirectChildOf(child, kOkId, "Button"))
            found.okButton = child.handle;
        if (IsAnyClass(child.className,
                       {"SHELLDLL_DefView", "DUIViewWndClassName", "ExplorerBrowserControl"}))
            hasShellView = true;
        isClassic = isClassic || IsDirectChildOf(child, kShellViewId, "SHELLDLL_DefView");
        hasFileList = hasFileList || IsDirectChildOf(child, kFileListId, "ListBox");
        hasFolderList = hasFolderList || IsDirectChildOf(child, kShellViewId, "ListBox");
        if (child.id == kFileTypeId && child.visible && IsClass(child.className, "ComboBox"))
            hasFileTypes = true;
    }
    found.nameBox = FileNameBox(dialog);
    const bool oldStyle = hasFileList && hasFolderList;
    if (!found.okButton || !found.nameBox || !(hasShellView || oldStyle))
        return {WindowKind::Other};
    // The classic API's dialogs never pick folders; a folder picker shows no file types.
    const bool isFileDialog =
        isClassic || oldStyle || hasFileTypes || dialog.answersFolderPathQuery;
    found.kind = isFileDialog ? WindowKind::FileDialog : WindowKind::FolderPicker;
    return found;
}

// Wine's Location box: ReBarWindow32 > ComboBoxEx32 > ComboBox > Edit, right under
// the window. Windows' address bar is another control, reached through the shell.
std::uintptr_t LocationBox(const WindowFacts& explorer) {
    if (!IsClass(explorer.className, "ExplorerWClass"))
        return 0;
    for (const ChildWindow& child : explorer.children) {
        if (!IsClass(child.className, "Edit"))
            continue;
        const ChildWindow* combo = ParentOf(explorer, child);
        const ChildWindow* comboEx = combo ? ParentOf(explorer, *combo) : nullptr;
        const ChildWindow* rebar = comboEx ? ParentOf(explorer, *comboEx) : nullptr;
        if (rebar && IsClass(combo->className, "ComboBox") &&
            IsClass(comboEx->className, "ComboBoxEx32") &&
            IsClass(rebar->className, "ReBarWindow32") && IsDirectChild(*rebar))
            return child.handle;
    }
    return 0;
}

} // namespace

WindowInFront ClassifyWindow(const WindowFacts& window) {
    if (!window.handle)
        return {};
    if (window.ours)
        return {WindowKind::Own};
    if (IsTerminal(window.className))
        return {WindowKind::Terminal};
    if (IsExplorer(window.className)) {
        WindowInFront found{WindowKind::Explorer};
        found.locationBox = LocationBox(window);
        return found;
    }
    if (IsClass(window.className, "#32770"))
        return AsFileDialog(window);
    return {WindowKind::Other};
}

std::vector<PlacementStep> PlacementSteps(WindowKind front, std::size_t pathUnits) {
    using Step = PlacementStep;
    if (pathUnits >= kShellPathLimit)
        return {Step::NewExplorerWindow};
    switch (front) {
    case WindowKind::FileDialog:
        return {Step::FileDialog, Step::OpenExplorerWindow, Step::NewExplorerWindow};
    case WindowKind::FolderPicker:
        return {Step::FolderPicker, Step::OpenExplorerWindow, Step::NewExplorerWindow};
    case WindowKind::Explorer:
        return {Step::ExplorerInFront, Step::OpenExplorerWindow, Step::NewExplorerWindow};
    case WindowKind::Nothing:
    case WindowKind::Own:
    case WindowKind::Terminal:
    case WindowKind::Other:
        break;
    }
    return {Step::OpenExplorerWindow, Step::NewExplorerWindow};
}

DialogOutcome PutFolderInFileDialog(FileDialogParts& dialog, const std::string& folder) {
    const std::optional<std::string> typed = dialog.ReadName();
    if (!typed)
        return DialogOutcome::LeftAsItWas; // nothing was changed
    const bool written = dialog.WriteName(folder);
    const bool okSent = written && dialog.FolderExists();
    // A dialog that refused a folder gone at OK shows something else.
    const bool pressed = okSent && dialog.PressOk() && dialog.FolderExists();
    // After the folder the classic dialog empties the box and the item dialog keeps
    // the path in it: the typed name goes back either way, and once more if the
    // dialog was still busy and changed it again. A dialog that stopped answering
    // gets one write, which waits in its queue behind the ones before.
    constexpr int kAttempts = 3;
    bool answering = true;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0)
            dialog.Settle();
        answering = dialog.WriteName(*typed);
        if (!answering || dialog.ReadName() == typed)
            break;
    }
    if (answering)
        dialog.RestoreFocus();
    if (okSent && !dialog.IsOpen())
        return DialogOutcome::Closed;
    return pressed ? DialogOutcome::Shown : DialogOutcome::LeftAsItWas;
}

std::optional<std::size_t> ActiveBrowser(const std::vector<ExplorerBrowser>& browsers,
                                         std::uintptr_t explorer, std::uintptr_t activeTab) {
    std::optional<std::size_t> windowsOwn;
    for (std::size_t i = 0; i < browsers.size(); ++i) {
        if (activeTab && browsers[i].window == activeTab)
            return i;
        if (browsers[i].window == explorer && !windowsOwn)
            windowsOwn = i;
    }
    return windowsOwn;
}

bool ShowsFolderInFront(const std::optional<std::vector<ExplorerBrowser>>& browsers,
                        std::uintptr_t explorer, std::uintptr_t activeTab) {
    if (!browsers)
        return true;
    const std::optional<std::size_t> active = ActiveBrowser(*browsers, explorer, activeTab);
    return active && (*browsers)[*active].showsFolder;
}

} // namespace pw
