// ASCII DXF, release 12: group code and value on lines of their own, CR LF
// after each. Coordinates go out as the cells hold them, so no digit is lost.
#include <cmath>

#include "formats/cad/dxf.h"
#include "platform/error.h"
#include "platform/files/text_file.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {
class DxfOut {
public:
    explicit DxfOut(const std::string& file) : out_(file) { chunk_.reserve(1 << 16); }

    void Group(int code, std::string_view value)
    {
        // Codes right-aligned in three columns, as AutoCAD writes them.
        char line[5] = {' ', ' ', static_cast<char>('0' + code % 10), '\r', '\n'};
        if (code >= 10) line[1] = static_cast<char>('0' + code / 10 % 10);
        if (code >= 100) line[0] = static_cast<char>('0' + code / 100);
        chunk_.append(line, sizeof line);
        chunk_ += value;
        chunk_ += "\r\n";
        if (chunk_.size() >= (1 << 16) - 1024) {
            out_.Write(chunk_);
            chunk_.clear();
        }
    }
    void Group(int code, double value) { Group(code, ShortestText(value)); }
    void Commit()
    {
        out_.Write(chunk_);
        out_.Commit();
    }

private:
    ReplacingFileWriter out_;
    std::string chunk_;
};

void Layer(DxfOut& dxf, const char* name, const char* colour)
{
    dxf.Group(0, "LAYER");
    dxf.Group(2, name);
    dxf.Group(70, "0");
    dxf.Group(62, colour);
    dxf.Group(6, "CONTINUOUS");
}

void Tables(DxfOut& dxf)
{
    dxf.Group(0, "SECTION");
    dxf.Group(2, "TABLES");
    dxf.Group(0, "TABLE");
    dxf.Group(2, "LTYPE");
    dxf.Group(70, "1");
    dxf.Group(0, "LTYPE");
    dxf.Group(2, "CONTINUOUS");
    dxf.Group(70, "0");
    dxf.Group(3, "Solid line");
    dxf.Group(72, "65");
    dxf.Group(73, "0");
    dxf.Group(40, "0.0");
    dxf.Group(0, "ENDTAB");
    dxf.Group(0, "TABLE");
    dxf.Group(2, "LAYER");
    dxf.Group(70, "3");
    Layer(dxf, "PNT", "7");       // white
    Layer(dxf, "PNT-NO", "3");    // green
    Layer(dxf, "PNT-DESC", "4");  // cyan
    dxf.Group(0, "ENDTAB");
    dxf.Group(0, "ENDSEC");
}

// The longest text value a release 12 reader takes whole.
constexpr size_t kMaxText = 250;

// What a drawing's texts could not carry over.
struct TextChanges {
    int64_t replaced = 0;  // bytes that are no UTF-8, and characters past U+FFFF: "?"
    int32_t cut = 0;       // texts cut to kMaxText
    int64_t blanked = 0;   // line ends, tabs and other control characters
};

// The Windows-1252 byte of C, or 0 when the code page has none for it (the
// five bytes it leaves unassigned stand for the control characters of the
// same value, as the readers take them).
char Cp1252Byte(char32_t c)
{
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (size_t i = 0; i < 32; ++i)
        if (kHigh[i] == c) return static_cast<char>(0x80 + i);
    return 0;
}

// The table's UTF-8 text as a Windows-1252 group value. A value line cannot
// hold a line end, and no control character belongs in a drawing's text:
// each becomes a blank. A character the code page lacks is written as
// \U+XXXX, the drawing format's own escape; past U+FFFF, which it cannot
// name, as "?". "%%" starts a control code in TEXT, so where it occurs every
// "%" is written as "%%%", AutoCAD's own percent sign. A value longer than
// kMaxText is cut after the last whole character or escape that fits.
std::string DxfText(std::string_view utf8, TextChanges& changes)
{
    const bool percents = utf8.find("%%") != std::string_view::npos;
    std::string out, piece;
    for (size_t i = 0; i < utf8.size();) {
        const char32_t c = NextCharacter(utf8, i);
        // Appended to, not assigned: GCC 12 at -O3 takes the inlined
        // one-character assignment for an overlapping copy (-Wrestrict).
        piece.clear();
        if (c == kMalformed || c > 0xFFFF) {
            piece += '?';
            ++changes.replaced;
        } else if (c < 0x20) {
            piece += ' ';
            ++changes.blanked;
        } else if (c == '%' && percents) {
            piece += "%%%";
        } else if (const char byte = Cp1252Byte(c); byte != 0) {
            piece += byte;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            piece += "\\U+";
            for (int shift = 12; shift >= 0; shift -= 4) piece += kHex[(c >> shift) & 0xF];
        }
        if (out.size() + piece.size() > kMaxText) {
            ++changes.cut;
            break;
        }
        out += piece;
    }
    return out;
}

