#include "platform/files/file_kind.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/files/binary_file.h"
#include "platform/text/codepage.h"

namespace tessaly {

std::optional<std::string> FileHead(const std::string& file, size_t max)
{
    std::FILE* f = nullptr;
    try {
        f = OpenForReading(file);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(f, std::fclose);
    std::string head(max, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), f));
    return head;
}

std::optional<std::string_view> ForeignFileKind(std::string_view head)
{
    if (head.starts_with("\x89PNG\r\n\x1A\n")) return "a PNG image";
    if (head.starts_with("\xFF\xD8\xFF")) return "a JPEG image";
    if (head.starts_with("GIF87a") || head.starts_with("GIF89a")) return "a GIF image";
    if (head.starts_with("%PDF-")) return "a PDF document";
    if (head.starts_with("\x1F\x8B")) return "gzip-compressed data";
    if (head.starts_with("PK\x03\x04") || head.starts_with("PK\x05\x06")) {
        // A spreadsheet is a ZIP archive too; its first entries say which.
        if (head.find("opendocument.spreadsheet") != std::string_view::npos)
            return "an ODS spreadsheet (save the sheet as CSV to read its points)";
        if (head.find("xl/") != std::string_view::npos)
            return "an XLSX spreadsheet (save the sheet as CSV to read its points)";
        return "a ZIP archive";
    }
    return std::nullopt;
}

namespace {
// Control characters that text holds: tab, line feed, form feed, carriage
// return, and Ctrl-Z, which DOS programs put at the end of a file.
bool TextControl(char32_t c) { return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == 0x1A; }

bool Utf16Text(std::string_view units, bool littleEndian)
{
    for (size_t i = 0; i + 1 < units.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(units[littleEndian ? i : i + 1]);
        const auto hi = static_cast<unsigned char>(units[littleEndian ? i + 1 : i]);
        const char32_t c = static_cast<char32_t>(hi << 8 | lo);
        if ((c < 0x20 && !TextControl(c)) || c == 0x7F) return false;
    }
    return true;
}
}  // namespace

size_t ControlBytes(std::string_view head)
{
    return static_cast<size_t>(std::count_if(head.begin(), head.end(), [](char ch) {
        const auto b = static_cast<unsigned char>(ch);
        return (b < 0x20 && !TextControl(b)) || b == 0x7F;
    }));
}

bool LooksLikePlainText(std::string_view head)
{
    if (head.starts_with("\xFF\xFE")) return Utf16Text(head.substr(2), true);
    if (head.starts_with("\xFE\xFF")) return Utf16Text(head.substr(2), false);
    if (ControlBytes(head) > 0) return false;
    const auto high = static_cast<size_t>(
        std::count_if(head.begin(), head.end(), [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; }));
    if (high == 0) return true;
    Utf8Check utf8;
    utf8.Feed(head);
    // A head cut in the middle of a character is still UTF-8.
    if (!utf8.Failed()) return true;
    return high * 4 <= head.size();
}

std::string_view WholeLines(std::string_view head)
{
    // UTF-16: the last line feed that is a whole character.
    const bool little = head.starts_with("\xFF\xFE"), big = head.starts_with("\xFE\xFF");
    if (little || big) {
        for (size_t i = (head.size() & ~size_t{1}); i >= 4; i -= 2) {
            const std::string_view unit = head.substr(i - 2, 2);
            if (unit == (little ? std::string_view("\n\0", 2) : std::string_view("\0\n", 2))) return head.substr(0, i);
        }
        return head.substr(0, 2);
    }
    const size_t end = head.find_last_of("\r\n");
    return end == std::string_view::npos ? std::string_view() : head.substr(0, end + 1);
}

MemoryFile::MemoryFile(std::string_view bytes)
{
    fd_ = ::memfd_create("tessaly-head", MFD_CLOEXEC);
    if (fd_ < 0) return;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile()
{
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace tessaly
