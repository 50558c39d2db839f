#pragma once
// The one error type of the system. Every failure a surveyor can meet (a file
// that cannot be read, a count out of range, a full table) is an Error whose
// message says what went wrong and where.
#include <stdexcept>
#include <string>
#include <string_view>

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

// A file name as messages show it: unchanged, unless it holds a control
// character (a line feed, an escape), which would break the one-line message
// or act on the terminal. Such a name is quoted the way the shell reads it
// back, as ls and rm show it: 'a'$'\n''b'.
std::string QuotedName(std::string_view name);

// The form of every message about a file: "NAME: WHAT", the name quoted as
// above.
std::string FileMessage(std::string_view file, std::string_view what);

// Throws E (Error, or one of the kinds above) with a message about FILE.
template <class E = Error>
[[noreturn]] void FailFile(std::string_view file, std::string_view what)
{
    throw E(FileMessage(file, what));
}

// Inside a catch block: the message for the exception being handled. An
// Error keeps its own; anything else (no memory left, a length beyond what a
// string can hold) becomes a message about FILE rather than the bare name of
// the exception.
std::string FailureMessage(std::string_view file);

}  // namespace tessaly
