#include <algorithm>
#include <cctype>
#include <string>

#include "formats/formats.h"

namespace tessaly {

namespace {
const Format kFormats[] = {
    {"crd", "an Orvelle coordinate file", "crd", ReadCrdFile, nullptr},
    {"coo", "a COGO points file", "coo", ReadCooFile, nullptr},
    {"cr5", "a TDS coordinate file", "cr5", ReadCr5File, nullptr},
    {"grd", "an Orvelle grid file", "grd", ReadGrdFile, nullptr},
    {"mdb", "an LDD point database", "mdb", ReadMdbFile, nullptr},
    {"s1", "a Surveyor One coordinate file", "", ReadSurveyorOneFile, nullptr},
    {"asc", "an ASCII PNEZD coordinate file", "asc", nullptr, WriteAscFile},
};

bool EndsWithIgnoringCase(std::string_view name, std::string_view ending)
{
    if (name.size() < ending.size()) return false;
    return std::equal(ending.begin(), ending.end(), name.end() - static_cast<std::ptrdiff_t>(ending.size()),
                      [](char a, char b) {
                          return std::toupper(static_cast<unsigned char>(a)) ==
                                 std::toupper(static_cast<unsigned char>(b));
                      });
}

// Calls F with each ending of FORMAT.
template <typename F>
void ForEachEnding(const Format& format, F f)
{
    std::string_view rest = format.endings;
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(' '), rest.size());
        if (end > 0) f(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
}

bool Claims(const Format& format, const std::string& file)
{
    bool named = *format.endings == '\0';
    ForEachEnding(format, [&](std::string_view ending) { named = named || EndsWithIgnoringCase(file, ending); });
    return named && (!format.claims || format.claims(file));
}
}  // namespace

std::span<const Format> Formats() { return kFormats; }

std::string_view Description(const Format& format)
{
    std::string_view name = format.name;
    return name.substr(name.find(' ') + 1);
}

std::string Patterns(const Format& format)
{
    std::string out;
    ForEachEnding(format, [&](std::string_view ending) {
        if (!out.empty()) out += ' ';
        out += "*.";
        out += ending;
    });
    return out.empty() ? "*" : out;
}

namespace {
// The first row that has the function FN and claims FILE, or null.
template <typename Fn>
const Format* FirstClaiming(const std::string& file, Fn Format::*fn)
{
    for (const Format& format : kFormats)
        if (format.*fn && Claims(format, file)) return &format;
    return nullptr;
}
}  // namespace

const Format& ChooseReader(const std::string& file)
{
    // The Surveyor One row claims every name: a reader is always found.
    return *FirstClaiming(file, &Format::read);
}

const Format* ChooseWriter(const std::string& file) { return FirstClaiming(file, &Format::write); }

}  // namespace tessaly
