#include "store/Settings.h"

#include "store/FileReplace.h"
#include "store/RunAtLogon.h"

#include "win/Errors.h"
#include "win/Scoped.h"
#include "win/StartupTrace.h"
#include "win/Text.h"

#include <algorithm>
#include <iterator>
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
// Each key combination option's key in [Options], a number as a shortcut's nShortCut.
struct KeyOptionKey {
    const wchar_t* name;
    KeyCombination Options::*field;
};
constexpr KeyOptionKey kKeyOptionKeys[] = {
    {L"ShowAllFoldersKey", &Options::showAllFoldersKey},
};
// Each text option's key in [Options]; absent or empty, the field's default.
struct TextOptionKey {
    const wchar_t* name;
    std::string Options::*field;
};
constexpr TextOptionKey kTextOptionKeys[] = {
    {L"Terminal", &Options::terminal},
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

// A whole file's bytes (at most 256 MiB). False with the error in GetLastError().
bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size))
        return false;
    if (size.QuadPart > 256 * 1024 * 1024) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() ||
           (ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
            read == bytes.size());
}

// Replaces a file's content. False with the error in GetLastError().
bool WriteWholeFile(const std::wstring& path, std::string_view bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

bool IsUtf8(SettingsEncoding encoding) {
    return encoding == SettingsEncoding::Utf8 || encoding == SettingsEncoding::Utf8WithMark;
}

// What the profile functions read for a settings file: the file itself, or for a
// file in UTF-8 (which they do not decode) a UTF-16 copy in the temporary folder,
// which goes with the object. When no copy can be made the file is read as ANSI.
class ReadableSettings {
public:
    explicit ReadableSettings(const std::string& file) : path_(file) {
        std::string bytes;
        if (!ReadWholeFile(Wide(file), bytes))
            return;
        const SettingsEncoding encoding = SettingsEncodingOf(bytes);
        wchar_t folder[MAX_PATH + 1] = L"", name[MAX_PATH + 1] = L"";
        if (!IsUtf8(encoding) || !GetTempPathW(MAX_PATH + 1, folder) ||
            !GetTempFileNameW(folder, L"pw", 0, name))
            return;
        copy_ = name;
        if (WriteWholeFile(copy_, SettingsBytesAsUtf16(bytes, encoding)))
            path_ = Utf8(copy_);
    }
    ~ReadableSettings() {
        // Drops the profile functions' parsed copy of the file just read (the most
        // recently used one): with a thousand shortcuts it held about 0.2 MiB for the
        // whole run. Named, the call would open the file for writing first, which
        // fails for a read-only one.
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, nullptr);
        if (!copy_.empty())
            DeleteFileW(copy_.c_str());
    }
    ReadableSettings(const ReadableSettings&) = delete;
    ReadableSettings& operator=(const ReadableSettings&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::wstring copy_;
};

// "Unable to write to <file>." and the system's reason on a line of its own.
UserError WriteFailure(const std::string& file, DWORD error) {
    return UserError("Unable to write to " + file + ".\n" + SystemReason(error));
}

UserError WriteFailure(const std::string& file, const char* reason) {
    return UserError("Unable to write to " + file + ".\n" + reason);
}

// The same, naming the file really in the way when it is another one.
UserError WriteFailure(const std::string& file, const FileProblem& problem) {
    if (problem.file == Wide(file))
        return WriteFailure(file, problem.error);
    return WriteFailure(
        file, (Utf8(problem.file) + " is in the way: " + SystemReason(problem.error)).c_str());
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
    if (const auto problem = FinishInterruptedReplace(wideFile))
        throw WriteFailure(file, *problem);
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
    // it UTF-16, which it then stays. A file in UTF-8 is worked on in UTF-16 (the
    // profile functions do not decode UTF-8) and turned back into UTF-8 below.
    std::string bytes;
    if (exists && !ReadWholeFile(wideTemp, bytes))
        throw WriteFailure(file, GetLastError());
    const SettingsEncoding encoding = SettingsEncodingOf(bytes);
    const bool everyPathFits =
        std::all_of(entries.begin(), entries.end(),
                    [](const auto& e) { return FitsAnsiCodePage(e.path); }) &&
        std::all_of(std::begin(kTextOptionKeys), std::end(kTextOptionKeys),
                    [&](const auto& key) { return FitsAnsiCodePage(options.*key.field); });
    const bool toUtf16 = IsUtf8(encoding) || (encoding == SettingsEncoding::Ansi && !everyPathFits);
    if (toUtf16 && !WriteWholeFile(wideTemp, SettingsBytesAsUtf16(bytes, encoding)))
        throw WriteFailure(file, GetLastError());

    for (const OptionKey& key : kOptionKeys)
        if (!WritePrivateProfileStringW(kOptionsSection, key.name, options.*key.field ? L"1" : L"0",
                                        tempPath))
            throw WriteFailure(file, GetLastError());
    for (const KeyOptionKey& key : kKeyOptionKeys)
        if (!WritePrivateProfileStringW(kOptionsSection, key.name,
                                        std::to_wstring(options.*key.field).c_str(), tempPath))
            throw WriteFailure(file, GetLastError());
    // An empty text (the default) leaves no key behind: a file that had none stays as it was.
    for (const TextOptionKey& key : kTextOptionKeys) {
        const std::wstring text = Wide(ProfileTextToWrite(options.*key.field));
        if (!WritePrivateProfileStringW(kOptionsSection, key.name,
                                        text.empty() ? nullptr : text.c_str(), tempPath))
            throw WriteFailure(file, GetLastError());
    }

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
    if (IsUtf8(encoding) &&
        (!ReadWholeFile(wideTemp, bytes) ||
         !WriteWholeFile(wideTemp,
                         Utf16BytesAsUtf8(bytes, encoding == SettingsEncoding::Utf8WithMark))))
        throw WriteFailure(file, GetLastError());
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
    // A rename in one step; a file with more than one name, or reached through a
    // symbolic link, is written in place instead, so that its links survive (see
    // store/FileReplace.h).
    if (const auto problem = ReplaceWithFinishedFile(wideTemp, wideFile))
        throw WriteFailure(file, *problem);
    removeTemp.Dismiss();

    RemoveStaleTempFiles(file);
}

std::vector<StoredShortcut> ReadShortcutsKeyByKey(const std::string& file) {
    // The key names say which entries the file holds; without them (a list beyond
    // any buffer) only the made-up bound is read.
    const auto names = ReadGrowing(
        [&file](wchar_t* buffer, DWORD size) {
            return GetPrivateProfileStringW(kShortcutsSection, nullptr, L"", buffer, size,
                                            Wide(file).c_str());
        },
        64 * 1024, 64 * 1024 * 1024);
    std::vector<int> stored;
    for (std::size_t pos = 0; names && pos < names->size();) {
        const std::size_t end = std::min(names->find('\0', pos), names->size());
        if (auto index = ShortcutIndexOfKey(names->substr(pos, end - pos)))
            stored.push_back(*index);
        pos = end + 1;
    }
    return ShortcutsFrom(
        [&file](const std::string& key, const std::string& defaultText) {
            return ReadText(file, kShortcutsSection, Wide(key), defaultText);
        },
        std::move(stored), kMaxLoadedShortcuts);
}

} // namespace

std::vector<StoredShortcut> ReadStoredShortcuts(const std::string& settingsFile,
                                                SectionReadSizes sizes) {
    FinishInterruptedReplace(Wide(settingsFile)); // loading never fails: a later load tries again
    const ReadableSettings readable(settingsFile);
    const std::string& fileName = readable.Path();
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
    FinishInterruptedReplace(Wide(SettingsFileName())); // a later load tries again
    const ReadableSettings readable(SettingsFileName());
    const std::string& file = readable.Path();
    Options options;
    for (const OptionKey& key : kOptionKeys)
        options.*key.field =
            SettingsBoolOr(ReadText(file, kOptionsSection, key.name, ""), options.*key.field);
    for (const KeyOptionKey& key : kKeyOptionKeys) {
        const auto number = ParseSettingsNumber(ReadText(file, kOptionsSection, key.name, ""));
        if (number)
            options.*key.field = KeyCombinationFromSettingsNumber(*number);
    }
    for (const TextOptionKey& key : kTextOptionKeys)
        options.*key.field = ReadText(file, kOptionsSection, key.name, "");
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
