// A folder key opens its folder where the user works, end to end: a real file dialog of
// another program (every kind Wine has) shows the folder, read by that program from its
// own dialog, with the typed name kept and the dialog open; a folder picker gets it in
// its box and chooses nothing until its user presses OK; a folder gone just before OK is
// never chosen as a file; an Explorer window goes there, and Back returns; a minimised
// window that already shows it comes back; a message box or the folder browser in front
// is left alone and a new window opens, as with the option off; a window in front that
// hangs costs at most the bounded wait, while Pathwink and its other keys answer.

#include "tests/e2e/FileDialogHost.h"
#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"
#include "win/Text.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <chrono>
#include <memory>
#include <optional>

using namespace pwtest;

namespace {

constexpr int kAnswerWaitMs = 1000; // PlaceFolder's bound for a window that does not answer

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct Shortcut {
    std::string folder;
    WORD vk; // with Ctrl+Alt
};

// A settings file with these shortcuts, as UTF-16 (the form that holds any folder name).
std::string Settings(const std::vector<Shortcut>& shortcuts, bool openInFront) {
    std::string text = "[Options]\r\nConfirmExit=0\r\nRunOnStarup=0\r\nOpenInFront=" +
                       std::string(openInFront ? "1" : "0") +
                       "\r\n[Shortcuts]\r\nCount=" + std::to_string(shortcuts.size()) + "\r\n";
    for (std::size_t i = 0; i < shortcuts.size(); ++i)
        text += std::to_string(i) + "Path=" + shortcuts[i].folder + "\r\n" + std::to_string(i) +
                "ShortCut=" + std::to_string(0xC000 | shortcuts[i].vk) + "\r\n";
    const std::wstring wide = L"\xFEFF" + pw::Wide(text);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

void PressKey(WORD vk) {
    TypeKey(vk, true, true);
}

// Types text into the focused control, as the user does.
void TypeText(const std::string& text) {
    for (const char c : text) {
        const SHORT key = VkKeyScanA(c);
        TypeKey(LOBYTE(key), false, false, (HIBYTE(key) & 1) != 0);
    }
}

std::string TitleOf(HWND window) {
    wchar_t title[512] = L"";
    GetWindowTextW(window, title, 512);
    return pw::Utf8(title);
}

std::vector<HWND> ExplorerWindowsTitled(const std::string& title) {
    std::vector<HWND> found;
    for (HWND w : FindTopLevels("ExplorerWClass", nullptr))
        if (TitleOf(w) == title)
            found.push_back(w);
    return found;
}

std::string ExplorerTitles() {
    std::string seen;
    for (HWND w : FindTopLevels("ExplorerWClass", nullptr))
        seen += " \"" + TitleOf(w) + "\"";
    return seen.empty() ? " none" : seen;
}

// An Explorer window of the folder, opened by this test as the user would.
HWND OpenExplorer(const std::string& folder) {
    ShellExecuteW(nullptr, L"explore", pw::Wide(folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindExplorerFor(folder)) != nullptr; }, 15000);
    return found;
}

void CloseExplorerWindows() {
    for (HWND w : FindTopLevels("ExplorerWClass", nullptr))
        CloseExplorer(w);
}

// Folders of a test, removed at its end.
class WindowInFront : public ::testing::Test {
protected:
    void TearDown() override {
        app_.reset();
        CloseExplorerWindows();
        for (const auto& f : folders_)
            RemoveTree(f);
    }
    std::string Folder(const std::string& prefix) {
        folders_.push_back(MakeTempFolder(prefix));
        return folders_.back();
    }
    // A folder with a name outside ASCII (and a blank) inside a fresh one.
    std::string UnicodeFolder() {
        const std::string folder =
            Folder("pwfront") + "\\\xC3\x89t\xC3\xA9 \xE6\x96\x87\xE4\xBB\xB6";
        CreateDirectoryW(pw::Wide(folder).c_str(), nullptr);
        return folder;
    }
    PathwinkProcess& Start(const std::vector<Shortcut>& shortcuts, bool openInFront = true) {
        app_.reset();
        app_ = std::make_unique<PathwinkProcess>(Settings(shortcuts, openInFront));
        EXPECT_TRUE(app_->Start("tray"));
        return *app_;
    }
    std::unique_ptr<PathwinkProcess> app_;
    std::vector<std::string> folders_;
};

} // namespace

