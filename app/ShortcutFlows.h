#pragma once
// The flows that change the shortcuts: new (also for a folder handed over by
// another program or dropped), edit and delete. New and edit fill the editor, show
// it, check what comes back and show it again with the user's input intact until
// the input passes or the user cancels; only then does the table change.
//
// One flow runs at a time, from start to end. Folders that arrive while one runs
// wait in a queue and get their dialogs in turn; a close asked for meanwhile ends
// the flow as if cancelled and follows it. The table never holds a half-done
// change while a message can come in.

#include "hotkey/AltGrCharacters.h"
#include "store/Options.h"
#include "store/ShortcutTable.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pw {

class ProgramWindow;
class ShortcutEditor;

// The question an exit asks while handed-over folders still wait for their dialogs:
// it names them (the first ten, then how many more) and asks whether to exit anyway.
std::string WaitingFoldersQuestion(const std::deque<std::string>& folders);

class ShortcutFlows {
public:
    enum class Change { Added, Edited, Deleted };
    // onTableChanged runs after every change of the table (the owner shows and
    // saves it; a failed save throws out of the flow). Options are read at each check;
    // the editor and the questions belong to window.
    ShortcutFlows(ShortcutTable& table, const Options& options, const KeyboardLookups& keyboard,
                  ProgramWindow& window, std::function<void(Change)> onTableChanged);
    ~ShortcutFlows();
    ShortcutFlows(const ShortcutFlows&) = delete;
    ShortcutFlows& operator=(const ShortcutFlows&) = delete;

    // Each starts its flow and returns when it has ended. The caller makes sure
    // that no flow runs (see Running).
    // Edit and delete take the table's index of the shortcut (-1: none).
    void NewShortcut(const std::string& initialFolder);
    void EditShortcut(int index);
    void DeleteShortcut(int index);

    // Folders that get the New dialog one after the other, once the running flow
    // (and the folders already waiting) are done; the next one starts from the
    // message loop (RunNextQueued).
    void Enqueue(const std::vector<std::string>& folders);
    void RunNextQueued();
    // The folders still waiting, oldest first.
    const std::deque<std::string>& Queued() const { return queued_; }

    bool Running() const { return running_; }
    // Brings what the running flow shows (the editor or one of its questions) to
    // the front.
    void BringForward();
    // A close during a flow: the flow ends as if cancelled (the editor and every box
    // it waits on are closed) and the close is posted once it has returned. Until the
    // close starts (CloseStarting), it waits, and no waiting folder's flow starts.
    void CancelForClose();
    bool CloseWaits() const { return closeWaits_; }
    void CloseStarting() { closeWaits_ = false; }

private:
    void Run(const std::function<void()>& body);
    void End();
    bool Cancelled() const;
    ShortcutEditor& Editor();
    // The dialog exists or can be made (Common Controls loads); false after saying why not.
    bool EditorCanShow();
    bool InputPassesChecks();

    ShortcutTable& table_;
    const Options& options_;
    const KeyboardLookups& keyboard_;
    ProgramWindow& window_;
    std::function<void(Change)> onTableChanged_;
    std::unique_ptr<ShortcutEditor> editor_; // made when first needed
    std::deque<std::string> queued_;
    bool running_ = false;
    bool closeWaits_ = false;
};

} // namespace pw
