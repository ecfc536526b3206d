// Folder names in any script, with the real Pathwink.exe: a folder handed over as
// UTF-16 is shown, bound, opened and kept across a restart exactly; the ANSI form
// of the hand-over still works; UTF-16 blocks of any size and content are read
// safely; and the program runs from a folder whose name the ANSI code page cannot
// hold, finding and writing its settings there and starting again from its
// run-at-logon command.
//
// Every text is read in its wide form (WM_GETTEXT, LB_GETTEXT, GetWindowTextW,
// GetPrivateProfileStringW, RegQueryValueExW): the ANSI forms turn what the code
// page lacks into '?'.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace pwtest;

namespace {

// dwData of a WM_COPYDATA block that holds UTF-16LE text.
constexpr ULONG_PTR kUtf16Block = 0xFEFF;

constexpr char kDClickEditsCaption[] =
    "Double-click on folder in Folder Shortcuts edits shortcut instead of opening Explorer.";

// The test harness keeps its own (ASCII) paths in the ANSI code page.
std::wstring WideFromAnsi(const std::string& text) {
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// The bytes of a UTF-16LE text, as a settings file or a copy-data block holds them.
std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::wstring TitleOf(HWND window) {
    wchar_t title[1024] = L"";
    GetWindowTextW(window, title, 1024);
    return title;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::wstring Profile(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    std::wstring value(40000, L'\0');
    const DWORD n = GetPrivateProfileStringW(section, key, L"<absent>", value.data(),
                                             static_cast<DWORD>(value.size()), file.c_str());
    value.resize(n);
    return value;
}

// "FF FE 5B 00 ..." for the first bytes of a file.
std::string FirstBytes(const std::string& bytes, size_t count = 8) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < count; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += std::string(out.empty() ? "" : " ") + digits[b >> 4] + digits[b & 15];
    }
    return out.empty() ? "<empty>" : out;
}

// A NUL-terminated UTF-16 text handed over in the new form, cbData counting its NUL.
std::future<bool> SendUtf16(HWND target, const std::wstring& text) {
    const std::string bytes = Utf16Bytes(text + L'\0');
    return SendCopyData(target, kUtf16Block, bytes, static_cast<DWORD>(bytes.size()));
}

// The editor, shown with the New caption; null (and what was shown) after the deadline.
HWND WaitForNewEditor(const PathwinkProcess& app, std::string& seen, int timeoutMs = 10000) {
    HWND editor = app.WaitForEditorWith(kNewCaption, std::nullopt, timeoutMs);
    if (!editor)
        seen = app.Shown();
    return editor;
}

// A run of the program with folders of the test, all removed at the end.
class UnicodeFolders : public ::testing::Test {
protected:
    void TearDown() override {
        app_.reset();
        for (const auto& f : folders_)
            RemoveTree(f);
    }
    std::wstring Folder(const std::wstring& name) {
        folders_.push_back(MakeTempFolder(name));
        return folders_.back();
    }
    std::unique_ptr<PathwinkProcess> app_;
    std::vector<std::wstring> folders_;
};

} // namespace

