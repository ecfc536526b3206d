// The settings file's text rules on their own: file name, run-at-logon text, our
// number reader, quoting for the profile reader, the [Shortcuts] block, and the
// names of a save's temporary files.

#include "store/SettingsFormat.h"
#include "tests/support/TestSupport.h"
#include "win/Text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace pw;

TEST(SettingsFileName, ReplacesTheExtensionOfTheLastComponentOnly) {
    const struct {
        const char* executable;
        const char* settings;
    } cases[] = {
        {"C:\\Tools\\Pathwink.exe", "C:\\Tools\\Pathwink.INI"},
        {"C:\\A.b\\Run", "C:\\A.b\\Run.INI"},
        {"C:\\Tools\\Path.wink.exe", "C:\\Tools\\Path.wink.INI"},
        {"C:\\Tools\\Pathwink.", "C:\\Tools\\Pathwink.INI"},
        {"C:\\Tools\\.profile", "C:\\Tools\\.INI"},
        {"C:/Some.dir/Run", "C:/Some.dir/Run.INI"},
        {"\\\\server\\share.v2\\Pathwink", "\\\\server\\share.v2\\Pathwink.INI"},
        {"D:\\PATHWINK.EXE", "D:\\PATHWINK.INI"},
        {"Pathwink.exe", "Pathwink.INI"},
        {"C:\\My Tools\\Path wink.e x e", "C:\\My Tools\\Path wink.INI"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsFileNameFor(c.executable), c.settings) << c.executable;
}

TEST(RunAtLogonCommand, QuotesTheExecutableAndAsksForTheTray) {
    EXPECT_EQ(RunAtLogonCommand("C:\\Tools\\Pathwink.exe"), "\"C:\\Tools\\Pathwink.exe\" tray");
    EXPECT_EQ(RunAtLogonCommand("C:\\Program Files\\Path wink\\Pathwink.exe"),
              "\"C:\\Program Files\\Path wink\\Pathwink.exe\" tray");
}

TEST(SettingsNumber, ReadsDecimalAndHexadecimalFormsAndNothingElse) {
    const struct {
        const char* text;
        std::optional<std::int32_t> value;
    } cases[] = {
        {"0", 0},
        {"49220", 49220},
        {"-1", -1},
        {"+5", 5},
        {" 12", 12},
        {"   -7", -7},
        {"007", 7},
        {"0xC044", 0xC044},
        {"0XC044", 0xC044},
        {"0xc044", 0xC044},
        {"$C044", 0xC044},
        {"x44", 0x44},
        {"X44", 0x44},
        {" $ff", 255},
        {"-$10", -16},
        {"+x10", 16},
        {"0x1", 1},
        {"0x0", 0},
        // no number: the default applies
        {"", std::nullopt},
        {" ", std::nullopt},
        {"12 ", std::nullopt},
        {"0x", std::nullopt},
        {"0X", std::nullopt},
        {"$", std::nullopt},
        {"x", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"yes", std::nullopt},
        {"1.5", std::nullopt},
        {"1e3", std::nullopt},
        {"12abc", std::nullopt},
        {"- 5", std::nullopt},
        {"+-5", std::nullopt},
        {"0x-1", std::nullopt},
        {"$-1", std::nullopt},
        {"0xG", std::nullopt},
        {" 0x10", std::nullopt},
        {"-0x10", std::nullopt},
        {"00x1", std::nullopt},
        {"\t5", std::nullopt},
        {"5\t", std::nullopt},
        {"0b101", std::nullopt},
        {"$$1", std::nullopt},
        {"x$1", std::nullopt},
        {"0x 1", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseSettingsNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(SettingsNumber, AcceptsOnlyTheSigned32BitRange) {
    const struct {
        const char* text;
        std::optional<std::int32_t> value;
    } cases[] = {
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"0000000000000000000000042", 42},
        {"0x7FFFFFFF", 0x7FFFFFFF},
        {"0x80000000", std::nullopt},
        {"0xFFFFFFFF", std::nullopt},
        {"$7fffffff", 0x7FFFFFFF},
        {"-$80000000", INT32_MIN},
        {"$80000000", std::nullopt},
        {"0x000000000000000000001", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseSettingsNumber(c.text), c.value) << c.text;
    EXPECT_EQ(SettingsNumberOr("2147483648", 77), 77);
    EXPECT_EQ(SettingsNumberOr("", -3), -3);
}

TEST(SettingsBool, NonZeroIsTrueAndNoNumberGivesTheDefault) {
    const struct {
        const char* text;
        bool defaultValue;
        bool value;
    } cases[] = {
        {"1", false, true},         {"2", false, true},           {"-1", false, true},
        {"0x10", false, true},      {"0", true, false},           {"$0", true, false},
        {"-0", true, false},        {"yes", true, true},          {"yes", false, false},
        {"", true, true},           {"", false, false},           {"true", false, false},
        {"2147483648", true, true}, {"2147483648", false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsBoolOr(c.text, c.defaultValue), c.value)
            << '"' << c.text << "\" default " << c.defaultValue;
}

TEST(SettingsKeyCombination, IsTheLow16BitsOfTheNumber) {
    const struct {
        std::int32_t number;
        KeyCombination key;
    } cases[] = {
        {0, 0},         {49220, 0xC044},     {65535, 0xFFFF},   {65536, 0},
        {65537, 1},     {-1, 0xFFFF},        {-65536, 0},       {-65535, 1},
        {INT32_MIN, 0}, {INT32_MAX, 0xFFFF}, {0x1C044, 0xC044},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KeyCombinationFromSettingsNumber(c.number), c.key) << c.number;
}

TEST(ProfileText, AQuotedValueLosesExactlyOnePairOfMatchingQuotes) {
    const struct {
        const char* stored;
        const char* read;
    } cases[] = {
        {"value", "value"},
        {"  value  ", "value"},
        {"\"quoted value\"", "quoted value"},
        {"'single'", "single"},
        {"\"  inner  \"", "  inner  "},
        {"\"open only", "\"open only"},
        {"value\"", "value\""},
        {"\"\"", ""},
        {"''", ""},
        {"\"", "\""},
        {"'", "'"},
        {"\"mixed'", "\"mixed'"},
        {"\"\"twice\"\"", "\"twice\""},
        {"'\"'", "\""},
        {"a ; b", "a ; b"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProfileTextAsRead(c.stored), c.read) << c.stored;
}

TEST(ProfileText, WhatWeWriteReadsBackUnchanged) {
    const char* texts[] = {
        "C:\\Projects",
        "",
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
        ";semi",
        "[bracket]",
        "&amp",
        "caf\xE9",
        "\xA0nbsp\xA0",
        "in \"the\" middle",
        " \" ",
        "''",
        "x",
    };
    for (const char* text : texts)
        EXPECT_EQ(ProfileTextAsRead(ProfileTextToWrite(text)), text) << '"' << text << '"';
    // Plain paths are written as they are: no quotes the user would wonder about.
    EXPECT_EQ(ProfileTextToWrite("C:\\Program Files\\x"), "C:\\Program Files\\x");
    EXPECT_EQ(ProfileTextToWrite("in \"the\" middle"), "in \"the\" middle");
}

TEST(ShortcutsSectionBlock, HoldsCountThenPathAndKeyOfEachEntryInOrder) {
    const std::string block =
        ShortcutsSectionBlock({{"C:\\Projects", 49220}, {"D:\\Music", 0}, {" x", 65535}});
    using namespace std::string_literals;
    const std::string expected = "Count=3\0"
                                 "0Path=C:\\Projects\0"
                                 "0ShortCut=49220\0"
                                 "1Path=D:\\Music\0"
                                 "1ShortCut=0\0"
                                 "2Path=\" x\"\0"
                                 "2ShortCut=65535\0"
                                 "\0"s;
    EXPECT_EQ(block, expected);
    EXPECT_EQ(ShortcutPathKey(10), "10Path");
    EXPECT_EQ(ShortcutKeyKey(10), "10ShortCut");
}

TEST(SaveTempFile, NamesAreShortAndRecognisedAndNothingElseIs) {
    const std::string name = SaveTempFileName("C:\\Tools\\Pathwink.INI", 0x1234);
    EXPECT_EQ(name, "C:\\Tools\\~pw1234.tmp");
    EXPECT_EQ(SaveTempFileOwner(pwtest::LeafName(name)), 0x1234ul);
    // For process ids below 2^20 (Windows' usual range) the name is never longer
    // than the settings file's own, so a folder that holds one holds the other.
    EXPECT_LE(pwtest::LeafName(SaveTempFileName("C:\\T\\Pathwink.INI", 0xFFFFF)).size(),
              std::string("Pathwink.INI").size());
    EXPECT_EQ(SaveTempFileName("Pathwink.INI", 255), "~pwff.tmp");

    const struct {
        const char* leaf;
        std::optional<unsigned long> owner;
    } cases[] = {
        {"~pw1.tmp", 1ul},
        {"~PWffffffff.TMP", 0xFFFFFFFFul},
        {"~pw100000000.tmp", std::nullopt},
        {"~pw.tmp", std::nullopt},
        {"~pwg1.tmp", std::nullopt},
        {"~pw-1.tmp", std::nullopt},
        {"~pw1.tmp.bak", std::nullopt},
        {"x~pw1.tmp", std::nullopt},
        {"~p1.tmp", std::nullopt},
        {"Pathwink.INI", std::nullopt},
        {"Pathwink.INI.~1-2.tmp", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SaveTempFileOwner(c.leaf), c.owner) << c.leaf;
}

TEST(FolderPathBound, TheLongestPathReadsBackExactlyQuotedOrNotAndOneMoreDoesNot) {
    for (const char* start : {"C:\\", " C:\\", "'C:\\"}) {
        SCOPED_TRACE(start);
        std::string path = start;
        path.resize(kMaxFolderPathLength, 'a');
        EXPECT_EQ(ProfileTextAsRead(ProfileTextToWrite(path)), path);
        path += 'a';
        // Written in quotes, one character more no longer reads back: the bound is
        // the longest that does for every path, not less.
        if (path[0] != 'C') {
            EXPECT_NE(ProfileTextAsRead(ProfileTextToWrite(path)), path);
        }
    }
    // As long as the longest path Windows' file functions take, less the closing quote.
    EXPECT_EQ(kMaxFolderPathLength, 32766u);
    // Counted in UTF-16 units: a character beyond U+FFFF counts two.
    EXPECT_EQ(Utf16Length("C:\\\xCE\xA6\xE6\x96\x87\xF0\x9F\x93\x81"), 3u + 1 + 1 + 2);
}

namespace {

// [Shortcuts] as GetPrivateProfileSectionA gives it, from its lines.
ProfileSection SectionOfLines(const std::vector<std::string>& lines) {
    std::string block;
    for (const std::string& line : lines)
        block += line + '\0';
    return ProfileSection::FromBlock(block + '\0');
}

std::vector<std::string> PathsOf(const std::vector<StoredShortcut>& entries) {
    std::vector<std::string> paths;
    for (const auto& e : entries)
        paths.push_back(e.path);
    return paths;
}

} // namespace

TEST(ShortcutsLoad, EveryStoredEntryLoadsAndOnlyMadeUpOnesAreBounded) {
    // maxInvented is 3 here (1,000 in the program).
    using Texts = std::vector<std::string>;
    const struct {
        const char* what;
        std::vector<std::string> lines;
        Texts paths;
    } cases[] = {
        {"more stored entries than the bound",
         {"Count=5", "0Path=a", "1Path=b", "2Path=c", "3Path=d", "4Path=e"},
         {"a", "b", "c", "d", "e"}},
        {"gaps below the bound are made up", {"Count=5", "1Path=b"}, {"C:\\", "b", "C:\\"}},
        {"a huge Count: stored ones far up, nothing made up there",
         {"Count=2147483647", "1Path=b", "100Path=x", "7ShortCut=5", "2000000000Path=far"},
         {"C:\\", "b", "C:\\", "C:\\", "x", "far"}},
        {"an entry at or beyond Count is not one",
         {"Count=2", "1Path=b", "2Path=c", "9Path=d"},
         {"C:\\", "b"}},
        {"a key without a value holds nothing",
         {"Count=9", "5Path", "6Path=f"},
         {"C:\\", "C:\\", "C:\\", "f"}},
        {"a name the reader never asks for holds nothing",
         {"Count=9", "05Path=zero", "6Paths=x", "6 Path=y", "Path=z", "-6Path=w",
          "4294967302Path=v"},
         {"C:\\", "C:\\", "C:\\"}},
        {"names in any case, blanks around them",
         {"Count=9", " 4PATH =d", "5shortcut=1"},
         {"C:\\", "C:\\", "C:\\", "d", "C:\\"}},
        {"no Count, no entries", {"0Path=a", "5Path=b"}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathsOf(ShortcutsFromSection(SectionOfLines(c.lines), 3)), c.paths) << c.what;

    const std::vector<StoredShortcut> keyOnly =
        ShortcutsFromSection(SectionOfLines({"Count=9", "7ShortCut=0x44"}), 3);
    ASSERT_EQ(keyOnly.size(), 4u);
    EXPECT_EQ(keyOnly[3], (StoredShortcut{"C:\\", 0x44}));
}

TEST(ShortcutsLoad, WhatALoadGivesASaveWritesAndTheNextLoadGivesAgain) {
    // A path over the bound (from a hand-edited file) is cut once, at the load:
    // never a character more at each save.
    constexpr std::size_t K = kMaxSettingsText;
    const std::string a = "C:\\";
    const struct {
        const char* what;
        std::string stored;
        std::size_t loadedUnits;
    } cases[] = {
        {"one unit over the bound", a + std::string(K - 3, 'a'), K - 1},
        {"far over the bound", a + std::string(K + 500, 'a'), K - 1},
        {"a blank where the reader cuts", a + std::string(K - 4, 'a') + " b", K - 1},
        {"two blanks where the reader cuts", a + std::string(K - 5, 'a') + "  b", K - 1},
        {"a quote where the reader cuts", a + std::string(K - 4, 'a') + "\"b", K - 1},
        {"an opening quote that is never closed", "\"" + a + std::string(K + 9, 'a'), K - 1},
        {"quoted, the closing quote beyond the reader's cut", "\"" + a + std::string(K, 'a') + "\"",
         K - 1},
        {"a character beyond U+FFFF across the bound",
         a + std::string(K - 5, 'a') + "\xF0\x9F\x93\x81x", K - 2},
        {"at the bound, quoted", "\" " + std::string(K - 2, 'a') + "\"", K - 1},
        {"at the bound", a + std::string(K - 4, 'a'), K - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto loaded =
            ShortcutsFromSection(SectionOfLines({"Count=1", "0Path=" + c.stored}), 3);
        ASSERT_EQ(loaded.size(), 1u);
        EXPECT_EQ(Utf16Length(loaded[0].path), c.loadedUnits);
        auto again = loaded;
        for (int save = 0; save < 3; ++save) {
            const std::string block = ShortcutsSectionBlock(again);
            again = ShortcutsFromSection(ProfileSection::FromBlock(block), 3);
            ASSERT_EQ(again.size(), 1u);
            EXPECT_EQ(Utf16Length(again[0].path), c.loadedUnits) << "after save " << save + 1;
            EXPECT_TRUE(again[0].path == loaded[0].path) << "after save " << save + 1;
        }
    }
}

TEST(SettingsEncoding, TheMarkDecidesElseValidUtf8BeyondAsciiElseAnsi) {
    using Encoding = SettingsEncoding;
    const struct {
        const char* what;
        std::string bytes;
        Encoding encoding;
    } cases[] = {
        {"empty", "", Encoding::Ansi},
        {"ASCII only", "[Options]\r\nConfirmExit=0\r\n", Encoding::Ansi},
        {"UTF-16 mark", std::string("\xFF\xFE[\0", 4), Encoding::Utf16},
        {"UTF-8 mark", "\xEF\xBB\xBF[Options]\r\n", Encoding::Utf8WithMark},
        {"UTF-8 mark, invalid after it",
         "\xEF\xBB\xBF"
         "caf\xE9",
         Encoding::Utf8WithMark},
        {"two-byte sequence", "0Path=C:\\Caf\xC3\xA9\r\n", Encoding::Utf8},
        {"three-byte sequence", "\xE2\x82\xAC", Encoding::Utf8},
        {"four-byte sequence", "\xF0\x9F\x93\x81", Encoding::Utf8},
        {"ANSI letter", "0Path=C:\\Caf\xE9\r\n", Encoding::Ansi},
        {"valid then invalid", "\xC3\xA9\xE9", Encoding::Ansi},
        {"sequence cut at the end", "caf\xC3", Encoding::Ansi},
        {"continuation byte alone", "\x80", Encoding::Ansi},
        {"overlong two bytes", "\xC0\xAF", Encoding::Ansi},
        {"overlong three bytes", "\xE0\x80\xAF", Encoding::Ansi},
        {"surrogate", "\xED\xA0\x80", Encoding::Ansi},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", Encoding::Ansi},
        {"lead byte F5", "\xF5\x80\x80\x80", Encoding::Ansi},
        {"missing continuation", "\xE2\x82x", Encoding::Ansi},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsEncodingOf(c.bytes), c.encoding) << c.what;
}

TEST(SettingsEncoding, AUtf8FileWorkedOnInUtf16ComesBackByteForByte) {
    const std::string text = "; Gr\xC3\xBC\xC3\x9F"
                             "e\r\n[Options]\r\nConfirmExit=0\r\n[Shortcuts]\r\n"
                             "0Path=C:\\\xCE\xA6 \xF0\x9F\x93\x81 \xE6\x96\x87\r\n\r\n[Mine]\n"
                             "x = \"y\" \r\n";
    for (const bool marked : {true, false}) {
        SCOPED_TRACE(marked ? "marked" : "unmarked");
        const std::string file = (marked ? "\xEF\xBB\xBF" : "") + text;
        const SettingsEncoding encoding = SettingsEncodingOf(file);
        const std::string utf16 = SettingsBytesAsUtf16(file, encoding);
        EXPECT_EQ(utf16.substr(0, 4), std::string("\xFF\xFE;\0", 4)) << "one mark, then the text";
        EXPECT_EQ(Utf16BytesAsUtf8(utf16, marked), file);
    }
    EXPECT_EQ(Utf16BytesAsUtf8(std::string("a\0b\0c", 5), false), "ab") << "an odd byte is dropped";
    EXPECT_EQ(SettingsBytesAsUtf16("caf\xE9", SettingsEncoding::Ansi),
              std::string("\xFF\xFE"
                          "c\0a\0f\0\xE9\0",
                          10))
        << "ANSI as earlier: the code page's letter";
}
