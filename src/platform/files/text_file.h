#pragma once
// Sequential text input and output, bytes as the file holds them (a reader
// decodes them from its format's code page).
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tessaly {

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
// disk: the text goes to a temporary file in the same folder, and Commit()
// renames it over the target. Without Commit() (a failure on the way, or
// SIGTERM, SIGINT or SIGHUP) the temporary file is removed and an existing
// target stays as it was. A symbolic link is written through (the file it
// leads to is replaced, the link stays); a replaced file keeps its owner,
// group and permissions, set-id bits excepted; a write-protected target is
// refused.
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

    std::string target_;
    std::string path_;  // the file replaced: the target with its links followed
    std::string temp_;
    int slot_ = -1;  // the temporary's place in platform/signal_cleanup.h
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

}  // namespace tessaly
