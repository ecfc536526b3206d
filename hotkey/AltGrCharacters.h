#pragma once
// Windows takes Ctrl+Alt for AltGr: on German, French, Polish and many other
// keyboards Ctrl+Alt+key types a character (AltGr+Q is "@" on a German keyboard),
// and a global hotkey on that combination takes the character away from the user
// in every program. AltGrCharacterOf finds that character on the user's keyboard
// layouts so that the program can warn before it happens.
//
// The decision (which combinations count, what counts as a typed character, which
// layout is named) is apart from the two system look-ups it needs, what a key
// types and what a layout is called, so that it can be tested on layouts the test
// machine does not have.

#include "hotkey/KeyCombination.h"
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pw {

struct AltGrCharacter {
    // UTF-8, as the layout types it (one or more code points). For a dead key, the
    // accent's spacing form the layout reports, e.g. "~" or "`".
    std::string character;
    // The key is an accent that waits for the next key (AltGr+2 on a French keyboard).
    bool deadKey = false;
    // For the sentence "On the <name> keyboard, ...": "German", "Polish (Programmers)".
    std::string layoutName;
    HKL layout = nullptr;
};

// What one key types on one layout with AltGr held: the characters (empty when it
// types nothing) and whether the key is a dead key.
struct AltGrTyping {
    std::wstring text;
    bool deadKey = false;
};
using AltGrTypingFn =
    std::function<AltGrTyping(HKL layout, std::uint8_t virtualKey, bool withShift)>;
using LayoutNameFn = std::function<std::string(HKL layout)>;

// ToUnicodeEx with Ctrl+Alt (and Shift) held on the given layout. The keyboard's
// own dead-key state is left as it was: untouched on Windows 10 1607 and later
// (flag 4), and cleared again on earlier versions, which ignore that flag.
AltGrTyping TypedWithAltGr(HKL layout, std::uint8_t virtualKey, bool withShift);

// The name a user knows the layout by: the name Windows gives it in its list of
// keyboard layouts ("German", "French", "Polish (Programmers)", "US"), else the
// name of the layout's language ("German (Germany)"), else its layout identifier.
// Names are looked up once per layout.
std::string KeyboardLayoutName(HKL layout);

// The layouts the user has loaded, the calling thread's current one first. It costs
// more than a look-up of AltGrCharacterOf: ask once for a whole list, not per row.
std::vector<HKL> LoadedKeyboardLayouts();

// The character that `key` types with AltGr on the first of `layouts` on which it
// types one, or nullopt. Only Ctrl+Alt+key and Shift+Ctrl+Alt+key are AltGr
// combinations; the Shift form is asked with Shift held. Control characters and
// a plain space are not typed characters. The virtual key is the low byte of `key`.
// About 2 microseconds per layout asked (measured under Wine).
std::optional<AltGrCharacter> AltGrCharacterOf(KeyCombination key, const std::vector<HKL>& layouts,
                                               const AltGrTypingFn& typed = TypedWithAltGr,
                                               const LayoutNameFn& layoutName = KeyboardLayoutName);

// The system look-ups behind the program's AltGr checks, together; tests replace
// them to check the flows on layouts the machine does not give.
struct KeyboardLookups {
    std::function<std::vector<HKL>()> layouts = LoadedKeyboardLayouts;
    AltGrTypingFn typed = TypedWithAltGr;
    LayoutNameFn layoutName = KeyboardLayoutName;

    // AltGrCharacterOf on layouts (asked once by the caller, for many keys).
    std::optional<AltGrCharacter> CharacterOf(KeyCombination key,
                                              const std::vector<HKL>& loaded) const {
        return AltGrCharacterOf(key, loaded, typed, layoutName);
    }
};

} // namespace pw
