// What a user must be able to rely on, with the real Pathwink.exe: a refused second
// copy touches nothing, a flow that waits on a question keeps the user's change
// whatever arrives meanwhile, the program can always be exited, a folder path too
// long to read back is refused when it is entered, and the run-at-logon value goes
// to the one place that fits where the program lives.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"
#include "tray/TrayIcon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

using namespace pwtest;

namespace {

constexpr char kFolderQuestion[] = "The folder you have selected is either invalid";
constexpr char kTooLong[] = "The folder path is longer than";
constexpr char kExitWithoutSaving[] = "Exit Pathwink without saving?";

// The hot-key field's encoding (HOTKEYF_ flags << 8 | key) and the settings file's.
constexpr WORD kFieldCtrlAltM = 0x064D, kFieldAltD = 0x0444, kFieldCtrlAltF7 = 0x0676;
constexpr int kStoredCtrlAltM = 'M' + 16384 + 32768, kStoredAltD = 'D' + 32768;
constexpr int kStoredCtrlAltE = 'E' + 16384 + 32768, kStoredCtrlAltF6 = VK_F6 + 16384 + 32768;

std::string WithShortcuts(const std::string& options,
                          const std::vector<std::pair<std::string, int>>& shortcuts) {
    std::string s = options + "[Shortcuts]\r\nCount=" + std::to_string(shortcuts.size()) + "\r\n";
    for (size_t i = 0; i < shortcuts.size(); ++i)
        s += std::to_string(i) + "Path=" + shortcuts[i].first + "\r\n" + std::to_string(i) +
             "ShortCut=" + std::to_string(shortcuts[i].second) + "\r\n";
    return s;
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Holds a file open with share mode 0: every other open fails with a sharing
// violation, which, unlike a read-only attribute, stops a write even as root.
class LockedFile {
public:
    explicit LockedFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~LockedFile() { Release(); }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Release() {
        if (Held())
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

// A combination held by this process, as another program would hold it.
class HeldHotkey {
public:
    HeldHotkey(UINT mods, UINT vk) : held_(RegisterHotKey(nullptr, kId, mods, vk) != FALSE) {}
    ~HeldHotkey() {
        if (held_)
            UnregisterHotKey(nullptr, kId);
    }
    HeldHotkey(const HeldHotkey&) = delete;
    HeldHotkey& operator=(const HeldHotkey&) = delete;
    bool Held() const { return held_; }

private:
    static constexpr int kId = 0x7103;
    bool held_;
};

std::string Shown(const std::optional<std::string>& value) {
    return value ? *value : "<absent>";
}

// A folder path of exactly length characters that names no real folder, unique
// through its first component.
std::string LongPath(size_t length) {
    static unsigned counter = 0;
    std::string path = "C:\\pwlong" + std::to_string(GetCurrentProcessId()) + "_" +
                       std::to_string(GetTickCount()) + "_" + std::to_string(++counter);
    while (length - path.size() > 101)
        path += "\\" + std::string(100, 'p');
    const size_t rest = length - path.size();
    if (rest >= 2)
        path += "\\" + std::string(rest - 1, 'q');
    else if (rest == 1)
        path += 'q';
    return path;
}

// The first component of a LongPath: it marks the path wherever a part of it is kept.
std::string MarkOf(const std::string& longPath) {
    return longPath.substr(0, longPath.find('\\', 3));
}

// Exits through the Exit button and answers "Exit Pathwink?" with Yes.
void ExitAnsweringYes(PathwinkProcess& app) {
    app.Click("Exit");
    if (HWND question = app.WaitForMessage("Confirmation", "Exit Pathwink?"))
        Press(question, IDYES);
}

// Chooses the tray menu's last entry, Exit Pathwink.
bool ExitFromTheTray(const PathwinkProcess& app) {
    return app.ChooseFromTrayMenu(-1);
}

void PostClose(const PathwinkProcess& app) {
    PostMessageA(app.MainWindow(), WM_CLOSE, 0, 0);
}

// Waits for the end; when it does not come, says what is shown and answers any
// message of the program so that nothing stays open.
::testing::AssertionResult EndsWithin(const PathwinkProcess& app, int timeoutMs) {
    if (app.WaitForExit(timeoutMs))
        return ::testing::AssertionSuccess();
    const std::string seen = app.Shown();
    for (HWND w : FindTopLevels("#32770", "Pathwink", app.ProcessId()))
        Press(w, IDOK);
    return ::testing::AssertionFailure()
           << "still running after " << timeoutMs << " ms; shown:" << seen;
}

// A run of the program with folders of the test, all removed at the end.
class ProgramRun : public ::testing::Test {
protected:
    void Start(const std::string& settings = kQuiet) {
        app_ = std::make_unique<PathwinkProcess>(settings);
        ASSERT_TRUE(app_->Start());
    }
    void TearDown() override {
        app_.reset();
        for (const auto& f : folders_)
            RemoveTree(f);
    }
    std::string Folder(const std::string& prefix) {
        folders_.push_back(MakeTempFolder(prefix));
        return folders_.back();
    }
    std::unique_ptr<PathwinkProcess> app_;
    std::vector<std::string> folders_;
};

class OneChangeAtATime : public ProgramRun {};
class ExitIsAlwaysPossible : public ProgramRun {};
class FolderPathLength : public ProgramRun {};

} // namespace

TEST(RefusedSecondCopy, HasNoWindowThatCouldSaveOrTakeAFolder) {
    const RunValuesKept runValues; // a save by the refused copy would also set them
    const std::string a = MakeTempFolder("pwownA"), b = MakeTempFolder("pwownB");
    const std::string handed = MakeTempFolder("pwownHanded");
    PathwinkProcess first(WithShortcuts(kQuiet, {{a, kStoredCtrlAltE}, {b, 0}}));
    ASSERT_TRUE(first.Start("tray"));
    const std::string before = first.ReadSettings();

    // Another start of the same executable (the same settings file), not waited for.
    StartedProgram second;
    ASSERT_TRUE(second.LaunchCommand("\"" + first.ExePath() + "\"", first.Folder()));
    HWND box = second.WaitForMessage("Pathwink", kAlreadyActive, 15000);
    ASSERT_TRUE(box) << "no message from the second copy; shown:" << second.Shown();
    EXPECT_EQ(MessageTextOf(box), kAlreadyActive);

    // Whatever reaches the refused copy's windows while its message is shown: the
    // end of the session, or a folder handed over by another program.
    const auto windows = FindTopLevels("TPathwinkMainForm", nullptr, second.ProcessId());
    EXPECT_TRUE(windows.empty()) << windows.size()
                                 << " window(s) of class TPathwinkMainForm in the refused copy";
    for (HWND w : windows) {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(w, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 3000, &result);
        COPYDATASTRUCT cds{0, static_cast<DWORD>(handed.size() + 1),
                           const_cast<char*>(handed.c_str())};
        if (SendMessageTimeoutA(w, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG,
                                3000, &result))
            ADD_FAILURE() << "the refused copy took the handed-over folder, which is lost";
    }
    EXPECT_EQ(first.ReadSettings(), before) << "the shared settings file was rewritten";

    Press(box, IDOK);
    EXPECT_TRUE(second.WaitForExit(5000)) << "the second copy did not end";
    EXPECT_TRUE(first.Running()) << "the first copy ended";
    EXPECT_EQ(first.ReadSettings(), before);
    first.Kill();
    RemoveTree(a);
    RemoveTree(b);
    RemoveTree(handed);
}

TEST_F(OneChangeAtATime, AFolderHandedOverDuringAQuestionWaitsUntilTheConfirmedShortcutIsStored) {
    const struct {
        const char* question;
        const char* questionText;
        bool folderExists;
        WORD fieldKey;
        const char* keyText;
        int storedKey;
    } cases[] = {
        {"Folder Warning", kFolderQuestion, false, kFieldCtrlAltM, "Ctrl+Alt+M", kStoredCtrlAltM},
        {"Shortcut Warning", "Warning: the shortcut key combination you have chosen is \"weak.\"",
         true, kFieldAltD, "Alt+D", kStoredAltD},
    };
    const auto check = [&](const auto& c) {
        Start();
        const std::string confirmed =
            c.folderExists ? Folder("pwconfirmed") : Folder("pwconfirmed") + "\\not there";
        const std::string handed = Folder("pwhanded");
        app_->Click("New Shortcut");
        HWND editor = app_->WaitForEditor();
        ASSERT_TRUE(editor);
        SetEditorFolder(editor, confirmed);
        SetEditorHotkey(editor, c.fieldKey);
        ClickEditorButton(editor, "OK");
        HWND question = app_->WaitForMessage(c.question, c.questionText);
        ASSERT_TRUE(question) << "no question; shown:" << app_->Shown();

        auto sent =
            app_->SendCopyData(handed.c_str(), static_cast<DWORD>(handed.size() + 1), 15000);
        const EndsABlockedSend ends{*app_, sent};
        PumpFor(500); // the program has the folder by now
        Press(question, IDYES);

        const std::string row = std::string(c.keyText) + "\t" + confirmed;
        EXPECT_TRUE(WaitUntil([&] { return app_->Rows() == std::vector<std::string>{row}; }, 3000))
            << "the confirmed shortcut is not the one row; rows:" << Listed(app_->Rows())
            << "; shown:" << app_->Shown();
        HWND next = app_->WaitForEditorWith("New Folder Shortcut - Pathwink", handed, 5000);
        EXPECT_TRUE(next) << "the handed-over folder got no dialog of its own; shown:"
                          << app_->Shown();
        if (next)
            ClickEditorButton(next, "Cancel");
        EXPECT_TRUE(Ready(sent, 5000) && sent.get()) << "the sender was not answered";
        WaitUntil([&] { return !app_->EditorShown() && app_->NoWindow("#32770", nullptr); }, 3000);
        PumpFor(300);

        const std::string file = app_->ReadSettings();
        EXPECT_EQ(app_->Profile("Shortcuts", "Count"), "1") << file;
        EXPECT_EQ(app_->Profile("Shortcuts", "0Path"), confirmed);
        EXPECT_EQ(app_->Profile("Shortcuts", "0ShortCut"), std::to_string(c.storedKey));
        EXPECT_EQ(Occurrences(file, confirmed), 1u) << file;
        EXPECT_EQ(Occurrences(file, handed), 0u) << file;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.question);
        check(c);
    }
}

TEST_F(OneChangeAtATime, AFolderHandedOverDuringTheEditsQuestionLeavesTheEditAsTheUserMadeIt) {
    const std::string original = Folder("pwedit");
    Start(WithShortcuts(kQuiet, {{original, kStoredCtrlAltE}}));
    const std::string editedParent = Folder("pwedited");
    const std::string edited = editedParent + "\\" + LeafName(editedParent) + " moved";
    const std::string handed = Folder("pwhanded");
    app_->SelectRow(0);
    app_->Click("Edit Selected");
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    ASSERT_EQ(TextOf(editor), "Edit Folder Shortcut - Pathwink");
    SetEditorFolder(editor, edited);
    ClickEditorButton(editor, "OK");
    HWND question = app_->WaitForMessage("Folder Warning", kFolderQuestion);
    ASSERT_TRUE(question) << "no question; shown:" << app_->Shown();

    auto sent = app_->SendCopyData(handed.c_str(), static_cast<DWORD>(handed.size() + 1), 15000);
    const EndsABlockedSend ends{*app_, sent};
    PumpFor(500);
    Press(question, IDYES);

    const std::string row = "Ctrl+Alt+E\t" + edited;
    EXPECT_TRUE(WaitUntil([&] { return app_->Rows() == std::vector<std::string>{row}; }, 3000))
        << "the edit is not what the list shows; rows:" << Listed(app_->Rows())
        << "; shown:" << app_->Shown();
    HWND next = app_->WaitForEditorWith("New Folder Shortcut - Pathwink", handed, 5000);
    EXPECT_TRUE(next) << "the handed-over folder got no dialog of its own; shown:" << app_->Shown();
    if (next)
        ClickEditorButton(next, "Cancel");
    EXPECT_TRUE(Ready(sent, 5000) && sent.get()) << "the sender was not answered";
    WaitUntil([&] { return !app_->EditorShown() && app_->NoWindow("#32770", nullptr); }, 3000);
    PumpFor(300);

    const std::string file = app_->ReadSettings();
    EXPECT_EQ(app_->Profile("Shortcuts", "Count"), "1") << file;
    EXPECT_EQ(app_->Profile("Shortcuts", "0Path"), edited);
    EXPECT_EQ(app_->Profile("Shortcuts", "0ShortCut"), std::to_string(kStoredCtrlAltE));
    EXPECT_EQ(Occurrences(file, handed), 0u) << file;
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT, 'E')) << "the shortcut's key is no longer held";

