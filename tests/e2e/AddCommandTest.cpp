// "Pathwink.exe add <folder>" from a shell or Explorer's menu: the running copy
// opens the New dialog with the folder (also while it is busy with another
// dialog), the command ends at once; without a running copy it starts one in the
// tray with the dialog; without a folder it says how it is used. "menu add" and
// "menu remove" write and remove Explorer's verbs for the copy they run from.
// "/?" shows every command with its exit codes.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"
#include "tests/tray/ShellTray.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

using namespace pwtest;

namespace {

constexpr char kAddUsage[] = "Which folder should Pathwink add? Name it after \"add\", for "
                             "example:\nPathwink.exe add \"C:\\Projects\"";
const char* const kVerbClasses[] = {"Directory", "Drive", "Directory\\Background"};

std::string VerbKey(const char* cls) {
    return std::string("Software\\Classes\\") + cls + "\\shell\\Pathwink.Add";
}

std::optional<std::string> RegText(const std::string& key, const char* value) {
    char data[2048];
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::string(data);
}

bool KeyExists(const std::string& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void RemoveVerbs() {
    for (const char* cls : kVerbClasses)
        RegDeleteTreeA(HKEY_CURRENT_USER, VerbKey(cls).c_str());
}

class AddCommand : public ::testing::Test {
protected:
    void TearDown() override {
        commands_.clear();
        running_.reset();
        for (const auto& f : folders_)
            RemoveTree(f);
    }
    std::string Folder(const std::string& prefix = "pwadd") {
        folders_.push_back(MakeTempFolder(prefix));
        return folders_.back();
    }
    // Runs Pathwink.exe (a copy of its own) with these arguments from its folder.
    PathwinkProcess& Command(const std::string& arguments) {
        commands_.push_back(std::make_unique<PathwinkProcess>(kQuiet));
        EXPECT_TRUE(commands_.back()->Launch(arguments)) << arguments;
        return *commands_.back();
    }
    // Runs the command and expects it to end by itself, quickly, with exit code 0
    // and no window of its own.
    void HandOver(const std::string& arguments) {
        PathwinkProcess& command = Command(arguments);
        ASSERT_TRUE(command.WaitForExit(5000)) << "still running: add " << arguments;
        EXPECT_EQ(command.ExitCode(), 0u) << arguments;
        EXPECT_TRUE(command.NoWindow("#32770", nullptr));
    }
    // The running copy's dialog shows this folder; it is cancelled.
    void ExpectDialogFor(const std::string& folder) {
        HWND editor = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            editor = running_->WaitForEditor(50);
            return editor && EditorFolder(editor) == folder;
        })) << "no dialog for "
            << folder << "; shown: " << (editor ? EditorFolder(editor) : "(none)");
        EXPECT_EQ(TextOf(editor), "New Folder Shortcut - Pathwink");
        ClickEditorButton(editor, "Cancel");
        ASSERT_TRUE(WaitUntil([&] {
            HWND shown = running_->WaitForEditor(0);
            return !shown || EditorFolder(shown) != folder;
        }));
    }
    std::unique_ptr<PathwinkProcess> running_;
    std::vector<std::unique_ptr<PathwinkProcess>> commands_;
    std::vector<std::string> folders_;
};

} // namespace

TEST_F(AddCommand, TheRunningCopyGetsTheFolderAsAFullPathAndTheCommandEndsAtOnce) {
    running_ = std::make_unique<PathwinkProcess>(kQuiet);
    ASSERT_TRUE(running_->Start("tray"));
    const std::string folder = Folder("pwadd folder");

    // What a shell or Explorer may pass, and the folder the dialog shows. The
    // command runs from a folder of its own ("." below).
    const struct {
        std::string arguments;
        std::function<std::string()> shown;
    } cases[] = {
        {"add \"" + folder + "\"", [&] { return folder; }},
        {"add \"" + folder + "\\\"", [&] { return folder; }}, // a trailing backslash
        {"add \"" + folder + "\\.\\..\\" + LeafName(folder) + "\"", [&] { return folder; }},
        {"add .", [&] { return commands_.back()->Folder(); }},
        {"add help", [&] { return commands_.back()->Folder() + "\\help"; }},
        {"add \"C:\\\"", [] { return std::string("C:\\"); }}, // a drive's %1
        {"add C:", [] { return std::string("C:\\"); }},       // a bare drive is its root
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        HandOver(c.arguments);
        ExpectDialogFor(c.shown());
    }
    EXPECT_FALSE(running_->MainVisible()) << "the dialog comes without the window";
    EXPECT_TRUE(running_->Rows().empty()) << "every dialog was cancelled";
}