TEST_F(WindowInFront, AFileDialogShowsTheFolderKeepsTheNameAndAPickerChoosesNothingUntilOk) {
    const std::string plain = Folder("pwfront target ");
    const std::string unicode = UnicodeFolder();
    Start({{plain, VK_F6}, {unicode, VK_F7}});
    // Under Wine an item dialog without file types is a folder picker to every other
    // program: it gets the folder in its name box, and its OK chooses it (pick) or goes there.
    const struct {
        const char* kind;
        WORD key;
        std::string target;
        bool picker;
    } cases[] = {
        {"classic", VK_F6, plain, false},      {"classic", VK_F7, unicode, false},
        {"item", VK_F6, plain, false},         {"item", VK_F7, unicode, false},
        {"classic-hook", VK_F6, plain, false}, {"old", VK_F6, plain, false},
        {"pick", VK_F6, plain, true},          {"item-save", VK_F6, plain, true},
        {"item-open", VK_F6, plain, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " dialog, " + c.target);
        const std::string start = Folder("pwstart");
        FileDialogHost host(c.kind, start);
        ASSERT_TRUE(host.Window()) << "the dialog did not appear";
        ASSERT_TRUE(BringToFront(host.Window()));
        TypeText("draft 7");
        FileDialogHost::Report before;
        ASSERT_TRUE(WaitUntil(
            [&] {
                const auto report = host.Read();
                return report && (before = *report).name == "draft 7";
            },
            5000))
            << "the typed name did not arrive: " << before;

        PressKey(c.key);
        FileDialogHost::Report after;
        if (c.picker)
            WaitUntil([&] { return host.Read() && host.Read()->name == c.target; }, 10000);
        else
            EXPECT_TRUE(host.WaitForFolder(c.target, after, 10000)) << "the dialog shows " << after;
        PumpFor(300); // anything still to come from the key
        const auto settled = host.Read();
        ASSERT_TRUE(settled) << "the dialog stopped answering";
        EXPECT_EQ(settled->name, c.picker ? c.target : "draft 7") << "the typed name stays";
        EXPECT_TRUE(settled->open && host.Open() && !host.Chosen(0)) << "it stays open";
        EXPECT_EQ(settled->focus, before.focus) << "the focus stays where it was";
        EXPECT_TRUE(ExplorerWindowsTitled(LeafName(c.target)).empty())
            << "no Explorer window as well:" << ExplorerTitles();
        if (!c.picker)
            continue;
        EXPECT_EQ(settled->folder, start) << "OK was not pressed";
        host.PressOwnOk();
        if (std::string(c.kind) == "pick")
            EXPECT_EQ(host.Chosen(5000).value_or("<none>"), c.target);
        else
            EXPECT_TRUE(host.WaitForFolder(c.target, after, 5000) && host.Open()) << after;
    }
}

