// Where a pressed key's folder goes, decided from the window in front: which
// window counts as a file dialog or an Explorer window (and which is never typed
// into), which steps follow in which order, and how a file dialog is left when it
// does not answer. The windows are the trees Wine 8 shows and those Windows
// documents for its dialogs.

#include "open/FolderPlacement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace pw;

namespace {

// A window tree written as rows: depth (1 = right under the window), class, id, visible.
struct Row {
    int depth;
    const char* className;
    int id;
    bool visible = true;
};

WindowFacts Tree(const char* className, std::initializer_list<Row> rows, bool ours = false) {
    WindowFacts facts;
    facts.handle = 1;
    facts.className = className;
    facts.ours = ours;
    std::vector<int> lastAtDepth = {-1};
    for (const Row& row : rows) {
        ChildWindow child;
        child.handle = 100 + facts.children.size();
        child.parent = lastAtDepth.at(row.depth - 1);
        child.className = row.className;
        child.id = row.id;
        child.visible = row.visible;
        lastAtDepth.resize(row.depth);
        lastAtDepth.push_back(static_cast<int>(facts.children.size()));
        facts.children.push_back(child);
    }
    return facts;
}

std::uintptr_t HandleOf(const WindowFacts& facts, const char* className, int id) {
    for (const ChildWindow& child : facts.children)
        if (child.className == className && child.id == id)
            return child.handle;
    return 0;
}

// Wine 8's classic Save As dialog (GetSaveFileNameW): the file-name edit box sits in
// ComboBoxEx32 > ComboBox, all three with id 0x47C.
WindowFacts WineClassicSave() {
    return Tree("#32770", {{1, "Static", 0x443},
                           {1, "ComboBox", 0x471},
                           {1, "SHELLDLL_DefView", 0x461},
                           {2, "SysListView32", 1},
                           {1, "ToolbarWindow32", 0x4A0},
                           {1, "ListBox", 0x460, false},
                           {1, "Static", 0x442},
                           {1, "ComboBoxEx32", 0x47C},
                           {2, "ComboBox", 0x47C},
                           {3, "Edit", 0x47C},
                           {1, "ComboBox", 0x470},
                           {1, "Button", 1},
                           {1, "Button", 2},
                           {1, "ToolbarWindow32", 1}});
}

// Wine 8's item dialog (IFileSaveDialog; IFileOpenDialog and its folder picker are the
// same in every part): the file-name box is edt1 right under the dialog; the
// file-type box is hidden when there are no types, and always for a folder picker.
WindowFacts WineItemDialog(bool typesShown) {
    return Tree("#32770", {{1, "idlg_container_pane", 0},
                           {1, "Static", 0x442},
                           {1, "Edit", 0x480},
                           {1, "Static", 0x441, false},
                           {1, "ComboBox", 0x470, typesShown},
                           {1, "Button", 1},
                           {1, "Button", 2},
                           {1, "ExplorerBrowserControl", 0},
                           {2, "SHELLDLL_DefView", 0},
                           {3, "SysListView32", 1},
                           {1, "ToolbarWindow32", 0xC8}});
}

WindowFacts Answering(WindowFacts dialog) {
    dialog.answersFolderPathQuery = true;
    return dialog;
}

// Windows' item dialog: the boxes keep the classic ids deep inside the DirectUI view.
WindowFacts WindowsItemDialog(bool typesShown) {
    return Tree("#32770", {{1, "DUIViewWndClassName", 0},
                           {2, "DirectUIHWND", 0},
                           {3, "CtrlNotifySink", 0},
                           {4, "SHELLDLL_DefView", 0},
                           {3, "FloatNotifySink", 0},
                           {4, "ComboBox", 0x47C},
                           {5, "Edit", 0x3E9},
                           {3, "FloatNotifySink", 0},
                           {4, "ComboBox", 0x470, typesShown},
                           {1, "Button", 1},
                           {1, "Button", 2},
                           {1, "ScrollBar", 0}});
}

// Wine 8's Explorer window: the Location box navigates on Enter.
WindowFacts WineExplorer() {
    return Tree("ExplorerWClass", {{1, "ExplorerBrowserControl", 0},
                                   {2, "SHELLDLL_DefView", 0},
                                   {1, "ReBarWindow32", 0},
                                   {2, "ComboBoxEx32", 0},
                                   {3, "ComboBox", 0},
                                   {4, "Edit", 0},
                                   {2, "ToolbarWindow32", 0}});
}

} // namespace

