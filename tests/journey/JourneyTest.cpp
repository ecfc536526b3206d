// A user's whole journey with the installer built from installer/pathwink.nsi:
// install without questions, use the installed program (shortcuts made through the
// dialog and handed over by another program, Explorer's "Add to Pathwink...",
// hotkeys, the tray menu, exit and a start in the tray), upgrade over the running
// copy, uninstall. Around it: what the uninstaller does with run-at-logon values and
// folder-menu verbs that are not its own, what the installer does when Pathwink will
// not exit, the question about the settings, and what the winget and Scoop
// manifests claim about the installer and the portable zip.

#include "tests/e2e/Pathwink.h"
#include "tests/journey/Installation.h"
#include "tests/support/TestSupport.h"
#include "tests/tray/ShellTray.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <regex>

using namespace pwtest;

namespace {

constexpr WORD kCtrlAltD = 0x0644; // the hot-key field's encoding
constexpr WORD kCtrlAltF9 = 0x0678;
constexpr int kSettingsCtrl = 16384, kSettingsAlt = 32768; // the settings file's encoding
constexpr DWORD kAbortedByScript = 2;                      // NSIS's exit code for Abort
const std::string kUninstallCaption = "Uninstall Pathwink " PW_DISPLAY_VERSION;
const char kWingetFolder[] = "manifests\\c\\Corvane\\Pathwink\\" PW_DISPLAY_VERSION;

// Marks a step in the log with the time since the test began, so that a slow or
// failing step is easy to find in build/test-logs/journey_tests.log.
void Step(const char* what) {
    static DWORD begin = GetTickCount();
    printf("[journey %6.1f s] %s\n", (GetTickCount() - begin) / 1000.0, what);
    fflush(stdout);
}

// An installer's visible dialogs: its pages' window and its message boxes, whose
// captions begin with the same text (the pages' window may add a page's own caption).
std::vector<HWND> DialogsStartingWith(const std::string& caption, DWORD pid) {
    std::vector<HWND> found;
    for (HWND w : FindTopLevels("#32770", nullptr, pid))
        if (IsWindowVisible(w) && TextOf(w).rfind(caption, 0) == 0)
            found.push_back(w);
    return found;
}

std::vector<HWND> UninstallerWindows(DWORD pid) {
    return DialogsStartingWith(kUninstallCaption, pid);
}

// A window of Pathwink's class in this process that will not close, as a copy stuck
// in a question would be; counts the requests to close.
class StuckPathwink {
public:
    StuckPathwink() {
        closes_ = 0;
        WNDCLASSA wc{};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == WM_CLOSE) {
                ++closes_;
                return 0;
            }
            return DefWindowProcA(h, m, w, l);
        };
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TPathwinkMainForm";
        RegisterClassA(&wc);
        window_ = CreateWindowA("TPathwinkMainForm", "Pathwink", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                100, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~StuckPathwink() {
        DestroyWindow(window_);
        UnregisterClassA("TPathwinkMainForm", GetModuleHandleA(nullptr));
    }
    StuckPathwink(const StuckPathwink&) = delete;
    StuckPathwink& operator=(const StuckPathwink&) = delete;
    HWND Window() const { return window_; }
    int Closes() const { return closes_; }

private:
    static inline int closes_ = 0;
    HWND window_ = nullptr;
};

// Explorer's folder-menu verb of a class (Directory, Drive, Directory\Background).
std::string VerbKey(const std::string& cls) {
    return "Software\\Classes\\" + cls + "\\shell\\Pathwink.Add";
}
const char* const kVerbClasses[] = {"Directory", "Drive", "Directory\\Background"};

// Runs a folder-menu verb on a folder through the shell, as Explorer does, and waits
// for the command it starts; that command's exit code, or STILL_ACTIVE.
// Wine's ShellExecuteEx differs from Windows' in two ways that matter here: its
// HKEY_CLASSES_ROOT does not show the user's Software\Classes (so a per-user verb is
// not found by name), and it looks up a folder's verbs under the class "Folder"
// only, never "Directory". So the class key is handed over with SEE_MASK_CLASSKEY;
// the shell still reads the verb's command from it and fills in the folder.
DWORD InvokeFolderVerb(const std::string& cls, const std::string& folder) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ("Software\\Classes\\" + cls).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return STILL_ACTIVE;
    const std::wstring file(folder.begin(), folder.end());
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_CLASSKEY;
    info.lpVerb = L"Pathwink.Add";
    info.lpFile = file.c_str();
    info.hkeyClass = key;
    info.nShow = SW_SHOWNORMAL;
    const BOOL started = ShellExecuteExW(&info);
    RegCloseKey(key);
    DWORD code = STILL_ACTIVE;
    if (started && info.hProcess) {
        WaitUntil([&] { return WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0; }, 10000);
        GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hProcess);
    }
    return code;
}