TEST_F(UnicodeFolders, HandedOverAsUtf16AndKeptExactlyFromTheDialogToExplorerAndAcrossARestart) {
    // Greek, CJK and an emoji, which UTF-16 holds as a surrogate pair.
    const std::wstring folder = Folder(L"Φάκελος 文件夹 📁");
    ASSERT_FALSE(folder.empty()) << "CreateDirectoryW failed: " << GetLastError();
    ASSERT_TRUE(IsFree(MOD_CONTROL | MOD_ALT, 'U')) << "Ctrl+Alt+U is held by another program";
    app_ = std::make_unique<PathwinkProcess>(kQuiet);
    ASSERT_TRUE(app_->Start());

    std::future<bool> sent = SendUtf16(app_->MainWindow(), folder);
    const EndsABlockedSend ends{*app_, sent};
    std::string seen;
    HWND editor = WaitForNewEditor(*app_, seen);
    ASSERT_TRUE(editor) << "no New Folder Shortcut dialog; shown:" << seen;
    EXPECT_EQ(WideText(EditorFolderField(editor)), folder) << "the folder field";

    TypeIntoHotkeyField(editor, 'U');
    EXPECT_EQ(EditorHotkey(editor), WORD((HOTKEYF_CONTROL | HOTKEYF_ALT) << 8 | 'U'))
        << "U typed alone becomes Ctrl+Alt+U";
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(Ready(sent, 5000)) << "the sender still waits; shown:" << app_->Shown();
    EXPECT_TRUE(sent.get()) << "the folder was not delivered";

    const std::wstring row = L"Ctrl+Alt+U\t" + folder;
    EXPECT_TRUE(WaitUntil([&] { return app_->WideRows().size() == 1; }))
        << "rows:" << Listed(app_->WideRows()) << "; shown:" << app_->Shown();
    EXPECT_EQ(app_->WideRows(), std::vector<std::wstring>{row});

    // The key opens Explorer on exactly that folder: its window bears the last
    // component of the path.
    TypeKey('U', true, true);
    EXPECT_TRUE(WaitAndCloseExplorer(Utf8(folder), 15000));

    ASSERT_TRUE(app_->ClosedWithin(5000));
    EXPECT_EQ(app_->ExitCode(), 0u);
    app_->Kill(); // the ended run's handles go; the same folder starts again
    ASSERT_TRUE(app_->Start());
    EXPECT_EQ(app_->WideRows(), std::vector<std::wstring>{row}) << "after a restart";
    ASSERT_TRUE(app_->ClosedWithin(5000));

    // A path outside the ANSI code page makes the file UTF-16LE with a byte-order mark.
    const std::wstring settings = WideFromAnsi(app_->SettingsPath());
    const std::string bytes = FileBytes(settings).value_or("");
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "the file begins " << FirstBytes(bytes);
    EXPECT_EQ(Profile(settings, L"Shortcuts", L"0Path"), folder);
    EXPECT_EQ(Profile(settings, L"Shortcuts", L"0ShortCut"), std::to_wstring('U' + 16384 + 32768));
}

TEST_F(UnicodeFolders, TheAnsiFormStillHandsOverTextInTheAnsiCodePage) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252, which has é as 0xE9";
    const std::wstring folder = Folder(L"Résumé é");
    ASSERT_FALSE(folder.empty()) << "CreateDirectoryW failed: " << GetLastError();
    std::string ansi(folder.size() * 2, '\0');
    BOOL lossy = FALSE;
    ansi.resize(static_cast<size_t>(WideCharToMultiByte(
        CP_ACP, WC_NO_BEST_FIT_CHARS, folder.data(), static_cast<int>(folder.size()), ansi.data(),
        static_cast<int>(ansi.size()), nullptr, &lossy)));
    ASSERT_FALSE(lossy) << "the temporary folder's path is not in the ANSI code page";
    ASSERT_NE(ansi.find('\xE9'), std::string::npos) << "é is not the byte E9";
    app_ = std::make_unique<PathwinkProcess>(kQuiet);
    ASSERT_TRUE(app_->Start());

    // dwData is anything but the UTF-16 mark, the byte-swapped mark included; the
    // text, NUL-terminated, is counted with its NUL.
    const struct {
        const char* what;
        ULONG_PTR dwData;
        bool keep;
    } cases[] = {
        {"dwData 0", 0, false},
        {"dwData 1", 1, false},
        {"dwData 0xFFFE", 0xFFFE, true},
    };
    const auto check = [&](const auto& c) {
        std::future<bool> sent = SendCopyData(app_->MainWindow(), c.dwData, ansi + '\0',
                                              static_cast<DWORD>(ansi.size() + 1));
        const EndsABlockedSend ends{*app_, sent};
        std::string seen;
        HWND editor = WaitForNewEditor(*app_, seen);
        ASSERT_TRUE(editor) << "no New Folder Shortcut dialog; shown:" << seen;
        EXPECT_EQ(WideText(EditorFolderField(editor)), folder) << "é arrives as U+00E9";
        ClickEditorButton(editor, c.keep ? "OK" : "Cancel");
        ASSERT_TRUE(Ready(sent, 5000)) << "the sender still waits; shown:" << app_->Shown();
        EXPECT_TRUE(sent.get());
        ASSERT_TRUE(WaitUntil([&] { return !app_->EditorShown(); }));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        check(c);
    }
    EXPECT_TRUE(WaitUntil([&] { return app_->WideRows().size() == 1; }));
    EXPECT_EQ(app_->WideRows(), std::vector<std::wstring>{L"(No HotKey)\t" + folder});

    // Every path fits the code page: the file stays as earlier versions wrote it.
    const std::string bytes = app_->ReadSettings();
    EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE") << "the file became UTF-16";
    EXPECT_NE(bytes.find("0Path=" + ansi + "\r\n"), std::string::npos) << bytes;
}

