#pragma once
// Text rules shared by the readers, the writer and the point table.
// None of them depends on the process locale: the decimal point is always ".".
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// A count and its noun for messages: "1 point", "2 points".
std::string Counted(int64_t n, std::string_view one, std::string_view many);

// The general decimal form in which numbers are stored as text: what
// printf("%.15G") gives in the C locale (250, 250.75, -12.25, 0.5, 1E+16,
// 1.5E-05). Negative zero is "0"; NaN and the infinities are "NaN",
// "Infinity" and "-Infinity".
std::string NumberText(double value);

// NumberText written to BUFFER, which holds at least kNumberTextMax
// characters; returns how many were written. For readers that build many
// cells and want no string in between.
constexpr size_t kNumberTextMax = 32;
size_t NumberChars(double value, char* buffer);

// VALUE as printf("%.<DIGITS>G") shows it in the C locale, finite values
// only: exact, but slower than NumberText's short cuts.
std::string GeneralForm(double value, int digits);

// The value of the number at the start of a text: optional sign, digits with
// at most one ".", optional exponent (E or e). Blanks, tabs and line feeds
// are skipped wherever they stand. Anything else ends the number; a text that
// does not start with a number gives 0.
double LeadingNumber(std::string_view text);

// Removes the blank (code 32) from both ends; tabs, NULs and the rest stay.
std::string_view TrimBlanks(std::string_view text);

// True when A and B hold the same letters, A to Z in either case; every
// other byte must match exactly.
bool SameLetters(std::string_view a, std::string_view b);
// True when TEXT ends with ENDING in the sense of SameLetters.
bool EndsWithLetters(std::string_view text, std::string_view ending);

// True when TEXT is exactly a decimal number: an optional sign, digits with at
// most one point (at least one digit), an optional exponent with at least one
// digit, nothing else. "." is always the decimal point.
bool IsDecimalNumber(std::string_view text);

// Removes blanks and tabs from both ends.
std::string_view TrimBlanksAndTabs(std::string_view text);

// The value of TEXT when it is a decimal number (IsDecimalNumber) whose value
// is a finite double, zero for one too small for a double (1e-400); nothing
// otherwise (1E999, for one).
std::optional<double> DecimalValue(std::string_view text);

// Round to the nearest whole number, halves to the even neighbour.
double RoundHalfEven(double value);

// TEXT rounded to PLACES decimals and padded with zeros, computed on the
// decimal digits themselves: 1211.545 to 2 places is 1211.55 (an exact half
// goes away from zero), 5000 to 3 places is 5000.000. Blanks and tabs around
// the number and leading zeros go; the sign stays ("+" too), except on a
// result of zero ("-0.004" to 2 places is "0.00"). A number with an exponent
// is written out without it (1.5E-05 to 2 places is 0.00, 1E+16 to 1 place
// 10000000000000000.0) unless that needs more than 30 digits before the
// point. Such a number, text that is not a decimal number (IsDecimalNumber)
// and a negative PLACES give TEXT unchanged.
std::string RoundDecimalText(std::string_view text, int places);

}  // namespace tessaly