// [Shortcuts] of a settings file as path -> stored number, read by the profile reader.
std::map<std::string, int> StoredShortcuts(const std::string& settings) {
    std::map<std::string, int> entries;
    const int count = GetPrivateProfileIntA("Shortcuts", "Count", 0, settings.c_str());
    for (int i = 0; i < count; ++i) {
        char path[2048] = "";
        GetPrivateProfileStringA("Shortcuts", (std::to_string(i) + "Path").c_str(), "", path,
                                 sizeof path, settings.c_str());
        entries[path] = GetPrivateProfileIntA("Shortcuts", (std::to_string(i) + "ShortCut").c_str(),
                                              -1, settings.c_str());
    }
    return entries;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The one value of key in a YAML manifest, or a text saying how many there were.
std::string One(const std::string& yaml, const std::string& key) {
    const std::vector<std::string> values = YamlValues(yaml, key);
    return values.size() == 1 ? values[0]
                              : "<" + std::to_string(values.size()) + " values of " + key + ">";
}

// A winget manifest the build made beside the test, by its kind: "installer",
// "version" or "defaultLocale"; "" when there is none. They are in the folder where the
// community repository keeps them; their names are the package identifier, then
// ".installer" or ".locale.<DefaultLocale>", then ".yaml".
std::string WingetManifest(const std::string& kind) {
    const std::string folder = BesideTheTest(kWingetFolder);
    std::string installer;
    for (const std::string& name : FolderEntries(folder))
        if (EndsWith(name, ".installer.yaml"))
            installer = ReadFileBytes(folder + "\\" + name);
    const std::string id = One(installer, "PackageIdentifier");
    if (kind == "installer" || installer.empty())
        return installer;
    const std::string version = ReadFileBytes(folder + "\\" + id + ".yaml");
    if (kind == "version")
        return version;
    return ReadFileBytes(folder + "\\" + id + ".locale." + One(version, "DefaultLocale") + ".yaml");
}

class Journey : public ::testing::Test {
protected:
    void SetUp() override {
        setup_ = BuiltSetup();
        ASSERT_TRUE(FileExists(setup_)) << "the installer was not built: " << setup_;
        ASSERT_EQ(FindWindowA("TPathwinkMainForm", nullptr), nullptr)
            << "a Pathwink already runs in this Wine prefix; the installer would close it";
        // Another copy's machine-wide run value (earlier tests leave one) comes back afterwards.
        machineRun_ = RegString(HKEY_LOCAL_MACHINE, kRunKey, "Pathwink");
        RemoveInstallation(); // what an interrupted earlier run may have left
        ASSERT_FALSE(FolderExists(inst_.dir)) << inst_.dir;
    }

    void TearDown() override {
        for (auto& p : started_)
            p->Kill();
        for (HANDLE h : workers_) {
            if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT)
                TerminateProcess(h, 99);
            CloseHandle(h);
        }
        apps_.clear();
        RemoveInstallation();
        for (const auto& f : folders_)
            RemoveTree(f);
        if (machineRun_ && *machineRun_ != inst_.RunCommand())
            SetRegString(HKEY_LOCAL_MACHINE, kRunKey, "Pathwink", *machineRun_);
    }

    // Leaves the prefix without any trace of an install in the default place.
    void RemoveInstallation() {
        for (auto& app : apps_)
            app->Process().Kill();
        RemoveTree(inst_.dir);
        DeleteFileA(inst_.shortcut.c_str());
        RegDeleteTreeA(HKEY_CURRENT_USER, kUninstallKey);
        for (const char* cls : kVerbClasses)
            RegDeleteTreeA(HKEY_CURRENT_USER, VerbKey(cls).c_str());
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            if (RegString(root, kRunKey, "Pathwink") == inst_.RunCommand())
                DeleteRegValue(root, kRunKey, "Pathwink");
    }

    // Runs the installer with these arguments; its exit code, STILL_ACTIVE if it hung.
    DWORD RunSetup(const std::string& arguments, int timeoutMs = 60000) {
        started_.push_back(std::make_unique<Program>());
        Program& setup = *started_.back();
        if (!setup.Start(setup_, arguments))
            return STILL_ACTIVE;
        setup.WaitForExit(timeoutMs);
        return setup.ExitCode();
    }

    // Starts Uninstall.exe; returns the process that does the work (the copy the
    // uninstaller starts from the temporary folder), or null.
    HANDLE StartUninstaller(const std::string& arguments) {
        started_.push_back(std::make_unique<Program>());
        Program& launcher = *started_.back();
        if (!launcher.Start(inst_.Uninstaller(), arguments))
            return nullptr;
        HANDLE worker = OpenChildProcess(launcher.Id(), 15000);
        if (worker)
            workers_.push_back(worker);
        EXPECT_TRUE(worker) << "no process started by the uninstaller " << launcher.Id() << ":"
                            << DescribeProcesses();
        EXPECT_TRUE(launcher.WaitForExit(15000));
        EXPECT_EQ(launcher.ExitCode(), 0u) << "the uninstaller's first process";
        return worker;
    }

    // Uninstalls silently and waits for the real end; the worker's exit code.
    DWORD RunSilentUninstall() {
        HANDLE worker = StartUninstaller("/S");
        if (!worker)
            return STILL_ACTIVE;
        WaitUntil([&] { return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }, 60000);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(worker, &code);
        return code;
    }

    InstalledPathwink& NewApp() {
        apps_.push_back(std::make_unique<InstalledPathwink>(inst_));
        return *apps_.back();
    }

    std::string Folder(const std::string& prefix) {
        folders_.push_back(MakeTempFolder(prefix));
        return folders_.back();
    }

    Installation inst_ = Installation::ForCurrentUser();
    std::string setup_;
    std::vector<std::unique_ptr<Program>> started_;
    std::vector<std::unique_ptr<InstalledPathwink>> apps_;
    std::vector<HANDLE> workers_;
    std::vector<std::string> folders_;
    std::optional<std::string> machineRun_;
};

} // namespace

