// The settings file under Wine with real files: what loads, what a save leaves in
// the file, that a failed save changes nothing, and the run-at-logon value.

#include "store/Settings.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/support/TestSupport.h"
#include "win/Errors.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <functional>

using namespace pw;
using namespace storetest;

namespace {

const char kExample[] = "[Options]\r\n"
                        "[Shortcuts]\r\n"
                        "Count=2\r\n"
                        "0Path=C:\\Projects\r\n"
                        "0ShortCut=49220\r\n"
                        "1Path=D:\\Music\r\n"
                        "1ShortCut=0\r\n";

constexpr KeyCombination kCtrlAltShiftF7 = 0xE076;
constexpr KeyCombination kCtrlAltShiftF8 = 0xE077;

std::vector<std::string> Paths(const ShortcutTable& table) {
    std::vector<std::string> paths;
    for (int i = 0; i < table.Count(); ++i)
        paths.push_back(table.Path(i));
    return paths;
}

// The message of the UserError that f throws, or a text saying what happened instead.
std::string UserErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const UserError& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("<other exception: ") + e.what() + ">";
    }
    return "<no error>";
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines)
        s += l + "|";
    return s;
}

} // namespace

namespace {

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

} // namespace

TEST(Settings, TheExampleFileLoadsAndSavesBackToTheSameKeysAndValues) {
    Sandbox box;
    box.WriteIni(kExample);
    SettingsStore store = box.Store();
    EXPECT_EQ(store.SettingsFileName(), box.iniPath);

    const Options options = store.LoadOptions();
    EXPECT_TRUE(options.warnOfWeakKeys);
    EXPECT_TRUE(options.confirmExit);
    EXPECT_FALSE(options.doubleClickEdits);
    EXPECT_TRUE(options.runAtLogon);
    EXPECT_TRUE(options.warnOfAltGr) << "a file of an earlier version warns of AltGr";
    EXPECT_TRUE(options.openInFront) << "and opens folders in the window in front";

    std::vector<std::string> pressed;
    ShortcutTable table([&](const std::string& folder) { pressed.push_back(folder); });
    LoadInto(store, table);
    ASSERT_EQ(table.Count(), 2);
    EXPECT_EQ(Paths(table), (std::vector<std::string>{"C:\\Projects", "D:\\Music"}));
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(table.Binding(i).OnPressed);
        table.Binding(i).OnPressed();
    }
    EXPECT_EQ(pressed, Paths(table)) << "a loaded shortcut's press reports its folder";
    EXPECT_EQ(table.Binding(0).Key(), 49220);
    EXPECT_EQ(table.Binding(1).Key(), 0);

    store.SaveSettings(options, table.Stored());
    EXPECT_EQ(Lines(SectionLines(box.iniPath, "Options")),
              "WarnWeakKey=1|ConfirmExit=1|DClickEdits=0|RunOnStarup=1|WarnAltGr=1|OpenInFront=1|"
              "ShowAllFoldersKey=49184|");
    EXPECT_EQ(Lines(SectionLines(box.iniPath, "Shortcuts")),
              "Count=2|0Path=C:\\Projects|0ShortCut=49220|1Path=D:\\Music|1ShortCut=0|");
}

TEST(Settings, LoadingSortsByPathAndSavingRenumbers) {
    Sandbox box;
    box.WriteIni("[Shortcuts]\r\nCount=2\r\n0Path=D:\\B\r\n0ShortCut=57462\r\n"
                 "1Path=C:\\A\r\n1ShortCut=0\r\n");
    SettingsStore store = box.Store();
    ShortcutTable table(nullptr);
    LoadInto(store, table);
    EXPECT_EQ(Paths(table), (std::vector<std::string>{"C:\\A", "D:\\B"}));
    store.SaveSettings(Options{}, table.Stored());
    EXPECT_EQ(Lines(SectionLines(box.iniPath, "Shortcuts")),
              "Count=2|0Path=C:\\A|0ShortCut=0|1Path=D:\\B|1ShortCut=57462|");
}

TEST(Settings, AStoredKeyIsTheLow16BitsOfOurNumberReading) {
    const struct {
        const char* stored; // as the line holds it after "nShortCut="
        KeyCombination key;
    } cases[] = {
        {"65536", 0},   {"-1", 65535},     {"0xC044", 49220}, {"$C044", 49220},
        {"x44", 0x44},  {"X44", 0x44},     {"\" 12\"", 12},   {"+5", 5},
        {"12 ", 12}, // the reader strips the trailing blank
        {"\"12 \"", 0}, {"2147483648", 0}, {"0x", 0},         {"abc", 0},
        {"", 0},        {"-65535", 1},     {"0X1f", 31},      {"-$10", 65520},
        {"1.5", 0},     {"0x10000", 0},    {"'0x44'", 0x44},  {"2147483647", 65535},
    };
    Sandbox box;
    std::string ini = "[Shortcuts]\r\nCount=" + std::to_string(std::size(cases)) + "\r\n";
    for (std::size_t i = 0; i < std::size(cases); ++i)
        ini += std::to_string(i) + "Path=P" + std::to_string(i) + "\r\n" + std::to_string(i) +
               "ShortCut=" + cases[i].stored + "\r\n";
    box.WriteIni(ini);
    const auto entries = ReadStoredShortcuts(box.iniPath);
    ASSERT_EQ(entries.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(entries[i].path, "P" + std::to_string(i));
        EXPECT_EQ(entries[i].key, cases[i].key) << "stored as " << cases[i].stored;
    }
}

