#include "hotkey/AltGrCharacters.h"

#include "win/Scoped.h"
#include "win/Text.h"

#include <cwchar>
#include <map>
#include <mutex>

namespace pw {

namespace {

// ToUnicodeEx's flag "do not change the keyboard state" (Windows 10 1607 and later).
constexpr UINT kKeepKeyboardState = 0x4;

constexpr wchar_t kLayoutsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts";

bool IsTypedCharacter(const std::wstring& text) {
    if (text.empty() || text == L" ")
        return false;
    for (wchar_t c : text) {
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            return false;
    }
    return true;
}

std::wstring RegistryText(HKEY key, const wchar_t* value) {
    wchar_t buf[256] = L"";
    DWORD size = sizeof buf;
    if (RegGetValueW(key, nullptr, value, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return {};
    return buf;
}

// The layout identifier (KLID) of a layout handle: its high word names the layout
// (0xFnnn: a layout variant by its "Layout Id"; 0xEnnn: an input method, whose KLID
// is the handle itself), its low word the language.
std::wstring LayoutIdOf(HKL layout) {
    const auto value = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(layout));
    const WORD device = HIWORD(value);
    wchar_t klid[KL_NAMELENGTH] = L"";
    if ((device & 0xF000) == 0xE000) {
        swprintf(klid, KL_NAMELENGTH, L"%08X", static_cast<unsigned>(value));
        return klid;
    }
    if ((device & 0xF000) != 0xF000) {
        swprintf(klid, KL_NAMELENGTH, L"0000%04X", static_cast<unsigned>(device));
        return klid;
    }
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLayoutsKey, 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return {};
    UniqueRegKey layouts(raw);
    for (DWORD i = 0;; ++i) {
        wchar_t name[KL_NAMELENGTH + 8] = L"";
        DWORD nameLength = KL_NAMELENGTH + 8;
        const LONG status =
            RegEnumKeyExW(layouts.Get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return {};
        if (status != ERROR_SUCCESS)
            continue;
        HKEY rawEntry = nullptr;
        if (RegOpenKeyExW(layouts.Get(), name, 0, KEY_READ, &rawEntry) != ERROR_SUCCESS)
            continue;
        UniqueRegKey entry(rawEntry);
        const std::wstring id = RegistryText(entry.Get(), L"Layout Id");
        if (!id.empty() && std::wcstoul(id.c_str(), nullptr, 16) == (device & 0x0FFFu))
            return name;
    }
}

std::string LookUpLayoutName(HKL layout) {
    const std::wstring klid = LayoutIdOf(layout);
    if (!klid.empty()) {
        HKEY raw = nullptr;
        const std::wstring path = std::wstring(kLayoutsKey) + L"\\" + klid;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &raw) == ERROR_SUCCESS) {
            UniqueRegKey entry(raw);
            // The display name is in the user's language; "Layout Text" in English.
            wchar_t buf[256] = L"";
            if (RegLoadMUIStringW(entry.Get(), L"Layout Display Name", buf, sizeof buf, nullptr, 0,
                                  nullptr) == ERROR_SUCCESS &&
                buf[0] != L'\0')
                return Utf8(buf);
            const std::wstring text = RegistryText(entry.Get(), L"Layout Text");
            if (!text.empty())
                return Utf8(text);
        }
    }
    const auto language = LOWORD(reinterpret_cast<ULONG_PTR>(layout));
    wchar_t buf[LOCALE_NAME_MAX_LENGTH * 2] = L"";
    if (language != 0 &&
        GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), LOCALE_SLOCALIZEDDISPLAYNAME, buf,
                       LOCALE_NAME_MAX_LENGTH * 2) > 1)
        return Utf8(buf);
    return Utf8(klid);
}

} // namespace

AltGrTyping TypedWithAltGr(HKL layout, std::uint8_t virtualKey, bool withShift) {
    const UINT scanCode = MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_VSC, layout);
    if (scanCode == 0)
        return {};
    BYTE state[256] = {};
    state[VK_CONTROL] = state[VK_LCONTROL] = state[VK_MENU] = state[VK_RMENU] = 0x80;
    if (withShift)
        state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    wchar_t buf[16] = L"";
    const int count = ToUnicodeEx(virtualKey, scanCode, state, buf, 16, kKeepKeyboardState, layout);
    if (count >= 0)
        return {std::wstring(buf, static_cast<size_t>(count)), false};
    // A dead key. Windows before 1607 ignores the flag and now holds the accent for
    // the next key the user types: a space takes it back out. With the flag, nothing
    // was stored and the space changes nothing either.
    const BYTE plain[256] = {};
    wchar_t ignored[16];
    ToUnicodeEx(VK_SPACE, MapVirtualKeyExW(VK_SPACE, MAPVK_VK_TO_VSC, layout), plain, ignored, 16,
                kKeepKeyboardState, layout);
    return {std::wstring(1, buf[0]), true};
}

std::string KeyboardLayoutName(HKL layout) {
    static std::mutex lock;
    static std::map<HKL, std::string> names;
    std::lock_guard<std::mutex> hold(lock);
    auto found = names.find(layout);
    if (found == names.end())
        found = names.emplace(layout, LookUpLayoutName(layout)).first;
    return found->second;
}

std::vector<HKL> LoadedKeyboardLayouts() {
    std::vector<HKL> layouts;
    const HKL current = GetKeyboardLayout(0);
    if (current)
        layouts.push_back(current);
    const int count = GetKeyboardLayoutList(0, nullptr);
    if (count <= 0)
        return layouts;
    std::vector<HKL> list(static_cast<size_t>(count));
    list.resize(static_cast<size_t>(GetKeyboardLayoutList(count, list.data())));
    for (HKL layout : list) {
        if (layout != current)
            layouts.push_back(layout);
    }
    return layouts;
}

std::optional<AltGrCharacter> AltGrCharacterOf(KeyCombination key, const std::vector<HKL>& layouts,
                                               const AltGrTypingFn& typed,
                                               const LayoutNameFn& layoutName) {
    if ((key & kWithCtrl) == 0 || (key & kWithAlt) == 0)
        return std::nullopt;
    const auto virtualKey = static_cast<std::uint8_t>(key & 0xFF);
    if (virtualKey == 0)
        return std::nullopt;
    const bool withShift = (key & kWithShift) != 0;
    for (HKL layout : layouts) {
        const AltGrTyping typing = typed(layout, virtualKey, withShift);
        if (IsTypedCharacter(typing.text))
            return AltGrCharacter{Utf8(typing.text), typing.deadKey, layoutName(layout), layout};
    }
    return std::nullopt;
}

} // namespace pw
