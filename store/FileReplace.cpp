#include "store/FileReplace.h"

#include "store/PendingCopy.h"
#include "win/Scoped.h"

#include <cstdio>
#include <string_view>

namespace pw {

namespace {

// Settings files are small; the bound keeps a stray huge file from being read whole.
constexpr LONGLONG kMaxBytes = 256LL * 1024 * 1024;

std::optional<std::string> ReadAll(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size))
        return std::nullopt;
    if (size.QuadPart > kMaxBytes) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) ||
        (!bytes.empty() &&
         !ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)))
        return std::nullopt;
    if (read != bytes.size()) {
        SetLastError(ERROR_HANDLE_EOF);
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> ReadAll(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? ReadAll(file.Get()) : std::nullopt;
}

// Readers may look meanwhile; nobody else may write.
UniqueFile OpenForWritingInPlace(const std::wstring& path) {
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Writes bytes over the file from its start, cuts it to their length and flushes.
bool Overwrite(HANDLE file, std::string_view bytes) {
    DWORD written = 0;
    return SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) &&
           (bytes.empty() ||
            (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
             written == bytes.size())) &&
           SetEndOfFile(file) && FlushFileBuffers(file);
}

// How many names (hard links) the file has; 1 when it is missing or cannot be asked.
DWORD NameCount(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.Get(), &info))
        return 1;
    return info.nNumberOfLinks;
}

// The path of a file or folder with every link on the way followed; "" when it
// cannot be asked.
std::wstring FinalPath(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; file && attempt < 2; ++attempt) {
        const DWORD n = GetFinalPathNameByHandleW(file.Get(), buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), 0);
        if (n == 0)
            break;
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(n + 1);
    }
    return std::wstring();
}

// True when the file itself is a symbolic link: a rename over it would replace the
// link. Wine shows a Unix link as an ordinary file, so the file's own final path
// is compared with its folder's and its name; a file that the comparison cannot
// place (a short name, say) counts as a link, which only makes its save write in place.
bool IsLinkToElsewhere(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return true;
    const size_t separator = path.find_last_of(L"\\/");
    std::wstring folder = path.substr(0, separator == std::wstring::npos ? 0 : separator);
    if (folder.empty() || folder.back() == L':')
        folder += L'\\';
    std::wstring expected = FinalPath(folder);
    const std::wstring final = FinalPath(path);
    if (expected.empty() || final.empty())
        return false;
    if (expected.back() != L'\\')
        expected += L'\\';
    expected += path.substr(separator + 1);
    return CompareStringOrdinal(expected.c_str(), -1, final.c_str(), -1, TRUE) != CSTR_EQUAL;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RenameOver(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// Gives what holds the pending copy's name (a file or a folder, kept as it is) a
// name that says it was not applied: "<pending>.unused-<date>-<time>", with a number
// after it when that is taken. False when it cannot be moved.
bool SetAside(const std::wstring& pending) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, ".unused-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    const std::wstring name = pending + std::wstring(stamp, stamp + std::string_view(stamp).size());
    for (int n = 1; n <= 100; ++n) {
        const std::wstring aside = n == 1 ? name : name + L"-" + std::to_wstring(n);
        if (MoveFileExW(pending.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

// Removes the pending copy of a save that is complete, a read-only one too; one
// that cannot be deleted is set aside, so that it is never applied again.
void RemovePendingCopy(const std::wstring& pending) {
    if (DeleteFileW(pending.c_str()))
        return;
    const DWORD attributes = GetFileAttributesW(pending.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        SetFileAttributesW(pending.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) &&
        DeleteFileW(pending.c_str()))
        return;
    SetAside(pending);
}

FileProblem Problem(const std::wstring& file) {
    return FileProblem{GetLastError(), file};
}

} // namespace

std::wstring PendingCopyOf(const std::wstring& target) {
    return target + L".~new";
}

std::optional<FileProblem> ReplaceWithFinishedFile(const std::wstring& source,
                                                   const std::wstring& target) {
    if (NameCount(target) <= 1 && !IsLinkToElsewhere(target)) {
        if (!RenameOver(source, target))
            return Problem(target);
        return std::nullopt;
    }

    const std::wstring pending = PendingCopyOf(target);
    UniqueFile file = OpenForWritingInPlace(target);
    if (!file)
        return Problem(target);
    const std::optional<std::string> newBytes = ReadAll(source);
    const std::optional<std::string> oldBytes = newBytes ? ReadAll(file.Get()) : std::nullopt;
    if (!oldBytes)
        return Problem(target);
    // The name must be free, and only something that cannot be moved aside is in the way.
    if (Exists(pending) && !SetAside(pending))
        return Problem(pending);
    {
        UniqueFile copy(CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy || !Overwrite(copy.Get(), PendingCopyBytes(*newBytes, *oldBytes)))
            return Problem(target);
    }
    if (!MoveFileExW(source.c_str(), pending.c_str(), MOVEFILE_WRITE_THROUGH))
        return Problem(target);
    if (Overwrite(file.Get(), *newBytes)) {
        file.Reset();
        RemovePendingCopy(pending);
        return std::nullopt;
    }
    // The failed save leaves the old content, as a failed rename would. Should even
    // that write fail, the pending copy stays and the next load makes the new
    // content whole instead.
    const FileProblem problem = Problem(target);
    if (Overwrite(file.Get(), *oldBytes)) {
        file.Reset();
        RemovePendingCopy(pending);
    }
    return problem;
}

std::optional<FileProblem> FinishInterruptedReplace(const std::wstring& target) {
    const std::wstring pending = PendingCopyOf(target);
    const DWORD attributes = GetFileAttributesW(pending.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
        return FileProblem{error, pending};
    }
    std::optional<std::string> copy;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        copy = ReadAll(pending);
        // Unread, it may be the torn file's only record.
        if (!copy && GetLastError() != ERROR_FILE_TOO_LARGE)
            return Problem(pending);
    }
    const std::optional<PendingCopyParts> parts = copy ? ReadPendingCopy(*copy) : std::nullopt;
    std::optional<std::string> current;
    if (parts) {
        current = ReadAll(target);
        const DWORD error = GetLastError();
        // A settings file deleted since was deleted on purpose: it stays so.
        if (!current && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return FileProblem{error, target};
    }
    if (current && *current == parts->newContent) {
        RemovePendingCopy(pending);
        return std::nullopt;
    }
    if (!current || !IsTornBetween(*current, parts->newContent, parts->oldContent)) {
        SetAside(pending); // when it cannot be moved, it does no harm where it is
        return std::nullopt;
    }
    UniqueFile file = OpenForWritingInPlace(target);
    if (!file || !Overwrite(file.Get(), parts->newContent))
        return Problem(target);
    file.Reset();
    RemovePendingCopy(pending);
    return std::nullopt;
}

} // namespace pw
