#pragma once
// What the first bytes of a file say about it, before any reader tries it:
// the signatures of common files that plainly hold no points (pictures,
// documents, archives), and whether the bytes are plain text.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// The bytes a kind is told from: enough for every signature below and for a
// fair look at a text file's first lines.
constexpr size_t kFileHeadBytes = size_t{64} << 10;

// The first MAX bytes of FILE (fewer when it is shorter); nothing when it
// cannot be opened (the reader that gets it says why).
std::optional<std::string> FileHead(const std::string& file, size_t max = kFileHeadBytes);

// What HEAD, the start of a file, shows the file to be when it carries the
// signature of a PNG, JPEG or GIF picture, a PDF document, a ZIP archive
// (telling XLSX and ODS spreadsheets apart) or gzip data: "a PNG image".
// Nothing for every other start.
std::optional<std::string_view> ForeignFileKind(std::string_view head);

// The bytes of HEAD that text does not hold: control characters other than
// tab, line feed, form feed, carriage return and the DOS end-of-file mark
// (Ctrl-Z), NUL included.
size_t ControlBytes(std::string_view head);

// True when HEAD reads as text: UTF-16 after its byte-order mark, or else
// bytes without control characters other than tab, line feed, form feed,
// carriage return and the DOS end-of-file mark, which are UTF-8 or, as
// Windows-1252, mostly ASCII. Binary numbers nearly always hold a control
// byte or a run of high bytes that is not UTF-8, so a binary point file
// that merely lacks a NUL is not taken for text.
bool LooksLikePlainText(std::string_view head);

// HEAD up to the end of its last complete line (UTF-16 lines included):
// what a look at the first lines reads without meeting a line cut short.
std::string_view WholeLines(std::string_view head);

// A file in memory that holds BYTES, for code that reads files by name: a
// look at a file's first lines then reads no more than those, however long
// the file or its lines. It goes away with the object. Path() is empty when
// no such file could be made.
class MemoryFile {
public:
    explicit MemoryFile(std::string_view bytes);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace tessaly
