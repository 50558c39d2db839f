#pragma once
// Free-format text fields, as BASIC programs wrote them with Write # and read
// them with Input #: values separated by commas or line ends.
//
//  - Blanks and tabs in front of a field are skipped.
//  - A field ends at a comma, a line end or the end of the file. CR, LF and
//    CR LF each end a line. A comma followed by a line end (blanks and tabs
//    between them allowed) ends one field, not two; a trailing comma at the
//    end of the file ends its field and opens no new one.
//  - A field read as a number also ends at a blank or a tab; the blanks that
//    follow are skipped, together with one comma or line end after them, so
//    numbers may be separated by blanks alone.
//  - A field read as text keeps its inner blanks and tabs and loses the
//    trailing ones.
//  - A field that starts with a double quotation mark runs to the next one,
//    line ends included; the marks are not part of the value, and anything
//    between the closing mark and the next separator is dropped. Without a
//    closing mark the field runs to the end of the file.
//  - An empty field (two separators in a row, an empty line) is empty text,
//    or 0 as a number. A numeric field is converted like LeadingNumber: text
//    that is not a number gives 0.
//  - Asking for a field when only blanks and tabs, or nothing, are left fails
//    with an Error naming the file, the field number and the line.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/files/text_file.h"

namespace tessaly {

class FieldReader {
public:
    // Opens NAME for reading (never creates it; folders and devices are
    // refused).
    explicit FieldReader(const std::string& name) : in_(name) {}

    // Reads the next field as text into OUT, keeping at most KEEP bytes of it
    // (the rest is read and dropped, so a huge field costs no memory).
    void ReadText(std::string& out, size_t keep = SIZE_MAX);
    // Reads the next field as a number.
    double ReadNumber();
    // Reads the next field as a number rounded to a whole number, halves to
    // the even neighbour. Throws Overflow when it does not fit 32 bits.
    int32_t ReadInt32();

    // Fields read so far, and the line (from 1) the last one started on.
    int64_t FieldNumber() const { return fields_; }
    int64_t FieldLine() const { return fieldLine_; }
    const std::string& Name() const { return in_.Name(); }

private:
    enum class Kind { Text, Number };
    void ReadField(Kind kind, std::string& out, size_t keep);
    void EndField();
    void SkipBlanks();
    void SkipLineEnd();
    int Peek() { return in_.Fill(line_) ? static_cast<unsigned char>(*in_.Begin()) : -1; }
    void Advance();

    BufferedInput in_;
    int64_t line_ = 1;
    int last_ = -1;  // the byte consumed last, for counting CR LF as one line end
    int64_t fields_ = 0;
    int64_t fieldLine_ = 0;
    std::string number_;
};

}  // namespace tessaly
