#pragma once
// Reading a delimited text point file line by line: the encoding its
// byte-order mark or its bytes tell, every line decoded to UTF-8.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "formats/text/text_points.h"

namespace tessaly::text_read {

// The longest record read: a physical line, or a quoted field joined over
// lines with the rest of its record. A surveyor's point file never comes
// near it; a longer one is a file of another kind or a quotation mark never
// closed, and holding it whole costs memory without bound. Such a record
// stops the load at its line rather than being cut: a cut record would be
// stored as a point that is not what the file says, and the rows after an
// unclosed quotation mark are not rows at all. The rows before it stay, as
// after any failed load.
constexpr size_t kMaxRecord = size_t{1} << 20;

class DecodedInput;

// The physical lines of the file in UTF-8, each with the bytes that ended it.
class LineSource {
public:
    explicit LineSource(const std::string& file);
    ~LineSource();

    TextEncoding Encoding() const { return encoding_; }

    // The next line into LINE, its end ("\r\n", "\n", "\r" or "" at the end
    // of the file) into END. False when nothing is left.
    bool Next(std::string& line, std::string_view& end);

    int64_t Line() const { return line_; }
    int64_t Nuls() const { return nuls_; }
    int64_t Replaced() const;

private:
    void Decode(std::string& line);

    const std::string& file_;
    std::unique_ptr<DecodedInput> in_;
    TextEncoding encoding_ = TextEncoding::Cp1252;
    int64_t line_ = 0;
    int64_t nuls_ = 0, replaced_ = 0;
};

}  // namespace tessaly::text_read
