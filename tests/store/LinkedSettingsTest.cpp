// A settings file with a second name, as Scoop keeps a persisted file (a hard link
// into its own folder): a save keeps both names and writes the same settings
// through each; what a save cut short in the middle of its in-place write left is
// made whole by the next load or save; a save that cannot write changes nothing.

#include "store/FileReplace.h"
#include "store/Settings.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/support/TestSupport.h"
#include "win/Errors.h"
#include "win/Text.h"

#include <gtest/gtest.h>

#include <functional>

using namespace pw;
using namespace storetest;

namespace {

const std::string kOld = "[Options]\r\nConfirmExit=1\r\n[Shortcuts]\r\nCount=0\r\n";
// What a save that was killed had finished in its pending copy.
const std::string kNew = "[Kept]\r\nnote=from the finished save\r\n[Options]\r\nConfirmExit=0\r\n";
// The file after a kill in the middle of the in-place write of kNew over kOld: it
// has no [Options] (ConfirmExit would read as on) and no note.
const std::string kTorn = kNew.substr(0, 12) + kOld.substr(12);

enum class Action { Load, Save, SaveWhileOpenElsewhere };

} // namespace

TEST(LinkedSettings, BothNamesKeepOneFileThatAlwaysReadsAsWholeSettings) {
    const struct {
        const char* what;
        std::string file;    // the settings file before, "" for none
        std::string pending; // the pending copy a killed save left, "" for none
        Action action;
        // After it: the bytes through both names, or for a save its two values.
        std::string bytes, confirmExit, kept;
    } cases[] = {
        {"a save", kOld, "", Action::Save, "", "0", "<absent>"},
        {"a load after a kill in the middle of the in-place write", kTorn, kNew, Action::Load, kNew,
         "", ""},
        {"a load after a kill that wrote it all", kNew, kNew, Action::Load, kNew, "", ""},
        {"a load after a kill before the in-place write", kOld, kNew, Action::Load, kNew, "", ""},
        // The save builds on the finished content, not on the half-written one, and
        // the pending copy never comes back over it.
        {"a save after a kill in the middle of the in-place write", kTorn, kNew, Action::Save, "",
         "0", "from the finished save"},
        {"a load after the file was deleted", "", kNew, Action::Load, kNew, "", ""},
        {"a save while another program has it open", kOld, "", Action::SaveWhileOpenElsewhere, kOld,
         "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        const std::string other = box.folder + "\\persist\\Pathwink.INI";
        const std::string pending = Utf8(PendingCopyOf(Wide(box.iniPath)));
        ASSERT_TRUE(CreateDirectoryA((box.folder + "\\persist").c_str(), nullptr));
        WriteBytes(other, c.file.empty() ? kOld : c.file);
        if (!c.file.empty()) {
            ASSERT_TRUE(CreateHardLinkA(box.iniPath.c_str(), other.c_str(), nullptr));
        }
        if (!c.pending.empty())
            WriteBytes(pending, c.pending);
        const DWORD names = c.file.empty() ? 1 : 2;

        SettingsStore store = box.Store();
        Options options;
        options.confirmExit = false;
        ShortcutTable table(nullptr);
        switch (c.action) {
        case Action::Load:
            EXPECT_FALSE(store.LoadOptions().confirmExit) << "the new settings are read";
            storetest::LoadInto(store, table);
            break;
        case Action::Save:
            store.SaveSettings(options, table.Stored());
            break;
        case Action::SaveWhileOpenElsewhere: {
            HANDLE held = CreateFileA(other.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
            EXPECT_THROW(store.SaveSettings(options, table.Stored()), UserError);
            CloseHandle(held);
            EXPECT_EQ(Listing(box.folder).size(), 2u) << "no temporary file stays";
            break;
        }
        }

        const auto bytes = ReadBytes(box.iniPath);
        ASSERT_TRUE(bytes);
        if (!c.bytes.empty()) {
            EXPECT_EQ(*bytes, c.bytes);
        }
        if (!c.confirmExit.empty()) {
            EXPECT_EQ(ProfileText(box.iniPath, "Options", "ConfirmExit"), c.confirmExit);
            EXPECT_EQ(ProfileText(box.iniPath, "Kept", "note"), c.kept);
        }
        if (names == 2) {
            EXPECT_EQ(ReadBytes(other), bytes) << "the second name reads the same";
        }
        EXPECT_EQ(pwtest::FileNameCount(box.iniPath), names);
        EXPECT_FALSE(ReadBytes(pending)) << "no pending copy is left";
    }
}