    // The row and what opening it reaches agree. A double-click explores only an
    // existing folder, so the edited one is made now.
    ASSERT_EQ(app_->Rows().size(), 1u);
    ASSERT_TRUE(CreateDirectoryA(edited.c_str(), nullptr));
    app_->DoubleClickRow(0);
    EXPECT_TRUE(WaitAndCloseExplorer(edited, 8000)) << "no Explorer window for " << edited;
    for (const std::string& other : {original, handed})
        if (HWND explorer = FindExplorerFor(other)) {
            ADD_FAILURE() << "the double-click opened " << other;
            CloseExplorer(explorer);
        }
}

TEST_F(OneChangeAtATime, ACloseRequestDuringTheRefusedKeyMessageEndsTheEditAsCancelledAndSaves) {
    const std::string folder = Folder("pwkept");
    Start(WithShortcuts(kQuiet, {{folder, kStoredCtrlAltE}}));
    const HeldHotkey other(MOD_CONTROL | MOD_ALT, VK_F7); // as another program holds it
    ASSERT_TRUE(other.Held());
    app_->SelectRow(0);
    app_->Click("Edit Selected");
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    SetEditorHotkey(editor, kFieldCtrlAltF7);
    ClickEditorButton(editor, "OK");
    HWND message = app_->WaitForMessage("Pathwink", kRefusedText);
    ASSERT_TRUE(message) << "no refusal; shown:" << app_->Shown();

    // What the installer sends to a running copy.
    PostClose(*app_);
    if (!app_->WaitForExit(1500)) {
        // The program may leave its message to the user: the user closes it.
        if (HWND still = app_->WaitForMessage("Pathwink", kRefusedText, 0))
            Press(still, IDOK);
    }
    ASSERT_TRUE(EndsWithin(*app_, 5000));
    EXPECT_EQ(app_->ExitCode(), 0u) << "exit code 0x" << std::hex << app_->ExitCode();
    EXPECT_EQ(app_->Profile("Shortcuts", "Count"), "1") << app_->ReadSettings();
    EXPECT_EQ(app_->Profile("Shortcuts", "0Path"), folder);
    EXPECT_EQ(app_->Profile("Shortcuts", "0ShortCut"), std::to_string(kStoredCtrlAltE))
        << "the refused key was saved";
}

