#pragma once
// The checks a key combination passes before it is kept, one place for a
// shortcut's key (the editor) and the key that shows all folders (the Options
// page): the weak-key question, the AltGr question, and the message when the
// system refuses the combination.

#include "hotkey/AltGrCharacters.h"
#include "store/Options.h"

#include <functional>
#include <string>

namespace pw {

// Said when RegisterHotKey refuses the combination: another program or another
// shortcut holds it.
extern const char kRegistrationFailedText[];

// "On the German keyboard, Ctrl+Alt+E types €. While this shortcut is active,
// AltGr+E <action> instead of typing €. Use this combination anyway?"
std::string AltGrQuestionText(KeyCombination key, const AltGrCharacter& typed,
                              const std::string& action);

// Asks the weak-key question (when that option is on and the key is weak), then the
// AltGr question (when that option is on and the key takes a character); true when
// every question asked got Yes and cancelled() stayed false. action says what the
// combination does ("opens the folder").
bool KeyPassesQuestions(KeyCombination key, const Options& options, const KeyboardLookups& keyboard,
                        const std::string& action, const std::function<bool()>& cancelled);

} // namespace pw
