// Opening folders: an existing folder reaches the shell's Explorer; anything else
// shows the plain missing-folder message. The call returns at once: the check and
// the launch run on a thread of their own, and what they find comes back through
// the window thread's messages.

#include "open/FolderLaunch.h"
#include "tests/open/HostedLaunch.h"
#include "tests/support/TestSupport.h"
#include "win/AppMessages.h"
#include "win/Errors.h"
#include "win/Messages.h"
#include "win/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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
std::future<SeenMessage> WatchPlainMessage(int deadlineMs = 10000) {
    const DWORD pid = GetCurrentProcessId();
    return std::async(std::launch::async, [pid, deadlineMs] {
        SeenMessage seen;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
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
    pwtest::HostedLaunch launch;
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
    pwtest::HostedLaunch launch;

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
    pwtest::HostedLaunch launch;
    auto watcher = WatchPlainMessage();
    launch.OpenFolder(missing);
    SeenMessage seen = Await(watcher);
    EXPECT_EQ(seen.text, MissingFolderText(missing));
    EXPECT_LE(seen.rect.right - seen.rect.left, seen.screenWidth / 2 + 100);
    EXPECT_GT(seen.rect.bottom - seen.rect.top, 100) << "wrapped onto several lines";
}

TEST(OpenFolder, ALaunchTheShellRefusesIsToldWithTheSystemsReason) {
    FolderShell shell;
    shell.isFolder = [](const std::string&) { return true; };
    shell.open = [](const std::string&) -> DWORD { return ERROR_ACCESS_DENIED; };
    pwtest::HostedLaunch launch(shell);
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
    pwtest::HostedLaunch launch(blocking.Shell());
    const auto start = std::chrono::steady_clock::now();
    launch.OpenFolder(blocking.blockedPath);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500))
        << "the call returns at once";
    launch.OpenFolder("C:\\Answers");
    ASSERT_TRUE(pwtest::WaitUntil([&] { return blocking.Opened().size() == 1; }, 5000));
    EXPECT_EQ(blocking.Opened(), std::vector<std::string>{"C:\\Answers"});

    SetEvent(blocking.release);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return blocking.Opened().size() == 2; }, 5000));
    EXPECT_EQ(blocking.Opened(),
              (std::vector<std::string>{"C:\\Answers", "C:\\Share that does not answer"}));
}

TEST(OpenFolder, ADoneMessageFromAnotherProgramIsIgnoredAndOursStillCounts) {
    BlockingShell blocking;
    blocking.blockedPath = "C:\\Still checking";
    FolderShell shell = blocking.Shell();
    shell.open = [](const std::string&) -> DWORD { return ERROR_ACCESS_DENIED; };
    pwtest::HostedLaunch launch(shell);
    launch.OpenFolder(blocking.blockedPath); // job 1: under way until released
    const HWND results = launch.Handle();
    // Any program can post this number with anything in it: once it crashed the program.
    // A launch taken as done before it is would tell what it has not yet found.
    auto watcher = WatchPlainMessage();
    for (const WPARAM number : {WPARAM(0), WPARAM(1), WPARAM(2), WPARAM(0xDEADBEEF)})
        PostMessageW(results, kLaunchDoneMessage, number, 0x12345678);
    pwtest::PumpFor(200);

    // Still ours once it is done: its refusal is told, once.
    SetEvent(blocking.release);
    EXPECT_EQ(Await(watcher).text,
              LaunchFailedText("C:\\Still checking", SystemReason(ERROR_ACCESS_DENIED)));
    watcher = WatchPlainMessage(500);
    PostMessageW(results, kLaunchDoneMessage, 1, 0);
    EXPECT_EQ(Await(watcher).text, "<no message appeared>") << "told once, then forgotten";
}

namespace {
FolderLaunch* g_pressedAgain = nullptr;
std::string g_missing;
} // namespace

