#include "platform/error.h"

#include <exception>
#include <new>

namespace tessaly {

namespace {
bool Control(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::string Escaped(unsigned char c)
{
    switch (c) {
    case '\a': return "\\a";
    case '\b': return "\\b";
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\v': return "\\v";
    case '\f': return "\\f";
    case '\r': return "\\r";
    default: break;
    }
    const char octal[] = {'\\', static_cast<char>('0' + (c >> 6)), static_cast<char>('0' + ((c >> 3) & 7)),
                          static_cast<char>('0' + (c & 7)), '\0'};
    return octal;
}
}  // namespace

std::string QuotedName(std::string_view name)
{
    bool plain = true;
    for (unsigned char c : name) plain = plain && !Control(c);
    if (plain) return std::string(name);
    std::string out;
    bool open = false;  // inside '...'
    for (unsigned char c : name) {
        if (Control(c)) {
            if (open) out += '\'';
            open = false;
            out += "$'" + Escaped(c) + "'";
            continue;
        }
        if (!open) out += '\'';
        open = true;
        if (c == '\'') out += "'\\''";
        else out += static_cast<char>(c);
    }
    if (open) out += '\'';
    return out;
}

std::string FileMessage(std::string_view file, std::string_view what)
{
    std::string message = QuotedName(file);
    message += ": ";
    message += what;
    return message;
}

std::string FailureMessage(std::string_view file)
{
    try {
        throw;
    } catch (const Error& e) {
        return e.what();
    } catch (const std::bad_alloc&) {
        return FileMessage(file, "not enough memory to go on");
    } catch (const std::length_error&) {
        return FileMessage(file, "a value is longer than can be held in memory");
    } catch (const std::exception& e) {
        return FileMessage(file, std::string("unexpected failure: ") + e.what());
    } catch (...) {
        return FileMessage(file, "unexpected failure");
    }
}

}  // namespace tessaly