TEST_F(ExitIsAlwaysPossible, WithATabInAStoredPath) {
    const std::string path = "C:\\A\tB";
    const struct {
        const char* way;
        void (*exit)(PathwinkProcess&);
    } cases[] = {
        {"the Exit button, answered Yes", ExitAnsweringYes},
        {"a close request", [](PathwinkProcess& app) { PostClose(app); }},
    };
    const auto check = [&](const auto& c) {
        PathwinkProcess app(
            WithShortcuts("[Options]\r\nConfirmExit=1\r\nRunOnStarup=0\r\n", {{path, 0}}));
        ASSERT_TRUE(app.Start());
        EXPECT_EQ(app.Rows().size(), 1u) << "the shortcut did not load";
        c.exit(app);
        ASSERT_TRUE(EndsWithin(app, 3000));
        EXPECT_EQ(app.ExitCode(), 0u);
        EXPECT_EQ(app.Profile("Shortcuts", "0Path"), path) << app.ReadSettings();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.way);
        check(c);
    }
}

TEST_F(ExitIsAlwaysPossible, FromAFolderWhoseSettingsPathIsJustUnderMaxPath) {
    // "<settings>.~<pid>-<tick>.tmp" is some 20 characters longer than the settings
    // path, so a copy beside it under that name passes MAX_PATH.
    constexpr size_t kSettingsPathLength = 253;
    const RunValuesKept runValues; // without a settings file the option is on
    const std::string root = MakeTempFolder("pwdeep");
    const struct {
        const char* name;
        std::string settings;
    } cases[] = {{"with a settings file", kQuiet}, {"without one", ""}};
    const auto check = [&](const auto& c) {
        std::string folder = root + "\\" + std::to_string(&c - cases);
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        const size_t length = kSettingsPathLength - std::string("\\Pathwink.INI").size();
        while (folder.size() < length) {
            const size_t rest = length - folder.size() - 1; // after the separator
            const size_t n = rest > 60 ? (rest - 60 >= 2 ? 60 : 50) : rest;
            folder += "\\" + std::string(n, 'd');
            ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr))
                << folder.size() << " " << GetLastError();
        }
        PathwinkProcess app(c.settings, folder);
        ASSERT_EQ(app.SettingsPath().size(), kSettingsPathLength);
        ASSERT_TRUE(app.Start());
        app.SetCheck("Double-click on folder in Folder Shortcuts edits shortcut instead of opening "
                     "Explorer.",
                     true);
        PostClose(app);
        ASSERT_TRUE(EndsWithin(app, 3000));
        EXPECT_EQ(app.ExitCode(), 0u);
        EXPECT_EQ(app.Profile("Options", "DClickEdits"), "1") << "not saved";
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        check(c);
    }
    RemoveTree(root);
}

