// Ctrl+Alt is AltGr: a hotkey on Ctrl+Alt+E takes "€" away from a user of a German
// keyboard. These tests check which combinations are found to type a character,
// on a table of layouts (the decision) and on the system's own layouts where it
// has them (Wine's X11 keyboard has only the X server's layout, and never gives a
// character for Ctrl+Alt: those tests skip there and say why).

#include "hotkey/AltGrCharacters.h"
#include "win/ResourceIds.h"
#include "win/Text.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <map>
#include <tuple>

using namespace pw;

namespace {

HKL Handle(ULONG_PTR value) {
    return reinterpret_cast<HKL>(value);
}

std::string HandleText(HKL layout) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%08lX",
                  static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(layout)));
    return buf;
}

// Made-up handles for the table: the decision never hands them to the system.
const HKL kGerman = Handle(0x04070407);
const HKL kFrench = Handle(0x040C040C);
const HKL kPolish = Handle(0x04150415);
const HKL kUs = Handle(0x04090409);
const HKL kOdd = Handle(0xF0FF0409);

// What the keys type with AltGr on those layouts, as on Windows; a key that is not
// in the table types nothing. kOdd stands for the oddities a layout can report.
using TypingTable = std::map<std::tuple<HKL, std::uint8_t, bool>, AltGrTyping>;
const TypingTable kTyping = {
    {{kGerman, 'Q', false}, {L"@"}},
    {{kGerman, 'E', false}, {L"\u20AC"}},
    {{kGerman, '7', false}, {L"{"}},
    {{kGerman, '0', false}, {L"}"}},
    {{kGerman, 'M', false}, {L"\u00B5"}},
    {{kFrench, '0', false}, {L"@"}},
    {{kFrench, 'E', false}, {L"\u20AC"}},
    {{kFrench, '2', false}, {L"~", true}},
    {{kPolish, 'A', false}, {L"\u0105"}},
    {{kPolish, 'A', true}, {L"\u0104"}},
    {{kPolish, 'E', false}, {L"\u0119"}},
    {{kUs, 'Q', false}, {L"\x11"}}, // Wine gives Ctrl+Q's control character
    {{kOdd, 'Q', false}, {L"\x1B"}},
    {{kOdd, 'E', false}, {L"\x7F"}},
    {{kOdd, 'M', false}, {L"\u0085"}},
    {{kOdd, VK_SPACE, false}, {L" "}},
    {{kOdd, 'N', false}, {L"\u00A0"}},
    {{kOdd, 'S', false}, {L"\U0001F600"}},
    {{kOdd, 'L', false}, {L"\u0644\u0627"}},
    {{kOdd, 'D', false}, {L"", true}},
};

AltGrTyping TableTyping(HKL layout, std::uint8_t virtualKey, bool withShift) {
    const auto found = kTyping.find({layout, virtualKey, withShift});
    return found == kTyping.end() ? AltGrTyping{} : found->second;
}

std::string TableName(HKL layout) {
    if (layout == kGerman)
        return "German";
    if (layout == kFrench)
        return "French";
    if (layout == kPolish)
        return "Polish (Programmers)";
    if (layout == kUs)
        return "US";
    return "Odd";
}

constexpr KeyCombination kCtrlAlt = kWithCtrl | kWithAlt;

} // namespace

