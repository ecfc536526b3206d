// Loading reads [Shortcuts] with one GetPrivateProfileSectionA and applies the
// profile reader's rules itself. These tests hold that reading to what
// GetPrivateProfileStringA returns key by key, over files a user or an old
// version could have left.

#include "store/Settings.h"
#include "tests/store/StoreTestSupport.h"
#include "win/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace pw;
using namespace storetest;
using namespace std::string_literals;

namespace {

struct CorpusFile {
    const char* name;
    std::string bytes;
    std::vector<std::string> extraKeys; // looked up besides Count, nPath and nShortCut
};

std::string Repeat(char c, std::size_t n) {
    return std::string(n, c);
}

std::vector<CorpusFile> Corpus() {
    // Around the reader's limit, kMaxSettingsText (K) units: K-1, K, K+1 and K+1000.
    constexpr std::size_t K = kMaxSettingsText;
    const std::string atLimitLess1 = Repeat('a', K - 1), atLimit = Repeat('b', K),
                      overLimit = Repeat('c', K + 1), farOverLimit = Repeat('d', K + 1000);
    return {
        {"blanks",
         "[Shortcuts]\r\nCount = 2 \r\n 0Path =   C:\\A  \r\n0ShortCut=\t49220\t\r\n"
         "\t1Path\t=\tD:\\B\t\r\n1ShortCut= 7 \r\n",
         {}},
        {"quotes",
         "[Shortcuts]\r\nCount=9\r\n0Path=\"quoted value\"\r\n1Path='single'\r\n"
         "2Path=  \"  inner  \"  \r\n3Path=\"open only\r\n4Path=value\"\r\n5Path=\"\"\r\n"
         "6Path=\"\r\n7Path='mixed\"\r\n8Path=\"a\"b\"\r\n0ShortCut=\"12\"\r\n1ShortCut=' 12'\r\n"
         "2ShortCut=\"12 \"\r\n3ShortCut='0x10'\r\n",
         {}},
        {"duplicates",
         "[Shortcuts]\r\nCount=3\r\nCount=1\r\n0Path=first\r\n0Path=second\r\n0PATH=third\r\n"
         "1Path\r\n1Path=after a line without equals\r\n2ShortCut=5\r\n2shortcut=6\r\n",
         {}},
        {"case",
         "[SHORTCUTS]\r\nCOUNT=2\r\n0pAtH=lower and upper\r\n0SHORTCUT=0x44\r\n"
         "1path=C:\\x\r\n",
         {}},
        {"comments",
         "; leading comment\r\n[Shortcuts]\r\n;Count=9\r\nCount=2\r\n;0Path=commented\r\n"
         "  ; 1Path=commented too\r\n0Path=real ; not a comment\r\n# 1Path=hash\r\n1Path=x\r\n",
         // Not ";0Path": the reader finds a key of that name on a comment line, while
         // the section list leaves comment lines out. We never ask for such a key.
         {"# 1Path"}},
        {"empty values",
         "[Shortcuts]\r\nCount=2\r\n0Path=\r\n0ShortCut=\r\n1Path=   \r\n"
         "1ShortCut=  \t \r\n",
         {}},
        {"missing keys", "[Shortcuts]\r\nCount=4\r\n1Path=only one\r\n3ShortCut=3\r\n", {}},
        {"lf line ends", "[Shortcuts]\nCount=2\n0Path=C:\\lf\n0ShortCut=1\n1Path=D:\\lf\n", {}},
        {"cr line ends", "[Shortcuts]\rCount=2\r0Path=C:\\cr\r0ShortCut=1\r1Path=D:\\cr\r", {}},
        {"mixed line ends", "[Shortcuts]\r\nCount=2\n\n\r0Path=mixed\n\r1Path=ends\r\r\n", {}},
        {"no final line end", "[Shortcuts]\r\nCount=1\r\n0Path=C:\\last", {}},
        {"lines without equals",
         "[Shortcuts]\r\nCount=2\r\ngarbage line\r\n0Path\r\n0Path=later\r\n1ShortCut\r\n"
         "1Path=kept\r\n",
         {"garbage line"}},
        {"spaces in section names",
         "[ Shortcuts ]\r\nCount=1\r\n0Path=spaced section\r\n[Short cuts]\r\n1Path=other\r\n",
         {}},
        {"section name with tabs", "[\tshortcuts\t]\r\nCount=1\r\n0Path=tabbed\r\n", {}},
        {"very long values",
         "[Shortcuts]\r\nCount=9\r\n0Path=" + farOverLimit + "\r\n1Path=\"" + atLimitLess1 +
             "\"\r\n2Path=\"" + atLimit + "\"\r\n3Path=\"" + overLimit + "\"\r\n4Path=" + atLimit +
             "\r\n5Path=" + overLimit + "\r\n6Path='" + farOverLimit + "'\r\n7Path=\"" +
             atLimitLess1 + "\r\n8Path= " + atLimit + "  \r\n",
         {}},
        {"numbered keys with padding",
         "[Shortcuts]\r\nCount=2\r\n01Path=padded\r\n 0Path =trimmed\r\n0 ShortCut=1\r\n"
         "+1Path=plus\r\n1Path =x\r\n00Path=zeros\r\n",
         {"01Path", " 0Path ", "0 ShortCut", "+1Path", "00Path"}},
        {"two sections of the name",
         "[Shortcuts]\r\nCount=2\r\n0Path=first section\r\n[Options]\r\nX=1\r\n[Shortcuts]\r\n"
         "1Path=second section\r\nCount=5\r\n",
         {}},
        {"keys before any section", "Count=3\r\n0Path=orphan\r\n[Shortcuts]\r\n1Path=x\r\n", {}},
        {"empty file", "", {}},
        {"section only", "[Shortcuts]\r\n", {}},
        {"no such section", "[Options]\r\nCount=2\r\n0Path=wrong section\r\n", {}},
        {"nul bytes",
         "[Shortcuts]\r\nCount=2\r\n0Path=ab\0cd\r\n1Pa\0th=cut key\r\n1ShortCut=1\0 2\r\n"s,
         {"1Pa"}},
        {"ansi characters",
         "[Shortcuts]\r\nCount=2\r\n0Path=C:\\caf\xE9\r\n0P\xE0th=x\r\n"
         "1Path=\xA0nbsp\xA0\r\n",
         {"0P\xC3\xA0th"}}, // the key as the program names it: in UTF-8
        {"utf-8 with bom", "\xEF\xBB\xBF[Shortcuts]\r\nCount=1\r\n0Path=C:\\caf\xC3\xA9\r\n", {}},
        {"other blanks",
         "[Shortcuts]\r\nCount=\x1A"
         "2\x1A\r\n0Path=\x0B"
         "vt\x0C\r\n"
         "1Path=\x1A\"z\"\x1A\r\n",
         {}},
        {"equals signs",
         "[Shortcuts]\r\nCount=2\r\n=no name\r\n==\r\n0Path==x\r\n1Path=a=b=c\r\n",
         {""}},
        {"broken section headers",
         "[Shortcuts\r\nCount=1\r\n[Shortcuts]trailing\r\nCount=2\r\n0Path=after header\r\n"
         "[Shortcuts] ; note\r\n1Path=x\r\n",
         {"[Shortcuts"}},
        {"many entries",
         [] {
             std::string s = "[Shortcuts]\r\nCount=1200\r\n";
             for (int i = 0; i < 1200; ++i)
                 s += std::to_string(i) + "Path=C:\\Folder " + std::to_string(i) + "\r\n" +
                      std::to_string(i) + "ShortCut=" + std::to_string(i * 37) + "\r\n";
             return s;
         }(),
         {}},
    };
}

// The reference: every key read on its own with GetPrivateProfileStringA; an entry
// below Count that the file holds is loaded at any number (the corpus stays below
// 5,000), one it lacks only below kMaxLoadedShortcuts; a path is cut once, to the
// longest that reads back.
std::vector<StoredShortcut> ReadKeyByKey(const std::string& file) {
    std::vector<StoredShortcut> entries;
    const int count = SettingsNumberOr(ProfileText(file, "Shortcuts", "Count", ""), 0);
    for (int i = 0; i < std::min(count, 5000); ++i) {
        const bool stored =
            ProfileText(file, "Shortcuts", ShortcutPathKey(i), "<absent>") != "<absent>" ||
            ProfileText(file, "Shortcuts", ShortcutKeyKey(i), "<absent>") != "<absent>";
        if (i >= kMaxLoadedShortcuts && !stored)
            continue;
        StoredShortcut e;
        e.path = std::string(Utf16Prefix(ProfileText(file, "Shortcuts", ShortcutPathKey(i), "C:\\"),
                                         kMaxFolderPathLength));
        e.key = KeyCombinationFromSettingsNumber(
            SettingsNumberOr(ProfileText(file, "Shortcuts", ShortcutKeyKey(i), ""), 0));
        entries.push_back(e);
    }
    return entries;
}

std::string Shown(const std::string& s) {
    return s.size() > 60 ? s.substr(0, 30) + "...(" + std::to_string(s.size()) + " chars)" : s;
}

ProfileSection SectionOf(const std::string& file) {
    std::vector<wchar_t> buffer(1 << 22);
    const DWORD n = GetPrivateProfileSectionW(
        L"Shortcuts", buffer.data(), static_cast<DWORD>(buffer.size()), Wide(file).c_str());
    return ProfileSection::FromBlock(Utf8(std::wstring_view(buffer.data(), n)));
}

} // namespace

