#include "app/ShortcutFlows.h"

#include "app/KeyChecks.h"

#include "dialogs/ShortcutEditor.h"
#include "hotkey/KeyNames.h"
#include "main/MainWindow.h"
#include "open/FolderLaunch.h"
#include "store/SettingsFormat.h"
#include "win/Application.h"
#include "win/Messages.h"
#include "win/ModalWindow.h"
#include "win/OnDemandLibrary.h"
#include "win/Text.h"
#include "win/Window.h"

namespace pw {

namespace {

const char kEmptyFolder[] = "You must define a folder.";
const char kControlCharacters[] =
    "The folder path contains a line break or another control character. Please enter the "
    "folder path on a single line.";
const char kFolderWarning[] =
    "The folder you have selected is either invalid or is a removable drive without media "
    "present.\nAre you sure you wish to specify this folder?";

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

} // namespace

std::string WaitingFoldersQuestion(const std::deque<std::string>& folders) {
    constexpr std::size_t kNamed = 10;
    std::string text = folders.size() == 1
                           ? "This folder was handed to Pathwink and waits for its dialog:\n"
                           : "These folders were handed to Pathwink and wait for their dialogs:\n";
    for (std::size_t i = 0; i < folders.size() && i < kNamed; ++i)
        text += "\n" + folders[i];
    if (folders.size() > kNamed)
        text += "\n...and " + std::to_string(folders.size() - kNamed) + " more.";
    return text + "\n\nExit Pathwink without adding " + (folders.size() == 1 ? "it?" : "them?") +
           "\n(No shows the dialogs now.)";
}

ShortcutFlows::ShortcutFlows(ShortcutTable& table, const Options& options,
                             const KeyboardLookups& keyboard, MainWindow& window,
                             std::function<void()> onTableChanged)
    : table_(table), options_(options), keyboard_(keyboard), window_(window),
      onTableChanged_(std::move(onTableChanged)) {}

ShortcutFlows::~ShortcutFlows() = default;

ShortcutEditor& ShortcutFlows::Editor() {
    if (!editor_)
        editor_ = std::make_unique<ShortcutEditor>(window_.Handle());
    return *editor_;
}

void ShortcutFlows::Run(const std::function<void()>& body) {
    running_ = true;
    try {
        body();
    } catch (...) {
        End();
        throw;
    }
    End();
}

void ShortcutFlows::End() {
    running_ = false;
    // Both are posted: the close and the next folder's flow start from the message
    // loop, after an error of this flow has been reported.
    if (closeWaits_) {
        PostMessageW(window_.Handle(), WM_CLOSE, 0, 0);
    } else if (!queued_.empty()) {
        window_.PostQueuedFlow();
    }
}

bool ShortcutFlows::Cancelled() const {
    return closeWaits_ || Application::Instance().Terminated();
}

void ShortcutFlows::BringForward() {
    if (editor_ && editor_->IsShowing())
        editor_->BringToFront();
    else
        BringOwnedPopupForward(window_.Handle());
}

void ShortcutFlows::CancelForClose() {
    closeWaits_ = true;
    if (editor_)
        editor_->CancelShowing();
    EndThreadDialogs();
}

void ShortcutFlows::Enqueue(const std::vector<std::string>& folders) {
    if (folders.empty())
        return;
    queued_.insert(queued_.end(), folders.begin(), folders.end());
    if (!running_)
        window_.PostQueuedFlow();
}

void ShortcutFlows::RunNextQueued() {
    if (queued_.empty() || running_ || Cancelled())
        return; // a running flow posts again when it ends
    const std::string folder = queued_.front();
    queued_.pop_front();
    NewShortcut(folder);
}

// Checks the editor's fields in order; false means "show the editor again" (or,
// when the flow was cancelled meanwhile, "end").
bool ShortcutFlows::InputPassesChecks() {
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
    if (!KeyPassesQuestions(Editor().HotkeyValue(), options_, keyboard_, "opens the folder",
                            [this] { return Cancelled(); }))
        return false;
    if (!IsExistingDirectory(folder) &&
        (QuestionBox(kFolderWarning, "Folder Warning") != IDYES || Cancelled()))
        return false;
    return !Cancelled();
}

bool ShortcutFlows::EditorCanShow() {
    return editor_ || LoadOnDemand(kCommonControlsLibrary, "show the shortcut dialog");
}

void ShortcutFlows::NewShortcut(const std::string& initialFolder) {
    Run([&] {
        if (!EditorCanShow())
            return;
        Editor().SetCaption("New Folder Shortcut - Pathwink");
        Editor().SetHotkeyValue(0);
        Editor().SetFolderText(initialFolder);
        for (;;) {
            Editor().SetActiveControl(initialFolder.empty() ? ShortcutEditor::Field::Folder
                                                            : ShortcutEditor::Field::Hotkey);
            if (Editor().ShowModal() != ShortcutEditor::kResultOK || Cancelled())
                return;
            if (!InputPassesChecks()) {
                if (Cancelled())
                    return;
                continue;
            }
            if (!table_.AddShortcut(Editor().FolderText(), Editor().HotkeyValue())) {
                PlainMessage(kRegistrationFailedText);
                if (Cancelled())
                    return;
                continue;
            }
            onTableChanged_();
            return;
        }
    });
}

void ShortcutFlows::EditSelected() {
    Run([&] {
        if (!EditorCanShow())
            return;
        // No other flow can run until this one ends, so the row stays where it is.
        const int index = window_.SelectedRow();
        if (index < 0 || index >= table_.Count())
            return;
        Editor().SetCaption("Edit Folder Shortcut - Pathwink");
        Editor().SetHotkeyValue(table_.Binding(index).Key());
        Editor().SetFolderText(table_.Path(index));
        for (;;) {
            Editor().SetActiveControl(ShortcutEditor::Field::Folder);
            if (Editor().ShowModal() != ShortcutEditor::kResultOK || Cancelled())
                return; // the binding still has its old key
            if (!InputPassesChecks()) {
                if (Cancelled())
                    return;
                continue;
            }
            HotkeyBinding& binding = table_.Binding(index);
            const KeyCombination oldKey = binding.Key();
            const KeyCombination newKey = Editor().HotkeyValue();
            // An inactive shortcut whose key stays as it was may get another folder:
            // it stays inactive (and marked so) until its combination is free.
            const bool staysInactive = binding.Refused() && newKey == oldKey;
            binding.SetKey(newKey);
            binding.Retry(); // an unchanged key that was refused may be free by now
            if (newKey != 0 && !binding.Registered() && !staysInactive) {
                // The old key comes back (and registers again when it is not 0) before
                // the message is shown, so a Cancel, a save at the end of the logon or
                // a close meanwhile all find the entry exactly as it was.
                binding.SetKey(oldKey);
                PlainMessage(kRegistrationFailedText);
                if (Cancelled())
                    return;
                continue;
            }
            table_.SetPath(index, Editor().FolderText());
            if (newKey != oldKey)
                table_.RetryRefused(); // the old key may be what an inactive shortcut waited for
            window_.ClearSelection();
            onTableChanged_();
            return;
        }
    });
}

void ShortcutFlows::DeleteSelected() {
    Run([&] {
        const int index = window_.SelectedRow();
        if (index < 0 || index >= table_.Count())
            return;
        table_.Delete(index);
        table_.RetryRefused(); // its key may be what an inactive shortcut waited for
        onTableChanged_();
    });
}

} // namespace pw
