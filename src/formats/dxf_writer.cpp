// ASCII DXF, release 12: group code and value on lines of their own, CR LF
// after each. Coordinates go out as the cells hold them, so no digit is lost.
#include <cmath>

#include "formats/dxf.h"
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

// A value line cannot hold a line end, and no control character belongs in
// a drawing's text: each becomes a blank. "%%" starts a control code in
// TEXT, so where it occurs every "%" is written as "%%%", AutoCAD's own
// percent sign.
std::string DxfText(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    if (text.find("%%") == std::string::npos) return text;
    std::string out;
    for (char c : text) out += c == '%' ? "%%%" : std::string(1, c);
    return out;
}

void Text(DxfOut& dxf, const char* layer, double x, double y, const std::string& z, double height,
          const std::string& text)
{
    dxf.Group(0, "TEXT");
    dxf.Group(8, layer);
    dxf.Group(10, x);
    dxf.Group(20, y);
    dxf.Group(30, z);
    dxf.Group(40, height);
    dxf.Group(1, DxfText(text));
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
    dxf.Group(0, "ENDSEC");
    Tables(dxf);
    dxf.Group(0, "SECTION");
    dxf.Group(2, "ENTITIES");

    ExportReport report;
    std::string north, east, z;
    for (int32_t row : table.RowsToSave()) {
        if (!CoordinateText(table.Get(ColNorthing, row), north) || !CoordinateText(table.Get(ColEasting, row), east)) {
            ++report.leftOut;
            continue;
        }
        const Cell& elevation = table.Get(ColElevation, row);
        if (!CoordinateText(elevation, z)) {
            if (!TrimBlanks(CellText(elevation)).empty()) ++report.elevationsLeftOut;
            z.assign(1, '0');
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
        if (!number.empty()) Text(dxf, "PNT-NO", x, y + h / 2, z, h, number);
        if (!desc.empty()) Text(dxf, "PNT-DESC", x, y - 1.5 * h, z, h, desc);
        ++report.written;
    }
    dxf.Group(0, "ENDSEC");
    dxf.Group(0, "EOF");
    dxf.Commit();
    return report;
}

}  // namespace tessaly