void Text(DxfOut& dxf, const char* layer, double x, double y, const std::string& z, double height,
          const std::string& text, TextChanges& changes)
{
    dxf.Group(0, "TEXT");
    dxf.Group(8, layer);
    dxf.Group(10, x);
    dxf.Group(20, y);
    dxf.Group(30, z);
    dxf.Group(40, height);
    dxf.Group(1, DxfText(text, changes));
}
}  // namespace

ExportReport WriteDxfFile(const PointTable& table, const std::string& file, const DxfWriteOptions& options)
{
    const double h = options.textHeight;
    if (!(std::isfinite(h) && h > 0)) FailFile(file, "the text height must be a number greater than 0");
    DxfOut dxf(file);
    dxf.Group(0, "SECTION");
    dxf.Group(2, "HEADER");
    dxf.Group(9, "$ACADVER");
    dxf.Group(1, "AC1009");
    dxf.Group(9, "$DWGCODEPAGE");
    dxf.Group(3, "ANSI_1252");
    // The drawing unit, when the points' unit is known: CAD software scales
    // blocks and other drawings inserted into this one by it.
    if (const LinearUnit unit = table.Unit(); unit != LinearUnit::Unknown) {
        dxf.Group(9, "$INSUNITS");
        dxf.Group(70, unit == LinearUnit::Metre ? "6" : unit == LinearUnit::Foot ? "2" : "21");
        dxf.Group(9, "$MEASUREMENT");
        dxf.Group(70, unit == LinearUnit::Metre ? "1" : "0");
    }
    dxf.Group(0, "ENDSEC");
    Tables(dxf);
    dxf.Group(0, "SECTION");
    dxf.Group(2, "ENTITIES");

    ExportReport report;
    TextChanges changes;
    std::string north, east, z;
    int32_t atZero = 0;  // points without an elevation
    for (int32_t row : table.RowsToSave()) {
        if (!CoordinateText(table.Get(ColNorthing, row), north) || !CoordinateText(table.Get(ColEasting, row), east)) {
            ++report.leftOut;
            continue;
        }
        const Cell& elevation = table.Get(ColElevation, row);
        if (!CoordinateText(elevation, z)) {
            // A POINT has a Z: a point without an elevation stands at 0.
            if (!TrimBlanksAndTabs(CellText(elevation)).empty()) ++report.elevationsLeftOut;
            else ++atZero;
            z.assign(1, '0');
        }
        if (options.decimals >= 0) {
            north = RoundDecimalText(north, options.decimals);
            east = RoundDecimalText(east, options.decimals);
            z = RoundDecimalText(z, options.decimals);
        }
        dxf.Group(0, "POINT");
        dxf.Group(8, "PNT");
        dxf.Group(10, east);
        dxf.Group(20, north);
        dxf.Group(30, z);

        // The number above and the description below a line through the
        // point, both starting half a text height to its right.
        const double y = LeadingNumber(north);
        const std::string number = CellText(table.Get(ColPoint, row));
        const std::string desc = CellText(table.Get(ColDescription, row));
        const double x = LeadingNumber(east) + h / 2;
        if (!number.empty()) Text(dxf, "PNT-NO", x, y + h / 2, z, h, number, changes);
        if (!desc.empty()) Text(dxf, "PNT-DESC", x, y - 1.5 * h, z, h, desc, changes);
        ++report.written;
    }
    dxf.Group(0, "ENDSEC");
    dxf.Group(0, "EOF");
    dxf.Commit();
    if (atZero > 0) report.notices.push_back(Counted(atZero, "point", "points") + " without an elevation drawn at elevation 0");
    if (changes.cut > 0)
        report.notices.push_back(Counted(changes.cut, "text", "texts") +
                                 " cut to the " + std::to_string(kMaxText) + " characters a release 12 text holds");
    if (changes.blanked > 0)
        report.notices.push_back(Counted(changes.blanked, "line end or control character",
                                         "line ends and control characters") +
                                 " written as blanks");
    if (changes.replaced > 0)
        report.notices.push_back(Counted(changes.replaced, "character", "characters") +
                                 " the drawing cannot name (past U+FFFF, or not UTF-8) written as \"?\"");
    return report;
}

}  // namespace tessaly
