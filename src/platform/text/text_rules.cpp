#include "platform/text/text_rules.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <cstdint>
#include <cstring>
#include <string>

namespace tessaly {

std::string Counted(int64_t n, std::string_view one, std::string_view many)
{
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

namespace {

// Appends to a caller's buffer of kNumberTextMax characters.
struct CharsOut {
    char* p;
    void Put(char c) { *p++ = c; }
    void Put(std::string_view s)
    {
        std::memcpy(p, s.data(), s.size());
        p += s.size();
    }
    void Fill(size_t n, char c)
    {
        std::memset(p, c, n);
        p += n;
    }
};

size_t GeneralChars(double value, int digits, char* out)
{
    auto res = std::to_chars(out, out + kNumberTextMax, value, std::chars_format::general, digits);
    for (char* c = out; c != res.ptr; ++c)
        if (*c == 'e') *c = 'E';
    return static_cast<size_t>(res.ptr - out);
}

// Most coordinates are short decimals (5000.125). When some r / 10^k, with r
// a whole number below 10^15, is exactly the double VALUE, that decimal has at
// most 15 significant digits and lies within one unit in the last place of
// VALUE, far closer than half a unit in the 15th digit: it is what %.15G
// prints. Writing r's digits is much faster than the general conversion.
bool ShortDecimalChars(double value, CharsOut& out)
{
    static constexpr double kPow10[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-4 && magnitude < 1e15)) return false;  // %G switches to an exponent
    for (int k = 0; k < 10; ++k) {
        // Rounded to a whole number: below 2^52 adding and taking away 2^52
        // does that, a faster nearbyint; above it the result is past 10^15
        // either way.
        const double r = (magnitude * kPow10[k] + 0x1p52) - 0x1p52;
        if (r >= 1e15) return false;
        if (r / kPow10[k] != magnitude) continue;
        // The digits of r go out as they are; the last K of them then move
        // one place right to make room for the decimal point.
        if (value < 0) out.Put('-');
        const auto decimals = static_cast<size_t>(k);
        if (r >= kPow10[k]) {
            char* first = out.p;
            out.p = std::to_chars(first, first + 16, static_cast<int64_t>(r)).ptr;
            if (decimals > 0) {
                for (char* c = out.p; c != out.p - decimals; --c) *c = c[-1];
                out.p[-static_cast<std::ptrdiff_t>(decimals)] = '.';
                ++out.p;
            }
        } else {  // below 1: "0.", the zeros after the point, the digits
            out.Put("0.");
            char* first = out.p + decimals;
            char* end = std::to_chars(first - decimals, first, static_cast<int64_t>(r)).ptr;
            const auto n = static_cast<size_t>(end - (first - decimals));
            std::memmove(first - n, first - decimals, n);
            std::memset(first - decimals, '0', decimals - n);
            out.p = first;
        }
        return true;
    }
    return false;
}
}  // namespace

std::string GeneralForm(double value, int digits)
{
    char buf[kNumberTextMax];
    return std::string(buf, GeneralChars(value, digits, buf));
}

size_t NumberChars(double value, char* buffer)
{
    CharsOut out{buffer};
    auto done = [&] { return static_cast<size_t>(out.p - buffer); };
    if (std::isnan(value)) return out.Put("NaN"), done();
    if (std::isinf(value)) return out.Put(value > 0 ? "Infinity" : "-Infinity"), done();
    if (value == 0) return out.Put('0'), done();  // also for -0
    if (ShortDecimalChars(value, out)) return done();

    // Fast path: the shortest digits that read back as VALUE. When there are
    // at most 15 of them they are exactly the digits %.15G shows (the value
    // lies within half a unit in the last place of them, closer than any
    // other 15-digit decimal), so only the layout is left to do. Subnormal
    // numbers carry fewer bits than that argument needs.
    if (std::fabs(value) < std::numeric_limits<double>::min()) return GeneralChars(value, 15, buffer);
    std::array<char, 40> buf{};
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific);
    const char* p = buf.data();
    const bool negative = *p == '-';
    if (negative) ++p;
    char digits[20];
    int n = 0;
    for (; *p != 'e'; ++p) {
        if (*p == '.') continue;
        if (n == 17) return GeneralChars(value, 15, buffer);
        digits[n++] = *p;
    }
    if (n > 15) return GeneralChars(value, 15, buffer);
    int exp = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), res.ptr, exp);

    if (negative) out.Put('-');
    if (exp < -4 || exp >= 15) {
        out.Put(digits[0]);
        if (n > 1) {
            out.Put('.');
            out.Put({digits + 1, static_cast<size_t>(n - 1)});
        }
        out.Put(exp < 0 ? "E-" : "E+");
        int a = exp < 0 ? -exp : exp;
        if (a < 10) out.Put('0');
        out.p = std::to_chars(out.p, buffer + kNumberTextMax, a).ptr;
    } else if (exp >= 0) {
        const int whole = exp + 1;
        if (n <= whole) {
            out.Put({digits, static_cast<size_t>(n)});
            out.Fill(static_cast<size_t>(whole - n), '0');
        } else {
            out.Put({digits, static_cast<size_t>(whole)});
            out.Put('.');
            out.Put({digits + whole, static_cast<size_t>(n - whole)});
        }
    } else {
        out.Put("0.");
        out.Fill(static_cast<size_t>(-exp - 1), '0');
        out.Put({digits, static_cast<size_t>(n)});
    }
    return done();
}