TEST_F(UnicodeFolders, Utf16BlocksOfAnySizeAndContentAreReadSafely) {
    app_ = std::make_unique<PathwinkProcess>(kQuiet);
    ASSERT_TRUE(app_->Start());
    const std::string before = app_->ReadSettings();
    // The text ends at the first NUL or at cbData, whichever comes first; an odd
    // last byte is ignored; half a surrogate pair shows as U+FFFD, the replacement
    // character, and the program goes on.
    const struct {
        const char* what;
        std::optional<std::string> data; // nullopt: lpData is null
        DWORD size;
        std::wstring shown;
    } cases[] = {
        {"an odd size: the last byte is ignored", Utf16Bytes(L"C:\\Odd") + "X", 13, L"C:\\Odd"},
        {"an odd size through the last character", Utf16Bytes(L"C:\\Cut"), 11, L"C:\\Cu"},
        {"one byte", std::string("A"), 1, L""},
        {"no NUL within the size", Utf16Bytes(L"C:\\NoEnd"), 16, L"C:\\NoEnd"},
        {"a size that stops short of the NUL", Utf16Bytes(std::wstring(L"C:\\Longer\0", 10)), 10,
         L"C:\\Lo"},
        {"size 0", Utf16Bytes(std::wstring(L"C:\\Zero\0", 8)), 0, L""},
        {"size 0 and no data", std::nullopt, 0, L""},
        {"a NUL in the middle: the text ends there",
         Utf16Bytes(std::wstring(L"C:\\Before\0After\0", 16)), 32, L"C:\\Before"},
        {"a NUL first", Utf16Bytes(std::wstring(L"\0C:\\Late\0", 9)), 18, L""},
        {"a size that cuts a surrogate pair", Utf16Bytes(L"C:\\A📁"), 10, L"C:\\A\xFFFD"},
        {"a lone low surrogate", Utf16Bytes(std::wstring(L"C:\\\xDC01x\0", 6)), 12, L"C:\\\xFFFDx"},
    };
    const auto check = [&](const auto& c) {
        std::future<bool> sent = SendCopyData(app_->MainWindow(), kUtf16Block, c.data, c.size);
        const EndsABlockedSend ends{*app_, sent};
        std::string seen;
        HWND editor = WaitForNewEditor(*app_, seen);
        ASSERT_TRUE(editor) << "no New Folder Shortcut dialog; shown:" << seen
                            << (app_->Running() ? "" : " (the program has ended)");
        EXPECT_EQ(WideText(EditorFolderField(editor)), c.shown);
        ClickEditorButton(editor, "Cancel");
        ASSERT_TRUE(Ready(sent, 5000)) << "the sender still waits; shown:" << app_->Shown();
        EXPECT_TRUE(sent.get());
        ASSERT_TRUE(WaitUntil([&] { return !app_->EditorShown(); }));
        ASSERT_TRUE(app_->Running());
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        check(c);
    }
    EXPECT_TRUE(app_->WideRows().empty()) << Listed(app_->WideRows());
    EXPECT_EQ(app_->ReadSettings(), before) << "a cancelled dialog saved";
}

namespace {

// The shell opens ".html" files with Notepad while the object lives, so that the
// help page, once opened, is a window whose title and text can be read; the
// association as it was comes back afterwards. (Wine's prefix has none for
// ".html": the help page would open nowhere.)
class HtmlOpensInNotepad {
public:
    HtmlOpensInNotepad() {
        had_ = ReadDefault(L".html", previous_);
        const std::wstring command = L"\"" + WindowsFolder() + L"\\notepad.exe\" \"%1\"";
        ok_ = WriteDefault(L".html", kProgId) &&
              WriteDefault(std::wstring(kProgId) + L"\\shell\\open\\command", command);
    }
    ~HtmlOpensInNotepad() {
        if (had_)
            WriteDefault(L".html", previous_);
        else
            RegDeleteTreeW(HKEY_CLASSES_ROOT, L".html");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    }
    HtmlOpensInNotepad(const HtmlOpensInNotepad&) = delete;
    HtmlOpensInNotepad& operator=(const HtmlOpensInNotepad&) = delete;
    bool Registered() const { return ok_; }

private:
    static constexpr wchar_t kProgId[] = L"PathwinkTests.HelpInNotepad";
    static std::wstring WindowsFolder() {
        wchar_t folder[MAX_PATH] = L"";
        GetWindowsDirectoryW(folder, MAX_PATH);
        return folder;
    }
    static bool ReadDefault(const std::wstring& key, std::wstring& value) {
        wchar_t buffer[1024] = L"";
        DWORD size = sizeof buffer;
        if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer,
                         &size) != ERROR_SUCCESS)
            return false;
        value = buffer;
        return true;
    }
    static bool WriteDefault(const std::wstring& key, const std::wstring& value) {
        return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    }
    bool had_ = false, ok_ = false;
    std::wstring previous_;
};

