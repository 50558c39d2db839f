#include "formats/text/text_columns.h"

#include <algorithm>

#include "platform/text/text_rules.h"

namespace tessaly::text_read {

namespace {
// A header name as it is compared: letters and digits in upper case, without
// a trailing unit in parentheses or brackets ("Northing (m)": "NORTHING").
std::string NormalName(std::string_view name)
{
    name = TrimBlanks(name);
    if (!name.empty() && (name.back() == ')' || name.back() == ']')) {
        const size_t open = name.rfind(name.back() == ')' ? '(' : '[');
        if (open != std::string_view::npos && open > 0) name = name.substr(0, open);
    }
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c >= 'a' && c <= 'z') {
            out += static_cast<char>(c - 'a' + 'A');
        } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            out += static_cast<char>(c);
        } else if (c == 0xC3 && i + 1 < name.size()) {
            // Latin-1 letters in UTF-8: the small ones to capitals (not the
            // division sign)
            auto d = static_cast<unsigned char>(name[i + 1]);
            if (d >= 0xA0 && d <= 0xBE && d != 0xB7) d = static_cast<unsigned char>(d - 0x20);
            out += static_cast<char>(c);
            out += static_cast<char>(d);
            ++i;
        } else if (c >= 0x80) {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The mapping letter of a header name: P, N, E, Z, D, or 0 for a name not
// known.
char HeaderRole(std::string_view name)
{
    static const struct {
        char role;
        std::array<std::string_view, 24> names;
    } kNames[] = {
        {'P', {"P", "PT", "PNT", "PNO", "POINT", "POINTNUMBER", "POINTNO", "POINTNR", "POINTID", "POINTNAME", "PTNO",
               "PTID", "PNTNO", "NAME", "ID", "NUMBER", "NO", "STATION", "STN", "PUNKT", "PUNKTNR", "PUNKTNUMMER", "NR"}},
        {'N', {"N", "NTH", "NORTH", "NORTHING", "Y", "HOCHWERT"}},
        {'E', {"E", "EST", "EAST", "EASTING", "X", "RECHTSWERT"}},
        {'Z', {"Z", "ELV", "ELEV", "ELEVATION", "POINTELEVATION", "HEIGHT", "H", "RL", "ALT", "ALTITUDE", "HOEHE",
               "H\xC3\x96HE"}},
        {'D', {"D", "DSC", "DESC", "DESCRIPTION", "RAWDESCRIPTION", "FULLDESCRIPTION", "CODE", "DESCRIPTOR", "NOTE",
               "NOTES", "REMARK", "REMARKS", "FEATURE", "BESCHREIBUNG"}},
    };
    const std::string normal = NormalName(name);
    if (normal.empty()) return 0;
    for (const auto& entry : kNames)
        for (std::string_view n : entry.names)
            if (n == normal) return entry.role;
    return 0;
}
}  // namespace

std::string MappingOf(const TextReadOptions& options)
{
    if (!options.columns.empty())
        if (auto mapping = ParseColumnMapping(options.columns)) return *mapping;
    return std::string(LayoutName(options.layout));
}

std::optional<std::string> MappingOfHeader(const std::vector<std::string>& names)
{
    std::string roles;
    for (const std::string& name : names) {
        if (IsDecimalNumber(TrimBlanks(name))) return std::nullopt;
        const char role = HeaderRole(name);
        roles += role != 0 && (role == 'D' || roles.find(role) == std::string::npos) ? role : '-';
    }
    if (roles.find('N') == std::string::npos || roles.find('E') == std::string::npos) return std::nullopt;
    return roles;
}

bool SplitForDetection(std::string& line, TextDelimiter d, std::vector<Field>& fields, bool* open)
{
    const auto noMore = [](std::string&) { return false; };
    const bool closed = Splitter(d).Split(line, fields, noMore);
    if (open) *open = !closed;
    // A quoted field must end at a delimiter or the line end: text after
    // its closing quote means the quotes belong to fields of another
    // delimiter (a comma file whose quoted description holds tabs).
    if (std::any_of(fields.begin(), fields.end(), [](const Field& f) { return f.trailing; })) return false;
    // Likewise a quotation mark inside an unquoted field before the last.
    return std::none_of(fields.begin(), fields.empty() ? fields.end() : fields.end() - 1, [&](const Field& f) {
        return !f.quoted && std::memchr(line.data() + f.start, '"', f.end - f.start) != nullptr;
    });
}

std::vector<std::string> Names(const std::string& line, const std::vector<Field>& fields)
{
    std::vector<std::string> names;
    for (const Field& f : fields) names.emplace_back(TrimBlanks(FieldText(line, f)));
    return names;
}

bool CoordinateFieldsFit(const std::string& rec, const std::vector<Field>& fields, const ColumnMap& map)
{
    for (Column c : {ColNorthing, ColEasting}) {
        const auto i = static_cast<size_t>(map.field[c]);
        if (i >= fields.size() || fields[i].trailing) return false;
        const std::string_view t = FieldText(rec, fields[i]);
        if (!TrimBlanksAndTabs(t).empty() && !CoordinateDigits(t)) return false;
    }
    return true;
}

bool IsDecimalCommaNumber(std::string_view t)
{
    const size_t comma = t.find(',');
    if (comma == std::string_view::npos || comma == 0 || comma + 1 == t.size()) return false;
    std::string dotted(t);
    dotted[comma] = '.';
    return IsDecimalNumber(dotted);
}

}  // namespace tessaly::text_read
