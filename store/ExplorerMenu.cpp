#include "store/ExplorerMenu.h"

#include "win/Scoped.h"
#include "win/Text.h"

namespace pw {

namespace {

std::string VerbKey(const ExplorerMenuKeys& keys, const ExplorerMenuClass& cls) {
    return keys.classesKey + "\\" + cls.name + "\\shell\\" + kExplorerMenuVerb;
}

std::string KeyName(const ExplorerMenuKeys& keys, const std::string& key) {
    return (keys.root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\" : "") + key;
}

LONG SetString(HKEY key, const char* name, const std::string& text) {
    const std::wstring wide = Wide(text);
    return RegSetValueExW(key, name ? Wide(name).c_str() : nullptr, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

// Creates key and gives it its default value (and the icon when not empty).
LONG WriteKey(HKEY root, const std::string& key, const std::string& text, const std::string& icon) {
    HKEY created = nullptr;
    LONG result = RegCreateKeyExW(root, Wide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, &created, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    UniqueRegKey held(created);
    result = SetString(held.Get(), nullptr, text);
    if (result == ERROR_SUCCESS && !icon.empty())
        result = SetString(held.Get(), "Icon", icon);
    return result;
}

} // namespace

std::string ExplorerMenuCommand(const std::string& executablePath, const char* placeholder) {
    return "\"" + executablePath + "\" add \"" + placeholder + "\"";
}

void AddExplorerMenu(const ExplorerMenuKeys& keys, const std::string& executablePath) {
    // Explorer reads every "%" of a command as a placeholder, also one in the
    // program's path ("%1" becomes the folder clicked), and keeps none as it is.
    if (executablePath.find('%') != std::string::npos)
        throw ExplorerMenuError(std::string("\"") + kExplorerMenuText +
                                "\" cannot start this copy: its path holds \"%\", which Explorer "
                                "reads as a placeholder (%1 stands for the folder clicked).\n" +
                                executablePath +
                                "\nRun menu add from a copy in a folder whose path has no \"%\".");
    for (const ExplorerMenuClass& cls : kExplorerMenuClasses) {
        const std::string verb = VerbKey(keys, cls);
        LONG result = WriteKey(keys.root, verb, kExplorerMenuText, executablePath);
        if (result == ERROR_SUCCESS)
            result = WriteKey(keys.root, verb + "\\command",
                              ExplorerMenuCommand(executablePath, cls.placeholder), "");
        if (result != ERROR_SUCCESS) {
            // Half a menu item (a verb without its command) would show and do nothing.
            try {
                RemoveExplorerMenu(keys);
            } catch (const ExplorerMenuError&) {
            }
            throw ExplorerMenuError("Unable to write " + KeyName(keys, verb) + ".\n" +
                                    SystemReason(static_cast<DWORD>(result)));
        }
    }
}

void RemoveExplorerMenu(const ExplorerMenuKeys& keys) {
    for (const ExplorerMenuClass& cls : kExplorerMenuClasses) {
        const std::string verb = VerbKey(keys, cls);
        const LONG result = RegDeleteTreeW(keys.root, Wide(verb).c_str());
        if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
            throw ExplorerMenuError("Unable to remove " + KeyName(keys, verb) + ".\n" +
                                    SystemReason(static_cast<DWORD>(result)));
    }
}

} // namespace pw