std::wstring WithoutCarriageReturns(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    return text;
}

} // namespace

TEST(UnicodeProgramFolder, FindsItsSettingsAndHelpThereAndItsRunAtLogonCommandStartsIt) {
    const RunValuesKept runValues;
    const std::wstring folder = MakeTempFolder(L"Pathwink Ω 文件");
    const std::wstring target = MakeTempFolder(L"Ziel Ω");
    const std::wstring elsewhere = WideFromAnsi(MakeTempFolder("pwcwd"));
    struct Removed {
        std::vector<std::wstring> folders;
        ~Removed() {
            for (const auto& f : folders)
                RemoveTree(f);
        }
    } removed{{folder, target, elsewhere}};
    ASSERT_FALSE(folder.empty() || target.empty() || elsewhere.empty()) << GetLastError();

    // The program and its help beside it, as the portable package has them.
    const std::wstring built = WideFromAnsi(BuiltPathwink());
    const std::wstring builtFolder = built.substr(0, built.find_last_of(L'\\'));
    const std::wstring exe = folder + L"\\Pathwink.exe";
    const std::wstring help = folder + L"\\help\\help_index.html";
    ASSERT_TRUE(CopyFileW(built.c_str(), exe.c_str(), FALSE)) << GetLastError();
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\help").c_str(), nullptr)) << GetLastError();
    ASSERT_TRUE(CopyFileW((builtFolder + L"\\help\\help_index.html").c_str(), help.c_str(), FALSE))
        << GetLastError();

    // A settings file in UTF-16 with a shortcut whose folder is outside the code page too.
    const std::wstring settings = folder + L"\\Pathwink.INI";
    ASSERT_TRUE(
        WriteFileBytes(settings, Utf16Bytes(L"\xFEFF[Options]\r\nConfirmExit=0\r\nRunOnStarup=1\r\n"
                                            L"[Shortcuts]\r\nCount=1\r\n0Path=" +
                                            target + L"\r\n0ShortCut=0\r\n")));
    const std::vector<std::wstring> rows = {L"(No HotKey)\t" + target};

    // Started from another current folder: the settings file is found beside the
    // executable, not where the program happens to run.
    {
        StartedProgram run;
        ASSERT_TRUE(run.StartCommand(Utf8(L"\"" + exe + L"\""), Utf8(elsewhere)))
            << "the program did not start";
        EXPECT_EQ(run.WideRows(), rows) << "the settings file was not read";

        // Help opens the page beside the executable.
        const HtmlOpensInNotepad viewer;
        ASSERT_TRUE(viewer.Registered());
        run.Click("Help");
        HWND notepad = nullptr;
        WaitUntil(
            [&] {
                for (HWND w : FindTopLevels("Notepad", nullptr))
                    if (TitleOf(w) == L"help_index.html - Notepad")
                        notepad = w;
                return notepad != nullptr;
            },
            10000);
        if (notepad) {
            std::wstring page = WideFromAnsi(FileBytes(help).value_or(""));
            EXPECT_EQ(WithoutCarriageReturns(WideText(FindChildByClass(notepad, "Edit"))),
                      WithoutCarriageReturns(page))
                << "the viewer shows another text";
            PostMessageW(notepad, WM_CLOSE, 0, 0);
        } else {
            std::string titles;
            for (HWND w : FindTopLevels("Notepad", nullptr))
                titles += " \"" + Utf8(TitleOf(w)) + "\"";
            ADD_FAILURE() << "Help opened no viewer on help_index.html; Notepad windows:"
                          << (titles.empty() ? " none" : titles)
                          << "; Pathwink shows:" << run.Shown();
        }

        run.SetCheck(kDClickEditsCaption, true);
        ASSERT_TRUE(run.ClosedWithin(5000));
        ASSERT_EQ(run.ExitCode(), 0u);
    }
    EXPECT_EQ(Profile(settings, L"Options", L"DClickEdits"), L"1") << "the change was not saved";
    EXPECT_EQ(Profile(settings, L"Shortcuts", L"0Path"), target);
    const std::string bytes = FileBytes(settings).value_or("");
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "the file begins " << FirstBytes(bytes);
    EXPECT_FALSE(Exists(elsewhere + L"\\Pathwink.INI")) << "settings written where it ran";

    // The run-at-logon value names this executable, whole, and starts it again.
    const std::wstring command = L"\"" + exe + L"\" tray";
    const auto value = RunValue(HKEY_CURRENT_USER);
    ASSERT_TRUE(value.has_value())
        << "no value Pathwink in "
           "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    EXPECT_EQ(*value, Utf8(command));
    StartedProgram atLogon;
    ASSERT_TRUE(atLogon.StartCommand(*value, Utf8(elsewhere)))
        << "the run-at-logon command started nothing";
    EXPECT_FALSE(IsWindowVisible(atLogon.MainWindow())) << "not started in the tray";
    EXPECT_TRUE(WaitUntil([&] {
        return FindTopLevel("TPathwinkMainForm", nullptr, atLogon.ProcessId()) != nullptr;
    })) << "no window serving the tray icon";
    EXPECT_EQ(atLogon.WideRows(), rows);
    EXPECT_TRUE(atLogon.Checked(kDClickEditsCaption)) << "the saved option was not read";
    EXPECT_TRUE(atLogon.ClosedWithin(5000));
    EXPECT_EQ(atLogon.ExitCode(), 0u);
}

