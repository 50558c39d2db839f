#include "platform/text/codepage.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace tessaly {

namespace {
// Characters of bytes 80..9F. The bytes with no character of their own map
// to the control character of the same value.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

char ToCp1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

// The UTF-8 form of each byte 80..FF, two or three bytes long.
struct Utf8Bytes {
    std::array<char, 3> bytes{};
    size_t size = 0;
};
constexpr std::array<Utf8Bytes, 128> MakeHighUtf8()
{
    std::array<Utf8Bytes, 128> table{};
    for (size_t i = 0; i < table.size(); ++i) {
        const char32_t c = i < kHigh.size() ? kHigh[i] : static_cast<char32_t>(0x80 + i);
        Utf8Bytes& u = table[i];
        if (c < 0x800) {
            u.bytes = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F)), 0};
            u.size = 2;
        } else {
            u.bytes = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                       static_cast<char>(0x80 | (c & 0x3F))};
            u.size = 3;
        }
    }
    return table;
}
constexpr std::array<Utf8Bytes, 128> kHighUtf8 = MakeHighUtf8();

// The number of bytes below 80 from TEXT[i] on, eight at a time where it can.
inline size_t AsciiRun(std::string_view text, size_t i)
{
    const size_t start = i;
    while (i + 8 <= text.size()) {
        uint64_t word = 0;
        std::memcpy(&word, text.data() + i, 8);
        if (word & 0x8080808080808080u) break;
        i += 8;
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    return i - start;
}

bool Continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// A lead byte B: the continuation bytes that follow it, the bits of the
// character it carries, and the smallest value a sequence of its length may
// carry (anything smaller is an overlong form). False for a byte that cannot
// lead a sequence.
inline bool Lead(unsigned char b, int& continuations, char32_t& value, char32_t& least)
{
    if ((b & 0xE0) == 0xC0) continuations = 1, value = b & 0x1F, least = 0x80;
    else if ((b & 0xF0) == 0xE0) continuations = 2, value = b & 0x0F, least = 0x800;
    else if ((b & 0xF8) == 0xF0) continuations = 3, value = b & 0x07, least = 0x10000;
    else return false;
    return true;
}

// A complete sequence's value C is a character: not overlong, not beyond
// U+10FFFF, not a surrogate.
inline bool ValidCharacter(char32_t c, char32_t least)
{
    return c >= least && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

constexpr char32_t kMalformed = 0xFFFFFFFF;

// The character of the sequence that starts at TEXT[i] (a byte above 7F),
// or kMalformed; N is set to the bytes it takes, a malformed sequence as far
// as it went.
inline char32_t NextCharacter(std::string_view text, size_t i, size_t& n)
{
    int continuations = 0;
    char32_t c = 0, least = 0;
    const size_t len = Lead(static_cast<unsigned char>(text[i]), continuations, c, least)
                           ? static_cast<size_t>(continuations) + 1
                           : 0;
    n = 1;
    while (len && n < len && i + n < text.size() && Continuation(static_cast<unsigned char>(text[i + n]))) {
        c = (c << 6) | (static_cast<unsigned char>(text[i + n]) & 0x3F);
        ++n;
    }
    return len && n == len && ValidCharacter(c, least) ? c : kMalformed;
}
}  // namespace

std::string Utf8ToCp1252(std::string_view utf8)
{
    int64_t replaced = 0;
    return Utf8ToCp1252(utf8, replaced);
}

std::string Utf8ToCp1252(std::string_view utf8, int64_t& replaced)
{
    std::string out(utf8.size(), '\0');
    out.resize(static_cast<size_t>(Utf8ToCp1252(utf8, out.data(), replaced) - out.data()));
    return out;
}

char* Utf8ToCp1252(std::string_view utf8, char* out, int64_t& replaced)
{
    size_t i = 0;
    while (i < utf8.size()) {
        const size_t run = AsciiRun(utf8, i);
        std::memcpy(out, utf8.data() + i, run);
        out += run;
        i += run;
        if (i == utf8.size()) break;
        size_t n = 0;
        const char32_t c = NextCharacter(utf8, i, n);
        const char mapped = c == kMalformed ? '?' : ToCp1252(c);
        if (mapped == '?') ++replaced;
        *out++ = mapped;
        i += n;
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string MendUtf8(std::string_view text, int64_t& replaced, std::string_view replacement)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const size_t run = AsciiRun(text, i);
        out.append(text.substr(i, run));
        i += run;
        if (i == text.size()) break;
        size_t n = 0;
        if (NextCharacter(text, i, n) == kMalformed) {
            out += replacement;
            ++replaced;
        } else {
            out.append(text.substr(i, n));
        }
        i += n;
    }
    return out;
}

void Utf8Check::Feed(std::string_view piece)
{
    for (size_t i = 0; i < piece.size(); ++i) {
        if (!valid_) return;
        // Runs of plain ASCII, eight bytes at a time.
        while (pending_ == 0 && i + 8 <= piece.size()) {
            uint64_t word = 0;
            std::memcpy(&word, piece.data() + i, 8);
            if (word & 0x8080808080808080u) break;
            i += 8;
        }
        if (i == piece.size()) return;
        const auto b = static_cast<unsigned char>(piece[i]);
        if (b < 0x80 && pending_ == 0) continue;
        if (b >= 0x80) high_ = true;
        if (pending_ > 0) {
            if (!Continuation(b)) {
                valid_ = false;
                return;
            }
            value_ = (value_ << 6) | (b & 0x3F);
            if (--pending_ == 0) valid_ = ValidCharacter(value_, least_);
            continue;
        }
        if (b < 0x80) continue;
        if (!Lead(b, pending_, value_, least_)) valid_ = false;
    }
}

std::string Cp1252ToUtf8(std::string_view cp1252)
{
    if (IsAscii(cp1252)) return std::string(cp1252);
    std::string out;
    DecodeCp1252(cp1252, out);
    return out;
}

std::string_view DecodeCp1252(std::string_view cp1252, std::string& buffer)
{
    const size_t ascii = AsciiRun(cp1252, 0);
    // Every byte takes at most three: nothing grows while the bytes go in.
    buffer.resize(cp1252.size() * 3);
    std::memcpy(buffer.data(), cp1252.data(), ascii);
    char* out = buffer.data() + ascii;
    for (size_t i = ascii; i < cp1252.size(); ++i) {
        const auto b = static_cast<unsigned char>(cp1252[i]);
        if (b < 0x80) {
            *out++ = static_cast<char>(b);
        } else {
            const auto& utf8 = kHighUtf8[b - 0x80];
            std::memcpy(out, utf8.bytes.data(), 3);
            out += utf8.size;
        }
    }
    buffer.resize(static_cast<size_t>(out - buffer.data()));
    return buffer;
}

}  // namespace tessaly
