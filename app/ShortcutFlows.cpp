// The new, edit and delete flows. New and edit fill the editor dialog, show it,
// validate what comes back and show it again with the user's input intact until
// the input passes or the user cancels; only then do the table and the binding
// change, the list is rebuilt and the whole settings file is rewritten.

#include "app/PathwinkApp.h"

#include "dialogs/ShortcutEditor.h"
#include "store/SettingsFormat.h"
#include "win/Application.h"
#include "win/Messages.h"
#include "win/Scoped.h"

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

bool Terminated() { return Application::Instance().Terminated(); }

} // namespace

bool PathwinkApp::EditorBusy() {
    if (!editor_ || !editor_->IsShowing())
        return false;
    editor_->BringToFront();
    return true;
}

// Checks the dialog's fields in order; false means "show the dialog again".
bool PathwinkApp::InputPassesChecks() {
    const std::string folder = editor_->FolderText();
    if (folder.empty()) {
        PlainMessage(kEmptyFolder);
        return false;
    }
    if (HasControlCharacters(folder)) {
        PlainMessage(kControlCharacters);
        return false;
    }
    if (options_.WarnWeakKey && IsWeakShortCut(editor_->HotKeyValue()) &&
        QuestionBox(kWeakKey, "Shortcut Warning") == IDNO)
        return false;
    if (!IsExistingDirectory(folder) && QuestionBox(kFolderWarning, "Folder Warning") == IDNO)
        return false;
    return true;
}

void PathwinkApp::OnNewClicked() {
    if (!EditorBusy())
        RunNewFlow("");
}

void PathwinkApp::RunNewFlow(const std::string& initialFolder) {
    if (!editor_ || EditorBusy())
        return;
    // A folder handed over while this flow runs starts its own flow afterwards,
    // also when this one ends with an error.
    const ScopeExit startPending([this] { PostPendingFlow(); });

    editor_->SetCaption("New Folder Shortcut - Pathwink");
    editor_->SetHotKeyValue(0);
    editor_->SetFolderText(initialFolder);
    for (;;) {
        editor_->SetActiveControl(initialFolder.empty() ? ShortcutEditor::Field::Folder
                                                        : ShortcutEditor::Field::HotKey);
        if (editor_->ShowModal() != 1 || Terminated())
            return;
        if (!InputPassesChecks() || Terminated())
            continue;
        if (!table_.AddShortcut(editor_->FolderText(), editor_->HotKeyValue())) {
            PlainMessage(kRegistrationFailed);
            continue;
        }
        RefreshShortcutList();
        SaveSettings();
        return;
    }
}

void PathwinkApp::OnEditClicked() {
    if (!editor_ || EditorBusy())
        return;
    const int index = window_->SelectedRow();
    if (index < 0 || index >= table_.Count())
        return;
    const ScopeExit startPending([this] { PostPendingFlow(); });

    editor_->SetCaption("Edit Folder Shortcut - Pathwink");
    HotkeyBinding& binding = table_.Binding(index);
    const KeyCombination oldKey = binding.Key();
    const bool oldEnabled = binding.Enabled();
    editor_->SetHotKeyValue(oldKey);
    editor_->SetFolderText(binding.Folder());
    for (;;) {
        editor_->SetActiveControl(ShortcutEditor::Field::Folder);
        if (editor_->ShowModal() != 1 || Terminated())
            return; // the binding still has its old key
        if (!InputPassesChecks() || Terminated())
            continue;
        binding.SetKey(editor_->HotKeyValue());
        if (binding.Key() == 0) {
            binding.SetEnabled(false);
        } else {
            binding.SetEnabled(true);
            if (!binding.Registered()) {
                PlainMessage(kRegistrationFailed);
                // The old key comes back (and registers again when it is not 0), so
                // a Cancel now leaves the entry exactly as it was.
                binding.SetKey(oldKey);
                if (!oldEnabled)
                    binding.SetEnabled(false);
                continue;
            }
        }
        binding.SetFolder(editor_->FolderText());
        table_.Refile(index);
        window_->ClearSelection();
        RefreshShortcutList();
        SaveSettings();
        return;
    }
}

void PathwinkApp::OnDeleteClicked() {
    if (EditorBusy())
        return;
    const int index = window_->SelectedRow();
    if (index < 0 || index >= table_.Count())
        return;
    table_.Delete(index);
    try {
        SaveSettings();
    } catch (...) {
        RefreshShortcutList(); // the list shows the table as it now is, saved or not
        throw;
    }
    RefreshShortcutList();
}

void PathwinkApp::OnFolderHandedOver(const std::string& folder) {
    if (EditorBusy()) {
        pendingFolders_.push_back(folder);
        return;
    }
    RunNewFlow(folder);
}

void PathwinkApp::PostPendingFlow() {
    if (!pendingFolders_.empty())
        window_->PostQueuedFlow();
}

void PathwinkApp::OnQueuedFlowDue() {
    if (pendingFolders_.empty() || Terminated())
        return;
    if (editor_ && editor_->IsShowing())
        return; // the running flow posts again when it ends
    const std::string folder = pendingFolders_.front();
    pendingFolders_.pop_front();
    RunNewFlow(folder);
}

} // namespace pw