TEST_F(ExitIsAlwaysPossible, AFailedSaveTellsWhyAndAsksWhetherToExitWithoutSaving) {
    const struct {
        const char* way;
        void (*exit)(PathwinkProcess&);
    } cases[] = {
        {"a close request", [](PathwinkProcess& app) { PostClose(app); }},
        {"the tray menu's Exit Pathwink",
         [](PathwinkProcess& app) { EXPECT_TRUE(ExitFromTheTray(app)) << "no tray menu"; }},
        {"the Exit button", [](PathwinkProcess& app) { app.Click("Exit"); }},
    };
    const auto check = [&](const auto& c) {
        const std::string folder = Folder("pwstay");
        Start(WithShortcuts(kQuiet, {{folder, kStoredCtrlAltF6}}));
        const std::string before = app_->ReadSettings();
        LockedFile lock(app_->SettingsPath());
        ASSERT_TRUE(lock.Held());

        // Two attempts: the first answered No, the second Yes.
        for (const int answer : {IDNO, IDYES}) {
            SCOPED_TRACE(answer == IDNO ? "No" : "Yes");
            c.exit(*app_);
            HWND error = app_->WaitForMessage("Pathwink", "Unable to write to ");
            ASSERT_TRUE(error) << "no error report; shown:" << app_->Shown();
            const std::string text = MessageTextOf(error);
            const size_t lineEnd = text.find('\n');
            EXPECT_EQ(text.substr(0, lineEnd), "Unable to write to " + app_->SettingsPath() + ".")
                << text;
            EXPECT_TRUE(lineEnd != std::string::npos && lineEnd + 1 < text.size())
                << "no reason on the second line: " << text;
            Press(error, IDOK);
            HWND question = app_->WaitForMessage("Pathwink", kExitWithoutSaving, 3000);
            ASSERT_TRUE(question) << "no question after the error; shown:" << app_->Shown()
                                  << (app_->Running() ? "" : " (the program has ended)");
            EXPECT_EQ(MessageTextOf(question), kExitWithoutSaving);
            EXPECT_TRUE(GetDlgItem(question, IDYES) && GetDlgItem(question, IDNO));
            Press(question, answer);
            if (answer == IDNO) {
                PumpFor(500);
                ASSERT_TRUE(app_->Running()) << "No ended the program";
                EXPECT_TRUE(IsWindow(app_->MainWindow()));
                EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT, VK_F6)) << "the hotkey was released";
                TypeKey(VK_F6, true, true);
                EXPECT_TRUE(WaitAndCloseExplorer(folder, 8000)) << "the hotkey opened nothing";
            }
        }
        ASSERT_TRUE(EndsWithin(*app_, 3000)) << "Yes did not end the program";
        EXPECT_EQ(app_->ExitCode(), 0u);
        lock.Release();
        EXPECT_EQ(app_->ReadSettings(), before) << "the file changed";
        app_.reset();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.way);
        check(c);
    }
}