TEST(ShortcutsSectionReading, GivesWhatKeyByKeyReadingGivesForAwkwardFiles) {
    Sandbox box;
    int index = 0;
    for (const CorpusFile& corpus : Corpus()) {
        SCOPED_TRACE(corpus.name);
        // A file of its own for each: the profile functions cache files by name.
        const std::string file = box.folder + "\\corpus" + std::to_string(index++) + ".ini";
        WriteBytes(file, corpus.bytes);

        const ProfileSection section = SectionOf(file);
        std::vector<std::string> keys = corpus.extraKeys;
        keys.push_back("Count");
        for (int i = 0; i < 12; ++i) {
            keys.push_back(ShortcutPathKey(i));
            keys.push_back(ShortcutKeyKey(i));
        }
        for (const std::string& key : keys) {
            const std::string expected = ProfileText(file, "Shortcuts", key, "<absent>");
            const std::string actual = section.TextOr(key, "<absent>");
            EXPECT_EQ(actual, expected) << "key \"" << key << "\": got " << Shown(actual)
                                        << ", the reader gives " << Shown(expected);
        }

        const std::vector<StoredShortcut> reference = ReadKeyByKey(file);
        EXPECT_EQ(ReadStoredShortcuts(file), reference);
        // A buffer that has to grow many times, and one too small for the fallback.
        EXPECT_EQ(ReadStoredShortcuts(file, {16, 1 << 24}), reference);
        EXPECT_EQ(ReadStoredShortcuts(file, {16, 64}), reference);
    }
}

