// A save killed at any moment leaves the settings file whole: a helper process
// saves two 500-entry contents in turn and is killed at a random moment; the file
// must then hold one of the two contents exactly. Run for an ordinary file and for
// one with a second name, as Scoop keeps a persisted file: that one must keep both
// names through every save, and read the same through each after a kill.

#include "store/FileReplace.h"
#include "store/PendingCopy.h"
#include "tests/store/KillContent.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/support/TestSupport.h"
#include "win/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

using namespace pw;
using namespace storetest;

namespace {

constexpr UINT kKilled = 0xDEAD;

std::vector<unsigned long> TempFileOwners(const std::string& folder) {
    std::vector<unsigned long> owners;
    for (const std::string& name : Listing(folder))
        if (auto owner = SaveTempFileOwner(name))
            owners.push_back(*owner);
    return owners;
}

std::string Describe(const std::optional<std::string>& bytes, const std::string& a,
                     const std::string& b) {
    if (!bytes)
        return "no settings file";
    auto firstDifference = [&](const std::string& other) {
        const auto m = std::mismatch(bytes->begin(), bytes->end(), other.begin(), other.end());
        return std::to_string(m.first - bytes->begin());
    };
    return std::to_string(bytes->size()) + " bytes (A has " + std::to_string(a.size()) + ", B " +
           std::to_string(b.size()) + "); first difference from A at " + firstDifference(a) +
           ", from B at " + firstDifference(b);
}

} // namespace

// The number of names the settings file has: 1, or 2 with a second one in a folder
// of its own (Scoop's "persist" folder).
class SaveKill : public ::testing::TestWithParam<DWORD> {};

INSTANTIATE_TEST_SUITE_P(Names, SaveKill, ::testing::Values(1, 2));