TEST_F(FolderPathLength, KeptWholeUpTo32766CharactersAndRefusedWhenEnteredLonger) {
    Start();
    // The longest path there is room for: stored as it is.
    const std::string longest = LongPath(32766);
    app_->Click("New Shortcut");
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    SetEditorFolder(editor, longest);
    ClickEditorButton(editor, "OK");
    HWND question = app_->WaitForMessage("Folder Warning", kFolderQuestion);
    ASSERT_TRUE(question) << "no question about the missing folder; shown:" << app_->Shown();
    Press(question, IDYES);
    const std::string row = "(No HotKey)\t" + longest;
    ASSERT_TRUE(WaitUntil([&] { return app_->Rows().size() == 1; }))
        << "not added; shown:" << app_->Shown();
    EXPECT_TRUE(app_->Rows()[0] == row) << Listed(app_->Rows());

    // Longer ones are refused where they are entered, typed or handed over.
    const struct {
        const char* how;
        bool handedOver;
        size_t length;
    } cases[] = {
        {"typed, 32,767 characters", false, 32767},
        {"handed over, 32,767 characters", true, 32767},
        {"typed, 40,000 characters", false, 40000},
    };
    const auto check = [&](const auto& c) {
        const std::string path = LongPath(c.length);
        ASSERT_EQ(path.size(), c.length);
        std::future<bool> sent;
        if (c.handedOver) {
            sent = app_->SendCopyData(path.c_str(), static_cast<DWORD>(path.size() + 1), 15000);
            editor = app_->WaitForEditor();
            ASSERT_TRUE(editor);
            EXPECT_EQ(EditorFolder(editor).size(), path.size()) << "the editor shows it cut";
        } else {
            app_->Click("New Shortcut");
            editor = app_->WaitForEditor();
            ASSERT_TRUE(editor);
            SetEditorFolder(editor, path);
        }
        const EndsABlockedSend ends{*app_, sent};
        ClickEditorButton(editor, "OK");
        // The path names no folder: a question about that may come first, and Yes
        // (the user keeps the folder) must not get the path stored either.
        HWND refusal = nullptr;
        WaitUntil(
            [&] {
                if (HWND q = app_->WaitForMessage("Folder Warning", kFolderQuestion, 0))
                    Press(q, IDYES);
                refusal = app_->WaitForMessage("Pathwink", kTooLong, 0);
                return refusal != nullptr;
            },
            3000);
        EXPECT_TRUE(refusal) << "no refusal; shown:" << app_->Shown()
                             << "; rows:" << Listed(app_->Rows());
        if (refusal)
            Press(refusal, IDOK);
        if (HWND back = app_->WaitForEditor(1000))
            ClickEditorButton(back, "Cancel");
        if (c.handedOver) {
            EXPECT_TRUE(Ready(sent, 5000) && sent.get()) << "the sender was not answered";
        }
        WaitUntil([&] { return !app_->EditorShown(); }, 2000);
        PumpFor(300);
        EXPECT_EQ(Occurrences(app_->ReadSettings(), MarkOf(path)), 0u) << "the path was stored";
        EXPECT_EQ(app_->Rows().size(), 1u) << Listed(app_->Rows());
        ASSERT_TRUE(app_->Running());
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        check(c);
    }

    // After a restart the list shows the longest path whole, and only it.
    PostClose(*app_);
    ASSERT_TRUE(EndsWithin(*app_, 3000));
    app_->Kill(); // the ended run's handles go; the same folder starts again
    ASSERT_TRUE(app_->Start());
    const auto rows = app_->Rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].size(), row.size()) << "the path came back at another length";
    EXPECT_TRUE(rows[0] == row);
    EXPECT_EQ(rows.size(), 1u) << Listed(rows);
}

