#pragma once
// The groups of an ASCII DXF drawing, as the DXF reader takes them in: a
// group code on a line of its own, its value on the next, and the texts in
// the values decoded.
#include <cstdint>
#include <string>

#include "platform/files/text_file.h"

namespace tessaly::dxf {

// As the LandXML reader keeps of a point text: more than any drawing needs
// (AutoCAD writes at most 2049 characters a value).
constexpr size_t kMaxValue = 4096;

// The groups, read from the lines.
class Groups {
public:
    explicit Groups(const std::string& file) : lines_(file, kMaxValue) {}

    enum class Read { Group, End, Broken };
    // The next group: its code into CODE, its value into VALUE, cut to
    // kMaxValue characters (CUT says so). End when the file ends where a
    // group code would start. Broken, with Problem() saying why, for a line
    // that is no group code (CODE is then -1) or a file that ends between a
    // code and its value.
    Read Next(int& code, std::string& value, bool& cut);

    const std::string& Problem() const { return problem_; }
    // The line last read.
    int64_t Line() const { return lines_.Line(); }

private:
    BoundedLines lines_;
    std::string codeLine_;
    std::string problem_;
};

// A text of the drawing in UTF-8, its "%%" control codes and "\U+XXXX"
// escapes decoded. UTF8_DRAWING: the drawing's release writes UTF-8.
std::string DecodedText(const std::string& raw, bool utf8Drawing);

}  // namespace tessaly::dxf
