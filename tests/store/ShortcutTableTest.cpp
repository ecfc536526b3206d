// The shortcut table against real hotkey bindings: sorted insertion without regard
// to case (new entries before equal ones), refused keys, deletion and re-filing.

#include "store/ShortcutTable.h"
#include "tests/store/StoreTestSupport.h"
#include "win/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace pw;
using namespace storetest;

namespace {

// Combinations no desktop component of the test prefix uses.
constexpr KeyCombination kCtrlAltShiftF7 = 0xE076;
constexpr KeyCombination kCtrlAltShiftF8 = 0xE077;
constexpr KeyCombination kCtrlAltShiftF9 = 0xE078;
constexpr UINT kAllThree = MOD_CONTROL | MOD_ALT | MOD_SHIFT;

int Compare(const std::string& a, const std::string& b) {
    const std::wstring wa = Wide(a), wb = Wide(b);
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.data(),
                          static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()));
}

std::vector<std::string> Paths(const ShortcutTable& table) {
    std::vector<std::string> paths;
    for (int i = 0; i < table.Count(); ++i)
        paths.push_back(table.Path(i));
    return paths;
}

} // namespace

TEST(ShortcutTable, SortsWithoutRegardToCaseAndPutsANewEntryBeforeEqualOnes) {
    ShortcutTable table(nullptr);
    for (const char* path : {"C:\\beta", "C:\\Alpha", "D:\\", "C:\\gamma", "C:\\ALPHA", "c:\\alpha",
                             "C:\\Alpha\\sub", "C:\\Alph"})
        ASSERT_TRUE(table.AddShortcut(path, 0)) << path;
    EXPECT_EQ(Paths(table),
              (std::vector<std::string>{"C:\\Alph", "c:\\alpha", "C:\\ALPHA", "C:\\Alpha",
                                        "C:\\Alpha\\sub", "C:\\beta", "C:\\gamma", "D:\\"}));
}

TEST(ShortcutTable, ManyInsertionsStaySortedWithTheNewestOfEqualPathsFirst) {
    ShortcutTable table(nullptr);
    std::mt19937 random(20240611);
    const char* stems[] = {
        "C:\\a",   "C:\\A",   "C:\\b",    "c:\\B", "C:\\\xC3\xA9t\xC3\xA9", "C:\\\xC3\x89T\xC3\x89",
        "D:\\x y", "D:\\X Y", "C:\\a\\b", ""};
    std::map<const HotkeyBinding*, int> order;
    for (int n = 0; n < 300; ++n) {
        const std::string path = stems[random() % std::size(stems)];
        ASSERT_TRUE(table.AddShortcut(path, 0));
        for (int i = 0; i < table.Count(); ++i)
            order.emplace(&table.Binding(i), n); // only the new binding is not known yet
    }
    ASSERT_EQ(table.Count(), 300);
    for (int i = 1; i < table.Count(); ++i) {
        const int c = Compare(table.Path(i - 1), table.Path(i));
        ASSERT_NE(c, CSTR_GREATER_THAN) << i << ": " << table.Path(i - 1) << " > " << table.Path(i);
        if (c == CSTR_EQUAL) {
            EXPECT_GT(order[&table.Binding(i - 1)], order[&table.Binding(i)])
                << "equal paths must run from the newest to the oldest at " << i;
        }
    }
}

TEST(ShortcutTable, AKeyZeroShortcutIsAlwaysAddedAndHoldsNothing) {
    std::vector<std::string> pressed;
    ShortcutTable table([&](const std::string& folder) { pressed.push_back(folder); });
    ASSERT_TRUE(table.AddShortcut("C:\\No key", 0));
    ASSERT_TRUE(table.AddShortcut("C:\\No key", 0)) << "duplicates are accepted";
    table.AddStored({"C:\\Stored", 0});
    ASSERT_EQ(table.Count(), 3);
    for (int i = 0; i < table.Count(); ++i) {
        EXPECT_FALSE(table.Binding(i).Registered());
        EXPECT_FALSE(table.Binding(i).Refused());
        EXPECT_EQ(table.Binding(i).Key(), 0);
    }
    EXPECT_TRUE(IsFree(0, 0)) << "nothing was asked of the system";
    table.Binding(0).OnPressed();
    EXPECT_EQ(pressed, (std::vector<std::string>{"C:\\No key"}))
        << "a binding's press reports its entry's folder";
}

TEST(ShortcutTable, AddShortcutRegistersAFreeKey) {
    ShortcutTable table(nullptr);
    ASSERT_TRUE(IsFree(kAllThree, VK_F7));
    ASSERT_TRUE(table.AddShortcut("C:\\Keyed", kCtrlAltShiftF7));
    ASSERT_EQ(table.Count(), 1);
    EXPECT_TRUE(table.Binding(0).Registered());
    EXPECT_EQ(table.Binding(0).Key(), kCtrlAltShiftF7);
    EXPECT_FALSE(IsFree(kAllThree, VK_F7));
}

