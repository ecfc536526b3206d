// The flows that change the shortcuts: new (also for a folder handed over by
// another program), edit and delete. New and edit fill the editor, show it,
// check what comes back and show it again with the user's input intact until the
// input passes or the user cancels; only then do the table and the binding change,
// the list is rebuilt and the whole settings file is rewritten.
//
// One flow runs at a time, from start to end. What arrives while it waits on the
// editor or a question (a handed-over folder, a click, a close request) waits for
// it or ends it: the table never holds a half-done change while a message can come in.

#include "app/PathwinkApp.h"

#include "app/CommandLine.h"
#include "dialogs/ShortcutEditor.h"
#include "hotkey/KeyNames.h"
#include "store/SettingsFormat.h"
#include "win/Application.h"
#include "win/Messages.h"
#include "win/ModalWindow.h"
#include "win/Text.h"

namespace pw {

namespace {

const char kEmptyFolder[] = "You must define a folder.";
const char kControlCharacters[] =
    "The folder path contains a line break or another control character. Please enter the "
    "folder path on a single line.";
const char kWeakKey[] =
    "Warning: the shortcut key combination you have chosen is \"weak.\"\nShortcuts should have "
    "two or more modifiers (Alt, Ctrl, or Shift) to avoid interfering with other "
    "applications.\nAre you sure you want to use this shortcut?";
const char kFolderWarning[] =
    "The folder you have selected is either invalid or is a removable drive without media "
    "present.\nAre you sure you wish to specify this folder?";
const char kRegistrationFailed[] =
    "Unable to register shortcut.  Another system shortcut with the same hotkey probably exists.";

// 32766 -> "32,766".
std::string WithThousands(std::size_t n) {
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::string TooLongText() {
    return "The folder path is longer than " + WithThousands(kMaxFolderPathLength) +
           " characters, the longest Pathwink can keep. Please choose a folder with a shorter "
           "path.";
}

// "On the German keyboard, Ctrl+Alt+E types €. While this shortcut is active,
// AltGr+E opens the folder instead of typing €. Use this combination anyway?"
std::string AltGrQuestionText(KeyCombination key, const AltGrCharacter& typed) {
    const std::string altGrKeys =
        std::string("AltGr+") + ((key & scShift) ? "Shift+" : "") + KeyCombinationText(key & 0xFF);
    // A dead key types its accent on the key after it.
    const std::string what = typed.deadKey ? "the accent " + typed.character : typed.character;
    return "On the " + typed.layoutName + " keyboard, " + KeyCombinationText(key) + " types " +
           what + ". While this shortcut is active, " + altGrKeys +
           " opens the folder instead of typing " + what + ". Use this combination anyway?";
}

} // namespace

// ---- running one flow at a time -------------------------------------------------

void PathwinkApp::RunFlow(const std::function<void()>& body) {
    flowRunning_ = true;
    try {
        body();
    } catch (...) {
        EndFlow();
        throw;
    }
    EndFlow();
}

void PathwinkApp::EndFlow() {
    flowRunning_ = false;
    // Both are posted: the close and the next folder's flow start from the message
    // loop, after an error of this flow has been reported.
    if (closeRequested_) {
        closeRequested_ = false;
        PostMessageW(window_->Handle(), WM_CLOSE, 0, 0);
    } else if (!pendingFolders_.empty()) {
        window_->PostQueuedFlow();
    }
}

bool PathwinkApp::FlowCancelled() const {
    return closeRequested_ || Application::Instance().Terminated();
}

bool PathwinkApp::BusyBringingItForward() {
    if (!flowRunning_ && !exiting_)
        return false;
    if (editor_ && Editor().IsShowing()) {
        Editor().BringToFront();
    } else {
        HWND popup = GetLastActivePopup(window_->Handle());
        if (popup && popup != window_->Handle() && IsWindowVisible(popup))
            SetForegroundWindow(popup);
    }
    return true;
}

void PathwinkApp::RequestClose() {
    if (exiting_ || closing_)
        return;
    if (!flowRunning_) {
        Close();
        return;
    }
    // The flow ends as if cancelled: the editor and every box it waits on are
    // closed, and the close follows once the flow has returned.
    closeRequested_ = true;
    if (editor_)
        editor_->CancelShowing();
    EndThreadDialogs();
}

// ---- the checks ----------------------------------------------------------------------

// Checks the editor's fields in order; false means "show the editor again" (or,
// when the flow was cancelled meanwhile, "end").
bool PathwinkApp::InputPassesChecks() {
    const std::string folder = Editor().FolderText();
    if (folder.empty()) {
        PlainMessage(kEmptyFolder);
        return false;
    }
    if (HasControlCharacters(folder)) {
        PlainMessage(kControlCharacters);
        return false;
    }
    if (Utf16Length(folder) > kMaxFolderPathLength) {
        PlainMessage(TooLongText());
        return false;
    }
    // Anything but Yes (also a box closed by a close request) counts as No.
    if (options_.WarnWeakKey && IsWeakShortCut(Editor().HotKeyValue()) &&
        (QuestionBox(kWeakKey, "Shortcut Warning") != IDYES || FlowCancelled()))
        return false;
    if (options_.WarnAltGr) {
        const KeyCombination key = Editor().HotKeyValue();
        const auto typed = keyboard_.CharacterOf(key, keyboard_.layouts());
        if (typed && (QuestionBox(AltGrQuestionText(key, *typed), "Shortcut Warning") != IDYES ||
                      FlowCancelled()))
            return false;
    }
    if (!IsExistingDirectory(folder) &&
        (QuestionBox(kFolderWarning, "Folder Warning") != IDYES || FlowCancelled()))
        return false;
    return !FlowCancelled();
}

// ---- the flows -----------------------------------------------------------------------

void PathwinkApp::OnNewClicked() {
    if (!BusyBringingItForward())
        RunFlow([this] { NewFlow(""); });
}

void PathwinkApp::OnFolderHandedOver(const std::string& folder) {
    if (BusyBringingItForward()) {
        pendingFolders_.push_back(folder);
        return;
    }
    RunFlow([this, &folder] { NewFlow(folder); });
}

void PathwinkApp::OnPathsDropped(const std::vector<std::string>& paths) {
    // Dropped folders get the same one-at-a-time dialogs as handed-over ones; a
    // dropped file stands for the folder that holds it.
    AddFoldersInTurn(FoldersOfDrop(paths, [](const std::string& path) {
        const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }));
}

void PathwinkApp::AddFoldersInTurn(const std::vector<std::string>& folders) {
    if (folders.empty())
        return;
    pendingFolders_.insert(pendingFolders_.end(), folders.begin(), folders.end());
    if (!BusyBringingItForward())
        window_->PostQueuedFlow();
}

void PathwinkApp::OnQueuedFlowDue() {
    if (pendingFolders_.empty() || flowRunning_ || exiting_ || FlowCancelled())
        return; // a running flow posts again when it ends
    const std::string folder = pendingFolders_.front();
    pendingFolders_.pop_front();
    RunFlow([this, &folder] { NewFlow(folder); });
}

void PathwinkApp::NewFlow(const std::string& initialFolder) {
    Editor().SetCaption("New Folder Shortcut - Pathwink");
    Editor().SetHotKeyValue(0);
    Editor().SetFolderText(initialFolder);
    for (;;) {
        Editor().SetActiveControl(initialFolder.empty() ? ShortcutEditor::Field::Folder
                                                        : ShortcutEditor::Field::HotKey);
        if (Editor().ShowModal() != ShortcutEditor::kResultOK || FlowCancelled())
            return;
        if (!InputPassesChecks()) {
            if (FlowCancelled())
                return;
            continue;
        }
        if (!table_.AddShortcut(Editor().FolderText(), Editor().HotKeyValue())) {
            PlainMessage(kRegistrationFailed);
            if (FlowCancelled())
                return;
            continue;
        }
        RefreshShortcutList();
        SaveSettings();
        return;
    }
}

void PathwinkApp::OnEditClicked() {
    if (!BusyBringingItForward())
        RunFlow([this] { EditFlow(); });
}

void PathwinkApp::EditFlow() {
    // No other flow can run until this one ends, so the row stays where it is.
    const int index = window_->SelectedRow();
    if (index < 0 || index >= table_.Count())
        return;
    Editor().SetCaption("Edit Folder Shortcut - Pathwink");
    Editor().SetHotKeyValue(table_.Binding(index).Key());
    Editor().SetFolderText(table_.Binding(index).Folder());
    for (;;) {
        Editor().SetActiveControl(ShortcutEditor::Field::Folder);
        if (Editor().ShowModal() != ShortcutEditor::kResultOK || FlowCancelled())
            return; // the binding still has its old key
        if (!InputPassesChecks()) {
            if (FlowCancelled())
                return;
            continue;
        }
        HotkeyBinding& binding = table_.Binding(index);
        const KeyCombination oldKey = binding.Key();
        const bool oldEnabled = binding.Enabled();
        // An inactive shortcut whose key stays as it was may get another folder: it
        // stays inactive (and marked so) until its combination is free.
        const bool staysInactive = binding.Refused() && Editor().HotKeyValue() == oldKey;
        binding.SetKey(Editor().HotKeyValue());
        if (binding.Key() == 0) {
            binding.SetEnabled(false);
        } else {
            binding.SetEnabled(true);
            if (!binding.Registered() && !staysInactive) {
                // The old key comes back (and registers again when it is not 0) before
                // the message is shown, so a Cancel, a save at the end of the logon or
                // a close meanwhile all find the entry exactly as it was.
                binding.SetKey(oldKey);
                if (!oldEnabled)
                    binding.SetEnabled(false);
                PlainMessage(kRegistrationFailed);
                if (FlowCancelled())
                    return;
                continue;
            }
        }
        binding.SetFolder(Editor().FolderText());
        table_.Refile(index);
        if (binding.Key() != oldKey)
            table_.RetryRefused(); // the old key may be what an inactive shortcut waited for
        window_->ClearSelection();
        RefreshShortcutList();
        SaveSettings();
        return;
    }
}

void PathwinkApp::OnDeleteClicked() {
    if (BusyBringingItForward())
        return;
    RunFlow([this] {
        const int index = window_->SelectedRow();
        if (index < 0 || index >= table_.Count())
            return;
        table_.Delete(index);
        table_.RetryRefused(); // its key may be what an inactive shortcut waited for
        try {
            SaveSettings();
        } catch (...) {
            RefreshShortcutList(); // the list shows the table as it now is, saved or not
            throw;
        }
        RefreshShortcutList();
    });
}

} // namespace pw