TEST_F(Journey, InstallUseUpgradeWhileRunningAndUninstall) {
    const std::string built = ReadFileBytes(BuiltPathwink());
    ASSERT_FALSE(built.empty());

    Step("install");
    // Installed silently, for this user only.
    const std::string builtHelp =
        BuiltPathwink().substr(0, BuiltPathwink().find_last_of('\\')) + "\\help\\help_index.html";
    ASSERT_EQ(RunSetup("/S"), 0u) << "silent install";
    EXPECT_EQ(ReadFileBytes(inst_.Exe()), built) << "the built program is installed";
    EXPECT_TRUE(FileExists(inst_.Help()));
    EXPECT_EQ(ReadFileBytes(inst_.Help()), ReadFileBytes(builtHelp));
    EXPECT_TRUE(FileExists(inst_.Uninstaller()));
    EXPECT_FALSE(FileExists(inst_.Settings())) << "no settings until the program saves";
    EXPECT_EQ(LinkTarget(inst_.shortcut), inst_.Exe()) << "Start-menu shortcut " << inst_.shortcut;

    Step("installed files checked");
    // The "Apps & features" entry.
    const HKEY cu = HKEY_CURRENT_USER;
    EXPECT_EQ(RegString(cu, kUninstallKey, "DisplayName"), "Pathwink");
    EXPECT_EQ(RegString(cu, kUninstallKey, "DisplayVersion"), PW_DISPLAY_VERSION);
    EXPECT_EQ(RegString(cu, kUninstallKey, "Publisher"), "Corvane Software");
    EXPECT_EQ(RegString(cu, kUninstallKey, "InstallLocation"), inst_.dir);
    EXPECT_EQ(RegString(cu, kUninstallKey, "DisplayIcon").value_or("").rfind(inst_.Exe(), 0), 0u);
    EXPECT_EQ(RegString(cu, kUninstallKey, "UninstallString"), "\"" + inst_.Uninstaller() + "\"");
    EXPECT_EQ(RegString(cu, kUninstallKey, "QuietUninstallString"),
              "\"" + inst_.Uninstaller() + "\" /S");
    EXPECT_EQ(RegDword(cu, kUninstallKey, "NoModify"), 1u);
    EXPECT_EQ(RegDword(cu, kUninstallKey, "NoRepair"), 1u);
    EXPECT_GE(RegDword(cu, kUninstallKey, "EstimatedSize").value_or(0), built.size() / 1024)
        << "in KB, at least the program's size";
    // Explorer's "Add to Pathwink..." for a folder, a drive and a folder's background.
    for (const char* cls : kVerbClasses) {
        SCOPED_TRACE(cls);
        const std::string placeholder = std::string(cls) == "Directory\\Background" ? "%V" : "%1";
        EXPECT_EQ(RegString(cu, VerbKey(cls).c_str(), ""), "Add to Pathwink...");
        EXPECT_EQ(RegString(cu, VerbKey(cls).c_str(), "Icon"), inst_.Exe());
        EXPECT_EQ(RegString(cu, (VerbKey(cls) + "\\command").c_str(), ""),
                  "\"" + inst_.Exe() + "\" add \"" + placeholder + "\"");
    }

    Step("start");
    // The installed program shows its window.
    InstalledPathwink& first = NewApp();
    ASSERT_TRUE(first.Start()) << "the installed program did not start";
    EXPECT_TRUE(WaitUntil([&] { return first.MainVisible(); }));
    ASSERT_TRUE(first.ChooseFromTrayMenu({VK_DOWN, VK_RETURN})) << "Configure Shortcuts";
    EXPECT_TRUE(WaitUntil([&] { return first.ActivePage() == 0; })) << "Folder Shortcuts page";

    Step("new shortcut by the dialog");
    // A shortcut made with "New Shortcut": the folder typed, D pressed in the key field.
    const std::string byDialog = Folder("pwjourneyD"), byCopyData = Folder("pwjourneyF9");
    first.Click("New Shortcut");
    HWND editor = first.WaitForEditor();
    ASSERT_TRUE(editor) << "no editor after New Shortcut";
    EXPECT_EQ(TextOf(editor), "New Folder Shortcut - Pathwink");
    SetEditorFolder(editor, byDialog);
    TypeIntoHotkeyField(editor, 'D');
    ASSERT_EQ(EditorHotkey(editor), kCtrlAltD) << "D alone becomes Ctrl+Alt+D";
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(WaitUntil([&] { return first.Rows().size() == 1; })) << "not added";
    EXPECT_EQ(first.Rows()[0], "Ctrl+Alt+D\t" + byDialog);
    ASSERT_TRUE(WaitUntil([&] { return !first.EditorShown(); }));

    Step("new shortcut by WM_COPYDATA");
    // A folder handed over by another program; F9 pressed in the key field.
    auto sent = first.SendFolder(byCopyData);
    editor = first.WaitForEditor();
    ASSERT_TRUE(editor) << "no editor after WM_COPYDATA";
    EXPECT_EQ(EditorFolder(editor), byCopyData);
    TypeIntoHotkeyField(editor, VK_F9);
    ASSERT_EQ(EditorHotkey(editor), kCtrlAltF9);
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(sent.get()) << "the sender returns when the dialog closes";
    ASSERT_TRUE(WaitUntil([&] { return first.Rows().size() == 2; }));
    const std::vector<std::string> rows = first.Rows();
    EXPECT_NE(std::find(rows.begin(), rows.end(), "Ctrl+Alt+F9\t" + byCopyData), rows.end());

    Step("Add to Pathwink... on a folder and on a drive");
    // The shell runs the verbs' commands; each ends at once and the running copy
    // shows the dialogs in turn (the drive's while the folder's is open waits).
    const std::string byMenu = Folder("pwjourney menu");
    ASSERT_EQ(InvokeFolderVerb("Directory", byMenu), 0u) << "the folder verb's command";
    editor = first.WaitForEditor();
    ASSERT_TRUE(editor) << "no dialog from the folder menu";
    EXPECT_EQ(EditorFolder(editor), byMenu);
    ASSERT_EQ(InvokeFolderVerb("Drive", "C:\\"), 0u) << "the drive verb's command";
    PumpFor(300);
    EXPECT_EQ(EditorFolder(editor), byMenu) << "the open dialog stays as it is";
    ClickEditorButton(editor, "Cancel");
    ASSERT_TRUE(WaitUntil([&] { return EditorFolder(editor) == "C:\\" && first.EditorShown(); }))
        << "the drive's dialog follows";
    ClickEditorButton(editor, "Cancel");
    ASSERT_TRUE(WaitUntil([&] { return !first.EditorShown(); }));
    EXPECT_EQ(first.Rows().size(), 2u);

    Step("hotkeys");
    // Both combinations open their folders from anywhere.
    TypeKey('D', true, true);
    EXPECT_TRUE(WaitAndCloseExplorer(byDialog)) << "Ctrl+Alt+D opened nothing";
    TypeKey(VK_F9, true, true);
    EXPECT_TRUE(WaitAndCloseExplorer(byCopyData)) << "Ctrl+Alt+F9 opened nothing";

    Step("tray menu entry");
    // The tray menu lists the shortcuts in the list's order, first in the menu.
    const int row = rows[0] == "Ctrl+Alt+F9\t" + byCopyData ? 0 : 1;
    std::vector<WORD> keys(static_cast<size_t>(row) + 1, VK_DOWN);
    keys.push_back(VK_RETURN);
    ASSERT_TRUE(first.ChooseFromTrayMenu(keys));
    EXPECT_TRUE(WaitAndCloseExplorer(byCopyData)) << "the tray menu's entry opened nothing";

    Step("exit from the tray menu");
    // "Exit Pathwink", the menu's last entry, ends it without a question and saves.
    ASSERT_TRUE(first.ChooseFromTrayMenu({VK_UP, VK_RETURN}));
    ASSERT_TRUE(first.Process().WaitForExit(10000)) << "Exit Pathwink did not end the program";
    const std::map<std::string, int> expected = {
        {byDialog, kSettingsCtrl + kSettingsAlt + 'D'},
        {byCopyData, kSettingsCtrl + kSettingsAlt + VK_F9}};
    EXPECT_EQ(StoredShortcuts(inst_.Settings()), expected);
    // Run at logon is on by default. The per-user folder is the user's to change, so
    // the value is the user's, although the machine-wide key is writable under Wine.
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, "Pathwink"), inst_.RunCommand());
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, "Pathwink"), std::nullopt);

    Step("start with tray");
    // Started as at logon: only the tray icon, the shortcuts and their keys are back.
    InstalledPathwink& second = NewApp();
    ASSERT_TRUE(second.Start("tray"));
    EXPECT_TRUE(WaitUntil([] { return IconsWithTip("Pathwink").size() == 1; }))
        << "tray icons with the tooltip Pathwink: " << IconsWithTip("Pathwink").size();
    EXPECT_FALSE(second.MainVisible()) << "started with tray, no window shows";
    EXPECT_EQ(second.Rows(), rows);
    TypeKey('D', true, true);
    EXPECT_TRUE(WaitAndCloseExplorer(byDialog)) << "Ctrl+Alt+D after the restart";
    TypeKey(VK_F9, true, true);
    EXPECT_TRUE(WaitAndCloseExplorer(byCopyData)) << "Ctrl+Alt+F9 after the restart";

    Step("upgrade over the running copy");
    // An upgrade over the running copy: the installer asks it to exit, it saves, and
    // the settings stay as they were.
    const std::string settings = ReadFileBytes(inst_.Settings());
    ASSERT_FALSE(settings.empty());
    ASSERT_EQ(RunSetup("/S"), 0u) << "silent install over the running copy";
    EXPECT_TRUE(second.Process().WaitForExit(0)) << "the running copy was not ended";
    EXPECT_EQ(second.Process().ExitCode(), 0u) << "ended by its own exit, not killed";
    EXPECT_EQ(ReadFileBytes(inst_.Settings()), settings);
    EXPECT_EQ(ReadFileBytes(inst_.Exe()), built);

    Step("start the upgraded copy");
    InstalledPathwink& third = NewApp();
    ASSERT_TRUE(third.Start("tray"));
    EXPECT_EQ(third.Rows(), rows) << "the upgraded program has the shortcuts";

    Step("uninstall");
    // Uninstalled silently while it runs; the program's per-user run value goes too.
    ASSERT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, "Pathwink"), inst_.RunCommand());
    ASSERT_EQ(RunSilentUninstall(), 0u) << "silent uninstall";
    EXPECT_TRUE(third.Process().WaitForExit(0)) << "the running copy was not ended";
    EXPECT_FALSE(FileExists(inst_.Exe()));
    EXPECT_FALSE(FileExists(inst_.Help()));
    EXPECT_FALSE(FolderExists(inst_.dir + "\\help"));
    EXPECT_FALSE(FileExists(inst_.Uninstaller()));
    EXPECT_FALSE(FileExists(inst_.shortcut));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUninstallKey));
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, "Pathwink"), std::nullopt);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, "Pathwink"), std::nullopt);
    for (const char* cls : kVerbClasses)
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, VerbKey(cls).c_str())) << cls;
    Step("uninstalled");
    // A silent uninstall keeps the settings, and with them the folder.
    EXPECT_EQ(FolderEntries(inst_.dir), std::vector<std::string>{"Pathwink.INI"});
    EXPECT_EQ(StoredShortcuts(inst_.Settings()), expected);
}