TEST(ClassifyWindow, OnlyARealFileDialogOrExplorerWindowIsUsedAndNothingThatRunsWhatIsTyped) {
    const struct {
        const char* what;
        WindowFacts window;
        WindowKind kind;
    } cases[] = {
        {"Wine's classic Save As", WineClassicSave(), WindowKind::FileDialog},
        {"Wine's item dialog with file types", WineItemDialog(true), WindowKind::FileDialog},
        {"Windows' item dialog with file types", WindowsItemDialog(true), WindowKind::FileDialog},
        // A folder picker's OK takes the folder as the answer and closes: an item dialog
        // without types is one, unless it answers as the classic API's dialogs do.
        {"Wine's item dialog picking folders, or without types", WineItemDialog(false),
         WindowKind::FolderPicker},
        {"Windows' item dialog picking folders, or without types", WindowsItemDialog(false),
         WindowKind::FolderPicker},
        {"Windows' item dialog of GetOpenFileName without types",
         Answering(WindowsItemDialog(false)), WindowKind::FileDialog},
        {"the classic dialog of Pathwink's own process", Tree("#32770", {}, true), WindowKind::Own},
        {"a message box", Tree("#32770", {{1, "Static", 0xFFFF}, {1, "Button", 1}}),
         WindowKind::Other},
        {"the folder browser (SHBrowseForFolder)",
         Tree("#32770", {{1, "Button", 1}, {1, "Button", 2}, {1, "SysTreeView32", 0x3741}}),
         WindowKind::Other},
        {"a properties sheet",
         Tree("#32770", {{1, "SysTabControl32", 0x3020},
                         {1, "#32770", 0},
                         {2, "Edit", 0x47C},
                         {1, "Button", 1}}),
         WindowKind::Other},
        {"a dialog with a name box but no shell view",
         Tree("#32770", {{1, "Edit", 0x480}, {1, "ComboBox", 0x470}, {1, "Button", 1}}),
         WindowKind::Other},
        {"a file dialog whose OK is not a button",
         Tree("#32770", {{1, "SHELLDLL_DefView", 0x461},
                         {1, "ComboBox", 0x47C},
                         {2, "Edit", 0x47C},
                         {1, "ToolbarWindow32", 1}}),
         WindowKind::Other},
        {"a file dialog whose name box is hidden",
         Tree("#32770", {{1, "SHELLDLL_DefView", 0x461},
                         {1, "ComboBox", 0x47C},
                         {2, "Edit", 0x47C, false},
                         {1, "Button", 1}}),
         WindowKind::Other},
        {"Wine's Explorer", WineExplorer(), WindowKind::Explorer},
        {"Windows' Explorer", Tree("CabinetWClass", {{1, "ShellTabWindowClass", 0}}),
         WindowKind::Explorer},
        {"Windows' Explorer with the folder tree", Tree("ExploreWClass", {}), WindowKind::Explorer},
        {"Pathwink's own Explorer-like window", Tree("CabinetWClass", {}, true), WindowKind::Own},
        {"the console", Tree("ConsoleWindowClass", {}), WindowKind::Terminal},
        {"Windows Terminal", Tree("CASCADIA_HOSTING_WINDOW_CLASS", {}), WindowKind::Terminal},
        {"Wine's console", Tree("WineConsoleClass", {}), WindowKind::Terminal},
        {"mintty (Git Bash)", Tree("mintty", {}), WindowKind::Terminal},
        {"PuTTY", Tree("PuTTY", {}), WindowKind::Terminal},
        {"a class named in other case", Tree("consolewindowclass", {}), WindowKind::Terminal},
        {"the desktop", Tree("#32769", {}), WindowKind::Other},
        {"the taskbar", Tree("Shell_TrayWnd", {}), WindowKind::Other},
        {"no window at all", WindowFacts{}, WindowKind::Nothing},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyWindow(c.window).kind, c.kind) << c.what;
}

