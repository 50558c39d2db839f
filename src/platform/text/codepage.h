#pragma once
// Conversion between UTF-8, in which the point table keeps its text, and
// Windows-1252, the code page of the older point formats: their readers
// decode through here and the ASCII PNEZD writer encodes.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tessaly {

// UTF-8 to Windows-1252. A character the code page cannot hold becomes "?",
// and so does each malformed UTF-8 sequence (a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate, a value past U+10FFFF).
// The five bytes Windows-1252 leaves unassigned (81, 8D, 8F, 90, 9D) stand
// for the control characters of the same value, as Windows itself maps them.
std::string Utf8ToCp1252(std::string_view utf8);
// The same, adding to REPLACED the number of "?" put in for characters and
// malformed sequences (a "?" of the text itself is not counted).
std::string Utf8ToCp1252(std::string_view utf8, int64_t& replaced);
// The same written from OUT on, which has room for utf8.size() bytes (the
// code page never takes more bytes than UTF-8); returns the end of what was
// written. A writer puts its fields straight into its output buffer.
char* Utf8ToCp1252(std::string_view utf8, char* out, int64_t& replaced);

// Appends the UTF-8 form of the character C (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// UTF-8 with each malformed sequence replaced by REPLACEMENT, counted in
// REPLACED; valid text comes back unchanged.
std::string MendUtf8(std::string_view text, int64_t& replaced, std::string_view replacement = "?");

// Checks text piece by piece for valid UTF-8, so a file can be checked as it
// is read: a sequence may be cut between two pieces.
class Utf8Check {
public:
    void Feed(std::string_view piece);
    // True when everything fed is valid UTF-8 and no sequence is left open.
    bool Valid() const { return valid_ && pending_ == 0; }
    // True once an invalid byte was fed: nothing fed later makes it valid.
    bool Failed() const { return !valid_; }
    // True when a byte above 127 was fed.
    bool HasHighBytes() const { return high_; }

private:
    bool valid_ = true;
    bool high_ = false;
    int pending_ = 0;      // continuation bytes still expected
    char32_t value_ = 0;   // the character so far
    char32_t least_ = 0;   // the smallest value the sequence's length may carry
};

// Windows-1252 to UTF-8. Every byte has a character, so nothing is lost.
std::string Cp1252ToUtf8(std::string_view cp1252);
// True when TEXT has no byte above 127.
inline bool IsAscii(std::string_view text)
{
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if (word & 0x8080808080808080u) return false;
    }
    for (; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    return true;
}

// Decodes CP1252 into BUFFER and returns it.
std::string_view DecodeCp1252(std::string_view cp1252, std::string& buffer);
// Windows-1252 to UTF-8 for a reader's field: text that is all ASCII, as most
// fields are, comes back as it is without a copy (and without a call); any
// other is decoded into BUFFER.
inline std::string_view Cp1252ToUtf8(std::string_view cp1252, std::string& buffer)
{
    return IsAscii(cp1252) ? cp1252 : DecodeCp1252(cp1252, buffer);
}

}  // namespace tessaly