TEST(ShortcutTable, ATakenKeyIsRefusedAndTheRefusedBindingKeepsNothing) {
    ShortcutTable table(nullptr);
    ASSERT_TRUE(table.AddShortcut("C:\\B", 0));
    ASSERT_TRUE(table.AddShortcut("C:\\D", kCtrlAltShiftF8));
    ASSERT_EQ(BindingWindowCount(), 1) << "every binding of the thread shares one hidden window";

    // Someone else holds Ctrl+Alt+Shift+F9.
    ASSERT_TRUE(RegisterHotKey(nullptr, 0x7102, kAllThree, VK_F9));
    EXPECT_FALSE(table.AddShortcut("C:\\C", kCtrlAltShiftF9));
    // And the table's own key is taken as well.
    EXPECT_FALSE(table.AddShortcut("C:\\A", kCtrlAltShiftF8));

    EXPECT_EQ(Paths(table), (std::vector<std::string>{"C:\\B", "C:\\D"}));
    EXPECT_TRUE(table.Binding(1).Registered()) << "the holder in the table keeps its key";
    EXPECT_EQ(BindingWindowCount(), 1) << "refusals make no window";
    EXPECT_TRUE(IsFree(0, 0)) << "the virtual-key-0 registration made on the way was released";
    UnregisterHotKey(nullptr, 0x7102);
    EXPECT_TRUE(IsFree(kAllThree, VK_F9)) << "the refused binding did not take the key later";
}

TEST(ShortcutTable, DeleteFreesTheHotkeyAndLeavesTheOthersWorking) {
    ShortcutTable table(nullptr);
    ASSERT_TRUE(table.AddShortcut("C:\\One", kCtrlAltShiftF7));
    ASSERT_TRUE(table.AddShortcut("C:\\Two", kCtrlAltShiftF8));
    ASSERT_TRUE(table.AddShortcut("C:\\Three", 0));
    ASSERT_EQ(BindingWindowCount(), 1) << "one window for every binding";

    table.Delete(0);
    EXPECT_EQ(Paths(table), (std::vector<std::string>{"C:\\Three", "C:\\Two"}));
    EXPECT_EQ(BindingWindowCount(), 1) << "the window stays for the other bindings";
    EXPECT_TRUE(IsFree(kAllThree, VK_F7)) << "another registration of the combination succeeds";
    EXPECT_FALSE(IsFree(kAllThree, VK_F8)) << "the other entry keeps its key";

    for (int outOfRange : {-1, 2, 1000})
        table.Delete(outOfRange);
    EXPECT_EQ(table.Count(), 2);
}

TEST(ShortcutTable, SetPathMovesAnEntryToItsNewPlace) {
    std::vector<std::string> pressed;
    ShortcutTable table([&](const std::string& folder) { pressed.push_back(folder); });
    for (const char* path : {"C:\\A", "C:\\C", "C:\\E"})
        ASSERT_TRUE(table.AddShortcut(path, 0));
    ASSERT_TRUE(table.AddShortcut("C:\\G", kCtrlAltShiftF7));
    HotkeyBinding* keyed = &table.Binding(3);

    table.SetPath(3, "C:\\B");
    EXPECT_EQ(Paths(table), (std::vector<std::string>{"C:\\A", "C:\\B", "C:\\C", "C:\\E"}));
    EXPECT_EQ(&table.Binding(1), keyed) << "the same binding, not a new one";
    EXPECT_TRUE(keyed->Registered());
    keyed->OnPressed();
    EXPECT_EQ(pressed, (std::vector<std::string>{"C:\\B"})) << "the press opens the new folder";

    HotkeyBinding* moved = &table.Binding(0);
    table.SetPath(0, "c:\\e");
    EXPECT_EQ(Paths(table), (std::vector<std::string>{"C:\\B", "C:\\C", "c:\\e", "C:\\E"}));
    EXPECT_EQ(&table.Binding(2), moved) << "before the entry it equals";

    table.SetPath(4, "C:\\Out of range");
    table.SetPath(-1, "C:\\Out of range");
    EXPECT_EQ(table.Count(), 4);
}

TEST(ShortcutTable, ReleaseAllAndDestructionFreeEveryBinding) {
    {
        ShortcutTable table(nullptr);
        ASSERT_TRUE(table.AddShortcut("C:\\1", kCtrlAltShiftF7));
        ASSERT_TRUE(table.AddShortcut("C:\\2", kCtrlAltShiftF8));
        table.ReleaseAll();
        EXPECT_EQ(table.Count(), 0);
        EXPECT_TRUE(IsFree(kAllThree, VK_F7));
        EXPECT_TRUE(IsFree(kAllThree, VK_F8));
        ASSERT_TRUE(table.AddShortcut("C:\\3", kCtrlAltShiftF9));
    }
    EXPECT_TRUE(IsFree(kAllThree, VK_F9));
    EXPECT_LE(BindingWindowCount(), 1) << "one window for the thread, whatever came and went";
}

TEST(ShortcutTable, AddStoredKeepsAnEntryWhoseKeyIsTaken) {
    ShortcutTable table(nullptr);
    table.AddStored({"C:\\Z", kCtrlAltShiftF7});
    table.AddStored({"C:\\Y", kCtrlAltShiftF7});
    ASSERT_EQ(table.Count(), 2);
    EXPECT_TRUE(table.Binding(1).Registered()) << "stored first";
    EXPECT_TRUE(table.Binding(0).Refused()) << "kept although the key was taken";
    EXPECT_EQ(table.Binding(0).Key(), kCtrlAltShiftF7);
    EXPECT_EQ(table.Stored(), (std::vector<StoredShortcut>{{"C:\\Y", kCtrlAltShiftF7},
                                                           {"C:\\Z", kCtrlAltShiftF7}}));
}
