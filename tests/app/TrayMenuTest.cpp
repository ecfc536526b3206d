// The tray menu's content, read in-process (menus cannot be read from another
// process): fixed entries, one entry per shortcut in table order with its key
// text, separators never first, last or doubled, nothing accumulating.

#include "tests/app/AppInProcess.h"
#include "tests/support/TestSupport.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <gtest/gtest.h>

#include <wtsapi32.h>

using namespace pw;

namespace {

class TrayMenuContent : public AppInProcess {
protected:
    std::vector<std::string> Popup() {
        std::vector<std::string> texts;
        for (const std::wstring& text : TrayMenu())
            texts.push_back(Utf8(text));
        return texts;
    }
};

const std::vector<std::string> kFixed = {"Configure Shortcuts",
                                         "Configure Options",
                                         "About Pathwink",
                                         "Show all folders\tCtrl+Alt+Space",
                                         "-",
                                         "Help",
                                         "Exit Pathwink"};

} // namespace

TEST_F(TrayMenuContent, AnEmptyTableShowsOnlyTheFixedEntries) {
    Open("[Options]\r\n");
    EXPECT_EQ(Popup(), kFixed);
}

TEST_F(TrayMenuContent, ListsEveryShortcutInTableOrderWithItsKeyThenASeparator) {
    Open("[Shortcuts]\r\nCount=3\r\n"
         "0Path=D:\\Zeta\r\n0ShortCut=0\r\n"
         "1Path=C:\\Tom & Jerry\r\n1ShortCut=49220\r\n"
         "2Path=c:\\alpha\r\n2ShortCut=24692\r\n");
    std::vector<std::string> expected = {"c:\\alpha\tShift+Ctrl+F5", "C:\\Tom && Jerry\tCtrl+Alt+D",
                                         "D:\\Zeta", "-"};
    expected.insert(expected.end(), kFixed.begin(), kFixed.end());
    EXPECT_EQ(Popup(), expected);
    EXPECT_EQ(Popup(), expected) << "opening again builds the same entries";
    EXPECT_EQ(Popup().size(), expected.size()) << "entries never accumulate";
}

