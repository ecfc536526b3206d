#include "store/PendingCopy.h"

#include <cstdint>
#include <cstdio>

namespace pw {

namespace {

constexpr std::string_view kLineStart = ";Pathwink pending copy: ";

std::uint32_t Crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string Hex8(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

std::string ProofLine(std::string_view newContent, std::string_view oldContent) {
    return std::string(kLineStart) + std::to_string(newContent.size()) + " bytes CRC-32 " +
           Hex8(Crc32(newContent)) + ", then " + std::to_string(oldContent.size()) +
           " bytes CRC-32 " + Hex8(Crc32(oldContent)) + "\r\n";
}

// A length in decimal at the start of text (at most 12 digits, far beyond any copy).
std::optional<std::size_t> LengthAt(std::string_view text) {
    std::size_t value = 0, digits = 0;
    for (; digits < text.size() && digits <= 12 && text[digits] >= '0' && text[digits] <= '9';
         ++digits)
        value = value * 10 + static_cast<std::size_t>(text[digits] - '0');
    if (digits == 0 || digits > 12)
        return std::nullopt;
    return value;
}

} // namespace

std::string PendingCopyBytes(std::string_view newContent, std::string_view oldContent) {
    std::string bytes;
    bytes.reserve(newContent.size() + oldContent.size() + 100);
    bytes += newContent;
    bytes += oldContent;
    bytes += ProofLine(newContent, oldContent);
    return bytes;
}

std::optional<PendingCopyParts> ReadPendingCopy(std::string_view bytes) {
    // The line holds its start only once: the last one is the line's, whatever the
    // contents before it hold.
    const std::size_t at = bytes.rfind(kLineStart);
    if (at == std::string_view::npos)
        return std::nullopt;
    const auto newSize = LengthAt(bytes.substr(at + kLineStart.size()));
    if (!newSize || *newSize > at)
        return std::nullopt;
    const PendingCopyParts parts{bytes.substr(0, *newSize), bytes.substr(*newSize, at - *newSize)};
    if (bytes.substr(at) != ProofLine(parts.newContent, parts.oldContent))
        return std::nullopt;
    return parts;
}

bool IsTornBetween(std::string_view file, std::string_view newContent,
                   std::string_view oldContent) {
    if (file.size() != newContent.size() && file.size() != oldContent.size())
        return false;
    for (std::size_t i = 0; i < file.size(); ++i) {
        const bool fromNew = i < newContent.size() && file[i] == newContent[i];
        const bool fromOld = i < oldContent.size() ? file[i] == oldContent[i] : file[i] == '\0';
        if (!fromNew && !fromOld)
            return false;
    }
    return true;
}

} // namespace pw
