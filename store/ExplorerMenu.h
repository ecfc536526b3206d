#pragma once
// Explorer's "Add to Pathwink..." in the context menu of a folder, of a drive and of
// an open folder's background, for the current user: one verb key "Pathwink.Add"
// under Software\Classes\Directory, \Drive and \Directory\Background (each
// "shell\Pathwink.Add", with its text, the program's icon and a "command" subkey
// that runs "<executable>" add "<folder>").

#include "win/Errors.h"
#include "win/ProgramName.h"

#include <windows.h>

#include <string>

namespace pw {

constexpr char kExplorerMenuVerb[] = PATHWINK_NAME ".Add";
constexpr char kExplorerMenuText[] = "Add to " PATHWINK_NAME "...";

// A failed write or removal, with the key and the system's reason.
class ExplorerMenuError : public UserError {
public:
    using UserError::UserError;
};

// Where the classes live. Tests point these at a key of their own.
struct ExplorerMenuKeys {
    HKEY root = HKEY_CURRENT_USER;
    std::string classesKey = "Software\\Classes";
};

// The classes that get the verb and the placeholder Explorer fills with the folder:
// %1 is the folder or drive clicked, %V the folder whose background was clicked.
struct ExplorerMenuClass {
    const char* name;
    const char* placeholder;
};
constexpr ExplorerMenuClass kExplorerMenuClasses[] = {
    {"Directory", "%1"}, {"Drive", "%1"}, {"Directory\\Background", "%V"}};

// "<executable>" add "<placeholder>"
std::string ExplorerMenuCommand(const std::string& executablePath, const char* placeholder);

// Writes the three verbs for executablePath (replacing what another copy wrote).
// Throws ExplorerMenuError; whatever was written before the failure is removed again.
// A path holding "%" is refused before anything is written: Explorer would read it
// as a placeholder and start something else.
void AddExplorerMenu(const ExplorerMenuKeys& keys, const std::string& executablePath);
// Removes the three verbs, whichever copy they start. An absent verb is no failure;
// one that stays throws ExplorerMenuError.
void RemoveExplorerMenu(const ExplorerMenuKeys& keys);

} // namespace pw