TEST(Settings, OptionsAreNumbersAndOnlyAnAbsentOrNonNumericValueTakesTheDefault) {
    const struct {
        const char* line; // nullptr: no line at all
        bool warnWeakKey; // default true
        bool dClickEdits; // default false
        const char* savedWarn;
    } cases[] = {
        {"yes", true, false, "1"},  {"0", false, false, "0"},     {"7", true, true, "1"},
        {"", true, false, "1"},     {nullptr, true, false, "1"},  {"-1", true, true, "1"},
        {"0x0", false, false, "0"}, {"\"0\"", false, false, "0"}, {" 2 ", true, true, "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line ? c.line : "<absent>");
        Sandbox box;
        std::string ini = "[Options]\r\n";
        if (c.line)
            ini += std::string("WarnWeakKey=") + c.line + "\r\nDClickEdits=" + c.line +
                   "\r\nWarnAltGr=" + c.line + "\r\nOpenInFront=" + c.line + "\r\n";
        box.WriteIni(ini);
        SettingsStore store = box.Store();
        const Options options = store.LoadOptions();
        EXPECT_EQ(options.warnOfWeakKeys, c.warnWeakKey);
        EXPECT_EQ(options.doubleClickEdits, c.dClickEdits);
        EXPECT_EQ(options.warnOfAltGr, c.warnWeakKey) << "on by default like the weak-key warning";
        EXPECT_EQ(options.openInFront, c.warnWeakKey) << "on by default like the weak-key warning";
        EXPECT_TRUE(options.confirmExit);
        EXPECT_TRUE(options.runAtLogon);
        ShortcutTable table(nullptr);
        store.SaveSettings(options, table.Stored());
        EXPECT_EQ(ProfileText(box.iniPath, "Options", "WarnWeakKey"), c.savedWarn);
        EXPECT_EQ(ProfileText(box.iniPath, "Options", "WarnAltGr"), c.savedWarn);
        EXPECT_EQ(ProfileText(box.iniPath, "Options", "OpenInFront"), c.savedWarn);
    }
}

TEST(Settings, TheKeyThatShowsAllFoldersIsANumberAndAbsentOrNonNumericGivesCtrlAltSpace) {
    constexpr KeyCombination kCtrlAltSpace = kWithCtrl | kWithAlt | VK_SPACE;
    const struct {
        const char* line; // nullptr: no line at all
        KeyCombination key;
    } cases[] = {
        {nullptr, kCtrlAltSpace},
        {"abc", kCtrlAltSpace},
        {"", kCtrlAltSpace},
        {"0", 0}, // "(No HotKey)": the switcher has no key
        {"49220", kWithCtrl | kWithAlt | 'D'},
        {"0x10044", 0x44}, // the low 16 bits, as a shortcut's key
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line ? c.line : "<absent>");
        Sandbox box;
        box.WriteIni(c.line ? std::string("[Options]\r\nShowAllFoldersKey=") + c.line + "\r\n"
                            : std::string("[Options]\r\n"));
        SettingsStore store = box.Store();
        const Options options = store.LoadOptions();
        EXPECT_EQ(options.showAllFoldersKey, c.key);
        store.SaveSettings(options, {});
        EXPECT_EQ(ProfileText(box.iniPath, "Options", "ShowAllFoldersKey"), std::to_string(c.key));
    }
}

TEST(Settings, AMissingFileGivesTheDefaultsAndAnEmptyTable) {
    Sandbox box;
    SettingsStore store = box.Store();
    const Options options = store.LoadOptions();
    EXPECT_TRUE(options.warnOfWeakKeys);
    EXPECT_TRUE(options.confirmExit);
    EXPECT_FALSE(options.doubleClickEdits);
    EXPECT_TRUE(options.runAtLogon);
    EXPECT_TRUE(options.warnOfAltGr);
    EXPECT_TRUE(options.openInFront);
    ShortcutTable table(nullptr);
    LoadInto(store, table);
    EXPECT_EQ(table.Count(), 0);
    EXPECT_FALSE(ReadBytes(box.iniPath)) << "loading creates no file";
}

TEST(Settings, CountDecidesHowManyEntriesLoad) {
    const struct {
        const char* countLine;
        const char* entries;
        std::vector<StoredShortcut> expected;
    } cases[] = {
        {"Count=3", "1Path=D:\\One\r\n1ShortCut=5\r\n", {{"C:\\", 0}, {"D:\\One", 5}, {"C:\\", 0}}},
        {"Count=-1", "0Path=D:\\x\r\n", {}},
        {"Count=0", "0Path=D:\\x\r\n", {}},
        {"Count=abc", "0Path=D:\\x\r\n", {}},
        {"", "0Path=D:\\x\r\n", {}},
        {"Count=", "0Path=D:\\x\r\n", {}},
        {"Count=0x1", "0Path=D:\\x\r\n0ShortCut=9\r\n", {{"D:\\x", 9}}},
        {"Count=-2147483648", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.countLine);
        Sandbox box;
        box.WriteIni(std::string("[Shortcuts]\r\n") + c.countLine + "\r\n" + c.entries);
        EXPECT_EQ(ReadStoredShortcuts(box.iniPath), c.expected);
    }
}

TEST(Settings, EveryStoredEntryLoadsAndAHugeCountMakesUpNoneAbove1000) {
    Sandbox box;
    std::string ini = "[Shortcuts]\r\nCount=2147483647\r\n";
    for (int i : {998, 999, 1000, 1001, 123456})
        ini += std::to_string(i) + "Path=E:\\" + std::to_string(i) + "\r\n";
    box.WriteIni(ini);
    ShortcutTable table(nullptr);
    LoadInto(box.Store(), table);
    ASSERT_EQ(table.Count(), kMaxLoadedShortcuts + 3);
    const auto paths = Paths(table);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "C:\\"), 998) << "made up below 1,000 only";
    for (int i : {998, 999, 1000, 1001, 123456})
        EXPECT_EQ(std::count(paths.begin(), paths.end(), "E:\\" + std::to_string(i)), 1) << i;
}

