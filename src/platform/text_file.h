#pragma once
// Sequential text input and output, one byte a character (Windows-1252).
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tessaly {

// Reads lines that end at a carriage return or a carriage return followed by
// a line feed. A line feed on its own is an ordinary character of the line.
class TextLineReader {
public:
    explicit TextLineReader(const std::string& name);
    ~TextLineReader();
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    // True when no byte is left to read.
    bool AtEnd();

    // Reads the next line into LINE, keeping at most KEEP of its characters
    // (the rest of the line is read and dropped, so a huge line costs no
    // memory). Throws Error naming the line number when the file has no more
    // data.
    void ReadLine(std::string& line, size_t keep = SIZE_MAX);

    // Number of lines read so far.
    int64_t LineNumber() const { return line_; }
    const std::string& Name() const { return name_; }

private:
    bool Fill();

    std::string name_;
    std::FILE* file_ = nullptr;
    int64_t line_ = 0;
    std::string buf_;
    size_t pos_ = 0;
};

// Writes a file so that the target is replaced only once every byte is on
// disk: the text goes to a temporary file in the same folder, and Commit()
// renames it over the target. Without Commit() (a failure on the way) the
// temporary file is removed and an existing target stays as it was.
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

    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

}  // namespace tessaly
