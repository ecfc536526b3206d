#pragma once
// The keyboard look-ups answering as a German layout does on Windows, where
// AltGr+Q types "@" and AltGr+E types "€" (Wine's keyboard types nothing with
// AltGr, so the program's flows are shown and tested with these).

#include "hotkey/AltGrCharacters.h"

namespace pwtest {

inline pw::KeyboardLookups GermanKeyboard() {
    pw::KeyboardLookups german;
    german.layouts = [] { return std::vector<HKL>{reinterpret_cast<HKL>(0x04070407)}; };
    german.typed = [](HKL, std::uint8_t vk, bool shift) {
        pw::AltGrTyping typing;
        if (!shift && vk == 'Q')
            typing.text = L"@";
        if (!shift && vk == 'E')
            typing.text = L"\u20AC";
        return typing;
    };
    german.layoutName = [](HKL) { return std::string("German"); };
    return german;
}

} // namespace pwtest