TEST(RunAtLogon, OneValueInTheRunKeyThatFitsWhereTheProgramLives) {
    const RunValuesKept runValues;
    const std::string programFiles = "C:\\Program Files\\pwtrust" +
                                     std::to_string(GetCurrentProcessId()) + "_" +
                                     std::to_string(GetTickCount());
    ASSERT_TRUE(CreateDirectoryA(programFiles.c_str(), nullptr)) << GetLastError();
    const struct {
        const char* where;
        std::string folder; // empty: a temporary folder, which any user can write
        HKEY written;
        HKEY cleared;
    } cases[] = {
        {"a folder the user can write", "", HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE},
        // Judged by its rights like any folder: under Wine its owner is the user's
        // own account, who could put another program in its place.
        {"under Program Files", programFiles, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE},
    };
    const auto check = [&](const auto& c) {
        const std::string settings = "[Options]\r\nConfirmExit=0\r\nRunOnStarup=1\r\n";
        auto app = c.folder.empty() ? std::make_unique<PathwinkProcess>(settings)
                                    : std::make_unique<PathwinkProcess>(settings, c.folder);
        const std::string command = "\"" + app->ExePath() + "\" tray";
        // A value for this copy in the other key, left by an earlier start or install.
        ASSERT_TRUE(SetRunValue(c.cleared, command));
        ASSERT_TRUE(SetRunValue(c.written, std::nullopt));
        ASSERT_TRUE(app->Start("tray"));
        PostClose(*app);
        ASSERT_TRUE(EndsWithin(*app, 3000));
        EXPECT_EQ(Shown(RunValue(c.written)), command);
        EXPECT_EQ(Shown(RunValue(c.cleared)), "<absent>");
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        check(c);
    }
    RemoveTree(programFiles);
}

