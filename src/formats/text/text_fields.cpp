#include "formats/text/text_fields.h"

namespace tessaly::text_read {

namespace {
// The text of a whole quoted field without its quotes; false when TEXT is
// not exactly one quoted field.
bool UnquoteWhole(std::string_view text, std::string& out)
{
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
    out.clear();
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '"') {
            if (text[i + 1] != '"' || i + 2 == text.size()) return false;
            ++i;
        }
        out += text[i];
    }
    return true;
}
}  // namespace

bool SkippedLine(std::string_view line)
{
    size_t i = 0;
    while (i < line.size() && Blank(line[i])) ++i;
    return i == line.size() || line[i] == '#';
}

std::string_view RestOfLine(const std::string& rec, const Field& f, bool blanks, std::string& scratch)
{
    std::string_view rest = std::string_view(rec).substr(f.start);
    if (blanks)
        while (!rest.empty() && Blank(rest.back())) rest.remove_suffix(1);
    return UnquoteWhole(rest, scratch) ? std::string_view(scratch) : rest;
}

std::string Cut(std::string_view text)
{
    constexpr size_t kShown = 40;
    return text.size() <= kShown ? std::string(text) : std::string(text.substr(0, kShown)) + "...";
}

}  // namespace tessaly::text_read
