#include "store/Settings.h"

#include "store/FileReplace.h"
#include "store/RunAtLogon.h"

#include "win/Errors.h"
#include "win/Scoped.h"
#include "win/StartupTrace.h"
#include "win/Text.h"

#include <algorithm>
#include <utility>

namespace pw {

namespace {

constexpr wchar_t kOptionsSection[] = L"Options";
constexpr wchar_t kShortcutsSection[] = L"Shortcuts";

// Each option's key in [Options], "1" for on and "0" for off; the default is the
// field's own. "RunOnStarup" is spelled as earlier versions wrote it.
struct OptionKey {
    const wchar_t* name;
    bool Options::*field;
};
constexpr OptionKey kOptionKeys[] = {
    {L"WarnWeakKey", &Options::warnOfWeakKeys},   {L"ConfirmExit", &Options::confirmExit},
    {L"DClickEdits", &Options::doubleClickEdits}, {L"RunOnStarup", &Options::runAtLogon},
    {L"WarnAltGr", &Options::warnOfAltGr},        {L"OpenInFront", &Options::openInFront},
};
constexpr DWORD kTextBufferChars = kMaxSettingsText + 1;

std::string ModuleFileName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::string();
        if (n < path.size()) {
            path.resize(n);
            return Utf8(path);
        }
        path.resize(path.size() * 2);
    }
}

// The profile functions read files in the ANSI code page and in UTF-16 alike
// (their W form converts the former); the program reads through them only.
std::string ReadText(const std::string& file, const wchar_t* section, const std::wstring& key,
                     const std::string& defaultText) {
    std::wstring buffer(kTextBufferChars, L'\0');
    const DWORD n = GetPrivateProfileStringW(section, key.c_str(), Wide(defaultText).c_str(),
                                             buffer.data(), kTextBufferChars, Wide(file).c_str());
    buffer.resize(std::min<DWORD>(n, kTextBufferChars - 1));
    return Utf8(buffer);
}

// A list of strings from one of the profile functions that fill a buffer and say
// "too small" by returning its size minus 2; nothing when it still does not fit in maxChars.
template <class Fill>
std::optional<std::string> ReadGrowing(Fill fill, std::size_t initialChars, std::size_t maxChars) {
    std::size_t size = std::max<std::size_t>(initialChars, 16);
    maxChars = std::max(maxChars, size);
    for (;;) {
        std::wstring buffer(size, L'\0');
        const DWORD n = fill(buffer.data(), static_cast<DWORD>(size));
        if (n + 2 < size) {
            buffer.resize(n);
            return Utf8(buffer);
        }
        if (size >= maxChars)
            return std::nullopt;
        size = std::min(size * 2, maxChars);
    }
}

bool IsUtf16File(const std::string& path) {
    UniqueFile file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    unsigned char bom[2] = {};
    DWORD read = 0;
    return file && ReadFile(file.Get(), bom, 2, &read, nullptr) && read == 2 && bom[0] == 0xFF &&
           bom[1] == 0xFE;
}

// Rewrites an ANSI file as UTF-16LE with a byte-order mark, the form in which the
// profile functions keep every character (and their ANSI form still reads each
// one the code page has). False with the error in GetLastError().
bool ConvertToUtf16(const std::string& path) {
    const std::wstring widePath = Wide(path);
    std::string bytes;
    {
        UniqueFile file(CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > 256 * 1024 * 1024)
            return false;
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                         &read, nullptr) ||
                               read != bytes.size()))
            return false;
    }
    const std::wstring text = Wide(Utf8FromAnsi(bytes));
    UniqueFile file(CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const wchar_t bom = 0xFEFF;
    DWORD written = 0;
    const DWORD textBytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    return WriteFile(file.Get(), &bom, sizeof bom, &written, nullptr) &&
           WriteFile(file.Get(), text.data(), textBytes, &written, nullptr) && written == textBytes;
}

// "Unable to write to <file>." and the system's reason on a line of its own.
UserError WriteFailure(const std::string& file, DWORD error) {
    return UserError("Unable to write to " + file + ".\n" + SystemReason(error));
}

UserError WriteFailure(const std::string& file, const char* reason) {
    return UserError("Unable to write to " + file + ".\n" + reason);
}

bool HasSection(const std::string& file, const wchar_t* section) {
    auto names = ReadGrowing(
        [&file](wchar_t* buffer, DWORD size) {
            return GetPrivateProfileSectionNamesW(buffer, size, Wide(file).c_str());
        },
        4096, 16 * 1024 * 1024);
    if (!names)
        return true; // cannot tell: assume the worst
    for (std::size_t pos = 0; pos < names->size();) {
        const std::size_t end = std::min(names->find('\0', pos), names->size());
        if (lstrcmpiW(Wide(names->substr(pos, end - pos)).c_str(), section) == 0)
            return true;
        pos = end + 1;
    }
    return false;
}