TEST(Settings, EntriesWithEqualPathsTradePlacesAtEachLoad) {
    const struct {
        const char* name;
        const char* path0;
        const char* path1;
    } cases[] = {
        {"same text", "C:\\Same", "C:\\Same"},
        {"differing in case", "C:\\same", "C:\\SAME"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        box.WriteIni(std::string("[Shortcuts]\r\nCount=2\r\n0Path=") + c.path0 +
                     "\r\n0ShortCut=57462\r\n1Path=" + c.path1 + "\r\n1ShortCut=57463\r\n");
        SettingsStore store = box.Store();
        for (int round = 0; round < 3; ++round) {
            // Stored as number 1 -> first in the table -> saved as number 0.
            const bool swapped = round % 2 == 0;
            ShortcutTable table(nullptr);
            LoadInto(store, table);
            ASSERT_EQ(table.Count(), 2);
            EXPECT_EQ(table.Path(0), swapped ? c.path1 : c.path0) << "round " << round;
            EXPECT_EQ(table.Binding(0).Key(), swapped ? 57463 : 57462) << "round " << round;
            store.SaveSettings(Options{}, table.Stored());
        }
    }
}

TEST(Settings, TheSameKeyTwiceLeavesOnlyTheFirstLoadedRegistered) {
    Sandbox box;
    box.WriteIni("[Shortcuts]\r\nCount=2\r\n0Path=C:\\Second\r\n0ShortCut=57462\r\n"
                 "1Path=C:\\First\r\n1ShortCut=57462\r\n");
    ShortcutTable table(nullptr);
    LoadInto(box.Store(), table);
    ASSERT_EQ(Paths(table), (std::vector<std::string>{"C:\\First", "C:\\Second"}));
    EXPECT_FALSE(table.Binding(0).Registered()) << "loaded second: the key was taken";
    EXPECT_TRUE(table.Binding(1).Registered()) << "loaded first";
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(table.Binding(i).Key(), kCtrlAltShiftF7);
    }
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F7));
}

TEST(Settings, SavingAnEmptyTableLeavesOptionsAndNoShortcutsSection) {
    const struct {
        const char* name;
        const char* ini;
        int entries;
    } cases[] = {
        {"example", kExample, 2},
        {"two sections of the name",
         "[Shortcuts]\r\nCount=1\r\n0Path=A\r\n[Shortcuts]\r\nCount=1\r\n0Path=B\r\n"
         "[shortcuts ]\r\nCount=1\r\n0Path=C\r\n",
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        box.WriteIni(c.ini);
        SettingsStore store = box.Store();
        ShortcutTable table(nullptr);
        LoadInto(store, table);
        ASSERT_EQ(table.Count(), c.entries);
        while (table.Count() > 0)
            table.Delete(table.Count() - 1);
        store.SaveSettings(Options{}, table.Stored());
        EXPECT_TRUE(FileHasSection(box.iniPath, "Options"));
        EXPECT_FALSE(FileHasSection(box.iniPath, "Shortcuts"));
        ShortcutTable reloaded(nullptr);
        LoadInto(store, reloaded);
        EXPECT_EQ(reloaded.Count(), 0);
    }
}

TEST(Settings, OtherSectionsKeysAndCommentsSurviveASave) {
    Sandbox box;
    box.WriteIni("; kept comment\r\n[Window]\r\nLeft=10\r\n[Options]\r\nExtra=keep me\r\n"
                 "WarnWeakKey=0\r\n[Shortcuts]\r\nCount=1\r\n0Path=C:\\Old\r\nStray=gone\r\n"
                 "[Later]\r\nK=V\r\n");
    SettingsStore store = box.Store();
    ShortcutTable table(nullptr);
    LoadInto(store, table);
    ASSERT_TRUE(table.AddShortcut("C:\\New", 0));
    Options options;
    options.doubleClickEdits = true;
    store.SaveSettings(options, table.Stored());

    EXPECT_EQ(ProfileText(box.iniPath, "Window", "Left"), "10");
    EXPECT_EQ(ProfileText(box.iniPath, "Later", "K"), "V");
    EXPECT_EQ(ProfileText(box.iniPath, "Options", "Extra"), "keep me");
    EXPECT_EQ(ProfileText(box.iniPath, "Options", "WarnWeakKey"), "1");
    EXPECT_EQ(ProfileText(box.iniPath, "Options", "DClickEdits"), "1");
    EXPECT_EQ(Lines(SectionLines(box.iniPath, "Shortcuts")),
              "Count=2|0Path=C:\\New|0ShortCut=0|1Path=C:\\Old|1ShortCut=0|")
        << "[Shortcuts] is ours: unknown keys in it go";
    const std::string bytes = ReadBytes(box.iniPath).value_or("");
    EXPECT_NE(bytes.find("; kept comment"), std::string::npos) << bytes;
}

TEST(Settings, AwkwardPathsReadBackExactly) {
    const std::vector<std::string> paths = {
        " lead",
        "trail ",
        "  both  ",
        "\"quoted\"",
        "'single'",
        "\"",
        "'",
        "\"open",
        "close\"",
        "'mixed\"",
        "a=b",
        "=start",
        ";semi",
        "[bracket]",
        "[Options]",
        "&amp",
        "C:\\caf\xC3\xA9",      // é
        "\xC2\xA0nbsp\xC2\xA0", // no-break spaces
        "",
        "x\x7F",
        "in \"the\" middle",
        "\"\"",
        std::string(300, 'L'),
        "C:\\%TEMP%",
        "C:\\a;b=c\"d'e",
    };
    Sandbox box;
    SettingsStore store = box.Store();
    ShortcutTable table(nullptr);
    for (const auto& p : paths)
        ASSERT_TRUE(table.AddShortcut(p, 0));
    store.SaveSettings(Options{}, table.Stored());

    ShortcutTable reloaded(nullptr);
    LoadInto(store, reloaded);
    ASSERT_EQ(reloaded.Count(), table.Count());
    std::vector<std::string> before = Paths(table), after = Paths(reloaded);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);
    // The profile reader, asked key by key, agrees.
    for (int i = 0; i < table.Count(); ++i)
        EXPECT_EQ(ProfileText(box.iniPath, "Shortcuts", ShortcutPathKey(i)), table.Path(i));
    // A plain path is written without quotes.
    ASSERT_TRUE(table.AddShortcut("C:\\Plain path", 0));
    store.SaveSettings(Options{}, table.Stored());
    EXPECT_NE(ReadBytes(box.iniPath)->find("Path=C:\\Plain path\r\n"), std::string::npos);
}