TEST(AltGrCharacterOf, FindsWhatTheFirstLayoutThatTypesSomethingTypes) {
    struct Case {
        const char* what;
        KeyCombination key;
        std::vector<HKL> layouts;
        const char* character; // nullptr: nothing found
        HKL layout;
        bool deadKey;
    };
    const Case cases[] = {
        {"German AltGr+Q", kCtrlAlt | 'Q', {kGerman}, "@", kGerman, false},
        {"German AltGr+E", kCtrlAlt | 'E', {kGerman}, "\u20AC", kGerman, false},
        {"German AltGr+7", kCtrlAlt | '7', {kGerman}, "{", kGerman, false},
        {"German AltGr+M", kCtrlAlt | 'M', {kGerman}, "\u00B5", kGerman, false},
        {"German AltGr+A types nothing", kCtrlAlt | 'A', {kGerman}, nullptr, nullptr, false},
        {"German has no Shift+AltGr+Q",
         kWithShift | kCtrlAlt | 'Q',
         {kGerman},
         nullptr,
         nullptr,
         false},
        {"French AltGr+0", kCtrlAlt | '0', {kFrench}, "@", kFrench, false},
        {"French AltGr+2 is a dead tilde", kCtrlAlt | '2', {kFrench}, "~", kFrench, true},
        {"Polish AltGr+A", kCtrlAlt | 'A', {kPolish}, "\u0105", kPolish, false},
        {"Polish Shift+AltGr+A", kWithShift | kCtrlAlt | 'A', {kPolish}, "\u0104", kPolish, false},
        {"Polish has no Shift+AltGr+E",
         kWithShift | kCtrlAlt | 'E',
         {kPolish},
         nullptr,
         nullptr,
         false},
        {"US types a control character", kCtrlAlt | 'Q', {kUs}, nullptr, nullptr, false},
        {"a layout that types nothing is passed over",
         kCtrlAlt | 'E',
         {kUs, kGerman},
         "\u20AC",
         kGerman,
         false},
        {"a control character is passed over", kCtrlAlt | 'Q', {kUs, kGerman}, "@", kGerman, false},
        {"the first layout wins", kCtrlAlt | 'E', {kFrench, kGerman}, "\u20AC", kFrench, false},
        {"the first layout wins, other order",
         kCtrlAlt | '0',
         {kGerman, kFrench},
         "}",
         kGerman,
         false},
        {"a layout may come twice", kCtrlAlt | 'A', {kUs, kUs, kPolish}, "\u0105", kPolish, false},
        {"no layouts", kCtrlAlt | 'Q', {}, nullptr, nullptr, false},
        {"no key", kCtrlAlt, {kGerman}, nullptr, nullptr, false},
        {"bits 8-12 are not part of the key", 0xDF51, {kGerman}, "@", kGerman, false},
        {"Escape", kCtrlAlt | 'Q', {kOdd}, nullptr, nullptr, false},
        {"Delete", kCtrlAlt | 'E', {kOdd}, nullptr, nullptr, false},
        {"next line (C1 control)", kCtrlAlt | 'M', {kOdd}, nullptr, nullptr, false},
        {"a plain space", kCtrlAlt | VK_SPACE, {kOdd}, nullptr, nullptr, false},
        {"a no-break space is a typed character", kCtrlAlt | 'N', {kOdd}, "\u00A0", kOdd, false},
        {"beyond the BMP", kCtrlAlt | 'S', {kOdd}, "\U0001F600", kOdd, false},
        {"two code points", kCtrlAlt | 'L', {kOdd}, "\u0644\u0627", kOdd, false},
        {"a dead key with no character", kCtrlAlt | 'D', {kOdd, kGerman}, nullptr, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto found = AltGrCharacterOf(c.key, c.layouts, TableTyping, TableName);
        if (c.character == nullptr) {
            EXPECT_FALSE(found.has_value()) << found->character;
            continue;
        }
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->character, c.character);
        EXPECT_EQ(found->layout, c.layout);
        EXPECT_EQ(found->layoutName, TableName(c.layout));
        EXPECT_EQ(found->deadKey, c.deadKey);
    }
}

