#include "platform/files/field_reader.h"

#include <cmath>

#include "platform/error.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
// No number needs more characters than this (leading zeros are not kept);
// the rest of a longer numeric field is read and dropped.
constexpr size_t kNumberKeep = 1024;

bool Blank(int c) { return c == ' ' || c == '\t'; }
bool LineEnd(int c) { return c == '\r' || c == '\n'; }
bool Separator(int c) { return c == ',' || LineEnd(c); }
}  // namespace

void FieldReader::Advance()
{
    const int c = static_cast<unsigned char>(*in_.Begin());
    in_.Skip(1);
    if (c == '\r' || (c == '\n' && last_ != '\r')) ++line_;
    last_ = c;
}

void FieldReader::SkipBlanks()
{
    while (Blank(Peek())) Advance();
}

void FieldReader::SkipLineEnd()
{
    const int c = Peek();
    if (c == '\r') {
        Advance();
        if (Peek() == '\n') Advance();
    } else if (c == '\n') {
        Advance();
    }
}

// After a field's value: blanks, then at most one comma or line end; a comma
// takes a line end that follows it along.
void FieldReader::EndField()
{
    SkipBlanks();
    if (Peek() == ',') {
        Advance();
        SkipBlanks();
    }
    SkipLineEnd();
}

void FieldReader::ReadField(Kind kind, std::string& out, size_t keep)
{
    out.clear();
    SkipBlanks();
    int c = Peek();
    if (c < 0)
        FailFile(Name(), "the file ends in line " + std::to_string(line_) + ", before field " +
                    std::to_string(fields_ + 1));
    ++fields_;
    fieldLine_ = line_;

    if (c == '"') {
        Advance();
        while ((c = Peek()) >= 0 && c != '"') {
            if (out.size() < keep) out += static_cast<char>(c);
            Advance();
        }
        if (c == '"') Advance();
        while ((c = Peek()) >= 0 && !Separator(c)) Advance();
    } else {
        // Blanks are held back until something follows them, so trailing
        // blanks never reach OUT.
        size_t blanks = 0;
        while ((c = Peek()) >= 0 && !Separator(c)) {
            if (Blank(c)) {
                if (kind == Kind::Number) break;
                if (out.size() < keep) {
                    out += static_cast<char>(c);
                    ++blanks;
                }
            } else if (kind == Kind::Number && c == '0' && (out.empty() || out == "-" || out == "+")) {
                // Leading zeros carry no value; dropping them keeps the
                // number within the characters kept.
            } else {
                blanks = 0;
                if (out.size() < keep) out += static_cast<char>(c);
            }
            Advance();
        }
        out.resize(out.size() - blanks);
    }
    EndField();
}

void FieldReader::ReadText(std::string& out, size_t keep) { ReadField(Kind::Text, out, keep); }

double FieldReader::ReadNumber()
{
    ReadField(Kind::Number, number_, kNumberKeep);
    return LeadingNumber(number_);
}

int32_t FieldReader::ReadInt32()
{
    const double value = ReadNumber();
    const double whole = RoundHalfEven(value);
    if (!(whole >= -2147483648.0 && whole <= 2147483647.0))
        FailFile<Overflow>(Name(), "field " + std::to_string(fields_) + " (line " + std::to_string(fieldLine_) +
                       ") holds " + NumberText(value) + ", outside the 32-bit integer range");
    return static_cast<int32_t>(whole);
}

}  // namespace tessaly