TEST(Settings, APathWithALineBreakIsRefusedAndNothingChanges) {
    for (const char* bad : {"C:\\line\r\nbreak", "C:\\new\nline", "C:\\return\r"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(bad)));
        Sandbox box;
        box.WriteIni(kExample);
        SettingsStore store = box.Store();
        ShortcutTable table(nullptr);
        LoadInto(store, table);
        ASSERT_TRUE(table.AddShortcut(bad, 0));
        EXPECT_EQ(FirstLine(UserErrorOf([&] { store.SaveSettings(Options{}, table.Stored()); })),
                  "Unable to write to " + box.iniPath + ".");
        EXPECT_EQ(ReadBytes(box.iniPath), std::string(kExample));
        EXPECT_EQ(Listing(box.folder), std::vector<std::string>{"Pathwink.INI"});
        EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, box.keys.machineKey, "Pathwink"));
    }
}

TEST(Settings, EveryOtherCharacterALoadedPathHoldsIsSavedAndReadBack) {
    // Whatever was loaded must save again, or the program could never save (nor exit).
    Sandbox box;
    box.WriteIni("[Shortcuts]\r\nCount=3\r\n0Path=C:\\tab\there\r\n0ShortCut=0\r\n"
                 "1Path=C:\\\x01\x1A\x7F\r\n1ShortCut=0\r\n2Path=C:\\\ttab first\r\n"
                 "2ShortCut=0\r\n");
    SettingsStore store = box.Store();
    ShortcutTable table(nullptr);
    LoadInto(store, table);
    ASSERT_EQ(table.Count(), 3);
    std::vector<std::string> before;
    for (int i = 0; i < table.Count(); ++i)
        before.push_back(table.Path(i));
    EXPECT_EQ(UserErrorOf([&] { store.SaveSettings(Options{}, table.Stored()); }), "<no error>");
    ShortcutTable again(nullptr);
    LoadInto(store, again);
    ASSERT_EQ(again.Count(), 3);
    for (int i = 0; i < again.Count(); ++i)
        EXPECT_EQ(again.Path(i), before[i]);
}

TEST(Settings, AnUnwritableSettingsFileGivesTheErrorAndChangesNothing) {
    enum Kind { ReadOnlyAttribute, HeldWithoutSharing, HeldSharingReadOnly, IsAFolder, NoFolder };
    const struct {
        const char* name;
        Kind kind;
    } cases[] = {
        {"read-only attribute", ReadOnlyAttribute},
        {"held open without sharing", HeldWithoutSharing},
        {"held open sharing reads only", HeldSharingReadOnly},
        {"the settings path is a folder", IsAFolder},
        {"the folder is missing", NoFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        std::string exe = box.exePath, ini = box.iniPath;
        if (c.kind == NoFolder) {
            exe = box.folder + "\\missing\\Pathwink.exe";
            ini = box.folder + "\\missing\\Pathwink.INI";
        }
        if (c.kind == IsAFolder) {
            ASSERT_TRUE(CreateDirectoryA(ini.c_str(), nullptr));
        } else if (c.kind != NoFolder) {
            box.WriteIni(kExample);
        }
        const auto bytesBefore = ReadBytes(ini);
        const auto listingBefore = Listing(box.folder);

        SettingsStore store([exe] { return exe; }, box.keys);
        ShortcutTable table(nullptr);
        LoadInto(store, table);
        ASSERT_TRUE(table.AddShortcut("C:\\Added", 0));
        const int count = table.Count();

        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.kind == ReadOnlyAttribute) {
            ASSERT_TRUE(SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        if (c.kind == HeldWithoutSharing || c.kind == HeldSharingReadOnly) {
            held = CreateFileA(ini.c_str(), GENERIC_READ | GENERIC_WRITE,
                               c.kind == HeldWithoutSharing ? 0 : FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
        }

        const std::string error =
            UserErrorOf([&] { store.SaveSettings(Options{}, table.Stored()); });
        EXPECT_EQ(FirstLine(error), "Unable to write to " + ini + ".");
        EXPECT_GT(error.size(), FirstLine(error).size() + 1)
            << "the system's reason follows on a line of its own: " << error;

        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        if (c.kind == ReadOnlyAttribute) {
            EXPECT_EQ(GetFileAttributesA(ini.c_str()) & FILE_ATTRIBUTE_READONLY,
                      static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
            SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        EXPECT_EQ(ReadBytes(ini), bytesBefore) << "the file's bytes are unchanged";
        EXPECT_EQ(Listing(box.folder), listingBefore) << "no temporary file is left behind";
        EXPECT_EQ(table.Count(), count) << "the table keeps the change";
        EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, box.keys.machineKey, "Pathwink"))
            << "the registry is not touched";
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, box.keys.userKey));
    }
}

TEST(Settings, LeftoverTemporaryFilesOfEndedProcessesGoAtTheNextSave) {
    Sandbox box;
    box.WriteIni(kExample);

    // A process that has ended: the helper program without arguments exits at once.
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + BesideThisProgram("store_save_loop.exe") + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &pi));
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    const DWORD ended = pi.dwProcessId;

    // A process that runs: any other of the prefix (services, explorer, ...).
    DWORD running = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID != GetCurrentProcessId() && entry.th32ProcessID != ended &&
            entry.th32ProcessID != 0) {
            running = entry.th32ProcessID;
            break;
        }
    CloseHandle(snapshot);
    ASSERT_NE(running, 0u);

    using pwtest::LeafName;
    auto tempName = [](DWORD pid) { return LeafName(SaveTempFileName("Pathwink.INI", pid)); };
    const std::vector<std::string> stale = {
        tempName(ended),
        tempName(GetCurrentProcessId()), // an earlier process of the same id
    };
    const std::vector<std::string> kept = {
        tempName(running), // its save may be under way
        "~pwx.tmp",
        "Pathwink.INI.bak",
        "~other.tmp",
    };
    for (const auto& name : stale)
        WriteBytes(box.folder + "\\" + name, "[Shortcuts]\r\nCount=1\r\n");
    for (const auto& name : kept)
        WriteBytes(box.folder + "\\" + name, "x");
    SetFileAttributesA((box.folder + "\\" + stale[0]).c_str(), FILE_ATTRIBUTE_READONLY);

    SettingsStore store = box.Store();
    ShortcutTable table(nullptr);
    LoadInto(store, table);
    store.SaveSettings(Options{}, table.Stored());

    std::vector<std::string> expected = kept;
    expected.push_back("Pathwink.INI");
    std::sort(expected.begin(), expected.end());
    auto listing = Listing(box.folder);
    std::sort(listing.begin(), listing.end());
    EXPECT_EQ(listing, expected);
    EXPECT_EQ(ReadStoredShortcuts(box.iniPath).size(), 2u) << "the save itself went through";
}