bool ProcessRunning(unsigned long processId) {
    const UniqueProcess process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    return WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

void DeleteTempFile(const std::string& path) {
    SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(Wide(path).c_str());
}

// Temporary files of earlier saves that were cut short (the process was killed, or
// the machine stopped) are removed; those of a process still running are its own.
void RemoveStaleTempFiles(const std::string& settingsFile) {
    const std::string folder = FolderOf(settingsFile);
    WIN32_FIND_DATAW found;
    const std::string pattern = folder.empty() ? "~pw*.tmp" : folder + "\\~pw*.tmp";
    const UniqueFind search(FindFirstFileW(Wide(pattern).c_str(), &found));
    if (!search)
        return;
    std::vector<std::string> stale;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const std::string leaf = Utf8(found.cFileName);
        auto owner = SaveTempFileOwner(leaf);
        if (!owner)
            continue;
        if (*owner != GetCurrentProcessId() && ProcessRunning(*owner))
            continue;
        stale.push_back(folder.empty() ? leaf : folder + "\\" + leaf);
    } while (FindNextFileW(search.Get(), &found));
    for (const std::string& path : stale)
        DeleteTempFile(path);
}

// Creates the temporary file beside settingsFile: a copy of it when it exists, so
// that sections and keys we do not write survive, else an empty file. A file of
// the name is a leftover of this process id: of an ended process, or of a save of
// ours that failed half-way.
std::string CreateTempFile(const std::string& settingsFile, bool copyExisting) {
    const std::string name = SaveTempFileName(settingsFile, GetCurrentProcessId());
    DeleteTempFile(name);
    bool created;
    if (copyExisting) {
        created = CopyFileW(Wide(settingsFile).c_str(), Wide(name).c_str(), TRUE) != FALSE;
    } else {
        UniqueFile file(CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        created = static_cast<bool>(file);
    }
    if (!created) {
        const DWORD error = GetLastError();
        // Anything a failed copy left there is ours to remove.
        DeleteTempFile(name);
        throw WriteFailure(settingsFile, error);
    }
    return name;
}

void WriteSettingsFile(const std::string& file, const Options& options,
                       const std::vector<StoredShortcut>& entries) {
    const std::wstring wideFile = Wide(file);
    if (!FinishInterruptedReplace(wideFile))
        throw WriteFailure(file, GetLastError());
    const DWORD attributes = GetFileAttributesW(wideFile.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            throw WriteFailure(file, error);
    }
    // A rename would replace a read-only file (and, under Wine as root, the profile
    // functions would write it too): the attribute is the user's "do not change".
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw WriteFailure(file, "A folder has the settings file's name.");
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY))
        throw WriteFailure(file, "The file is read-only.");

    const std::string temp = CreateTempFile(file, exists);
    // Deleted unless it replaced the settings file.
    ScopeExit removeTemp([&temp] { DeleteTempFile(temp); });
    const std::wstring wideTemp = Wide(temp);
    const wchar_t* tempPath = wideTemp.c_str();
    // The profile functions recreate the file with normal attributes, which Windows
    // refuses over a hidden or system file; the original ones are put back below.
    SetFileAttributesW(tempPath, FILE_ATTRIBUTE_NORMAL);

    // A file in the ANSI code page stays in it, byte for byte as earlier versions
    // wrote it, while every path fits the code page. A path that does not makes
    // it UTF-16, which it then stays.
    const bool everyPathFits = std::all_of(entries.begin(), entries.end(),
                                           [](const auto& e) { return FitsAnsiCodePage(e.path); });
    if (!everyPathFits && !IsUtf16File(temp) && !ConvertToUtf16(temp))
        throw WriteFailure(file, GetLastError());

    const std::pair<const wchar_t*, bool> values[] = {
        {L"WarnWeakKey", options.warnOfWeakKeys},   {L"ConfirmExit", options.confirmExit},
        {L"DClickEdits", options.doubleClickEdits}, {L"RunOnStarup", options.runAtLogon},
        {L"WarnAltGr", options.warnOfAltGr},        {L"OpenInFront", options.openInFront},
    };
    for (const auto& [key, on] : values)
        if (!WritePrivateProfileStringW(kOptionsSection, key, on ? L"1" : L"0", tempPath))
            throw WriteFailure(file, GetLastError());

    if (entries.empty()) {
        // Deleting removes the first section of the name only: a hand-edited file
        // may hold more, and the next one would be read in its place.
        int rounds = 0;
        do {
            if (!WritePrivateProfileStringW(kShortcutsSection, nullptr, nullptr, tempPath))
                throw WriteFailure(file, GetLastError());
        } while (HasSection(temp, kShortcutsSection) && ++rounds < 64);
        if (rounds == 64)
            throw WriteFailure(file, "The [Shortcuts] section could not be removed.");
    } else {
        const std::wstring block = Wide(ShortcutsSectionBlock(entries));
        if (!WritePrivateProfileSectionW(kShortcutsSection, block.data(), tempPath))
            throw WriteFailure(file, GetLastError());
    }
    // Flushes and drops the profile functions' cached copy of the temporary file.
    // It reports FALSE whatever happens, so its result says nothing.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, tempPath);
    {
        // The data must be on disk before the rename makes it the settings file.
        UniqueFile handle(CreateFileW(tempPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle || !FlushFileBuffers(handle.Get()))
            throw WriteFailure(file, GetLastError());
    }
    if (exists)
        SetFileAttributesW(tempPath, attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                   FILE_ATTRIBUTE_ARCHIVE |
                                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));

    // The file may have been made read-only (or replaced by a folder) meanwhile.
    const DWORD now = GetFileAttributesW(wideFile.c_str());
    if (now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_DIRECTORY))
        throw WriteFailure(file, "A folder has the settings file's name.");
    if (now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_READONLY))
        throw WriteFailure(file, "The file is read-only.");
    // A rename in one step; a file with more than one name is written in place instead,
    // so that its links survive (see store/FileReplace.h).
    if (!ReplaceWithFinishedFile(wideTemp, wideFile))
        throw WriteFailure(file, GetLastError());
    removeTemp.Dismiss();

    RemoveStaleTempFiles(file);
}