TEST(AltGrCharacterOf, OnlyCtrlAltWithOrWithoutShiftIsAnAltGrCombination) {
    // On every layout E types something with AltGr; none of these is AltGr+E, and
    // the layouts are not even asked.
    const std::vector<HKL> all = {kGerman, kFrench, kPolish, kUs, kOdd};
    int asked = 0;
    const AltGrTypingFn counting = [&](HKL, std::uint8_t, bool) {
        ++asked;
        return AltGrTyping{L"\u20AC"};
    };
    for (KeyCombination key :
         {KeyCombination('E'), KeyCombination(kWithCtrl | 'E'), KeyCombination(kWithAlt | 'E'),
          KeyCombination(kWithShift | 'E'), KeyCombination(kWithCtrl | kWithShift | 'E'),
          KeyCombination(kWithAlt | kWithShift | 'E'), KeyCombination(0)}) {
        EXPECT_FALSE(AltGrCharacterOf(key, all, counting, TableName).has_value()) << key;
    }
    EXPECT_EQ(asked, 0);
    // The same key with Ctrl+Alt, with and without Shift, is asked: of the first layout.
    for (KeyCombination key :
         {KeyCombination(kCtrlAlt | 'E'), KeyCombination(kWithShift | kCtrlAlt | 'E')}) {
        const auto found = AltGrCharacterOf(key, all, counting, TableName);
        ASSERT_TRUE(found.has_value()) << key;
        EXPECT_EQ(found->layoutName, "German");
    }
    EXPECT_EQ(asked, 2);
}

// The system's own layouts, loaded for the test and unloaded afterwards.
class SystemLayouts : public ::testing::Test {
protected:
    void SetUp() override {
        before_ = List();
        current_ = GetKeyboardLayout(0);
    }
    void TearDown() override {
        for (HKL layout : loaded_)
            EXPECT_TRUE(UnloadKeyboardLayout(layout)) << HandleText(layout);
        EXPECT_EQ(List(), before_) << "the layout list changed";
        EXPECT_EQ(GetKeyboardLayout(0), current_) << "the current layout changed";
    }

    static std::vector<HKL> List() {
        std::vector<HKL> list(64);
        list.resize(static_cast<size_t>(GetKeyboardLayoutList(64, list.data())));
        std::sort(list.begin(), list.end());
        return list;
    }

    // The layout of that identifier, or nullptr when the system does not give a
    // layout of that language (Wine gives the X server's layout for every one).
    HKL Load(const wchar_t* klid, std::string* why) {
        const HKL layout = LoadKeyboardLayoutW(klid, KLF_NOTELLSHELL);
        if (layout && !std::binary_search(before_.begin(), before_.end(), layout) &&
            std::find(loaded_.begin(), loaded_.end(), layout) == loaded_.end())
            loaded_.push_back(layout);
        const auto language = static_cast<WORD>(std::wcstoul(klid, nullptr, 16) & 0xFFFF);
        if (layout && LOWORD(reinterpret_cast<ULONG_PTR>(layout)) == language)
            return layout;
        char buf[160];
        std::snprintf(buf, sizeof buf,
                      "LoadKeyboardLayoutW(\"%ls\") gave %s, not a layout of language %04X: "
                      "this system has no such layout to test on",
                      klid, layout ? HandleText(layout).c_str() : "nothing", language);
        *why = buf;
        return nullptr;
    }

    std::vector<HKL> before_;
    std::vector<HKL> loaded_;
    HKL current_ = nullptr;
};

namespace {

struct Expected {
    KeyCombination key;
    const char* character; // nullptr: nothing
    bool deadKey;
};

// Besides the layout's own rows: combinations that are not AltGr find nothing.
void ExpectOnLayout(HKL layout, const char* layoutName, std::vector<Expected> rows) {
    for (KeyCombination key :
         {KeyCombination(kWithCtrl | kWithShift | 'E'), KeyCombination(kWithAlt | 'E'),
          KeyCombination(kWithCtrl | 'E'), KeyCombination(kWithCtrl | 'Q'), KeyCombination('E')})
        rows.push_back({key, nullptr, false});
    for (const Expected& row : rows) {
        SCOPED_TRACE(testing::Message() << layoutName << " key " << std::hex << row.key);
        const auto found = AltGrCharacterOf(row.key, {layout});
        if (row.character == nullptr) {
            EXPECT_FALSE(found.has_value()) << found->character;
            continue;
        }
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->character, row.character);
        EXPECT_EQ(found->deadKey, row.deadKey);
        EXPECT_EQ(found->layout, layout);
        EXPECT_EQ(found->layoutName, KeyboardLayoutName(layout));
        EXPECT_NE(found->layoutName, "");
    }
}

} // namespace