TEST(Settings, TheFileNameFollowsTheExecutablePathAtEachLoadAndSave) {
    Sandbox box;
    std::string exe = box.folder + "\\First.exe";
    SettingsStore store([&exe] { return exe; }, box.keys);
    EXPECT_EQ(store.SettingsFileName(), box.folder + "\\First.INI");
    ShortcutTable table(nullptr);
    ASSERT_TRUE(table.AddShortcut("C:\\X", 0));
    store.SaveSettings(Options{}, table.Stored());
    exe = box.folder + "\\Second.bin";
    store.SaveSettings(Options{}, table.Stored());
    EXPECT_TRUE(ReadBytes(box.folder + "\\First.INI"));
    EXPECT_TRUE(ReadBytes(box.folder + "\\Second.INI"));
    const auto value = ReadRegValue(HKEY_CURRENT_USER, box.keys.machineKey, "Pathwink");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, RunAtLogonCommand(exe) + std::string(1, '\0'));

    SettingsStore running; // the real executable: this test program
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_EQ(running.ExecutablePath(), self);
    EXPECT_EQ(running.SettingsFileName(), SettingsFileNameFor(self));
}

TEST(RunAtLogon, OneValueInTheKeyThatSuitsWhereTheProgramLies) {
    // "ours" is this executable's command; "other" another copy's.
    const struct {
        const char* what;
        bool isProtected;
        bool machineKeyExists;
        const char* machineBefore; // nullptr: no value
        const char* userBefore;
        bool machineAfterIsOurs, userAfterIsOurs;
        const char* machineAfter; // when not ours: the value expected, nullptr for none
        const char* userAfter;
    } cases[] = {
        {"protected: the machine's key", true, true, nullptr, nullptr, true, false, nullptr,
         nullptr},
        {"protected: our user value goes", true, true, nullptr, "ours", true, false, nullptr,
         nullptr},
        {"protected: another copy's user value stays", true, true, nullptr, "other", true, false,
         nullptr, "other"},
        {"unprotected: the user's key", false, true, nullptr, nullptr, false, true, nullptr,
         nullptr},
        {"unprotected: our machine value goes", false, true, "ours", nullptr, false, true, nullptr,
         nullptr},
        {"unprotected: another copy's machine value stays", false, true, "other", nullptr, false,
         true, "other", nullptr},
        {"protected, no machine key: the user's, and no key is made", true, false, nullptr, nullptr,
         false, true, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        RunAtLogonKeys keys = box.keys;
        const bool isProtected = c.isProtected;
        keys.isProtected = [isProtected](const std::string&) { return isProtected; };
        if (!c.machineKeyExists)
            keys.machineKey = box.registryBase + "\\No such key";
        const std::string ours = "\"" + box.exePath + "\" tray";
        const std::string other = "\"C:\\Other\\Pathwink.exe\" tray";
        auto text = [&](const char* which) { return std::string(which) == "ours" ? ours : other; };
        if (c.machineBefore)
            SetRegText(HKEY_CURRENT_USER, keys.machineKey, "Pathwink", text(c.machineBefore));
        if (c.userBefore)
            SetRegText(HKEY_CURRENT_USER, keys.userKey, "Pathwink", text(c.userBefore));

        SettingsStore store([&box] { return box.exePath; }, keys);
        ShortcutTable table(nullptr);
        EXPECT_EQ(UserErrorOf([&] { store.SaveSettings(Options{}, table.Stored()); }),
                  "<no error>");

        auto expect = [&](const std::string& key, bool isOurs, const char* otherwise) {
            const auto value = ReadRegValue(HKEY_CURRENT_USER, key, "Pathwink");
            if (isOurs) {
                ASSERT_TRUE(value) << key;
                EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
                EXPECT_EQ(value->data, ours + std::string(1, '\0'))
                    << "the text with its terminating zero";
            } else if (otherwise) {
                ASSERT_TRUE(value) << key;
                EXPECT_EQ(value->data, text(otherwise) + std::string(1, '\0'));
            } else {
                EXPECT_FALSE(value) << key;
            }
        };
        expect(keys.machineKey, c.machineAfterIsOurs, c.machineAfter);
        expect(keys.userKey, c.userAfterIsOurs, c.userAfter);
        if (!c.machineKeyExists) {
            EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, keys.machineKey)) << "never created";
        }
    }
}

TEST(RunAtLogon, TheProgramAndEveryFolderAboveItUpToTheVolumesRootAreJudgedByTheirRights) {
    const struct {
        const char* root;
        std::vector<std::string> objects; // the program first
    } cases[] = {
        {"C:\\", {"C:\\Tools\\Pathwink\\Pathwink.exe", "C:\\Tools\\Pathwink", "C:\\Tools", "C:\\"}},
        {"C:\\", {"c:\\P.exe", "c:\\"}},
        {"C:\\Mount\\Disk\\",
         {"C:\\Mount\\Disk\\P\\P.exe", "C:\\Mount\\Disk\\P", "C:\\Mount\\Disk"}},
        {"", {"P.exe"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgramAndFoldersAbove(c.objects[0], c.root), c.objects) << c.objects[0];

    // Under Wine every file and folder is owned by the user's own account: Program
    // Files is no exception, nor is a folder of the user's.
    wchar_t* programFiles = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &programFiles)));
    const std::string inProgramFiles = pwtest::Utf8(programFiles) + "\\Pathwink.exe";
    CoTaskMemFree(programFiles);
    EXPECT_FALSE(ExecutableIsProtected(inProgramFiles)) << inProgramFiles;
    Sandbox box;
    EXPECT_FALSE(ExecutableIsProtected(box.exePath));
}

