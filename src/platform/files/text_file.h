#pragma once
// Sequential text input and output, bytes as the file holds them (a reader
// decodes them from its format's code page).
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tessaly {

namespace cleanup {
struct FileEntry;
}

// Buffered sequential reading of a file's bytes, for the text readers. Opens
// like BinaryFile: never creates a file, refuses folders, FIFOs and devices.
class BufferedInput {
public:
    explicit BufferedInput(const std::string& name);
    ~BufferedInput();
    BufferedInput(const BufferedInput&) = delete;
    BufferedInput& operator=(const BufferedInput&) = delete;

    // Makes at least one byte available; false at the end of the file. A read
    // error throws Error naming the file and LINE.
    bool Fill(int64_t line) { return pos_ < end_ || Refill(line); }
    // The bytes available now, and consuming N of them.
    const char* Begin() const { return buf_.data() + pos_; }
    const char* End() const { return buf_.data() + end_; }
    void Skip(size_t n) { pos_ += n; }
    const std::string& Name() const { return name_; }

private:
    bool Refill(int64_t line);

    std::string name_;
    std::FILE* file_ = nullptr;
    std::string buf_;
    size_t pos_ = 0, end_ = 0;
};

// The lines of a file (ended by CR LF, LF or CR), each cut to MAX_LENGTH
// bytes, so that one huge line costs no more memory than that.
class BoundedLines {
public:
    BoundedLines(const std::string& file, size_t maxLength) : in_(file), max_(maxLength) {}

    // The next line into LINE; false at the end of the file.
    bool Read(std::string& line);
    int64_t Line() const { return line_; }  // the number of the last line read
    bool Cut() const { return cut_; }       // the last line read was longer and cut

private:
    BufferedInput in_;
    size_t max_;
    int64_t line_ = 0;
    bool afterCr_ = false;
    bool cut_ = false;
};

// Reads lines that end at a carriage return or a carriage return followed by
// a line feed. A line feed on its own is an ordinary character of the line.
class TextLineReader {
public:
    explicit TextLineReader(const std::string& name) : in_(name) {}

    // True when no byte is left to read.
    bool AtEnd();

    // Reads the next line into LINE, keeping at most KEEP of its characters
    // (the rest of the line is read and dropped, so a huge line costs no
    // memory). Throws Error naming the line number when the file has no more
    // data.
    void ReadLine(std::string& line, size_t keep = SIZE_MAX);

    // Number of lines read so far.
    int64_t LineNumber() const { return line_; }
    const std::string& Name() const { return in_.Name(); }

private:
    BufferedInput in_;
    int64_t line_ = 0;
};

// Writes a file so that the target is replaced only once every byte is on
// disk. The text goes to an unnamed file in the target's folder, which is
// named and renamed over the target by Commit(): until then nothing shows in
// the folder, so even SIGKILL leaves no trace. Where the file system has no
// unnamed files, a hidden named temporary takes its place, removed on a
// failure or on a terminating signal (platform/signal_cleanup.h). An existing
// target stays as it was until the rename.
//
// A symbolic link is written through (the file it leads to is replaced, the
// link stays) only when it belongs to the user running the program or to the
// owner of the folder holding it, as the kernel's protected_symlinks rules
// for sticky world-writable folders, here for every folder and for root too;
// never when it leads nowhere (that would create a file wherever a stranger
// points). A replaced file keeps its owner, group and permissions, set-id
// bits excepted; a write-protected target is refused.
class ReplacingFileWriter {
public:
    explicit ReplacingFileWriter(const std::string& target);
    ~ReplacingFileWriter();
    ReplacingFileWriter(const ReplacingFileWriter&) = delete;
    ReplacingFileWriter& operator=(const ReplacingFileWriter&) = delete;

    void Write(std::string_view bytes);
    void Commit();

private:
    [[noreturn]] void Fail(const std::string& what);
    void Discard();
    bool NameUnnamed(const std::string& name);
    void NameTemporary();

    std::string target_;  // as given, for messages
    int folder_ = -1;     // the folder of the file replaced, links followed
    std::string name_;    // the file replaced, in that folder
    bool existed_ = false;
    bool unnamed_ = false;  // the bytes go to an O_TMPFILE file
    std::string temp_;      // the named temporary in the folder, when there is one
    cleanup::FileEntry* entry_ = nullptr;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

// While one lives, the writers on its thread write through no symbolic link
// at all, whoever owns it. A batch makes its output names itself, in a folder
// others may write in: a link there under one of those names was planted, not
// chosen.
class NoWritingThroughLinks {
public:
    NoWritingThroughLinks();
    ~NoWritingThroughLinks();
    NoWritingThroughLinks(const NoWritingThroughLinks&) = delete;
    NoWritingThroughLinks& operator=(const NoWritingThroughLinks&) = delete;

private:
    bool previous_;
};

}  // namespace tessaly