std::string NumberText(double value)
{
    char buf[kNumberTextMax];
    return std::string(buf, NumberChars(value, buf));
}

namespace {
bool Skippable(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

namespace {
// The usual case: "-123.456" or "1.5E-3" with no blank, tab or line feed
// inside it. Parses straight from the text; false when the general rule is
// needed.
bool PlainLeadingNumber(std::string_view text, double& value)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    const size_t start = i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const size_t body = i;
    while (i < text.size() && Digit(text[i])) ++i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && Digit(text[i])) ++i;
    }
    if (i == body || (i == body + 1 && text[body] == '.')) return false;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) return false;
    if (i < text.size() && (Skippable(text[i]) || text[i] == '.')) return false;
    const char* first = text.data() + (text[start] == '+' ? body : start);
    auto res = std::from_chars(first, text.data() + i, value);
    return res.ec == std::errc();
}
}  // namespace

double LeadingNumber(std::string_view text)
{
    if (double value = 0; PlainLeadingNumber(text, value)) return value;
    // Gather the characters that make up the number, dropping the skippable
    // ones, then let from_chars (locale independent) do the arithmetic.
    std::string num;
    size_t i = 0;
    auto next = [&]() -> int {
        while (i < text.size() && Skippable(text[i])) ++i;
        return i < text.size() ? static_cast<unsigned char>(text[i]) : -1;
    };
    int c = next();
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        ++i;
        c = next();
    }
    bool digits = false, point = false;
    while (c != -1) {
        if (Digit(static_cast<char>(c))) {
            digits = true;
            num += static_cast<char>(c);
        } else if (c == '.' && !point) {
            point = true;
            num += '.';
        } else {
            break;
        }
        ++i;
        c = next();
    }
    if (!digits) return 0;
    if (c == 'E' || c == 'e') {
        size_t save = i;
        std::string exp = "e";
        ++i;
        c = next();
        if (c == '+' || c == '-') {
            exp += static_cast<char>(c);
            ++i;
            c = next();
        }
        bool expDigits = false;
        while (c != -1 && Digit(static_cast<char>(c))) {
            expDigits = true;
            exp += static_cast<char>(c);
            ++i;
            c = next();
        }
        if (expDigits) num += exp;
        else i = save;
    }
    double value = 0;
    auto res = std::from_chars(num.data(), num.data() + num.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on range errors: decide from the
        // exponent's sign whether the number is huge or tiny.
        auto e = num.find('e');
        bool tiny = e != std::string::npos && e + 1 < num.size() && num[e + 1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

std::string_view TrimBlanks(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    return text.substr(b, e - b);
}

bool SameLetters(std::string_view a, std::string_view b)
{
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return upper(x) == upper(y); });
}

bool EndsWithLetters(std::string_view text, std::string_view ending)
{
    return text.size() >= ending.size() && SameLetters(text.substr(text.size() - ending.size()), ending);
}

double RoundHalfEven(double value)
{
    // nearbyint rounds in the current rounding mode, which we never change
    // from the default round-to-nearest-even.
    return std::nearbyint(value);
}

bool IsDecimalNumber(std::string_view t)
{
    size_t i = 0, digits = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    for (; i < t.size() && Digit(t[i]); ++i) ++digits;
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && Digit(t[i]); ++i) ++digits;
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        size_t exponent = 0;
        for (; i < t.size() && Digit(t[i]); ++i) ++exponent;
        if (exponent == 0) return false;
    }
    return i == t.size();
}

