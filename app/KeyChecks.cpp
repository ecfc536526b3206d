#include "app/KeyChecks.h"

#include "hotkey/KeyNames.h"
#include "win/Messages.h"

namespace pw {

namespace {

const char kWeakKey[] =
    "Warning: the shortcut key combination you have chosen is \"weak.\"\nShortcuts should have "
    "two or more modifiers (Alt, Ctrl, or Shift) to avoid interfering with other "
    "applications.\nAre you sure you want to use this shortcut?";

} // namespace

const char kRegistrationFailedText[] =
    "Unable to register shortcut.  Another system shortcut with the same hotkey probably exists.";

std::string AltGrQuestionText(KeyCombination key, const AltGrCharacter& typed,
                              const std::string& action) {
    const std::string altGrKeys = std::string("AltGr+") + ((key & kWithShift) ? "Shift+" : "") +
                                  KeyCombinationText(VirtualKeyOf(key));
    // A dead key types its accent on the key after it.
    const std::string what = typed.deadKey ? "the accent " + typed.character : typed.character;
    return "On the " + typed.layoutName + " keyboard, " + KeyCombinationText(key) + " types " +
           what + ". While this shortcut is active, " + altGrKeys + " " + action +
           " instead of typing " + what + ". Use this combination anyway?";
}

bool KeyPassesQuestions(KeyCombination key, const Options& options, const KeyboardLookups& keyboard,
                        const std::string& action, const std::function<bool()>& cancelled) {
    // Anything but Yes (also a box closed by a close request) counts as No.
    if (options.warnOfWeakKeys && IsWeakShortcut(key) &&
        (QuestionBox(kWeakKey, "Shortcut Warning") != IDYES || cancelled()))
        return false;
    if (options.warnOfAltGr) {
        const auto typed = keyboard.CharacterOf(key, keyboard.layouts());
        if (typed &&
            (QuestionBox(AltGrQuestionText(key, *typed, action), "Shortcut Warning") != IDYES ||
             cancelled()))
            return false;
    }
    return !cancelled();
}

} // namespace pw