TEST_F(SystemLayouts, GermanAltGrCharactersAreFound) {
    std::string why;
    const HKL german = Load(L"00000407", &why);
    if (!german)
        GTEST_SKIP() << why;
    ExpectOnLayout(german, "German",
                   {{kCtrlAlt | 'Q', "@", false},
                    {kCtrlAlt | 'E', "\u20AC", false},
                    {kCtrlAlt | '7', "{", false},
                    {kCtrlAlt | '8', "[", false},
                    {kCtrlAlt | '9', "]", false},
                    {kCtrlAlt | '0', "}", false},
                    {kCtrlAlt | VK_OEM_4, "\\", false},
                    {kCtrlAlt | VK_OEM_PLUS, "~", false},
                    {kCtrlAlt | VK_OEM_102, "|", false},
                    {kCtrlAlt | 'M', "\u00B5", false},
                    {kCtrlAlt | 'A', nullptr, false},
                    {kCtrlAlt | 'D', nullptr, false}});
}

TEST_F(SystemLayouts, FrenchAltGrCharactersAreFound) {
    std::string why;
    const HKL french = Load(L"0000040C", &why);
    if (!french)
        GTEST_SKIP() << why;
    ExpectOnLayout(french, "French",
                   {{kCtrlAlt | '0', "@", false},
                    {kCtrlAlt | 'E', "\u20AC", false},
                    {kCtrlAlt | '3', "#", false},
                    {kCtrlAlt | '4', "{", false},
                    {kCtrlAlt | '2', "~", true},
                    {kCtrlAlt | 'Q', nullptr, false}});
}

TEST_F(SystemLayouts, PolishProgrammersAltGrLettersAreFoundWithAndWithoutShift) {
    std::string why;
    const HKL polish = Load(L"00000415", &why);
    if (!polish)
        GTEST_SKIP() << why;
    ExpectOnLayout(polish, "Polish",
                   {{kCtrlAlt | 'A', "\u0105", false},
                    {kWithShift | kCtrlAlt | 'A', "\u0104", false},
                    {kCtrlAlt | 'L', "\u0142", false},
                    {kWithShift | kCtrlAlt | 'L', "\u0141", false},
                    {kCtrlAlt | 'Z', "\u017C", false},
                    {kCtrlAlt | 'X', "\u017A", false}});
}

TEST_F(SystemLayouts, UsTypesNothingWithAltGr) {
    std::string why;
    const HKL us = Load(L"00000409", &why);
    if (!us)
        GTEST_SKIP() << why;
    std::vector<Expected> rows;
    for (int key = '0'; key <= 'Z'; ++key) {
        if (key > '9' && key < 'A')
            continue;
        rows.push_back({static_cast<KeyCombination>(kCtrlAlt | key), nullptr, false});
        rows.push_back({static_cast<KeyCombination>(kWithShift | kCtrlAlt | key), nullptr, false});
    }
    ExpectOnLayout(us, "US", rows);
}

TEST_F(SystemLayouts, LoadedLayoutsStartWithTheCurrentOneAndListEachOnce) {
    std::string why;
    const HKL us = Load(L"00000409", &why); // on Windows a second layout, often
    std::vector<HKL> loaded = LoadedKeyboardLayouts();
    ASSERT_FALSE(loaded.empty());
    EXPECT_EQ(loaded.front(), GetKeyboardLayout(0));
    if (us) {
        EXPECT_NE(std::find(loaded.begin(), loaded.end(), us), loaded.end());
    }
    std::sort(loaded.begin(), loaded.end());
    EXPECT_EQ(std::adjacent_find(loaded.begin(), loaded.end()), loaded.end());
    EXPECT_EQ(loaded, List());
}