TEST(ShortcutsSectionReading, TheLongValueCutMatchesTheReader) {
    // The reader keeps at most kMaxSettingsText (K) characters; a quoted value whose
    // closing quote falls at the cut loses one more. Checked against the reader directly.
    constexpr std::size_t K = kMaxSettingsText;
    Sandbox box;
    const std::string file = box.folder + "\\long.ini";
    std::string bytes = "[Shortcuts]\r\n";
    const struct {
        const char* key;
        std::size_t inner;
        bool quoted;
        std::size_t expected;
    } cases[] = {
        {"plainK", K, false, K},
        {"plainK+1", K + 1, false, K},
        {"quotedK-2", K - 2, true, K - 2},
        {"quotedK-1", K - 1, true, K - 1},
        {"quotedK", K, true, K - 1},
        {"quotedK+1", K + 1, true, K},
        {"quotedK+2000", K + 2000, true, K},
    };
    for (const auto& c : cases) {
        const std::string inner(c.inner, 'q');
        bytes += std::string(c.key) + "=" + (c.quoted ? "\"" + inner + "\"" : inner) + "\r\n";
    }
    WriteBytes(file, bytes);
    const ProfileSection section = SectionOf(file);
    for (const auto& c : cases) {
        EXPECT_EQ(ProfileText(file, "Shortcuts", c.key).size(), c.expected) << c.key;
        EXPECT_EQ(section.TextOr(c.key, "").size(), c.expected) << c.key;
    }
}