TEST(RunAtLogon, WhoMayChangeTheProgramIsReadFromTheOwnerAndTheAccessList) {
    // "Itself": the program or its folder; "container": a folder above them, which may be
    // deleted or renamed, or let the folder it holds be, and another put in its place.
    constexpr char kAdminsOnly[] = "(A;;FA;;;SY)(A;;FA;;;BA)";
    constexpr char kUser[] = "S-1-5-21-1004336348-1177238915-682003330-1001";
    const std::string user = kUser;
    const struct {
        std::string what;
        std::string sddl; // "" for no descriptor at all
        bool itself, container;
    } cases[] = {
        {"administrators' folder, users read",
         std::string("O:BAD:P") + kAdminsOnly + "(A;;FRFX;;;BU)", false, false},
        {"owned by the system", std::string("O:SYD:P") + kAdminsOnly, false, false},
        {"owned by the installer service",
         std::string("O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464D:P") +
             kAdminsOnly,
         false, false},
        {"owned by an ordinary user, who may change the list", "O:" + user + "D:P" + kAdminsOnly,
         true, true},
        {"owned by a user whom OWNER RIGHTS lets only read",
         "O:" + user + "D:P" + kAdminsOnly + "(A;;FR;;;OW)", false, false},
        {"owned by a user whom OWNER RIGHTS lets change the list",
         "O:" + user + "D:P" + kAdminsOnly + "(A;;FRWD;;;OW)", true, true},
        {"users may write", std::string("O:BAD:P") + kAdminsOnly + "(A;;FW;;;BU)", true, false},
        {"users may delete what it holds", std::string("O:BAD:P") + kAdminsOnly + "(A;;0x40;;;BU)",
         true, true},
        {"users may delete it", std::string("O:BAD:P") + kAdminsOnly + "(A;;SD;;;AU)", true, true},
        {"users may modify it, as a folder inherits from a drive's root",
         std::string("O:BAD:P") + kAdminsOnly + "(A;ID;0x1301bf;;;AU)", true, true},
        {"users may change the list", std::string("O:BAD:P") + kAdminsOnly + "(A;;WD;;;BU)", true,
         true},
        {"users may take it", std::string("O:BAD:P") + kAdminsOnly + "(A;;WO;;;BU)", true, true},
        {"everyone has everything", "O:BAD:P(A;;GA;;;WD)", true, true},
        {"only for what it will hold", std::string("O:BAD:P") + kAdminsOnly + "(A;OICIIO;FA;;;BU)",
         false, false},
        {"users are denied", std::string("O:BAD:P(D;;FA;;;BU)") + kAdminsOnly, false, false},
        {"an empty list", "O:BAD:P", false, false},
        {"no list: everything for everyone", "<null DACL>", true, true},
        {"nothing could be read", "", true, true},
    };
    PSECURITY_DESCRIPTOR adminsOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        (std::string("O:BAD:P") + kAdminsOnly).c_str(), SDDL_REVISION_1, &adminsOnly, nullptr));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what + ": " + c.sddl);
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        // Wine's SDDL reader makes an empty list of "D:NO_ACCESS_CONTROL".
        SECURITY_DESCRIPTOR nullDacl;
        BYTE admins[SECURITY_MAX_SID_SIZE];
        DWORD adminsSize = sizeof admins;
        if (c.sddl == "<null DACL>") {
            InitializeSecurityDescriptor(&nullDacl, SECURITY_DESCRIPTOR_REVISION);
            CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize);
            SetSecurityDescriptorOwner(&nullDacl, admins, FALSE);
            SetSecurityDescriptorDacl(&nullDacl, TRUE, nullptr, FALSE);
        } else if (!c.sddl.empty()) {
            ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
                c.sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
                << GetLastError();
        }
        PSECURITY_DESCRIPTOR given = c.sddl == "<null DACL>" ? &nullDacl : descriptor;
        EXPECT_EQ(OrdinaryUsersMayChange(given, SecuredRole::Itself), c.itself);
        EXPECT_EQ(OrdinaryUsersMayChange(given, SecuredRole::Container), c.container);
        // The same at each place from the program up to a root, every other place admins' only.
        for (std::size_t at = 0; at < 5; ++at) {
            std::vector<PSECURITY_DESCRIPTOR> chain(5, adminsOnly);
            chain[at] = given;
            EXPECT_EQ(OrdinaryUsersMayReplace(chain), at < 2 ? c.itself : c.container) << at;
        }
        LocalFree(descriptor);
    }
    LocalFree(adminsOnly);
}

TEST(RunAtLogon, OffRemovesTheValueFromBothKeysAndNothingElse) {
    Sandbox box;
    SetRegText(HKEY_CURRENT_USER, box.keys.machineKey, "Pathwink", "old");
    SetRegText(HKEY_CURRENT_USER, box.keys.machineKey, "Other", "stays");
    SetRegText(HKEY_CURRENT_USER, box.keys.userKey, "Pathwink", "old");
    Options options;
    options.runAtLogon = false;
    ShortcutTable table(nullptr);
    box.Store().SaveSettings(options, table.Stored());
    EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, box.keys.machineKey, "Pathwink"));
    EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, box.keys.userKey, "Pathwink"));
    EXPECT_TRUE(ReadRegValue(HKEY_CURRENT_USER, box.keys.machineKey, "Other"));
    EXPECT_EQ(ProfileText(box.iniPath, "Options", "RunOnStarup"), "0");

    // Off again with nothing to remove, and with neither key present: no error.
    box.Store().SaveSettings(options, table.Stored());
    RunAtLogonKeys gone = box.keys;
    gone.machineKey += "\\absent";
    gone.userKey += "\\absent";
    SettingsStore store([&box] { return box.exePath; }, gone);
    EXPECT_EQ(UserErrorOf([&] { store.SaveSettings(options, table.Stored()); }), "<no error>");
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, gone.userKey));
}

namespace {

// Writes a value into a key whose security grants reading only: its DACL is
// opened up for the write and closed again.
void SetRegTextUnlocked(HKEY root, const std::string& path, const char* name,
                        const std::string& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC | READ_CONTROL, &key), ERROR_SUCCESS);
    SECURITY_DESCRIPTOR permissive;
    InitializeSecurityDescriptor(&permissive, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&permissive, TRUE, nullptr, FALSE);
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &permissive), ERROR_SUCCESS);
    SetRegText(root, path, name, text);
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:P(A;;KRWDSD;;;WD)", SDDL_REVISION_1, &readOnly, nullptr));
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
    LocalFree(readOnly);
    RegCloseKey(key);
}

} // namespace