TEST_F(AddCommand, FoldersArrivingDuringAnotherDialogWaitAndGetTheirOwnDialogsInTurn) {
    running_ = std::make_unique<PathwinkProcess>(kQuiet);
    ASSERT_TRUE(running_->Start());
    const std::string a = Folder("pwaddA"), b = Folder("pwaddB"), c = Folder("pwaddC");
    running_->Click("New Shortcut"); // the user is inside another flow
    HWND editor = running_->WaitForEditor();
    ASSERT_TRUE(editor);

    HandOver("add \"" + a + "\""); // no wait although a dialog is open
    HandOver("add \"" + b + "\" \"" + c + "\"");
    PumpFor(300);
    EXPECT_EQ(EditorFolder(editor), "") << "the open dialog stays as the user left it";
    EXPECT_EQ(FindTopLevels("TDlgNewShortcut", nullptr, running_->ProcessId()).size(), 1u);
    ClickEditorButton(editor, "Cancel");

    // Each folder's dialog follows in the order they came; OK adds it.
    for (const std::string& folder : {a, b, c}) {
        ASSERT_TRUE(WaitUntil([&] {
            HWND shown = running_->WaitForEditor(0);
            return shown && EditorFolder(shown) == folder;
        })) << "no dialog for "
            << folder;
        const size_t rows = running_->Rows().size();
        ClickEditorButton(running_->WaitForEditor(), "OK"); // no key: asks nothing
        ASSERT_TRUE(WaitUntil([&] { return running_->Rows().size() == rows + 1; }));
    }
    ASSERT_TRUE(WaitUntil([&] { return !running_->EditorShown(); }));
    EXPECT_EQ(running_->Profile("Shortcuts", "Count"), "3") << "each one saved";
}

TEST_F(AddCommand, WithoutARunningCopyItStartsInTheTrayWithTheDialog) {
    const std::string folder = Folder();
    running_ = std::make_unique<PathwinkProcess>(kQuiet);
    ASSERT_TRUE(running_->Start("add \"" + folder + "\""));
    HWND editor = running_->WaitForEditor();
    ASSERT_TRUE(editor) << "no dialog";
    EXPECT_EQ(EditorFolder(editor), folder);
    EXPECT_EQ(running_->FocusedWindow(), EditorHotkeyField(editor))
        << "as for a handed-over folder";
    EXPECT_FALSE(running_->MainVisible()) << "started in the tray";
    EXPECT_TRUE(WaitUntil([] { return IconsWithTip("Pathwink").size() == 1; }));
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(WaitUntil([&] { return running_->Rows().size() == 1; }));
    EXPECT_EQ(running_->Profile("Shortcuts", "0Path"), folder);
    EXPECT_TRUE(running_->Running()) << "it stays, as a copy started in the tray does";

    // A second "add" now goes to that copy.
    const std::string more = Folder();
    HandOver("add \"" + more + "\"");
    ExpectDialogFor(more);
}

TEST_F(AddCommand, TwoStartedTogetherWithoutARunningCopyMakeOneCopyWithBothDialogs) {
    // As Explorer does for two selected folders: one command each, at the same time.
    const std::string a = Folder("pwaddA"), b = Folder("pwaddB");
    PathwinkProcess& first = Command("add \"" + a + "\"");
    PathwinkProcess& second = Command("add \"" + b + "\"");
    PathwinkProcess* handedOver = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            handedOver = !first.Running() ? &first : !second.Running() ? &second : nullptr;
            return handedOver != nullptr;
        },
        15000))
        << "neither handed its folder to the other";
    EXPECT_EQ(handedOver->ExitCode(), 0u);
    PathwinkProcess& kept = handedOver == &first ? second : first;
    ASSERT_TRUE(kept.Running());
    EXPECT_TRUE(
        WaitUntil([&] { return FindTopLevel("TPathwinkMainForm", nullptr, kept.ProcessId()); }));

    // The kept copy's own folder may come first or second; both come, one at a time.
    std::vector<std::string> shown;
    for (int i = 0; i < 2; ++i) {
        HWND editor = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            editor = kept.WaitForEditor(0);
            return editor && (shown.empty() || EditorFolder(editor) != shown.back());
        })) << "dialog "
            << i + 1;
        shown.push_back(EditorFolder(editor));
        ClickEditorButton(editor, "Cancel");
    }
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{a, b}));
    EXPECT_TRUE(handedOver->NoWindow("TPathwinkMainForm", nullptr));
}