TEST_F(WindowInFront, AnythingButAFileDialogIsLeftAloneAndAFolderGoneBeforeOkIsNeverChosen) {
    const struct {
        const char* what;
        const char* host; // what the other program shows
        bool openInFront;
        bool folderExists;
        const char* removal = "";   // the folder goes as the name box gets its path, or at OK
        bool dialogRefuses = false; // it shows its own "does not exist" box and stays open
        bool closes = false;        // it takes the path for its file: Pathwink tells which
    } cases[] = {
        {"a message box", "message", true, true},
        {"a Save As dialog with the option off", "classic", false, true},
        // Its only ways to a folder write into its memory (BFFM_SETSELECTION) or choose it.
        {"the folder browser", "browse", true, true},
        {"a Save As dialog and a missing folder", "item", true, false},
        {"classic: the folder gone as its path is typed", "classic", true, true, "remove-on-text"},
        {"item: the folder gone as its path is typed", "item", true, true, "remove-on-text"},
        {"item: the folder gone at OK", "item", true, true, "remove-on-ok", true},
        // GetSaveFileName without OFN_PATHMUSTEXIST takes a missing "folder\" as a file.
        {"classic: the folder gone at OK", "classic", true, true, "remove-on-ok", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool gone = *c.removal != '\0';
        const std::string target = Folder("pwnew");
        if (!c.folderExists)
            RemoveTree(target);
        PathwinkProcess& app = Start({{target, VK_F8}}, c.openInFront);
        FileDialogHost host(c.host, Folder("pwstart"),
                            gone ? std::string(c.removal) + " \"" + target + "\"" : "");
        ASSERT_TRUE(host.Window()) << "nothing appeared";
        const std::string textBefore = MessageTextOf(host.Window());
        ASSERT_TRUE(BringToFront(host.Window()));
        if (gone)
            TypeText("draft 7");
        ASSERT_TRUE(
            WaitUntil([&] { return host.Read() && (!gone || host.Read()->name == "draft 7"); }));
        const auto before = host.Read();

        PressKey(VK_F8);
        if (c.dialogRefuses) {
            EXPECT_TRUE(WaitUntil([&] { return !host.OwnMessages().empty(); }, 10000));
            for (HWND box : host.OwnMessages())
                Press(box, IDOK);
        }
        if (c.folderExists && !gone) {
            EXPECT_TRUE(WaitUntil([&] { return FindExplorerFor(target) != nullptr; }, 15000))
                << "no new window; Explorer windows:" << ExplorerTitles();
        } else {
            const std::string chose = "\" was gone when the file dialog in front took it: the "
                                      "dialog closed and chose \"" +
                                      target + "\\\" as its file.";
            HWND message = app.WaitForMessage(
                "Pathwink", "The folder \"" + target + (c.closes ? chose : "\" does not exist"),
                15000);
            ASSERT_TRUE(message) << app.Shown();
            Press(message, IDOK);
        }
        PumpFor(300);
        EXPECT_EQ(host.Chosen(c.closes ? 5000 : 0).value_or("<none>"),
                  c.closes ? target + "\\" : "<none>");
        if (c.closes)
            continue;
        EXPECT_TRUE(host.Open()) << "it stays open";
        EXPECT_EQ(MessageTextOf(host.Window()), textBefore);
        const auto after = host.Read();
        ASSERT_TRUE(after && before);
        // A dialog that refused the path itself may have gone to the part of it that exists.
        EXPECT_TRUE(c.dialogRefuses || after->folder == before->folder) << *after;
        EXPECT_EQ(after->name, before->name) << "untouched";
        CloseExplorerWindows();
    }
}

TEST_F(WindowInFront, TheExplorerWindowInFrontGoesToTheFolderAndBackReturns) {
    const std::string from = Folder("pwfrom");
    const std::string to = Folder("pwto");
    for (const bool openInFront : {true, false}) {
        SCOPED_TRACE(openInFront ? "option on" : "option off");
        Start({{to, VK_F9}}, openInFront);
        HWND explorer = OpenExplorer(from);
        ASSERT_TRUE(explorer) << "Explorer did not show " << from;
        ASSERT_TRUE(BringToFront(explorer));

        PressKey(VK_F9);
        if (openInFront) {
            EXPECT_TRUE(WaitUntil([&] { return TitleOf(explorer) == LeafName(to); }, 10000))
                << "the window shows \"" << TitleOf(explorer) << "\"";
            PumpFor(500);
            EXPECT_EQ(ExplorerWindowsTitled(LeafName(to)).size(), 1u)
                << "no second window:" << ExplorerTitles();
            // Wine's Explorer Back button: the toolbar's first command.
            PostMessageW(explorer, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), 0);
            EXPECT_TRUE(WaitUntil([&] { return TitleOf(explorer) == LeafName(from); }, 10000))
                << "Back leads to \"" << TitleOf(explorer) << "\"";
        } else {
            HWND opened = nullptr;
            EXPECT_TRUE(WaitUntil([&] { return (opened = FindExplorerFor(to)) != nullptr; }, 15000))
                << "no new window:" << ExplorerTitles();
            EXPECT_NE(opened, explorer);
            EXPECT_EQ(TitleOf(explorer), LeafName(from)) << "the window in front stays";
        }
        CloseExplorerWindows();
    }
}