TEST(RunAtLogon, AValueThatCannotBeWrittenGivesTheError) {
    Sandbox box;
    // No machine key, and a user key that exists but grants reading only.
    const std::string locked = box.registryBase + "\\Locked";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, locked.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:P(A;;KRWDSD;;;WD)", SDDL_REVISION_1, &readOnly, nullptr));
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
    LocalFree(readOnly);
    RegCloseKey(key);

    RunAtLogonKeys keys = box.keys;
    keys.machineKey = box.registryBase + "\\No such key";
    keys.userKey = locked;
    SettingsStore store([&box] { return box.exePath; }, keys);
    ShortcutTable table(nullptr);
    const std::string error = UserErrorOf([&] { store.SaveSettings(Options{}, table.Stored()); });
    EXPECT_EQ(error.substr(0, error.find('\n')), "Failed to set data for 'Pathwink'.");
    EXPECT_GT(error.size(), error.find('\n') + 1) << "the system's reason on its own line";
    EXPECT_TRUE(ReadBytes(box.iniPath)) << "the file was written first";

    // Off, with the value in a key that cannot be written: the value stays, and
    // the user is told so instead of being told nothing.
    SetRegTextUnlocked(HKEY_CURRENT_USER, locked, "Pathwink", "\"" + box.exePath + "\" tray");
    Options off;
    off.runAtLogon = false;
    const std::string removal = UserErrorOf([&] { store.SaveSettings(off, table.Stored()); });
    EXPECT_EQ(removal.rfind("Unable to remove the value 'Pathwink' from HKEY_CURRENT_USER\\" +
                                locked + ".\n",
                            0),
              0u)
        << removal;
    EXPECT_TRUE(ReadRegValue(HKEY_CURRENT_USER, locked, "Pathwink"));

    // Open the key up again so that the sandbox can remove it.
    if (RegOpenKeyExA(HKEY_CURRENT_USER, locked.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
        SECURITY_DESCRIPTOR permissive;
        InitializeSecurityDescriptor(&permissive, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&permissive, TRUE, nullptr, FALSE);
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &permissive);
        RegCloseKey(key);
    }
}

namespace {

// The values of a registry key, to put them back after a test removed the key.
struct SavedKey {
    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    bool existed = false;
    std::vector<Value> values;
};

SavedKey SaveKey(HKEY root, const char* path) {
    SavedKey saved;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return saved;
    saved.existed = true;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name, type = 0, dataSize = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &dataSize) !=
            ERROR_SUCCESS)
            break;
        std::string data(dataSize, '\0');
        nameSize = sizeof name;
        RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                      &dataSize);
        saved.values.push_back({std::string(name, nameSize), type, data});
    }
    RegCloseKey(key);
    return saved;
}

void RestoreKey(HKEY root, const char* path, const SavedKey& saved) {
    if (!saved.existed)
        return;
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    for (const auto& v : saved.values)
        RegSetValueExA(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                       static_cast<DWORD>(v.data.size()));
    RegCloseKey(key);
}

// Puts the machine's Run key back (and removes our value from the user's) however
// the test ends.
class RealRunKeysGuard {
public:
    explicit RealRunKeysGuard(const char* runKey)
        : runKey_(runKey), machine_(SaveKey(HKEY_LOCAL_MACHINE, runKey)),
          user_(SaveKey(HKEY_CURRENT_USER, runKey)) {}
    ~RealRunKeysGuard() {
        if (!RegKeyExists(HKEY_LOCAL_MACHINE, runKey_))
            RestoreKey(HKEY_LOCAL_MACHINE, runKey_, machine_);
        HKEY key = nullptr;
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            if (RegOpenKeyExA(root, runKey_, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, "Pathwink");
                RegCloseKey(key);
            }
        if (!user_.existed)
            RegDeleteKeyA(HKEY_CURRENT_USER, runKey_);
    }
    const SavedKey& Machine() const { return machine_; }

private:
    const char* runKey_;
    SavedKey machine_, user_;
};

} // namespace

TEST(RunAtLogon, TheRealRunKeysOfThePrefix) {
    const char* runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    Sandbox box;
    // The default keys: HKLM's given with a leading backslash, HKCU's without.
    SettingsStore store([&box] { return box.exePath; }, RunAtLogonKeys{});
    const std::string expected = "\"" + box.exePath + "\" tray" + std::string(1, '\0');
    ShortcutTable table(nullptr);
    RealRunKeysGuard guard(runKey);
    ASSERT_TRUE(guard.Machine().existed) << "a fresh prefix has the machine's Run key";

    // The program in a folder of the user's: the user's key, also with
    // administrator rights (Wine's token is an administrator's), and a machine
    // value left by an earlier version for this same program goes.
    SetRegText(HKEY_LOCAL_MACHINE, runKey, "Pathwink", expected.substr(0, expected.size() - 1));
    store.SaveSettings(Options{}, table.Stored());
    auto value = ReadRegValue(HKEY_CURRENT_USER, runKey, "Pathwink");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->data, expected);
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, runKey, "Pathwink"));

    // A program that ordinary users cannot replace (under Wine no folder is one, so
    // the test says it is): the machine's key, and the user's value goes.
    wchar_t* programFiles = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &programFiles)));
    char ansi[MAX_PATH] = "";
    WideCharToMultiByte(CP_ACP, 0, programFiles, -1, ansi, sizeof ansi, nullptr, nullptr);
    CoTaskMemFree(programFiles);
    const std::string installFolder =
        std::string(ansi) + "\\Pathwink store test " + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(installFolder.c_str(), nullptr));
    const std::string installed = installFolder + "\\Pathwink.exe";
    struct RemoveFolder {
        std::string folder;
        ~RemoveFolder() { pwtest::RemoveTree(folder); }
    } removeInstallFolder{installFolder};
    RunAtLogonKeys protectedKeys;
    protectedKeys.isProtected = [](const std::string&) { return true; };
    SettingsStore protectedStore([&installed] { return installed; }, protectedKeys);
    SetRegText(HKEY_CURRENT_USER, runKey, "Pathwink", "\"" + installed + "\" tray");
    protectedStore.SaveSettings(Options{}, table.Stored());
    value = ReadRegValue(HKEY_LOCAL_MACHINE, runKey, "Pathwink");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, "\"" + installed + "\" tray" + std::string(1, '\0'));
    EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, runKey, "Pathwink"));

    // Without the machine's key the user's gets the value, and the machine's key
    // is not created.
    ASSERT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, runKey), ERROR_SUCCESS);
    ASSERT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, runKey));
    EXPECT_EQ(UserErrorOf([&] { protectedStore.SaveSettings(Options{}, table.Stored()); }),
              "<no error>");
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, runKey));
    value = ReadRegValue(HKEY_CURRENT_USER, runKey, "Pathwink");
    ASSERT_TRUE(value);
    RestoreKey(HKEY_LOCAL_MACHINE, runKey, guard.Machine());
    SetRegText(HKEY_LOCAL_MACHINE, runKey, "Pathwink", "stale");

    // Off: gone from both, the machine's other values untouched.
    Options off;
    off.runAtLogon = false;
    store.SaveSettings(off, table.Stored());
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, runKey, "Pathwink"));
    EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, runKey, "Pathwink"));
    auto others = [](const SavedKey& key) {
        std::vector<std::string> names;
        for (const auto& v : key.values)
            if (v.name != "Pathwink")
                names.push_back(v.name);
        return names;
    };
    EXPECT_EQ(others(SaveKey(HKEY_LOCAL_MACHINE, runKey)), others(guard.Machine()));
}