// ---- the settings file as a user may leave it ----

TEST_F(ProgramRun, EveryShortcutOfTheFileLoadsAndStaysBeyond1000) {
    // A hand-made file of more than 1,000 shortcuts, and one more added in the dialog:
    // all are shown, saved and shown again after a restart.
    std::vector<std::pair<std::string, int>> stored;
    for (int i = 0; i < 1005; ++i)
        stored.push_back({"C:\\pwmany\\" + std::to_string(10000 + i), 0});
    Start(WithShortcuts(kQuiet, stored));
    EXPECT_TRUE(WaitUntil([&] { return app_->Rows().size() == 1005u; }, 10000))
        << app_->Rows().size() << " rows";

    const std::string added = Folder("pwmanyAdded");
    auto sent = app_->SendFolder(added);
    const EndsABlockedSend ends{*app_, sent};
    HWND editor = app_->WaitForEditorWith("New Folder Shortcut - Pathwink", added, 10000);
    ASSERT_TRUE(editor) << "no dialog; shown:" << app_->Shown();
    ClickEditorButton(editor, "OK");
    EXPECT_TRUE(WaitUntil([&] { return app_->Rows().size() == 1006u; }, 5000))
        << app_->Rows().size() << " rows";
    EXPECT_TRUE(Ready(sent, 5000));

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "after a restart" : "after a second save and restart");
        PostClose(*app_);
        ASSERT_TRUE(EndsWithin(*app_, 10000));
        app_->Kill();
        EXPECT_EQ(app_->Profile("Shortcuts", "Count"), "1006");
        ASSERT_TRUE(app_->Start());
        WaitUntil([&] { return app_->Rows().size() >= 1006u; }, 10000);
        const auto rows = app_->Rows();
        EXPECT_EQ(rows.size(), 1006u);
        EXPECT_EQ(std::count(rows.begin(), rows.end(), "(No HotKey)\t" + added), 1)
            << "the shortcut added in the dialog";
        EXPECT_EQ(std::count(rows.begin(), rows.end(), "(No HotKey)\tC:\\pwmany\\11004"), 1)
            << "the last of the file";
    }
}