TEST_F(WindowInFront, TheMinimisedWindowThatShowsTheFolderComesBackInsteadOfASecondOne) {
    // Wine's Explorer itself refuses a second window for an open folder, but brings
    // the old one forward minimised: only Pathwink restores it.
    const std::string folder = Folder("pwshown");
    for (const bool openInFront : {true, false}) {
        SCOPED_TRACE(openInFront ? "option on" : "option off");
        Start({{folder, VK_F10}}, openInFront);
        HWND explorer = OpenExplorer(folder);
        ASSERT_TRUE(explorer);
        ShowWindow(explorer, SW_MINIMIZE);
        ASSERT_TRUE(WaitUntil([&] { return IsIconic(explorer) != FALSE; }));
        FileDialogHost box("message", Folder("pwstart"));
        ASSERT_TRUE(box.Window() && BringToFront(box.Window()));

        PressKey(VK_F10);
        const bool forward = WaitUntil(
            [&] {
                return GetForegroundWindow() == explorer ||
                       ExplorerWindowsTitled(LeafName(folder)).size() > 1;
            },
            10000);
        EXPECT_TRUE(forward) << "nothing happened";
        if (openInFront) {
            EXPECT_TRUE(WaitUntil([&] { return !IsIconic(explorer); }, 3000)) << "still minimised";
            EXPECT_EQ(GetForegroundWindow(), explorer);
        } else {
            PumpFor(1000);
            EXPECT_TRUE(IsIconic(explorer)) << "the option off leaves it to the shell";
        }
        EXPECT_EQ(ExplorerWindowsTitled(LeafName(folder)).size(), 1u) << ExplorerTitles();
        EXPECT_TRUE(box.Open()) << "the message box in front is left alone";
        CloseExplorerWindows();
    }
}

TEST_F(WindowInFront, AHungDialogCostsTheBoundedWaitWhilePathwinkAndItsOtherKeysAnswer) {
    const std::string first = Folder("pwhung");
    const std::string second = Folder("pwother");
    PathwinkProcess& app = Start({{first, VK_F11}, {second, VK_F12}});
    const std::string start = Folder("pwstart");
    FileDialogHost host("classic", start);
    ASSERT_TRUE(host.Window() && BringToFront(host.Window()));
    TypeText("draft 7");
    ASSERT_TRUE(WaitUntil([&] { return host.Read() && host.Read()->name == "draft 7"; }, 5000));
    constexpr int kHangMs = 12000;
    host.Hang(kHangMs);
    ASSERT_TRUE(WaitUntil([&] { return !host.Answers(100); }, 2000)) << "the dialog still answers";

    const auto pressed = Clock::now();
    PressKey(VK_F11);
    PumpFor(200);
    const auto asked = Clock::now();
    DWORD_PTR answer = 0;
    EXPECT_TRUE(
        SendMessageTimeoutA(app.MainWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer));
    EXPECT_LT(MsSince(asked), 300) << "the main window answers at once";
    const auto pressedAgain = Clock::now();
    PressKey(VK_F12);

    // Explorer itself takes up to a few seconds to start a window under Wine; an
    // unbounded wait would take the whole hang.
    constexpr int kExplorerStartMs = 5000;
    EXPECT_TRUE(WaitUntil([&] { return FindExplorerFor(first) != nullptr; }, kHangMs))
        << ExplorerTitles();
    const long long firstMs = MsSince(pressed);
    EXPECT_TRUE(WaitUntil([&] { return FindExplorerFor(second) != nullptr; }, kHangMs))
        << ExplorerTitles();
    const long long secondMs = MsSince(pressedAgain);
    std::cout << "new windows after " << firstMs << " and " << secondMs << " ms\n";
    EXPECT_LT(firstMs, kAnswerWaitMs + kExplorerStartMs);
    EXPECT_LT(secondMs, kAnswerWaitMs + kExplorerStartMs);

    ASSERT_TRUE(WaitUntil([&] { return host.Answers(100); }, kHangMs + 5000));
    const auto after = host.Read();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->name, "draft 7") << "untouched";
    EXPECT_EQ(after->folder, start) << "untouched";
    EXPECT_TRUE(host.Open());
}