TEST(SettingsEncoding, AFileInTheAnsiCodePageLoadsAndSavesBackByteForByte) {
    // As earlier versions wrote it: code page 1252, "é" as the byte E9.
    const std::string old = "[Options]\r\nWarnWeakKey=1\r\nConfirmExit=1\r\nDClickEdits=0\r\n"
                            "RunOnStarup=1\r\n[Shortcuts]\r\nCount=1\r\n0Path=C:\\Caf\xE9\r\n"
                            "0ShortCut=49220\r\n";
    Sandbox box;
    box.WriteIni(old);
    SettingsStore store = box.Store();
    ShortcutTable table(nullptr);
    LoadInto(store, table);
    ASSERT_EQ(table.Count(), 1);
    EXPECT_EQ(table.Path(0), "C:\\Caf\xC3\xA9") << "read as the character it is";
    store.SaveSettings(store.LoadOptions(), table.Stored());
    // The options this version added join their section; nothing else changes.
    std::string expected = old;
    expected.insert(expected.find("[Shortcuts]"),
                    "WarnAltGr=1\r\nOpenInFront=1\r\nShowAllFoldersKey=49184\r\n");
    EXPECT_EQ(ReadBytes(box.iniPath), expected) << "saved back exactly as it was";
}

TEST(SettingsEncoding, ATerminalProgramOutsideTheCodePageReadsBackWhole) {
    Sandbox box;
    box.WriteIni("[Options]\r\nDClickEdits=1\r\n");
    SettingsStore store = box.Store();
    Options options = store.LoadOptions();
    options.terminal = "C:\\\xCE\xA6\xCE\xAC\\shell.exe"; // C:\Φά\shell.exe
    store.SaveSettings(options, {});
    EXPECT_EQ(store.LoadOptions().terminal, options.terminal);
}

TEST(SettingsEncoding, APathOutsideTheCodePageMakesTheFileUtf16ForGood) {
    const std::string greek =
        "C:\\\xCE\xA6\xCE\xAC\xCE\xBA\xCE\xB5\xCE\xBB\xCE\xBF\xCF\x82";           // Φάκελος
    const std::string cjkEmoji = "D:\\\xE6\x96\x87\xE4\xBB\xB6 \xF0\x9F\x93\x81"; // 文件 📁
    const std::string cafe = "C:\\Caf\xC3\xA9";
    Sandbox box;
    box.WriteIni("[Mine]\r\nkept=\xE9t\xE9\r\n[Options]\r\nDClickEdits=1\r\n");
    SettingsStore store = box.Store();
    ShortcutTable table(nullptr);
    ASSERT_TRUE(table.AddShortcut(cafe, 0));
    ASSERT_TRUE(table.AddShortcut(greek, 0));
    ASSERT_TRUE(table.AddShortcut(cjkEmoji, 0));
    store.SaveSettings(store.LoadOptions(), table.Stored());

    const std::string bytes = ReadBytes(box.iniPath).value_or("");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "UTF-16LE with its byte-order mark";

    // Every path reads back whole, and the section the program does not know is kept.
    ShortcutTable reloaded(nullptr);
    LoadInto(store, reloaded);
    EXPECT_EQ(Paths(reloaded), (std::vector<std::string>{cafe, greek, cjkEmoji}));
    EXPECT_EQ(ProfileText(box.iniPath, "Mine", "kept"), "\xC3\xA9t\xC3\xA9");
    EXPECT_TRUE(store.LoadOptions().doubleClickEdits);

    // An earlier version reads it through the ANSI functions: every path its code
    // page can hold arrives intact.
    std::vector<std::string> ansi;
    for (int i = 0; i < 3; ++i)
        ansi.push_back(AnsiProfileText(box.iniPath, "Shortcuts", ShortcutPathKey(i)));
    EXPECT_NE(std::find(ansi.begin(), ansi.end(), "C:\\Caf\xE9"), ansi.end())
        << "the 1252 path, as its bytes";
    EXPECT_EQ(AnsiProfileText(box.iniPath, "Shortcuts", "Count"), "3");

    // The form stays once taken, also when the path that needed it goes.
    table.Delete(1); // Φάκελος (sorted between Café and D:\)
    table.Delete(1);
    store.SaveSettings(store.LoadOptions(), table.Stored());
    EXPECT_EQ(ReadBytes(box.iniPath).value_or("").substr(0, 2), "\xFF\xFE");
    ShortcutTable last(nullptr);
    LoadInto(store, last);
    EXPECT_EQ(Paths(last), std::vector<std::string>{cafe});
}