TEST(ClassifyWindow, FindsTheBoxesThePlacementTypesIntoAndNoOthers) {
    const WindowFacts classic = WineClassicSave();
    const WindowInFront classicFound = ClassifyWindow(classic);
    EXPECT_EQ(classicFound.nameBox, HandleOf(classic, "Edit", 0x47C));
    EXPECT_EQ(classicFound.okButton, HandleOf(classic, "Button", 1))
        << "the button, not the toolbar that shares its id";

    const WindowFacts item = WineItemDialog(true);
    EXPECT_EQ(ClassifyWindow(item).nameBox, HandleOf(item, "Edit", 0x480));
    const WindowFacts windowsItem = WindowsItemDialog(true);
    EXPECT_EQ(ClassifyWindow(windowsItem).nameBox, HandleOf(windowsItem, "Edit", 0x3E9));

    const WindowFacts explorer = WineExplorer();
    EXPECT_EQ(ClassifyWindow(explorer).locationBox, HandleOf(explorer, "Edit", 0));
    EXPECT_EQ(ClassifyWindow(Tree("CabinetWClass", {{1, "ReBarWindow32", 0},
                                                    {2, "ComboBoxEx32", 0},
                                                    {3, "ComboBox", 0},
                                                    {4, "Edit", 0}}))
                  .locationBox,
              0u)
        << "Windows' address bar is reached through the shell, never typed into";
    EXPECT_EQ(ClassifyWindow(Tree("ExplorerWClass", {{1, "Edit", 0}})).locationBox, 0u)
        << "an edit box that is not the Location box";
}