namespace {

// The work area of the screen (Xvfb has one monitor), and whether rect lies in it.
RECT WorkArea() {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

std::string Within(const RECT& rect, const RECT& area) {
    const bool inside = rect.left >= area.left && rect.top >= area.top &&
                        rect.right <= area.right && rect.bottom <= area.bottom;
    return inside ? "inside"
                  : "(" + std::to_string(rect.left) + "," + std::to_string(rect.top) + ")-(" +
                        std::to_string(rect.right) + "," + std::to_string(rect.bottom) +
                        ") is not inside (" + std::to_string(area.left) + "," +
                        std::to_string(area.top) + ")-(" + std::to_string(area.right) + "," +
                        std::to_string(area.bottom) + ")";
}

} // namespace

TEST_F(ProgramRun, AFolderPathOfThousandsOfCharactersShowsItsStartAndEndInBoxesThatFitTheScreen) {
    ASSERT_TRUE(IsFree(MOD_CONTROL | MOD_ALT, VK_F6));
    const std::string path = LongPath(10000); // no such folder
    Start(WithShortcuts(kQuiet, {{path, kStoredCtrlAltF6}, {"C:\\pwshort", 0}}));
    const RECT work = WorkArea();

    // The message about the missing folder, with its button on the screen.
    TypeKey(VK_F6, true, true);
    HWND box = app_->WaitForMessage("Pathwink", "The folder \"", 10000);
    ASSERT_TRUE(box) << "no message; shown:" << app_->Shown();
    RECT boxRect{}, okRect{};
    GetWindowRect(box, &boxRect);
    GetWindowRect(GetDlgItem(box, IDOK), &okRect);
    EXPECT_EQ(Within(boxRect, work), "inside") << "the box";
    EXPECT_EQ(Within(okRect, work), "inside") << "its OK button";
    const std::string text = MessageTextOf(box);
    EXPECT_EQ(text.rfind("The folder \"" + path.substr(0, 40), 0), 0u) << Shortened(text);
    EXPECT_NE(text.find(path.substr(path.size() - 40) + "\" does not exist or is inaccessible."),
              std::string::npos)
        << Shortened(text);
    EXPECT_NE(text.find("..."), std::string::npos) << Shortened(text);
    EXPECT_LT(text.size(), path.size()) << "the path is shortened";
    Press(box, IDOK);

    // The tray menu, its key column included.
    app_->TrayNotify(WM_RBUTTONUP);
    HWND menu = nullptr;
    WaitUntil([&] {
        for (HWND w : FindTopLevels("#32768", nullptr, app_->ProcessId()))
            if (IsWindowVisible(w))
                menu = w;
        return menu != nullptr;
    });
    ASSERT_TRUE(menu) << "no menu; shown:" << app_->Shown();
    RECT menuRect{};
    GetWindowRect(menu, &menuRect);
    EXPECT_EQ(Within(menuRect, work), "inside") << "the menu";
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
}

// Any program can post WM_DPICHANGED with any pointer in it: the main window, the
// switcher and the shortcut dialog take no rectangle they cannot read.
TEST(ForgedMessages, ADpiChangeWithABadPointerLeavesEveryWindowAsItWas) {
    PathwinkProcess app("[Options]\r\nConfirmExit=0\r\n");
    ASSERT_TRUE(app.Start());
    app.MakePages();
    const struct {
        const char* what;
        std::function<HWND()> open;
    } windows[] = {
        {"the main window", [&] { return app.MainWindow(); }},
        {"the switcher",
         [&] {
             TypeKey(VK_SPACE, true, true);
             return app.WaitForWindow("PathwinkFolderSwitcher", nullptr);
         }},
        {"the shortcut dialog",
         [&] {
             PostMessageA(app.Control("Button", "New Shortcut"), BM_CLICK, 0, 0);
             return app.WaitForEditor();
         }},
    };
    for (const auto& w : windows) {
        const HWND window = w.open();
        ASSERT_TRUE(window) << w.what << ": not shown;" << app.Shown();
        for (const LPARAM bad : {LPARAM(0x10), LPARAM(0x7FFF00000000)})
            PostMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), bad);
        PumpFor(300);
        EXPECT_TRUE(IsWindow(window)) << w.what;
    }
    // A fault shows late under Wine, whose debugger first writes out the backtrace.
    EXPECT_EQ(WaitForSingleObject(app.Process(), 3000), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the program ended";
}