TEST_F(Journey, TheUninstallerRemovesOnlyARunValueAndFolderVerbsThatStartThisCopy) {
    const struct {
        const char* what;
        std::function<std::string()> value;
        bool removed;
    } cases[] = {
        {"this copy", [&] { return inst_.RunCommand(); }, true},
        {"this copy, other letter case",
         [&] {
             std::string v = inst_.RunCommand();
             CharUpperBuffA(v.data(), static_cast<DWORD>(v.size()));
             return v;
         },
         true},
        {"a copy in a folder whose name begins the same",
         [&] { return "\"" + inst_.dir + "2\\Pathwink.exe\" tray"; }, false},
        {"a copy elsewhere", [] { return std::string("\"C:\\Tools\\Pathwink.exe\" tray"); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(RunSetup("/S"), 0u);
        const std::string value = c.value();
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kRunKey, "Pathwink", value));
        // The drive's verb as another copy's "menu add" (or this one's) would leave it.
        const std::string command = value.substr(0, value.rfind(' ')) + " add \"%1\"";
        const std::string driveCommand = VerbKey("Drive") + "\\command";
        ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, driveCommand.c_str(), "", command));
        ASSERT_EQ(RunSilentUninstall(), 0u);
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kRunKey, "Pathwink").has_value(), !c.removed)
            << value;
        EXPECT_EQ(RegString(HKEY_CURRENT_USER, driveCommand.c_str(), "").has_value(), !c.removed)
            << command;
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, VerbKey("Directory").c_str()));
        DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, "Pathwink");
        RegDeleteTreeA(HKEY_CURRENT_USER, VerbKey("Drive").c_str());
        EXPECT_FALSE(FolderExists(inst_.dir)) << "nothing of ours was left";
    }
}

