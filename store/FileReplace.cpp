#include "store/FileReplace.h"

#include "win/Scoped.h"

#include <windows.h>

#include <optional>

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
bool Overwrite(HANDLE file, const std::string& bytes) {
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

bool RenameOver(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

} // namespace

std::wstring PendingCopyOf(const std::wstring& target) {
    return target + L".~new";
}

bool ReplaceWithFinishedFile(const std::wstring& source, const std::wstring& target) {
    const std::wstring pending = PendingCopyOf(target);
    if (NameCount(target) <= 1) {
        if (!RenameOver(source, target))
            return false;
        // A pending copy can only hold content older than this.
        DeleteFileW(pending.c_str());
        return true;
    }

    UniqueFile file = OpenForWritingInPlace(target);
    if (!file)
        return false;
    const std::optional<std::string> newBytes = ReadAll(source);
    const std::optional<std::string> oldBytes = newBytes ? ReadAll(file.Get()) : std::nullopt;
    if (!oldBytes || !RenameOver(source, pending))
        return false;
    if (Overwrite(file.Get(), *newBytes)) {
        file.Reset();
        DeleteFileW(pending.c_str());
        return true;
    }
    // The failed save leaves the old content, as a failed rename would. Should even
    // that write fail, the pending copy stays and the next load makes the new
    // content whole instead.
    const DWORD error = GetLastError();
    if (Overwrite(file.Get(), *oldBytes)) {
        file.Reset();
        DeleteFileW(pending.c_str());
    }
    SetLastError(error);
    return false;
}

bool FinishInterruptedReplace(const std::wstring& target) {
    const std::wstring pending = PendingCopyOf(target);
    const std::optional<std::string> bytes = ReadAll(pending);
    if (!bytes) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    UniqueFile file = OpenForWritingInPlace(target);
    if (!file) {
        // Deleted since: the pending copy is the last content it had.
        return GetLastError() == ERROR_FILE_NOT_FOUND && RenameOver(pending, target);
    }
    if (!Overwrite(file.Get(), *bytes))
        return false;
    file.Reset();
    DeleteFileW(pending.c_str());
    return true;
}

} // namespace pw