std::vector<StoredShortcut> ReadShortcutsKeyByKey(const std::string& file) {
    return ShortcutsFrom(
        [&file](const std::string& key, const std::string& defaultText) {
            return ReadText(file, kShortcutsSection, Wide(key), defaultText);
        },
        kMaxLoadedShortcuts);
}

} // namespace

std::vector<StoredShortcut> ReadStoredShortcuts(const std::string& fileName,
                                                SectionReadSizes sizes) {
    FinishInterruptedReplace(Wide(fileName)); // loading never fails: a later load tries again
    auto block = ReadGrowing(
        [&fileName](wchar_t* buffer, DWORD size) {
            return GetPrivateProfileSectionW(kShortcutsSection, buffer, size,
                                             Wide(fileName).c_str());
        },
        sizes.initialChars, sizes.maxChars);
    if (!block)
        return ReadShortcutsKeyByKey(fileName);
    return ShortcutsFromSection(ProfileSection::FromBlock(*block), kMaxLoadedShortcuts);
}

SettingsStore::SettingsStore() : SettingsStore(ModuleFileName, RunAtLogonKeys{}) {}

SettingsStore::SettingsStore(std::function<std::string()> executablePath, RunAtLogonKeys keys)
    : executablePath_(std::move(executablePath)), keys_(std::move(keys)) {}

std::string SettingsStore::SettingsFileName() const {
    return SettingsFileNameFor(executablePath_());
}

Options SettingsStore::LoadOptions() const {
    const std::string file = SettingsFileName();
    FinishInterruptedReplace(Wide(file)); // loading never fails: a later load tries again
    Options options;
    for (const OptionKey& key : kOptionKeys)
        options.*key.field =
            SettingsBoolOr(ReadText(file, kOptionsSection, key.name, ""), options.*key.field);
    return options;
}

std::vector<StoredShortcut> SettingsStore::LoadShortcuts() const {
    std::vector<StoredShortcut> entries = ReadStoredShortcuts(SettingsFileName());
    TracePhase("settings read");
    return entries;
}

void SettingsStore::SaveSettings(const Options& options,
                                 const std::vector<StoredShortcut>& shortcuts) const {
    const std::string file = SettingsFileName();
    // A line break would split the line and corrupt the file; refusing the whole
    // save keeps the file as it was. Anything else loaded can be saved again.
    for (const StoredShortcut& shortcut : shortcuts)
        if (HasLineBreak(shortcut.path))
            throw WriteFailure(file, "A folder path holds a line break.");
    WriteSettingsFile(file, options, shortcuts);
    if (options.runAtLogon)
        SetRunAtLogon(keys_, ExecutablePath());
    else
        RemoveRunAtLogon(keys_);
}

} // namespace pw