TEST(PlacementSteps, EachWindowInFrontGetsItsStepsAndEveryListEndsWithANewWindow) {
    using Step = PlacementStep;
    const struct {
        WindowKind front;
        std::size_t pathUnits;
        std::vector<Step> steps;
    } cases[] = {
        {WindowKind::FileDialog,
         20,
         {Step::FileDialog, Step::OpenExplorerWindow, Step::NewExplorerWindow}},
        {WindowKind::Explorer,
         20,
         {Step::ExplorerInFront, Step::OpenExplorerWindow, Step::NewExplorerWindow}},
        {WindowKind::Other, 20, {Step::OpenExplorerWindow, Step::NewExplorerWindow}},
        {WindowKind::Terminal, 20, {Step::OpenExplorerWindow, Step::NewExplorerWindow}},
        {WindowKind::Own, 20, {Step::OpenExplorerWindow, Step::NewExplorerWindow}},
        {WindowKind::Nothing, 20, {Step::OpenExplorerWindow, Step::NewExplorerWindow}},
        // The shell shows no folder at 260 units or more: the new window's step tells so.
        {WindowKind::FileDialog,
         259,
         {Step::FileDialog, Step::OpenExplorerWindow, Step::NewExplorerWindow}},
        {WindowKind::FileDialog, 260, {Step::NewExplorerWindow}},
        {WindowKind::Explorer, 32766, {Step::NewExplorerWindow}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlacementSteps(c.front, c.pathUnits), c.steps)
            << "kind " << static_cast<int>(c.front) << ", " << c.pathUnits << " units";
}

namespace {

// A file dialog that answers until a chosen call, then stops answering (what a
// hung or more privileged window does); its name box follows what it was given.
class FakeDialog : public FileDialogParts {
public:
    explicit FakeDialog(std::string typed) : name(std::move(typed)) {}

    std::string name, shownFolder = "C:\\Before";
    bool open = true;
    std::map<std::string, int> silentFrom; // call name -> first call (1-based) that fails
    bool clickEmptiesName = true;          // the classic dialog; the item dialog keeps the path
    int focusRestored = 0;
    std::vector<std::string> calls;

    std::optional<std::string> ReadName() override {
        if (!Answers("read"))
            return std::nullopt;
        return name;
    }
    bool WriteName(const std::string& text) override {
        if (!Answers("write"))
            return false;
        name = text;
        return true;
    }
    bool PressOk() override {
        if (!Answers("ok"))
            return false;
        shownFolder = name;
        if (clickEmptiesName)
            name.clear();
        return true;
    }
    bool IsOpen() override { return open; }
    bool FolderExists() override { return true; }
    void Settle() override { calls.push_back("settle"); }
    void RestoreFocus() override { ++focusRestored; }

private:
    bool Answers(const std::string& call) {
        calls.push_back(call);
        const int count = static_cast<int>(std::count(calls.begin(), calls.end(), call));
        const auto silent = silentFrom.find(call);
        return silent == silentFrom.end() || count < silent->second;
    }
};

} // namespace

TEST(PutFolderInFileDialog, TheDialogShowsTheFolderOrIsLeftAsItWasWithTheTypedName) {
    const struct {
        const char* what;
        std::map<std::string, int> silentFrom;
        bool clickEmptiesName;
        bool open; // after the click
        bool shown;
        const char* folderAfter;
        const char* nameAfter;
        bool focusRestored;
    } cases[] = {
        {"the classic dialog answers", {}, true, true, true, "D:\\Target", "report.txt", true},
        {"the item dialog answers", {}, false, true, true, "D:\\Target", "report.txt", true},
        {"no answer to the first read: nothing is touched",
         {{"read", 1}},
         true,
         true,
         false,
         "C:\\Before",
         "report.txt",
         false},
        {"the folder cannot be written (a program with higher rights)",
         {{"write", 1}},
         true,
         true,
         false,
         "C:\\Before",
         "report.txt",
         false},
        {"no answer to OK", {{"ok", 1}}, true, true, false, "C:\\Before", "report.txt", true},
        {"no answer after OK: the name's write waits in the queue",
         {{"write", 2}},
         true,
         true,
         true,
         "D:\\Target",
         "",
         false},
        {"the check read gets no answer",
         {{"read", 2}},
         true,
         true,
         true,
         "D:\\Target",
         "report.txt",
         true},
        {"the dialog closed on OK", {}, true, false, false, "D:\\Target", "report.txt", true},
    };
    for (const auto& c : cases) {
        FakeDialog dialog("report.txt");
        dialog.silentFrom = c.silentFrom;
        dialog.clickEmptiesName = c.clickEmptiesName;
        dialog.open = c.open;
        const DialogOutcome outcome = PutFolderInFileDialog(dialog, "D:\\Target");
        EXPECT_EQ(outcome == DialogOutcome::Shown, c.shown) << c.what;
        EXPECT_EQ(outcome == DialogOutcome::Closed, !c.open) << c.what << ": told as closed";
        EXPECT_EQ(dialog.shownFolder, c.folderAfter) << c.what;
        EXPECT_EQ(dialog.name, c.nameAfter) << c.what;
        EXPECT_EQ(dialog.focusRestored > 0, c.focusRestored) << c.what;
        EXPECT_LE(std::count(dialog.calls.begin(), dialog.calls.end(), "write"), 4) << c.what;
    }
}

TEST(PutFolderInFileDialog, ANameTheDialogChangesAgainAfterOkIsPutBackOnceMore) {
    // Windows' item dialog may finish the navigation after OK has returned and then
    // empty the box: the name is written again after a pause.
    struct LateDialog : FakeDialog {
        using FakeDialog::FakeDialog;
        int writesAfterOk = 0;
        bool pressed = false;
        bool WriteName(const std::string& text) override {
            const bool answered = FakeDialog::WriteName(text);
            if (pressed && ++writesAfterOk == 1)
                name = "D:\\Target"; // the navigation lands just after the first write back
            return answered;
        }
        bool PressOk() override { return pressed = FakeDialog::PressOk(); }
    } dialog("my notes");
    EXPECT_EQ(PutFolderInFileDialog(dialog, "D:\\Target"), DialogOutcome::Shown);
    EXPECT_EQ(dialog.name, "my notes");
    EXPECT_EQ(std::count(dialog.calls.begin(), dialog.calls.end(), "settle"), 1);
}

TEST(ShowsFolderInFront, AWindowCountsOnlyWhenItsActiveTabShowsTheFolder) {
    constexpr std::uintptr_t kWindow = 10, kTab = 11, kOtherTab = 12; // kTab: the active one
    using B = std::vector<ExplorerBrowser>;
    const struct {
        const char* what;
        std::optional<B> browsers;
        std::uintptr_t activeTab;
        bool shown;
    } cases[] = {
        {"the active tab shows it", B{{kTab, true}, {kOtherTab, false}}, kTab, true},
        {"only a background tab shows it", B{{kTab, false}, {kOtherTab, true}}, kTab, false},
        {"a background tab first shows it", B{{kOtherTab, true}, {kTab, false}}, kTab, false},
        {"a window without tabs shows it", B{{kWindow, true}}, 0, true},
        {"a window without tabs shows another folder", B{{kWindow, false}}, 0, false},
        {"tabs, but the list names the window itself", B{{kWindow, true}}, kTab, true},
        {"no browser of the window is listed", B{{99, true}}, kTab, false},
        {"the list cannot be read (Wine)", std::nullopt, 0, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShowsFolderInFront(c.browsers, kWindow, c.activeTab), c.shown) << c.what;
}