TEST_F(UnicodeFolders, AHandEditedUtf8FileReadsAsUtf8AndIsSavedInUtf8WithEveryOtherLineKept) {
    // A folder whose name the ANSI code page cannot hold: an ANSI file would turn
    // into UTF-16 at the save.
    const std::wstring folder =
        Folder(L"pwutf8 Caf\u00E9 \u03A6\u03AC\u03BA\u03B5\u03BB\u03BF\u03C2");
    ASSERT_FALSE(folder.empty()) << GetLastError();
    const std::string path = Utf8(folder);
    // Lines Pathwink does not own, where a save leaves them as they are.
    const std::string comment = "; Gr\xC3\xBC\xC3\x9F"
                                "e from the editor\r\n";
    const std::string mine = "[Mine]\r\nNote=na\xC3\xAFve \xE2\x98\x83\r\n";
    const std::vector<std::wstring> row{L"(No HotKey)\t" + folder};
    const struct {
        const char* what;
        std::string mark;
    } cases[] = {{"with the UTF-8 mark", "\xEF\xBB\xBF"}, {"without a mark", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        app_ = std::make_unique<PathwinkProcess>(c.mark + comment + kQuiet +
                                                 "[Shortcuts]\r\nCount=1\r\n0Path=" + path +
                                                 "\r\n0ShortCut=0\r\n" + mine);
        ASSERT_TRUE(app_->Start());
        EXPECT_TRUE(WaitUntil([&] { return app_->WideRows() == row; }))
            << "rows:" << Listed(app_->WideRows());
        ASSERT_TRUE(app_->ClosedWithin(5000)); // which saves

        const std::string saved = app_->ReadSettings();
        EXPECT_EQ(saved.find('\0'), std::string::npos) << "UTF-16: " << FirstBytes(saved);
        EXPECT_EQ(saved.substr(0, c.mark.size() + comment.size() + 11),
                  c.mark + comment + "[Options]\r\n")
            << "the mark, the comment and the first section as they were: " << FirstBytes(saved);
        EXPECT_EQ(saved.find("[Options]", saved.find("[Options]") + 1), std::string::npos)
            << "a second [Options]:\n"
            << saved;
        EXPECT_NE(saved.find(mine), std::string::npos) << saved;
        EXPECT_NE(saved.find("0Path=" + path + "\r\n"), std::string::npos) << saved;

        app_->Kill();
        ASSERT_TRUE(app_->Start());
        EXPECT_TRUE(WaitUntil([&] { return app_->WideRows() == row; }))
            << "after the save; rows:" << Listed(app_->WideRows());
        app_.reset();
    }
}
