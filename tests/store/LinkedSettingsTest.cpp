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

enum class Link { Hard, Symbolic };
// What lies under the pending copy's name.
enum class Leftover { Copy, ReadOnlyCopy, CopyHeldOpen, Folder, HugeFile };
enum class Action { Load, Save, SaveWhileOpenElsewhere };
// What became of it: gone (it was a save's, now complete), set aside under a name
// that says so, or left where it is.
enum class Fate { Gone, SetAside, Stays };

} // namespace

TEST(LinkedSettings, EveryNameReadsWholeSettingsAndOnlyATornSavesOwnCopyIsApplied) {
    using L = Leftover;
    using A = Action;
    using F = Fate;
    const struct {
        const char* what;
        std::string file; // the settings file before, kNone for none
        Link link;
        std::string pending; // kNone for none
        Leftover leftover;
        Action action;
        Fate fate;
        // After it: the bytes through every name ("" after a save: its two values).
        std::string bytes, confirmExit, kept;
    } cases[] = {
        {"a save", kOld, Link::Hard, kNone, L::Copy, A::Save, F::Gone, "", "0", "<absent>"},
        {"a load after a kill in the middle of the in-place write", kTorn, Link::Hard, kCopy,
         L::Copy, A::Load, F::Gone, kNew, "", ""},
        {"a load after a kill that wrote it all", kNew, Link::Hard, kCopy, L::Copy, A::Load,
         F::Gone, kNew, "", ""},
        {"a load after a kill before the in-place write", kOld, Link::Hard, kCopy, L::Copy, A::Load,
         F::Gone, kNew, "", ""},
        // The save builds on the finished content, not on the half-written one, and
        // the pending copy never comes back over it.
        {"a save after a kill in the middle of the in-place write", kTorn, Link::Hard, kCopy,
         L::Copy, A::Save, F::Gone, "", "0", "from the finished save"},
        {"a save while another program has it open", kOld, Link::Hard, kNone, L::Copy,
         A::SaveWhileOpenElsewhere, F::Gone, kOld, "", ""},
        {"a read-only copy of a kill in the middle: applied, then removed", kTorn, Link::Hard,
         kCopy, L::ReadOnlyCopy, A::Load, F::Gone, kNew, "", ""},
        // Not the torn result of the copy's save: the settings file wins.
        {"a load after the file was deleted", kNone, Link::Hard, kCopy, L::Copy, A::Load,
         F::SetAside, kNone, "", ""},
        {"a load after the file was edited by hand", kEdited, Link::Hard, kCopy, L::Copy, A::Load,
         F::SetAside, kEdited, "", ""},
        {"a read-only copy older than a hand edit", kEdited, Link::Hard, kCopy, L::ReadOnlyCopy,
         A::Load, F::SetAside, kEdited, "", ""},
        {"an empty copy", kOld, Link::Hard, "", L::Copy, A::Load, F::SetAside, kOld, "", ""},
        {"a copy cut short", kTorn, Link::Hard, kCopy.substr(0, kCopy.size() - 2), L::Copy, A::Load,
         F::SetAside, kTorn, "", ""},
        {"a copy of other bytes", kOld, Link::Hard, std::string("\0\xFF[Options]\r\n", 13), L::Copy,
         A::Load, F::SetAside, kOld, "", ""},
        {"a save with a folder named as the copy", kOld, Link::Hard, kNone, L::Folder, A::Save,
         F::SetAside, "", "0", "<absent>"},
        {"a save with a huge file named as the copy", kOld, Link::Hard, kNone, L::HugeFile, A::Save,
         F::SetAside, "", "0", "<absent>"},
        // Unread, it could be the torn file's copy: the save names it and waits.
        {"a save while another program holds a copy open", kTorn, Link::Hard, kCopy,
         L::CopyHeldOpen, A::Save, F::Stays, kTorn, "", ""},
        {"a save through a symbolic link", kOld, Link::Symbolic, kNone, L::Copy, A::Save, F::Gone,
         "", "0", "<absent>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        const std::string other = box.folder + "\\persist\\Pathwink.INI";
        const std::string pending = Utf8(PendingCopyOf(Wide(box.iniPath)));
        ASSERT_TRUE(CreateDirectoryA((box.folder + "\\persist").c_str(), nullptr));
        WriteBytes(other, c.file == kNone ? kOld : c.file);
        if (c.file != kNone && c.link == Link::Hard) {
            ASSERT_TRUE(CreateHardLinkA(box.iniPath.c_str(), other.c_str(), nullptr));
        } else if (c.file != kNone) {
            ASSERT_TRUE(pwtest::SetSymbolicLink(box.iniPath, "persist\\Pathwink.INI"));
        }
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.leftover == Leftover::Folder) {
            ASSERT_TRUE(CreateDirectoryA(pending.c_str(), nullptr));
        } else if (c.leftover == Leftover::HugeFile) {
            held = CreateFileA(pending.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            LARGE_INTEGER size{};
            size.QuadPart = 257LL * 1024 * 1024;
            ASSERT_TRUE(SetFilePointerEx(held, size, nullptr, FILE_BEGIN) && SetEndOfFile(held));
            CloseHandle(held);
            held = INVALID_HANDLE_VALUE;
        } else if (c.pending != kNone) {
            WriteBytes(pending, c.pending);
        }
        if (c.leftover == Leftover::ReadOnlyCopy) {
            ASSERT_TRUE(SetFileAttributesA(pending.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        if (c.leftover == Leftover::CopyHeldOpen)
            held =
                CreateFileA(pending.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const auto before = Listing(box.folder);

        SettingsStore store = box.Store();
        Options options;
        options.confirmExit = false;
        ShortcutTable table(nullptr);
        std::string error;
        switch (c.action) {
        case Action::Load:
            EXPECT_EQ(store.LoadOptions().confirmExit, c.bytes != kNew) << "what stays is read";
            storetest::LoadInto(store, table);
            break;
        case Action::Save:
            try {
                store.SaveSettings(options, table.Stored());
            } catch (const UserError& e) {
                error = e.what();
            }
            break;
        case Action::SaveWhileOpenElsewhere: {
            HANDLE open = CreateFileA(other.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(open, INVALID_HANDLE_VALUE);
            EXPECT_THROW(store.SaveSettings(options, table.Stored()), UserError);
            CloseHandle(open);
            break;
        }
        }
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);

        const auto bytes = ReadBytes(box.iniPath);
        if (c.bytes == kNone) {
            EXPECT_FALSE(bytes) << "a deleted settings file stays deleted";
        } else if (!c.bytes.empty()) {
            EXPECT_EQ(bytes.value_or(kNone), c.bytes);
        }
        if (!c.confirmExit.empty()) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(ProfileText(box.iniPath, "Options", "ConfirmExit"), c.confirmExit);
            EXPECT_EQ(ProfileText(box.iniPath, "Kept", "note"), c.kept);
        }
        if (c.leftover == Leftover::CopyHeldOpen) {
            EXPECT_EQ(error, "Unable to write to " + box.iniPath + ".\n" + pending +
                                 " is in the way: " + SystemReason(ERROR_SHARING_VIOLATION));
        }
        if (c.file != kNone) {
            EXPECT_EQ(ReadBytes(other), bytes) << "the second name reads the same";
            if (c.link == Link::Hard) {
                EXPECT_EQ(pwtest::FileNameCount(box.iniPath), 2u);
            }
            WriteBytes(other, "[Later]\r\n");
            EXPECT_EQ(ReadBytes(box.iniPath), "[Later]\r\n") << "both names are one file still";
        }
        // The listing beside the settings file: the leftover moved aside, once.
        auto after = Listing(box.folder);
        std::vector<std::string> setAside;
        for (const std::string& name : after)
            if (name.rfind("Pathwink.INI.~new.unused-", 0) == 0)
                setAside.push_back(name);
        EXPECT_EQ(setAside.size(), c.fate == Fate::SetAside ? 1u : 0u) << "set aside";
        EXPECT_EQ(GetFileAttributesA(pending.c_str()) != INVALID_FILE_ATTRIBUTES,
                  c.fate == Fate::Stays)
            << "the pending copy's name is free";
        if (setAside.size() == 1 && c.pending != kNone) {
            EXPECT_EQ(ReadBytes(box.folder + "\\" + setAside[0]), c.pending) << "kept as it was";
        }
        if (c.fate != Fate::SetAside) {
            EXPECT_EQ(after.size(), before.size() - (c.fate == Fate::Gone && c.pending != kNone))
                << "nothing else is left";
        }
        if (c.link == Link::Symbolic) {
            EXPECT_TRUE(pwtest::SetSymbolicLink(box.iniPath, ""));
        }
    }
}
