// Opening folders: an existing folder reaches the shell's Explorer; anything else
// shows the plain missing-folder message, and the call returns once it is closed.

#include "hotkey/FolderLaunch.h"
#include "hotkey/HotkeyBinding.h"
#include "tests/support/TestSupport.h"
#include "win/Messages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

using namespace pw;

namespace {

struct SeenMessage {
    std::string text;
    RECT rect{};
    int buttons = 0;
    std::string buttonText;
    bool hasIcon = false;
    int screenWidth = 0, screenHeight = 0;
};

// Watches for the plain message from a second thread, records it, then presses OK.
std::future<SeenMessage> WatchPlainMessage() {
    const DWORD pid = GetCurrentProcessId();
    return std::async(std::launch::async, [pid] {
        SeenMessage seen;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            HWND dlg = pwtest::FindTopLevel("#32770", "Pathwink", pid);
            if (dlg && IsWindowVisible(dlg)) {
                pwtest::PumpFor(0);
                seen.text = pwtest::MessageTextOf(dlg);
                GetWindowRect(dlg, &seen.rect);
                seen.screenWidth = GetSystemMetrics(SM_CXSCREEN);
                seen.screenHeight = GetSystemMetrics(SM_CYSCREEN);
                for (HWND child = GetWindow(dlg, GW_CHILD); child;
                     child = GetWindow(child, GW_HWNDNEXT)) {
                    char cls[64];
                    GetClassNameA(child, cls, sizeof cls);
                    const LONG style = GetWindowLongA(child, GWL_STYLE);
                    if (lstrcmpiA(cls, "Button") == 0) {
                        ++seen.buttons;
                        seen.buttonText = pwtest::TextOf(child);
                    } else if ((style & SS_TYPEMASK) == SS_ICON) {
                        seen.hasIcon = true;
                    }
                }
                PostMessageA(dlg, WM_COMMAND, IDOK, 0);
                return seen;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        seen.text = "<no message appeared>";
        return seen;
    });
}

} // namespace

TEST(MissingFolderText, QuotesThePathExactlyAsStored) {
    EXPECT_EQ(MissingFolderText("D:\\Gone\\"),
              "The folder \"D:\\Gone\\\" does not exist or is inaccessible. Please open the "
              "Pathwink configuration tab to delete or edit this folder shortcut.");
    EXPECT_EQ(MissingFolderText(""),
              "The folder \"\" does not exist or is inaccessible. Please open the Pathwink "
              "configuration tab to delete or edit this folder shortcut.");
}

TEST(OpenFolder, AnExistingFolderOpensInExplorer) {
    const std::string folder = pwtest::MakeTempFolder("pwopen");
    ASSERT_FALSE(folder.empty());
    FolderLaunch launch([] { return HWND(nullptr); });
    launch.OpenFolder(folder + "\\"); // a trailing separator opens normally
    EXPECT_TRUE(pwtest::WaitAndCloseExplorer(folder)) << "no Explorer window for " << folder;
    pwtest::PumpFor(300);
    pwtest::RemoveTree(folder);
}

TEST(OpenFolder, AnythingButAFolderShowsThePlainMessageAndReturnsWhenItCloses) {
    const std::string folder = pwtest::MakeTempFolder("pwmiss");
    const std::string file = folder + "\\note.txt";
    std::ofstream(file) << "not a folder";
    const std::string missing = folder + "\\no such folder";
    FolderLaunch launch([] { return HWND(nullptr); });

    for (const std::string& path : {file, std::string(), missing}) {
        auto watcher = WatchPlainMessage();
        launch.OpenFolder(path); // returns only after the watcher pressed OK
        SeenMessage seen = watcher.get();
        EXPECT_EQ(seen.text, MissingFolderText(path));
        EXPECT_EQ(seen.buttons, 1);
        EXPECT_EQ(seen.buttonText, "OK");
        EXPECT_FALSE(seen.hasIcon);
        const int w = seen.rect.right - seen.rect.left, h = seen.rect.bottom - seen.rect.top;
        EXPECT_LE(std::abs(seen.rect.left - (seen.screenWidth - w) / 2), 1) << "centred";
        EXPECT_LE(std::abs(seen.rect.top - (seen.screenHeight - h) / 2), 1) << "centred";
        EXPECT_LE(w, seen.screenWidth / 2 + 100) << "text wrapped at half the screen width";
    }
    pwtest::RemoveTree(folder);
}

TEST(OpenFolder, ALongTextWrapsWithinHalfTheScreen) {
    const std::string missing = "C:\\" + std::string(300, 'x');
    FolderLaunch launch([] { return HWND(nullptr); });
    auto watcher = WatchPlainMessage();
    launch.OpenFolder(missing);
    SeenMessage seen = watcher.get();
    EXPECT_EQ(seen.text, MissingFolderText(missing));
    EXPECT_LE(seen.rect.right - seen.rect.left, seen.screenWidth / 2 + 100);
    EXPECT_GT(seen.rect.bottom - seen.rect.top, 100) << "wrapped onto several lines";
}

TEST(OpenBindingFolder, OpensTheFolderOfThePressedBinding) {
    const std::string folder = pwtest::MakeTempFolder("pwhot");
    FolderLaunch launch([] { return HWND(nullptr); });
    HotkeyBinding binding;
    binding.SetFolder(folder + "\\missing");
    auto watcher = WatchPlainMessage();
    launch.OpenBindingFolder(binding);
    EXPECT_EQ(watcher.get().text, MissingFolderText(folder + "\\missing"));

    binding.SetFolder(folder);
    launch.OpenBindingFolder(binding);
    EXPECT_TRUE(pwtest::WaitAndCloseExplorer(folder));
    pwtest::PumpFor(300);
    pwtest::RemoveTree(folder);
}