TEST_F(Journey, ASilentInstallGivesUpWithAnErrorWhenPathwinkDoesNotExit) {
    StuckPathwink stuck;
    ASSERT_TRUE(stuck.Window());
    const DWORD start = GetTickCount();
    const DWORD code = RunSetup("/S", 60000);
    const DWORD took = GetTickCount() - start;

    EXPECT_EQ(code, kAbortedByScript);
    const std::string response =
        "InstallerReturnCode: " + std::to_string(code) + "\n  ReturnResponse: packageInUse\n";
    EXPECT_NE(WingetManifest("installer").find(response), std::string::npos) << "winget says why";
    EXPECT_GE(stuck.Closes(), 1) << "it was asked to exit";
    EXPECT_GE(took, 9000u) << "it was given time to exit";
    EXPECT_FALSE(FileExists(inst_.Exe())) << "nothing installed";
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUninstallKey));
    EXPECT_FALSE(FileExists(inst_.shortcut));
}

TEST_F(Journey, TheInstallerWaitsForTheUserToExitPathwinkThenInstallsAndStartsIt) {
    auto stuck = std::make_unique<StuckPathwink>();
    ASSERT_TRUE(stuck->Window());
    started_.push_back(std::make_unique<Program>());
    Program& setup = *started_.back();
    ASSERT_TRUE(setup.Start(setup_, ""));
    const std::string caption = "Pathwink " PW_DISPLAY_VERSION " Setup";
    HWND wizard = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto found = DialogsStartingWith(caption, setup.Id());
            wizard = found.empty() ? nullptr : found.front();
            return wizard != nullptr;
        },
        30000))
        << "no installer window" << DescribeWindowsOf(setup.Id());
    PostMessageA(wizard, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); // Next: the folder
    PumpFor(500);
    PostMessageA(wizard, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); // Next: the components
    PumpFor(500);
    PostMessageA(wizard, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); // Install

    HWND question = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (HWND w : DialogsStartingWith(caption, setup.Id()))
                if (w != wizard && GetDlgItem(w, IDRETRY))
                    question = w;
            return question != nullptr;
        },
        30000))
        << "no question while Pathwink does not exit" << DescribeWindowsOf(setup.Id());
    EXPECT_NE(MessageTextOf(question).find("Pathwink is still running"), std::string::npos)
        << MessageTextOf(question);
    EXPECT_GE(stuck->Closes(), 1) << "it was asked to exit first";
    EXPECT_FALSE(FileExists(inst_.Exe())) << "nothing is installed while it runs";

    stuck.reset();            // the user exits Pathwink ...
    Press(question, IDRETRY); // ... and retries
    HWND startBox = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (startBox = FindChildByText(wizard, "Button", "Start Pathwink")) != nullptr; },
        30000))
        << "no last page" << DescribeWindowsOf(setup.Id());
    EXPECT_TRUE(FileExists(inst_.Exe()));
    EXPECT_EQ(SendMessageA(startBox, BM_GETCHECK, 0, 0), BST_CHECKED) << "ticked by default";
    PostMessageA(wizard, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); // Finish
    ASSERT_TRUE(setup.WaitForExit(15000));
    EXPECT_EQ(setup.ExitCode(), 0u);

    // The program it started is the installed one, showing its window.
    HWND main = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (main = FindWindowA("TPathwinkMainForm", nullptr)) && IsWindowVisible(main); },
        15000))
        << "Pathwink was not started";
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE started = OpenProcess(
        SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
    ASSERT_TRUE(started);
    workers_.push_back(started);
    EXPECT_EQ(lstrcmpiA(ProcessImage(started).c_str(), inst_.Exe().c_str()), 0)
        << ProcessImage(started);
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return WaitForSingleObject(started, 0) == WAIT_OBJECT_0; }, 10000));
}