namespace {

constexpr wchar_t kLayouts[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts";

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace

// Layout entries of a language that has no keyboard of its own (Latin), made for
// the test in the registry's list of layouts and removed afterwards.
TEST(KeyboardLayoutName, NamesALayoutAsTheListOfLayoutsDoesElseByItsLanguage) {
    const std::wstring parent = kLayouts;
    const bool parentExisted = KeyExists(parent);
    struct Entry {
        const wchar_t* klid;
        const wchar_t* layoutId;
        const wchar_t* displayName;
        const wchar_t* text;
    };
    // A display name is a reference to a string resource: here the program's own
    // string table, whose first key text is "BkSp".
    wchar_t exe[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring displayName =
        L"@" + std::wstring(exe) + L",-" + std::to_wstring(IDS_KEY_FIRST);
    const Entry entries[] = {
        {L"00000476", nullptr, nullptr, L"Latin (test)"},
        {L"a7fe0476", L"07fe", nullptr, L"Latin (test variant)"},
        {L"a7fc0476", L"07FC", displayName.c_str(), L"Latin (layout text)"},
        {L"a7fb0476", L"07fb", L"@%SystemRoot%\\system32\\no-such-file.dll,-5000",
         L"Latin (no display name)"},
    };
    for (const Entry& e : entries) {
        if (KeyExists(parent + L"\\" + e.klid))
            GTEST_SKIP() << "this system has a layout " << Utf8(e.klid) << " of its own";
    }
    std::vector<std::wstring> made;
    LONG refused = ERROR_SUCCESS;
    for (const Entry& e : entries) {
        const std::wstring path = parent + L"\\" + e.klid;
        HKEY key = nullptr;
        refused = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr);
        if (refused != ERROR_SUCCESS)
            break;
        made.push_back(path);
        auto set = [&](const wchar_t* name, const wchar_t* value) {
            if (value)
                RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                               static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
        };
        set(L"Layout Id", e.layoutId);
        set(L"Layout Display Name", e.displayName);
        set(L"Layout Text", e.text);
        RegCloseKey(key);
    }
    if (made.size() == std::size(entries)) {
        const std::pair<ULONG_PTR, const char*> cases[] = {
            {0x04760476, "Latin (test)"},            // language and layout alike
            {0x04760407, "Latin (test)"},            // the layout is the high word
            {0xF7FE0476, "Latin (test variant)"},    // a variant, by its layout id
            {0xF7FC0409, "BkSp"},                    // the display name before the text
            {0xF7FB0409, "Latin (no display name)"}, // a display name that does not load
            {0xF7FD0407, "German (Germany)"},        // no such layout: the language's name
            {0x00000000, "00000000"},                // nothing known at all
        };
        for (const auto& c : cases)
            EXPECT_EQ(KeyboardLayoutName(Handle(c.first)), c.second) << std::hex << c.first;
        // Looked up once: the entry's removal is not seen by a later call.
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, made.front().c_str());
        EXPECT_EQ(KeyboardLayoutName(Handle(0x04760476)), "Latin (test)");
    }
    for (const std::wstring& path : made)
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
    if (!parentExisted)
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, parent.c_str());
    for (const Entry& e : entries)
        EXPECT_FALSE(KeyExists(parent + L"\\" + e.klid)) << "left behind: " << Utf8(e.klid);
    EXPECT_EQ(KeyExists(parent), parentExisted);
    if (refused != ERROR_SUCCESS)
        GTEST_SKIP() << "the registry refused the test's layout entries (error " << refused << ")";
}
