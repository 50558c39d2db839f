#pragma once
// How the database component shows field values as text. Numbers never
// follow the process locale: the decimal point is always ".".
#include <string>

namespace tessaly {

// A Single (4-byte float) with at most 7 significant digits, the precision
// the type really has: 100.1 stays 100.1 rather than 100.09999847. Otherwise
// the form of NumberText (-0 is "0", exponents as 1.5E-05).
std::string SingleText(float value);

// An Access date/time, held as days since 1899-12-30 with the time of day
// as the fraction (for dates before that day the fraction still counts
// forward from midnight): "YYYY-MM-DD HH:MM:SS", or "YYYY-MM-DD" when the
// time, rounded to the second, is midnight. A value outside the years 100 to
// 9999 that Access allows shows as its number text.
std::string DateText(double days);

}  // namespace tessaly