TEST_F(Journey, TheUninstallerAsksWhetherToDeleteTheSettingsNoByDefault) {
    const struct {
        int answer; // IDYES, IDNO, or 0: Enter on the default button
        bool deleted;
    } cases[] = {{IDYES, true}, {0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        ASSERT_EQ(RunSetup("/S"), 0u);
        ASSERT_TRUE(
            WritePrivateProfileStringA("Options", "ConfirmExit", "0", inst_.Settings().c_str()));
        // What saves cut short leave: a temporary copy, which goes in any case, and the
        // pending copy of a file with two names, which goes with the settings only.
        ASSERT_TRUE(WritePrivateProfileStringA("Options", "ConfirmExit", "0",
                                               (inst_.dir + "\\~pw1f.tmp").c_str()));
        ASSERT_TRUE(WritePrivateProfileStringA("Options", "ConfirmExit", "0",
                                               (inst_.Settings() + ".~new").c_str()));
        HANDLE worker = StartUninstaller("");
        ASSERT_TRUE(worker) << "the uninstaller's working copy did not start";
        const DWORD pid = GetProcessId(worker);
        HWND wizard = nullptr;
        ASSERT_TRUE(WaitUntil(
            [&] {
                const auto found = UninstallerWindows(pid);
                wizard = found.empty() ? nullptr : found.front();
                return wizard != nullptr;
            },
            30000))
            << "no uninstaller window in " << ProcessImage(worker) << DescribeWindowsOf(pid);
        PostMessageA(wizard, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); // "Uninstall"

        HWND question = nullptr;
        ASSERT_TRUE(WaitUntil(
            [&] {
                for (HWND w : UninstallerWindows(pid))
                    if (w != wizard && GetDlgItem(w, IDYES))
                        question = w;
                return question != nullptr;
            },
            15000))
            << "no question about the settings";
        EXPECT_NE(MessageTextOf(question).find(inst_.Settings()), std::string::npos)
            << MessageTextOf(question);
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(question, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON)
            << "No is the default";
        if (c.answer) {
            Press(question, c.answer);
        } else {
            PostMessageA(question, WM_KEYDOWN, VK_RETURN, 0);
            PostMessageA(question, WM_KEYUP, VK_RETURN, 0);
        }

        // The last page: its one active button closes the uninstaller.
        ASSERT_TRUE(WaitUntil(
            [&] { return !FileExists(inst_.Uninstaller()) && !IsWindowVisible(question); }, 15000));
        PumpFor(300);
        PostMessageA(wizard, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); // "Close"
        ASSERT_TRUE(
            WaitUntil([&] { return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }, 15000))
            << "the uninstaller did not close";
        EXPECT_EQ(FileExists(inst_.Settings()), !c.deleted);
        EXPECT_EQ(FolderExists(inst_.dir), !c.deleted) << "the folder goes once it is empty";
        if (!c.deleted) {
            EXPECT_EQ(FolderEntries(inst_.dir),
                      (std::vector<std::string>{"Pathwink.INI", "Pathwink.INI.~new"}));
        }
        RemoveInstallation();
    }
}

TEST_F(Journey, TheWingetManifestClaimsWhatTheInstallerWritesAndTheScoopManifestFitsTheZip) {
    using Texts = std::vector<std::string>;
    Step("winget manifests");
    const std::string installer = WingetManifest("installer");
    const std::string version = WingetManifest("version");
    const std::string locale = WingetManifest("defaultLocale");
    ASSERT_FALSE(installer.empty()) << "no winget manifests in " << BesideTheTest(kWingetFolder);
    ASSERT_FALSE(version.empty()) << "no version manifest named after the package";
    ASSERT_FALSE(locale.empty()) << "no manifest of the default locale";
    for (const std::string* manifest : {&installer, &version, &locale}) {
        EXPECT_EQ(One(*manifest, "PackageIdentifier"), One(installer, "PackageIdentifier"));
        EXPECT_EQ(One(*manifest, "PackageVersion"), PW_DISPLAY_VERSION);
        EXPECT_EQ(One(*manifest, "ManifestVersion"), One(installer, "ManifestVersion"));
    }

    // The package: an NSIS installer for x64 with this hash, downloaded by its own name.
    const std::string setup = ReadFileBytes(setup_);
    EXPECT_EQ(One(installer, "InstallerType"), "nullsoft");
    EXPECT_NE(setup.find("NullsoftInst"), std::string::npos) << "made by NSIS";
    EXPECT_EQ(One(installer, "Architecture"), "x64");
    EXPECT_EQ(ProgramMachine(setup), IMAGE_FILE_MACHINE_AMD64);
    std::string sha256 = One(installer, "InstallerSha256");
    CharLowerBuffA(sha256.data(), static_cast<DWORD>(sha256.size()));
    EXPECT_EQ(sha256, Sha256Hex(setup));
    const std::string url = One(installer, "InstallerUrl");
    EXPECT_EQ(url.rfind("https://", 0), 0u) << url;
    EXPECT_TRUE(EndsWith(url, "/" PW_SETUP_FILE)) << url;

    Step("install as winget does");
    // winget starts a nullsoft installer with /S; what it finds afterwards is what
    // the manifest says: the user's "Apps & features" entry named by the product code.
    ASSERT_EQ(RunSetup("/S"), 0u);
    const std::string key =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + One(installer, "ProductCode");
    EXPECT_EQ(One(installer, "Scope"), "user");
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, key.c_str())) << key;
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, key.c_str())) << "nothing for every user";
    const HKEY cu = HKEY_CURRENT_USER;
    // The entry says what the package's own fields say, which the manifest need not repeat.
    EXPECT_EQ(installer.find("AppsAndFeaturesEntries"), std::string::npos);
    EXPECT_EQ(RegString(cu, key.c_str(), "DisplayVersion"), One(installer, "PackageVersion"));
    EXPECT_EQ(RegString(cu, key.c_str(), "DisplayName"), One(locale, "PackageName"));
    EXPECT_EQ(RegString(cu, key.c_str(), "Publisher"), One(locale, "Publisher"));
    EXPECT_EQ(RegString(cu, key.c_str(), "URLInfoAbout"), One(locale, "PublisherUrl"));
    EXPECT_EQ(ProgramMachine(ReadFileBytes(inst_.Exe())), IMAGE_FILE_MACHINE_AMD64);
    // An upgrade runs the new installer over the installed copy.
    EXPECT_EQ(One(installer, "UpgradeBehavior"), "install");
    EXPECT_EQ(RunSetup("/S"), 0u) << "installed over the installed copy";
    EXPECT_EQ(RegString(cu, key.c_str(), "DisplayVersion"), PW_DISPLAY_VERSION);

    Step("Scoop manifest");
    const std::string scoop = ReadFileBytes(BesideTheTest("scoop\\pathwink.json"));
    const std::string zip = ReadFileBytes(BesideTheTest(PW_ZIP_FILE));
    ASSERT_FALSE(scoop.empty()) << "no Scoop manifest";
    ASSERT_FALSE(zip.empty()) << "no portable zip";
    EXPECT_EQ(JsonStrings(scoop, "version"), Texts{PW_DISPLAY_VERSION});
    EXPECT_EQ(JsonStrings(scoop, "hash"), Texts{Sha256Hex(zip)});
    const Texts urls = JsonStrings(scoop, "url");
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0].rfind("https://", 0), 0u) << urls[0];
    EXPECT_TRUE(EndsWith(urls[0], "/" PW_ZIP_FILE)) << urls[0];
    EXPECT_EQ(JsonStrings(scoop, "license"), Texts{One(locale, "License")});
    size_t last = 0; // the fields in the official buckets' order
    for (const char* field :
         {"version", "description", "homepage", "license", "notes", "architecture", "pre_install",
          "bin", "shortcuts", "persist", "checkver", "autoupdate"}) {
        const size_t at = scoop.find("\"" + std::string(field) + "\":");
        EXPECT_TRUE(at != std::string::npos && at > last) << field;
        last = at;
    }
    // An update needs no hand edit: the newest zip's version from its name on the home
    // page (not the setup's), and the zip's address from that version.
    const Texts checkver = JsonStrings(scoop, "checkver"),
                update = JsonStrings(scoop, "autoupdate");
    ASSERT_FALSE(checkver.empty() || update.empty()); // an object's keys and strings
    const std::string page =
        "<a href=\"" PW_SETUP_FILE "\"><a href=\"Pathwink-9.10-portable.zip\">";
    std::smatch found;
    EXPECT_TRUE(std::regex_search(page, found, std::regex(checkver.back())) && found[1] == "9.10");
    EXPECT_EQ(std::regex_replace(update.back(), std::regex("\\$version"), PW_DISPLAY_VERSION),
              urls[0]);
    // The zip holds the built program and help at its top, as the manifest names them.
    Texts entries;
    for (const ZipEntry& entry : ZipEntries(zip))
        entries.push_back(entry.name + " " + std::to_string(entry.size));
    const std::string builtHelp = BesideTheTest("help\\help_index.html");
    EXPECT_EQ(entries,
              (Texts{"Pathwink.exe " + std::to_string(ReadFileBytes(BuiltPathwink()).size()),
                     "help/help_index.html " + std::to_string(ReadFileBytes(builtHelp).size())}));
    EXPECT_EQ(JsonStrings(scoop, "bin"), Texts{"Pathwink.exe"});
    EXPECT_EQ(JsonStrings(scoop, "shortcuts"), (Texts{"Pathwink.exe", "Pathwink"}))
        << "the Start menu's Pathwink starts the zip's program";
    // The settings file the program uses is kept across updates; it is made (empty)
    // before Scoop looks, so that Scoop keeps a file and not a folder.
    const std::string settingsName = LeafName(inst_.Settings());
    EXPECT_EQ(JsonStrings(scoop, "persist"), Texts{settingsName});
    const Texts preInstall = JsonStrings(scoop, "pre_install");
    ASSERT_EQ(preInstall.size(), 1u);
    EXPECT_NE(scoop.find("\"pre_install\": \""), std::string::npos) << "a string, not a list";
    EXPECT_NE(preInstall[0].find("New-Item -ItemType File \"$dir\\" + settingsName + "\""),
              std::string::npos)
        << preInstall[0];

    Step("a settings file that Scoop keeps");
    // What Scoop leaves: the empty file in its persist folder, linked as the program's.
    const std::string persisted = Folder("pwscoop persist") + "\\" + settingsName;
    CloseHandle(CreateFileA(persisted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(CreateHardLinkA(inst_.Settings().c_str(), persisted.c_str(), nullptr))
        << GetLastError();
    InstalledPathwink& app = NewApp();
    ASSERT_TRUE(app.Start("tray")) << "an empty settings file is a fresh start";
    const std::string folder = Folder("pwscoop folder");
    auto sent = app.SendFolder(folder);
    HWND editor = app.WaitForEditor();
    ASSERT_TRUE(editor) << "no dialog for the handed-over folder";
    ClickEditorButton(editor, "OK"); // no key: the tray menu's only
    ASSERT_TRUE(sent.get());
    PostMessageA(app.MainWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.Process().WaitForExit(10000)) << "did not exit";
    EXPECT_EQ(StoredShortcuts(persisted), (std::map<std::string, int>{{folder, 0}}))
        << "saved through Scoop's name, which the next update links again";
    EXPECT_EQ(FileNameCount(inst_.Settings()), 2u) << "one file with both names";
}

TEST_F(Journey, InAFolderWhosePathHoldsAPercentSignExplorersMenuItemIsLeftOutAndSaid) {
    // Explorer would read "%1" in the program's path as the folder clicked.
    const std::string dir = Folder("pwsetup") + "\\Tools %1 Pathwink";
    const DWORD code = RunSetup("/S /D=" + dir);
    ASSERT_EQ(code, 3u) << "all but the menu item";
    EXPECT_NE(WingetManifest("installer")
                  .find("InstallerSuccessCodes:\n- " + std::to_string(code) + "\n"),
              std::string::npos)
        << "installed, for winget too";
    EXPECT_TRUE(FileExists(dir + "\\Pathwink.exe"));
    EXPECT_EQ(RegString(HKEY_CURRENT_USER, kUninstallKey, "InstallLocation"), dir);
    for (const char* cls : kVerbClasses)
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, VerbKey(cls).c_str())) << cls;
    RegDeleteTreeA(HKEY_CURRENT_USER, kUninstallKey);
}