TEST(OpenFolder, AMissingFolderHasOneMessageAtATimeAndAPressBringsItForward) {
    pwtest::HostedLaunch launch;
    g_pressedAgain = &launch;
    g_missing = "C:\\Missing " + std::to_string(GetTickCount());
    // Counts the messages for 2.5 s, then closes each one.
    const DWORD pid = GetCurrentProcessId();
    auto watcher = std::async(std::launch::async, [pid] {
        size_t most = 0;
        for (int i = 0; i < 125; ++i, Sleep(20))
            most = std::max(most, pwtest::FindTopLevels("#32770", "Pathwink", pid).size());
        for (int round = 0; round < 50; ++round, Sleep(100)) {
            const auto boxes = pwtest::FindTopLevels("#32770", "Pathwink", pid);
            if (boxes.empty())
                break;
            for (HWND box : boxes)
                PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        return most;
    });
    launch.OpenFolder(g_missing);
    // Pressed twice more (or held, where the system repeats keys) while the message is
    // open: the timer runs inside the message's own loop.
    SetTimer(nullptr, 0, 600, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        g_pressedAgain->OpenFolder(g_missing);
        g_pressedAgain->OpenFolder(g_missing);
    });
    ASSERT_TRUE(pwtest::WaitUntil(
        [&] { return watcher.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        20000));
    EXPECT_EQ(watcher.get(), 1u) << "one message per folder, however often its key is pressed";
    g_pressedAgain = nullptr;
}

TEST(OpenFolder, APathTooLongForExplorerIsToldAndNeverHandedToTheShell) {
    // Each component within the 255 a name may have; the whole 260 or more.
    const std::string root = pwtest::MakeTempFolder("pwlong");
    std::string folder = root;
    while (folder.size() < 300) {
        folder += "\\" + std::string(60, 'd');
        CreateDirectoryW(FileSystemPath(folder).c_str(), nullptr);
    }
    ASSERT_TRUE(IsExistingDirectory(folder)) << folder;
    EXPECT_EQ(ExploreFolder(folder), DWORD(ERROR_FILENAME_EXCED_RANGE))
        << "the shell is not asked (Wine's desktop dies of it)";
    pwtest::HostedLaunch launch;
    auto watcher = WatchPlainMessage();
    launch.OpenFolder(folder);
    EXPECT_EQ(Await(watcher).text, PathTooLongToOpenText(folder));
    pwtest::RemoveTree(root);
}

TEST(OpenFolder, AMessageAboutAPathOfThousandsOfCharactersFitsTheScreenShowingItsStartAndEnd) {
    std::string path = "C:\\pwstart";
    while (path.size() < 10000)
        path += "\\folder" + std::to_string(path.size());
    path += "\\pwend";
    const struct {
        const char* what;
        DWORD openError; // 0: the folder is missing
        std::string (*text)(const std::string& shownPath);
    } cases[] = {
        {"missing", 0, [](const std::string& p) { return MissingFolderText(p); }},
        {"refused", ERROR_ACCESS_DENIED,
         [](const std::string& p) {
             return LaunchFailedText(p, SystemReason(ERROR_ACCESS_DENIED));
         }},
        {"too long for Explorer", ERROR_FILENAME_EXCED_RANGE,
         [](const std::string& p) { return PathTooLongToOpenText(p); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FolderShell shell;
        const DWORD openError = c.openError;
        shell.isFolder = [openError](const std::string&) { return openError != 0; };
        shell.open = [openError](const std::string&) { return openError; };
        pwtest::HostedLaunch launch(shell);
        auto watcher = WatchPlainMessage();
        launch.OpenFolder(path);
        const SeenMessage seen = Await(watcher);
        EXPECT_LE(seen.rect.bottom - seen.rect.top, seen.screenHeight)
            << "the OK button is off-screen";
        EXPECT_GE(seen.rect.top, 0);
        const std::size_t cut = seen.text.find("...");
        ASSERT_NE(cut, std::string::npos) << seen.text.substr(0, 200);
        const std::string before = seen.text.substr(0, cut);
        const std::size_t end = seen.text.find("\\pwend");
        ASSERT_NE(end, std::string::npos) << "the path's end is shown";
        const std::string shownPath =
            before.substr(before.find("C:\\pwstart")) + seen.text.substr(cut, end + 6 - cut);
        EXPECT_EQ(seen.text, c.text(shownPath));
        EXPECT_EQ(shownPath, ShortenedInMiddle(path, Utf16Length(shownPath)));
    }
}

TEST(OpenFolder, AKeysWindowInFrontIsTriedFirstAndANewWindowOpensOnlyWhenItDidNotShowTheFolder) {
    const HWND dialog = reinterpret_cast<HWND>(0x1234);
    const struct {
        const char* what;
        std::optional<HWND> windowInFront;
        PlacementStep placedBy;
        bool exists;
        bool placeAsked;
        bool opened;
    } cases[] = {
        {"a key, the dialog in front shows it", dialog, PlacementStep::FileDialog, true, true,
         false},
        {"a key, the Explorer window in front shows it", dialog, PlacementStep::ExplorerInFront,
         true, true, false},
        {"a key, the window that shows it comes forward", dialog, PlacementStep::OpenExplorerWindow,
         true, true, false},
        {"a key, nothing showed it", dialog, PlacementStep::NewExplorerWindow, true, true, true},
        {"a key with nothing in front", HWND(nullptr), PlacementStep::NewExplorerWindow, true, true,
         true},
        {"the list or the tray menu, or the option off", std::nullopt, PlacementStep::FileDialog,
         true, false, true},
        {"a missing folder goes nowhere", dialog, PlacementStep::FileDialog, false, false, false},
    };
    for (const auto& c : cases) {
        std::mutex mutex;
        std::vector<HWND> asked;
        int opened = 0;
        std::atomic<bool> checked{false};
        FolderShell shell;
        shell.isFolder = [&](const std::string&) { return checked = true, c.exists; };
        shell.place = [&](HWND front, const std::string& path) {
            std::lock_guard<std::mutex> lock(mutex);
            EXPECT_EQ(path, "C:\\Work") << c.what;
            asked.push_back(front);
            return c.placedBy;
        };
        shell.open = [&](const std::string&) -> DWORD {
            std::lock_guard<std::mutex> lock(mutex);
            ++opened;
            return 0;
        };
        pwtest::HostedLaunch launch(shell);
        launch.OpenFolder("C:\\Work", FolderLaunch::IfMissing::StaySilent, c.windowInFront);
        // Done once every step it should take has run, and a moment for a step too many.
        ASSERT_TRUE(pwtest::WaitUntil(
            [&] {
                std::lock_guard<std::mutex> lock(mutex);
                return checked && asked.size() >= (c.placeAsked ? 1u : 0u) && opened >= c.opened;
            },
            5000))
            << c.what;
        pwtest::PumpFor(100);
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(asked.size(), c.placeAsked ? 1u : 0u) << c.what;
        if (c.placeAsked && !asked.empty()) {
            EXPECT_EQ(asked[0], *c.windowInFront) << c.what << ": the window of the key press";
        }
        EXPECT_EQ(opened, c.opened ? 1 : 0) << c.what;
    }
}

TEST(RunBounded, WorkGivenUpNeverActsLaterAndWorkThatActedInTimeCountsAsDone) {
    // Under Wine the shell's window list can take seconds to answer, after which a
    // thread given up still went on to change the window in front.
    const struct {
        const char* what;
        DWORD msBeforeActing, msAfterActing;
        bool done; // and acted, once; work given up never acts
    } cases[] = {
        {"work in time", 0, 0, true},
        {"slow before acting: given up", 600, 0, false},
        {"acted in time and ends late: done, and nothing else is tried", 0, 600, true},
    };
    for (const auto& c : cases) {
        auto acted = std::make_shared<std::atomic<int>>(0);
        const bool done = RunBounded(
            [&c, acted](const std::function<bool()>& commit) {
                Sleep(c.msBeforeActing);
                if (!commit())
                    return false;
                ++*acted;
                Sleep(c.msAfterActing);
                return true;
            },
            200);
        EXPECT_EQ(done, c.done) << c.what;
        Sleep(800); // the given-up thread has long reached its action
        EXPECT_EQ(*acted, c.done ? 1 : 0) << c.what;
    }
}
