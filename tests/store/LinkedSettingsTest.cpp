// A settings file with a second name, as Scoop keeps a persisted file (a hard link
// into its own folder), or reached through a symbolic link: a save keeps every
// name and writes the same settings through each; what a save cut short in the
// middle of its in-place write left is made whole by the next load or save; any
// other leftover under the pending copy's name is set aside, once, and never wins
// over the settings file nor stops a save; a save that cannot write changes nothing.

#include "store/FileReplace.h"
#include "store/PendingCopy.h"
#include "store/Settings.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/support/TestSupport.h"
#include "win/Errors.h"
#include "win/Text.h"

#include <gtest/gtest.h>

using namespace pw;
using namespace storetest;

namespace {

const std::string kOld = "[Options]\r\nConfirmExit=1\r\n[Shortcuts]\r\nCount=0\r\n";
// What a save that was killed had finished.
const std::string kNew = "[Kept]\r\nnote=from the finished save\r\n[Options]\r\nConfirmExit=0\r\n";
// The file after a kill in the middle of the in-place write of kNew over kOld: it
// has no [Options] (ConfirmExit would read as on) and no note.
const std::string kTorn = kNew.substr(0, 12) + kOld.substr(12);
// The pending copy that save left.
const std::string kCopy = PendingCopyBytes(kNew, kOld);
// The file as a person edited it after that save was cut short.
const std::string kEdited =
    "[Options]\r\nConfirmExit=1\r\n[Shortcuts]\r\nCount=1\r\n0Path=C:\\B\r\n";
const std::string kNone = "<none>";

// What lies under the pending copy's name, unless pending is kNone: a file (also
// read-only, or held open by another program), a folder or a huge file.
enum class Leftover { File, ReadOnly, HeldOpen, Folder, Huge };
enum class Action { Load, Save, SaveWhileOpen };
// What became of it: gone (a save's, now complete), set aside under a name saying so, or left.
enum class Fate { Gone, SetAside, Stays };

} // namespace

