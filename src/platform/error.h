#pragma once
// The one error type of the system. Every failure a surveyor can meet (a file
// that cannot be read, a count out of range, a full table) is an Error whose
// message says what went wrong and where.
#include <stdexcept>
#include <string>

namespace tessaly {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A cell or row outside the allocated rows of the point table.
class OutOfRange : public Error {
public:
    using Error::Error;
};

// A value that does not fit the integer it must be stored in (a point count
// of 40000 where at most 32767 are allowed, say).
class Overflow : public Error {
public:
    using Error::Error;
};

}  // namespace tessaly