TEST_P(SaveKill, AKilledSaveLeavesEitherTheWholeOldOrTheWholeNewFile) {
    const DWORD names = GetParam();
    Sandbox box;
    const std::string registryBase = box.registryBase + "\\Kill";
    const std::string exe = box.exePath;
    SettingsStore store([exe] { return exe; }, killtest::KeysUnder(registryBase));
    const std::vector<StoredShortcut> a = killtest::EntriesOf(0), b = killtest::EntriesOf(1);

    store.SaveSettings(killtest::OptionsOf(1), b);
    const std::string bytesB = ReadBytes(box.iniPath).value_or("");
    // Every name the file is read through: the settings file and its second name.
    std::vector<std::string> paths = {box.iniPath};
    if (names == 2) {
        const std::string persist = box.folder + "\\persist";
        ASSERT_TRUE(CreateDirectoryA(persist.c_str(), nullptr));
        paths.push_back(persist + "\\Pathwink.INI");
        ASSERT_TRUE(CreateHardLinkA(paths[1].c_str(), box.iniPath.c_str(), nullptr))
            << GetLastError();
    }
    ASSERT_EQ(pwtest::FileNameCount(box.iniPath), names);
    const std::string pending = Utf8(PendingCopyOf(Wide(box.iniPath)));
    store.SaveSettings(killtest::OptionsOf(0), a);
    const std::string bytesA = ReadBytes(box.iniPath).value_or("");
    store.SaveSettings(killtest::OptionsOf(1), b);
    ASSERT_EQ(ReadBytes(box.iniPath), bytesB) << "a save of the same content gives the same bytes";
    store.SaveSettings(killtest::OptionsOf(0), a);
    ASSERT_EQ(ReadBytes(box.iniPath), bytesA);
    ASSERT_NE(bytesA, bytesB);
    const auto entries = ReadStoredShortcuts(box.iniPath);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(killtest::kEntries));
    ASSERT_EQ(pwtest::FileNameCount(box.iniPath), names) << "the saves kept every name";

    const std::string helper = BesideThisProgram("store_save_loop.exe");
    const unsigned seed = GetTickCount();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> runTime(20, 200);
    SCOPED_TRACE("random seed " + std::to_string(seed));

    int seenA = 0, seenB = 0, leftBehind = 0, midWrite = 0;
    constexpr int kRuns = 60;
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const std::string eventName = "Local\\PathwinkSaveKill" +
                                      std::to_string(GetCurrentProcessId()) + "_" +
                                      std::to_string(run);
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
        ASSERT_NE(ready, nullptr);
        std::string command =
            "\"" + helper + "\" \"" + exe + "\" " + eventName + " \"" + registryBase + "\"";
        PROCESS_INFORMATION pi{};
        // Retried, so that only the saves decide the outcome.
        ASSERT_TRUE(pwtest::StartProcess(command, "", pi)) << helper << ": " << GetLastError();
        HANDLE waits[] = {ready, pi.hProcess};
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, 20000);
        if (woke != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, kKilled);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            CloseHandle(ready);
            FAIL() << "the helper did not get to its loop: it ended or hung";
        }

        const int ms = runTime(random);
        Sleep(ms);
        ASSERT_TRUE(TerminateProcess(pi.hProcess, kKilled));
        ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
        DWORD exitCode = 0;
        GetExitCodeProcess(pi.hProcess, &exitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        CloseHandle(ready);
        ASSERT_EQ(exitCode, kKilled) << "the helper stopped by itself: a save failed";

        // A kill while a linked file was written in place leaves a whole pending copy of
        // the new content and the old, and only then may the file be neither A nor B.
        const auto pendingBytes = ReadBytes(pending);
        const auto copy = pendingBytes ? ReadPendingCopy(*pendingBytes) : std::nullopt;
        const std::string newBytes = copy ? std::string(copy->newContent) : "";
        if (pendingBytes) {
            ++midWrite;
            ASSERT_TRUE(copy) << "the pending copy is not whole";
            EXPECT_TRUE((newBytes == bytesA && copy->oldContent == bytesB) ||
                        (newBytes == bytesB && copy->oldContent == bytesA))
                << "the pending copy's new content: " << Describe(newBytes, bytesA, bytesB);
        }
        // What the next start reads, through every name.
        const Options loaded = store.LoadOptions();
        const auto bytes = ReadBytes(box.iniPath);
        if (bytes == bytesA && killtest::AreOptionsOf(loaded, 0))
            ++seenA;
        else if (bytes == bytesB && killtest::AreOptionsOf(loaded, 1))
            ++seenB;
        else
            FAIL() << "after " << ms
                   << " ms: the file is neither A nor B: " << Describe(bytes, bytesA, bytesB);
        if (pendingBytes) {
            EXPECT_EQ(bytes, newBytes) << "the load made the new content whole";
        }
        for (const std::string& path : paths)
            EXPECT_EQ(ReadBytes(path), bytes) << path;
        EXPECT_EQ(pwtest::FileNameCount(box.iniPath), names);
        EXPECT_FALSE(ReadBytes(pending)) << "the load removed the pending copy";

        // A kill inside a save leaves that save's temporary file. Each helper saves
        // once before it signals, which removes what the helper before it left: only
        // the last helper's can be there.
        const auto owners = TempFileOwners(box.folder);
        EXPECT_EQ(Listing(box.folder).size(), names + owners.size())
            << "the settings file, persist and temporary files: no kill's copy was set aside";
        for (unsigned long owner : owners)
            EXPECT_EQ(owner, pi.dwProcessId) << "a temporary file of an earlier helper stayed";
        leftBehind += std::count(owners.begin(), owners.end(), pi.dwProcessId);
    }
    std::printf("save-kill, %lu name(s): %d runs, %d ended on A, %d on B, %d left a temporary "
                "file, %d were writing in place\n",
                names, kRuns, seenA, seenB, leftBehind, midWrite);
    EXPECT_GT(seenA, 0);
    EXPECT_GT(seenB, 0) << "the file never changed: the kills proved nothing";
    EXPECT_GT(leftBehind, 0) << "no kill landed inside a save";

    // The next save removes what the killed helpers left and the file reads as A.
    store.SaveSettings(killtest::OptionsOf(0), a);
    EXPECT_TRUE(TempFileOwners(box.folder).empty());
    for (const std::string& path : paths)
        EXPECT_EQ(ReadBytes(path), bytesA) << path;
    EXPECT_EQ(ReadStoredShortcuts(box.iniPath), entries);
    EXPECT_EQ(pwtest::FileNameCount(box.iniPath), names);
}