TEST(LinkedSettings, EveryNameReadsWholeSettingsAndOnlyATornSavesOwnCopyIsApplied) {
    using L = Leftover;
    using A = Action;
    using F = Fate;
    const struct {
        const char* what;
        std::string file, pending; // before it, kNone for none
        Action action;
        Fate fate;
        // After it: the bytes through every name ("" after a save), and a save's note
        // with ConfirmExit=0 ("" when the save fails).
        std::string bytes, kept = "";
        Leftover leftover = L::File;
        bool symbolic = false; // a symbolic link, not a hard link
    } cases[] = {
        {"a save", kOld, kNone, A::Save, F::Gone, "", "<absent>"},
        {"a load after a kill amid the in-place write", kTorn, kCopy, A::Load, F::Gone, kNew},
        {"a load after a kill that wrote it all", kNew, kCopy, A::Load, F::Gone, kNew},
        {"a load after a kill before the in-place write", kOld, kCopy, A::Load, F::Gone, kNew},
        // The save builds on the finished content, not on the half-written one, and
        // the pending copy never comes back over it.
        {"a save after a kill amid the in-place write", kTorn, kCopy, A::Save, F::Gone, "",
         "from the finished save"},
        {"a save while another program has it open", kOld, kNone, A::SaveWhileOpen, F::Gone, kOld},
        {"a read-only torn save's copy", kTorn, kCopy, A::Load, F::Gone, kNew, "", L::ReadOnly},
        // Not the torn result of the copy's save: the settings file wins.
        {"a load after the file was deleted", kNone, kCopy, A::Load, F::SetAside, kNone},
        {"a load after the file was edited by hand", kEdited, kCopy, A::Load, F::SetAside, kEdited},
        {"a read-only copy older than a hand edit", kEdited, kCopy, A::Load, F::SetAside, kEdited,
         "", L::ReadOnly},
        {"an empty copy", kOld, "", A::Load, F::SetAside, kOld},
        {"a copy cut short", kTorn, kCopy.substr(0, kCopy.size() - 2), A::Load, F::SetAside, kTorn},
        {"a copy of other bytes", kOld, std::string("\0\xFF[Options]\r\n", 13), A::Load,
         F::SetAside, kOld},
        {"a folder as the copy", kOld, kNone, A::Save, F::SetAside, "", "<absent>", L::Folder},
        {"a huge file as the copy", kOld, kNone, A::Save, F::SetAside, "", "<absent>", L::Huge},
        // Unread, it could be the torn file's copy: the save names it and waits.
        {"a copy held open elsewhere", kTorn, kCopy, A::Save, F::Stays, kTorn, "", L::HeldOpen},
        {"a save through a symlink", kOld, kNone, A::Save, F::Gone, "", "<absent>", L::File, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        const std::string other = box.folder + "\\persist\\Pathwink.INI";
        const std::string pending = Utf8(PendingCopyOf(Wide(box.iniPath)));
        ASSERT_TRUE(CreateDirectoryA((box.folder + "\\persist").c_str(), nullptr));
        WriteBytes(other, c.file == kNone ? kOld : c.file);
        if (c.file != kNone) {
            ASSERT_TRUE(c.symbolic ? pwtest::SetSymbolicLink(box.iniPath, "persist\\Pathwink.INI")
                                   : CreateHardLinkA(box.iniPath.c_str(), other.c_str(), nullptr));
        }
        if (c.pending != kNone)
            WriteBytes(pending, c.pending);
        if (c.leftover == L::ReadOnly) {
            ASSERT_TRUE(SetFileAttributesA(pending.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        if (c.leftover == L::Folder) {
            ASSERT_TRUE(CreateDirectoryA(pending.c_str(), nullptr));
        }
        if (c.leftover == L::Huge) { // larger than a settings file may be
            HANDLE huge =
                CreateFileA(pending.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            ASSERT_TRUE(
                SetFilePointerEx(huge, LARGE_INTEGER{{257u << 20, 0}}, nullptr, FILE_BEGIN) &&
                SetEndOfFile(huge) && CloseHandle(huge));
        }
        // Another program's handle on the copy, sharing nothing, or on the settings file.
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.leftover == L::HeldOpen || c.action == A::SaveWhileOpen) {
            held = CreateFileA((c.action == A::SaveWhileOpen ? other : pending).c_str(),
                               GENERIC_READ, c.action == A::SaveWhileOpen ? FILE_SHARE_READ : 0,
                               nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
        }
        const auto before = Listing(box.folder);

        SettingsStore store = box.Store();
        Options options;
        options.confirmExit = false;
        ShortcutTable table(nullptr);
        std::string error = "<no error>";
        if (c.action == A::Load) {
            EXPECT_EQ(store.LoadOptions().confirmExit, c.bytes != kNew) << "what stays is read";
            LoadInto(store, table);
        } else {
            try {
                store.SaveSettings(options, table.Stored());
            } catch (const UserError& e) {
                error = e.what();
            }
        }
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);

        const auto bytes = ReadBytes(box.iniPath);
        if (!c.bytes.empty()) {
            EXPECT_EQ(bytes.value_or(kNone), c.bytes);
        }
        if (!c.kept.empty()) {
            EXPECT_EQ(error, "<no error>");
            EXPECT_EQ(ProfileText(box.iniPath, "Options", "ConfirmExit"), "0");
            EXPECT_EQ(ProfileText(box.iniPath, "Kept", "note"), c.kept);
        }
        if (c.action == A::SaveWhileOpen) {
            EXPECT_NE(error, "<no error>");
        }
        if (c.leftover == L::HeldOpen) {
            EXPECT_EQ(error, "Unable to write to " + box.iniPath + ".\n" + pending +
                                 " is in the way: " + SystemReason(ERROR_SHARING_VIOLATION));
        }
        if (c.file != kNone) {
            EXPECT_EQ(ReadBytes(other), bytes) << "the second name reads the same";
            if (!c.symbolic) {
                EXPECT_EQ(pwtest::FileNameCount(box.iniPath), 2u);
            }
            WriteBytes(other, "[Later]\r\n");
            EXPECT_EQ(ReadBytes(box.iniPath), "[Later]\r\n") << "both names are one file still";
        }
        // The listing beside the settings file: the leftover moved aside, once.
        const auto after = Listing(box.folder);
        std::vector<std::string> setAside;
        for (const std::string& name : after)
            if (name.rfind("Pathwink.INI.~new.unused-", 0) == 0)
                setAside.push_back(name);
        EXPECT_EQ(setAside.size(), c.fate == F::SetAside ? 1u : 0u) << "set aside";
        EXPECT_EQ(GetFileAttributesA(pending.c_str()) != INVALID_FILE_ATTRIBUTES,
                  c.fate == F::Stays)
            << "the pending copy's name is free";
        if (setAside.size() == 1 && c.pending != kNone) {
            EXPECT_EQ(ReadBytes(box.folder + "\\" + setAside[0]), c.pending) << "kept as it was";
        }
        EXPECT_EQ(after.size(), before.size() - (c.fate == F::Gone && c.pending != kNone))
            << "nothing else is left";
        if (c.symbolic) {
            EXPECT_TRUE(pwtest::SetSymbolicLink(box.iniPath, ""));
        }
    }
}
