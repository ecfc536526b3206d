// Opening folders: an existing folder reaches the shell's Explorer; anything else
// shows the plain missing-folder message. The call returns at once: the check and
// the launch run on a thread of their own, and what they find comes back through
// the window thread's messages.

#include "hotkey/FolderLaunch.h"
#include "hotkey/HotkeyBinding.h"
#include "tests/support/TestSupport.h"
#include "win/Errors.h"
#include "win/Messages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

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

// Runs the window thread's messages until the watcher has seen (and closed) its message.
SeenMessage Await(std::future<SeenMessage>& watcher) {
    pwtest::WaitUntil(
        [&] { return watcher.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        15000);
    return watcher.get();
}

// A check that waits until the test lets it go, as one on a share that does not
// answer would; it records the order in which paths were opened.
struct BlockingShell {
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::string blockedPath;
    std::mutex mutex;
    std::vector<std::string> opened;

    ~BlockingShell() { CloseHandle(release); }
    FolderShell Shell() {
        FolderShell shell;
        shell.isFolder = [this](const std::string& path) {
            if (path == blockedPath)
                WaitForSingleObject(release, 30000);
            return true;
        };
        shell.open = [this](const std::string& path) -> DWORD {
            std::lock_guard<std::mutex> lock(mutex);
            opened.push_back(path);
            return 0;
        };
        return shell;
    }
    std::vector<std::string> Opened() {
        std::lock_guard<std::mutex> lock(mutex);
        return opened;
    }
};

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
    // A launch that fails says so in a modal box of this very process, which would
    // hold the wait below for ever: it is closed and reported instead.
    const pwtest::BoxCloser boxes;
    FolderLaunch launch;
    launch.OpenFolder(folder + "\\"); // a trailing separator opens normally
    EXPECT_TRUE(pwtest::WaitAndCloseExplorer(folder))
        << "no Explorer window for " << folder << "; boxes shown: " << boxes.Closed();
    pwtest::PumpFor(300);
    EXPECT_EQ(boxes.Closed(), "") << "the launch told of a failure";
    pwtest::RemoveTree(folder);
}

TEST(OpenFolder, AnythingButAFolderShowsThePlainMessage) {
    const std::string folder = pwtest::MakeTempFolder("pwmiss");
    const std::string file = folder + "\\note.txt";
    std::ofstream(file) << "not a folder";
    const std::string missing = folder + "\\no such folder";
    FolderLaunch launch;

    for (const std::string& path : {file, std::string(), missing}) {
        auto watcher = WatchPlainMessage();
        launch.OpenFolder(path);
        SeenMessage seen = Await(watcher);
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
    FolderLaunch launch;
    auto watcher = WatchPlainMessage();
    launch.OpenFolder(missing);
    SeenMessage seen = Await(watcher);
    EXPECT_EQ(seen.text, MissingFolderText(missing));
    EXPECT_LE(seen.rect.right - seen.rect.left, seen.screenWidth / 2 + 100);
    EXPECT_GT(seen.rect.bottom - seen.rect.top, 100) << "wrapped onto several lines";
}

TEST(OpenBindingFolder, OpensTheFolderOfThePressedBinding) {
    const std::string folder = pwtest::MakeTempFolder("pwhot");
    FolderLaunch launch;
    HotkeyBinding binding;
    binding.SetFolder(folder + "\\missing");
    auto watcher = WatchPlainMessage();
    launch.OpenBindingFolder(binding);
    EXPECT_EQ(Await(watcher).text, MissingFolderText(folder + "\\missing"));

    binding.SetFolder(folder);
    const pwtest::BoxCloser boxes; // as in AnExistingFolderOpensInExplorer
    launch.OpenBindingFolder(binding);
    EXPECT_TRUE(pwtest::WaitAndCloseExplorer(folder)) << "boxes shown: " << boxes.Closed();
    pwtest::PumpFor(300);
    EXPECT_EQ(boxes.Closed(), "") << "the launch told of a failure";
    pwtest::RemoveTree(folder);
}

TEST(OpenFolder, ALaunchTheShellRefusesIsToldWithTheSystemsReason) {
    FolderShell shell;
    shell.isFolder = [](const std::string&) { return true; };
    shell.open = [](const std::string&) -> DWORD { return ERROR_ACCESS_DENIED; };
    FolderLaunch launch(shell);
    auto watcher = WatchPlainMessage();
    launch.OpenFolder("C:\\Refused");
    const SeenMessage seen = Await(watcher);
    EXPECT_EQ(seen.text, LaunchFailedText("C:\\Refused", SystemReason(ERROR_ACCESS_DENIED)));
    EXPECT_EQ(seen.text.rfind("Windows could not open the folder \"C:\\Refused\".\n", 0), 0u);
    EXPECT_GT(seen.text.size(), seen.text.find('\n') + 1) << "a reason follows";
}

TEST(OpenFolder, AFolderCheckThatHangsHoldsUpNeitherTheCallerNorOtherLaunches) {
    BlockingShell blocking;
    blocking.blockedPath = "C:\\Share that does not answer";
    FolderLaunch launch(blocking.Shell());
    const auto start = std::chrono::steady_clock::now();
    launch.OpenFolder(blocking.blockedPath);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500))
        << "the call returns at once";
    launch.OpenFolder("C:\\Answers");
    ASSERT_TRUE(pwtest::WaitUntil([&] { return blocking.Opened().size() == 1; }, 5000));
    EXPECT_EQ(blocking.Opened(), std::vector<std::string>{"C:\\Answers"});
    // The answered launch is told back through the message queue, a moment after it opened.
    EXPECT_TRUE(pwtest::WaitUntil([&] { return launch.Pending() == 1; }, 5000))
        << "the hanging one is still under way: " << launch.Pending();

    SetEvent(blocking.release);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return launch.Pending() == 0; }, 5000));
    EXPECT_EQ(blocking.Opened(),
              (std::vector<std::string>{"C:\\Answers", "C:\\Share that does not answer"}));
}