TEST_F(AddCommand, WithoutAFolderItSaysHowItIsUsedAndEndsWithOne) {
    for (const char* arguments : {"add", "add \"\"", "add   "}) {
        SCOPED_TRACE(arguments);
        PathwinkProcess& command = Command(arguments);
        HWND box = command.WaitForDialog("Pathwink");
        ASSERT_TRUE(box) << "no message";
        EXPECT_EQ(MessageTextOf(box), kAddUsage);
        EXPECT_TRUE(command.NoWindow("TPathwinkMainForm", nullptr)) << "nothing started";
        Press(box, IDOK);
        ASSERT_TRUE(command.WaitForExit());
        EXPECT_EQ(command.ExitCode(), 1u);
        EXPECT_FALSE(command.SettingsExist() && command.ReadSettings() != kQuiet);
    }
}

TEST_F(AddCommand, SlashQuestionMarkShowsEachCommandWithItsExitCodesAndEndsWithZero) {
    // The help's paragraphs: each begins with a command and tells its exit codes.
    const struct {
        const char* command;
        const char* exitCodes;
    } paragraphs[] = {
        {"Pathwink.exe [tray]\n", "Exit code 0 when it ends or another copy already runs; 1"},
        {"Pathwink.exe add \"<folder>\" ...\n", "Exit code 0; 1 when no folder is named"},
        {"Pathwink.exe menu add\n", "Exit code 0; 1 when the registry refused"},
        {"Pathwink.exe menu remove\n", "Exit code 0; 1 when the registry refused"},
        {"Pathwink.exe /?  (or /h, /help, -?, -h, --h, --help)\n", "Exit code 0."},
    };
    const struct {
        const char* arguments;
        bool copyRuns; // the help comes, never "already active"
    } cases[] = {{"/?", false}, {"-h", true}, {"--help", true}, {"/help", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        if (c.copyRuns && !running_) {
            running_ = std::make_unique<PathwinkProcess>(kQuiet);
            ASSERT_TRUE(running_->Start("tray"));
        }
        PathwinkProcess& command = Command(c.arguments);
        HWND box = command.WaitForDialog("Pathwink");
        ASSERT_TRUE(box) << "no box";
        const std::string text = MessageTextOf(box);
        for (const auto& p : paragraphs) {
            const size_t begin = text.find(p.command);
            ASSERT_TRUE(begin == 0 || (begin != std::string::npos && text[begin - 1] == '\n'))
                << "no paragraph for " << p.command << " in:\n"
                << text;
            const std::string paragraph = text.substr(begin, text.find("\n\n", begin) - begin);
            EXPECT_NE(paragraph.find(p.exitCodes), std::string::npos) << paragraph;
        }
        EXPECT_TRUE(command.NoWindow("TPathwinkMainForm", nullptr)) << "nothing started";
        Press(box, IDOK);
        ASSERT_TRUE(command.WaitForExit());
        EXPECT_EQ(command.ExitCode(), 0u);
        EXPECT_EQ(command.ReadSettings(), kQuiet) << "the settings are not touched";
    }
}

TEST(ExplorerMenuCommand, AddWritesTheThreeVerbsForThisCopyAndRemoveTakesThemOut) {
    RemoveVerbs();
    PathwinkProcess app(kQuiet);
    auto run = [&](const std::string& arguments, DWORD expectedCode) {
        SCOPED_TRACE(arguments);
        EXPECT_TRUE(app.Launch(arguments));
        HWND box = app.WaitForDialog("Pathwink");
        std::string text = box ? MessageTextOf(box) : "<no message>";
        if (box)
            Press(box, IDOK);
        EXPECT_TRUE(app.WaitForExit());
        EXPECT_EQ(app.ExitCode(), expectedCode) << text;
        EXPECT_TRUE(app.NoWindow("TPathwinkMainForm", nullptr));
        app.Kill(); // closes the handles for the next run
        return text;
    };

    const std::string added = run("menu add", 0);
    EXPECT_NE(added.find("\"Add to Pathwink...\""), std::string::npos) << added;
    EXPECT_NE(added.find(app.ExePath()), std::string::npos) << added;
    for (const char* cls : kVerbClasses) {
        SCOPED_TRACE(cls);
        const char* placeholder = std::string(cls) == "Directory\\Background" ? "%V" : "%1";
        EXPECT_EQ(RegText(VerbKey(cls), nullptr), "Add to Pathwink...");
        EXPECT_EQ(RegText(VerbKey(cls), "Icon"), app.ExePath());
        EXPECT_EQ(RegText(VerbKey(cls) + "\\command", nullptr),
                  "\"" + app.ExePath() + "\" add \"" + placeholder + "\"");
    }
    EXPECT_NE(run("menu remove", 0).find("is no longer in Explorer's menu"), std::string::npos);
    for (const char* cls : kVerbClasses)
        EXPECT_FALSE(KeyExists(VerbKey(cls))) << cls;
    EXPECT_TRUE(KeyExists("Software\\Classes\\Directory\\shell")) << "only our verb goes";
    EXPECT_EQ(run("menu remove", 0).find("Unable"), std::string::npos)
        << "nothing to remove is fine";
    EXPECT_NE(run("menu", 1).find("Pathwink.exe menu add"), std::string::npos);
    EXPECT_NE(run("menu install", 1).find("Pathwink.exe menu remove"), std::string::npos);

    // A verb key the user may not write to (left by someone else): the system's
    // reason, and no half menu left behind.
    HKEY locked = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, VerbKey("Drive").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &locked, nullptr),
              ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR readOnly = nullptr, open = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", 1,
                                                                     &readOnly, nullptr));
    ASSERT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KA;;;WD)", 1, &open, nullptr));
    ASSERT_EQ(RegSetKeySecurity(locked, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
    const std::string refused = run("menu add", 1);
    RegSetKeySecurity(locked, DACL_SECURITY_INFORMATION, open);
    RegCloseKey(locked);
    LocalFree(readOnly);
    LocalFree(open);
    EXPECT_EQ(refused.rfind("Unable to write HKEY_CURRENT_USER\\Software\\Classes\\Drive\\shell\\"
                            "Pathwink.Add.\n",
                            0),
              0u)
        << refused;
    EXPECT_GT(refused.size(), refused.find('\n') + 2) << "the system's reason follows";
    EXPECT_FALSE(KeyExists(VerbKey("Directory"))) << "written before the failure, removed again";
    EXPECT_FALSE(KeyExists(VerbKey("Directory\\Background")));
    RemoveVerbs();
}

TEST(ExplorerMenuCommand, AddFromAFolderWhosePathHoldsAPercentSignIsRefusedAndWritesNothing) {
    // Explorer would read "%1" in the program's path as the folder clicked and start
    // something else; any "%" is a placeholder to it.
    for (const char* name : {"pw%1menu", "pw%Vmenu", "pw 100% menu"}) {
        SCOPED_TRACE(name);
        RemoveVerbs();
        const std::string folder = MakeTempFolder("pwpercent") + "\\" + name;
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << GetLastError();
        PathwinkProcess app(kQuiet, folder);
        ASSERT_TRUE(app.Launch("menu add"));
        HWND box = app.WaitForDialog("Pathwink");
        const std::string text = box ? MessageTextOf(box) : "<no message>";
        if (box)
            Press(box, IDOK);
        ASSERT_TRUE(app.WaitForExit());
        EXPECT_EQ(app.ExitCode(), 1u) << text;
        EXPECT_EQ(
            text.rfind("\"Add to Pathwink...\" cannot start this copy: its path holds \"%\"", 0),
            0u)
            << text;
        EXPECT_NE(text.find(app.ExePath()), std::string::npos) << text;
        for (const char* cls : kVerbClasses)
            EXPECT_FALSE(KeyExists(VerbKey(cls))) << cls;
        RemoveVerbs();
        const std::string parent = folder.substr(0, folder.rfind('\\'));
        app.Kill();
        RemoveTree(folder);
        RemoveTree(parent);
    }
}