TEST_F(TrayMenuContent, NamesTheKeyThatShowsAllFoldersWithItsInactiveMark) {
    // The test holds Ctrl+Alt+J as another program would.
    ASSERT_TRUE(RegisterHotKey(nullptr, 0x7300, MOD_CONTROL | MOD_ALT, 'J'));
    const ScopeExit letGo([] { UnregisterHotKey(nullptr, 0x7300); });
    const std::pair<const char*, const char*> cases[] = {
        {"ShowAllFoldersKey=0", "Show all folders"},
        {"ShowAllFoldersKey=24692", "Show all folders\tShift+Ctrl+F5"},
        {"ShowAllFoldersKey=49226", "Show all folders\tCtrl+Alt+J (inactive)"},
    };
    for (const auto& [line, entry] : cases) {
        app_.reset();
        Open(std::string("[Options]\r\n") + line + "\r\n");
        EXPECT_EQ(Popup()[3], entry) << line;
    }
    // The session is unlocked after the other program let go: the key is retried.
    UnregisterHotKey(nullptr, 0x7300);
    SendMessageW(Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    EXPECT_EQ(Popup()[3], "Show all folders\tCtrl+Alt+J") << "active once it is free";
}

TEST_F(TrayMenuContent, FollowsTheTableAfterADelete) {
    Open("[Shortcuts]\r\nCount=1\r\n0Path=C:\\Only\r\n0ShortCut=0\r\n");
    EXPECT_EQ(Popup().front(), "C:\\Only");
    HWND list = pwtest::FindChildByClass(Window(), "ListBox");
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    Click(pwtest::FindChildByText(Window(), "Button", "Delete Selected"));
    EXPECT_EQ(Popup(), kFixed);
}

TEST_F(TrayMenuContent, AKeyHeldElsewhereIsMarkedInactiveUntilARetryFindsItFree) {
    // The test holds Ctrl+Alt+J (49226), K (49227) and L (49228) as another program
    // would; Ctrl+Alt+D stays free.
    for (UINT vk : {'J', 'K', 'L'})
        ASSERT_TRUE(RegisterHotKey(nullptr, 0x7100 + vk, MOD_CONTROL | MOD_ALT, vk));
    const ScopeExit letGo([] {
        for (UINT vk : {'J', 'K', 'L'})
            UnregisterHotKey(nullptr, 0x7100 + vk);
    });
    Open("[Shortcuts]\r\nCount=4\r\n0Path=C:\\Held K\r\n0ShortCut=49227\r\n"
         "1Path=C:\\Free\r\n1ShortCut=49220\r\n2Path=C:\\Held J\r\n2ShortCut=49226\r\n"
         "3Path=C:\\Held L\r\n3ShortCut=49228\r\n");
    const std::vector<std::string> marked = {
        "C:\\Free\tCtrl+Alt+D", "C:\\Held J\tCtrl+Alt+J (inactive)",
        "C:\\Held K\tCtrl+Alt+K (inactive)", "C:\\Held L\tCtrl+Alt+L (inactive)", "-"};
    std::vector<std::string> entries = Popup();
    entries.resize(marked.size());
    EXPECT_EQ(entries, marked);

    HWND window = Window();
    SendMessageW(window, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0); // all still held
    entries = Popup();
    entries.resize(marked.size());
    EXPECT_EQ(entries, marked);

    // The machine resumes after K was let go; the session is unlocked after J was.
    UnregisterHotKey(nullptr, 0x7100 + 'K');
    SendMessageW(window, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0); // no reason to look
    EXPECT_TRUE(pwtest::IsFree(MOD_CONTROL | MOD_ALT, 'K')) << "a lock asks for no key";
    SendMessageW(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_FALSE(pwtest::IsFree(MOD_CONTROL | MOD_ALT, 'K')) << "the program holds it now";
    EXPECT_EQ(Popup()[2], "C:\\Held K\tCtrl+Alt+K") << "active again once the other side let go";
    UnregisterHotKey(nullptr, 0x7100 + 'J');
    SendMessageW(window, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    EXPECT_FALSE(pwtest::IsFree(MOD_CONTROL | MOD_ALT, 'J')) << "the unlock asked again";
    EXPECT_EQ(Popup()[1], "C:\\Held J\tCtrl+Alt+J");

    // The menu, opened from the tray icon after L was let go, shows it active.
    UnregisterHotKey(nullptr, 0x7100 + 'L');
    EXPECT_EQ(Popup()[3], "C:\\Held L\tCtrl+Alt+L") << "the menu as it was shown";
    for (UINT vk : {'J', 'K', 'L'})
        EXPECT_FALSE(pwtest::IsFree(MOD_CONTROL | MOD_ALT, vk)) << "every shortcut holds its key";
}

TEST_F(TrayMenuContent, AFolderEntryOpensExactlyItsPathAmpersandIncluded) {
    const std::string target = pwtest::MakeTempFolder("pw&amp");
    Open("[Shortcuts]\r\nCount=1\r\n0Path=" + target + "\r\n0ShortCut=0\r\n");
    TrayMenu(1); // its entry, the first
    EXPECT_TRUE(pwtest::WaitAndCloseExplorer(target)) << target;
    pwtest::PumpFor(300);
    pwtest::RemoveTree(target);
}

TEST_F(TrayMenuContent, ShowsFoldersInAnyScriptExactlyAsTheUtf16SettingsFileHoldsThem) {
    // The form the program saves once a path does not fit the ANSI code page:
    // UTF-16LE with a byte-order mark. Greek, CJK and emoji (surrogate pairs).
    const std::wstring settings = L"\xFEFF[Shortcuts]\r\nCount=3\r\n"
                                  L"0Path=D:\\3 Архив 🗂\r\n0ShortCut=24692\r\n"
                                  L"1Path=C:\\1 Φάκελος έργων\r\n1ShortCut=49220\r\n"
                                  L"2Path=C:\\2 文件夹 & 📁\r\n2ShortCut=0\r\n";
    Open(std::string(reinterpret_cast<const char*>(settings.data()),
                     settings.size() * sizeof(wchar_t)));
    std::vector<std::wstring> expected = {L"C:\\1 Φάκελος έργων\tCtrl+Alt+D", L"C:\\2 文件夹 && 📁",
                                          L"D:\\3 Архив 🗂\tShift+Ctrl+F5", L"-"};
    for (const std::string& fixed : kFixed)
        expected.push_back(std::wstring(fixed.begin(), fixed.end()));
    EXPECT_EQ(TrayMenu(), expected);
}