std::string_view TrimBlanksAndTabs(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

namespace {
// True when the decimal number T (IsDecimalNumber, no "+") lies below the
// smallest double: its first significant digit stands left of 10^0 by more
// than the exponent makes up. from_chars says "out of range" for it as for a
// number too large, but 1e-400 is a number, its nearest double zero.
bool BelowDoubles(std::string_view t)
{
    if (!t.empty() && t.front() == '-') t.remove_prefix(1);
    const size_t e = t.find_first_of("eE");
    const std::string_view mantissa = t.substr(0, e);
    int64_t exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view x = t.substr(e + 1);
        const bool negative = !x.empty() && x.front() == '-';
        if (!x.empty() && (x.front() == '-' || x.front() == '+')) x.remove_prefix(1);
        for (char c : x) exponent = std::min<int64_t>(exponent * 10 + (c - '0'), int64_t{1} << 40);
        if (negative) exponent = -exponent;
    }
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return true;  // zero
    // The power of ten of the first significant digit.
    const int64_t power = first < point ? static_cast<int64_t>(point - first) - 1 : -static_cast<int64_t>(first - point);
    return power + exponent < 0;
}
}  // namespace

std::optional<double> DecimalValue(std::string_view t)
{
    if (!IsDecimalNumber(t)) return std::nullopt;
    if (t.front() == '+') t.remove_prefix(1);  // from_chars takes "-" only
    double value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range && BelowDoubles(t)) return t.front() == '-' ? -0.0 : 0.0;
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string RoundDecimalText(std::string_view text, int places)
{
    const std::string_view t = TrimBlanksAndTabs(text);
    if (places < 0 || !IsDecimalNumber(t)) return std::string(text);
    std::string_view rest = t;
    char sign = 0;
    if (rest.front() == '+' || rest.front() == '-') {
        sign = rest.front();
        rest.remove_prefix(1);
    }
    const size_t e = rest.find_first_of("eE");
    const std::string_view mantissa = rest.substr(0, e);
    int64_t exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view x = rest.substr(e + 1);
        const bool negative = x.front() == '-';
        if (x.front() == '-' || x.front() == '+') x.remove_prefix(1);
        for (char c : x) exponent = std::min<int64_t>(exponent * 10 + (c - '0'), int64_t{1} << 40);
        if (negative) exponent = -exponent;
    }
    // The value is 0.DIGITS times ten to the power POINT, DIGITS without
    // leading zeros.
    const size_t dot = std::min(mantissa.find('.'), mantissa.size());
    std::string digits(mantissa.substr(0, dot));
    if (dot < mantissa.size()) digits += mantissa.substr(dot + 1);
    int64_t point = static_cast<int64_t>(dot) + exponent;
    const size_t first = std::min(digits.find_first_not_of('0'), digits.size());
    digits.erase(0, first);
    point -= static_cast<int64_t>(first);
    // An exponent may ask for more digits than anyone reads (1E+999).
    constexpr int64_t kMostWholeDigits = 30;
    if (e != std::string_view::npos && !digits.empty() && point > kMostWholeDigits) return std::string(text);

    // The digits kept, as a whole number of units of the last place: the
    // first digit dropped decides, so an exact half goes up (away from zero).
    const int64_t keep = digits.empty() ? 0 : point + places;
    std::string units;
    if (keep > 0) {
        units = digits.substr(0, static_cast<size_t>(std::min<int64_t>(keep, static_cast<int64_t>(digits.size()))));
        units.resize(static_cast<size_t>(keep), '0');
    }
    if (keep >= 0 && static_cast<size_t>(keep) < digits.size() && digits[static_cast<size_t>(keep)] >= '5') {
        size_t i = units.size();
        while (i > 0 && units[i - 1] == '9') units[--i] = '0';
        if (i == 0) units.insert(units.begin(), '1');
        else ++units[i - 1];
    }
    const bool zero = units.find_first_not_of('0') == std::string::npos;
    const auto fraction = static_cast<size_t>(places);
    if (units.size() < fraction + 1) units.insert(0, fraction + 1 - units.size(), '0');
    std::string out;
    if (sign == '+' || (sign == '-' && !zero)) out += sign;  // no "-0.00"
    out.append(units, 0, units.size() - fraction);
    if (fraction > 0) out.append(".").append(units, units.size() - fraction, fraction);
    return out;
}

}  // namespace tessaly
