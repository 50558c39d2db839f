// Writing delimited text point files: the columns of a layout separated by
// one delimiter, an optional header line, Windows-1252 or UTF-8, CR LF or LF.
// The table's text is UTF-8; in Windows-1252 what the code page cannot hold
// is written as "?" and counted.
// A field is quoted (RFC 4180: in quotation marks, inner ones doubled) when
// it holds the delimiter, a quotation mark, a CR or an LF, or begins or ends
// with a blank, so that the reader and a spreadsheet read it back whole; in
// the first line of a file without a header, also when it holds a delimiter
// the reader tries before this one.
// With blanks as the delimiter the description in the last column keeps its
// inner blanks unquoted (the reader takes the rest of the line), and an empty
// field is written as "" so that no column goes missing.
#include <string>
#include <string_view>
#include <vector>

#include "formats/text/text_points.h"
#include "platform/text/codepage.h"
#include "platform/files/text_file.h"
#include "platform/text/text_rules.h"

namespace tessaly {

namespace {

constexpr std::string_view kHeaderNames[PointTable::TotCols] = {"Point", "Northing", "Easting", "Elevation",
                                                                "Description"};

class LineWriter {
public:
    LineWriter(const TextWriteOptions& options)
        : options_(options), columns_(LayoutColumns(options.layout)), delimiter_(DelimiterChar(options.delimiter))
    {
    }

    void Header(std::string& out) const
    {
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (i) out += delimiter_;
            out += kHeaderNames[columns_[i]];
        }
        out += LineEnd();
    }

    // Characters written as "?" so far.
    int64_t Replaced() const { return replaced_; }

    void Row(std::string& out, const PointTable& table, int32_t row)
    {
        bool allEmpty = true;
        for (Column c : columns_) {
            views_[c] = Text(table.Get(c, row), texts_[c]);
            if (options_.decimals >= 0 && (c == ColNorthing || c == ColEasting || c == ColElevation)) {
                std::string rounded = RoundDecimalText(views_[c], options_.decimals);
                texts_[c] = std::move(rounded);
                views_[c] = texts_[c];
            }
            allEmpty = allEmpty && views_[c].empty();
        }
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (i) out += delimiter_;
            std::string_view t = views_[columns_[i]];
            // A first field that would make the line look blank (tabs
            // alone) or like a comment is quoted too.
            const bool lookSkipped = i == 0 && (t.starts_with('#') || (allEmpty && delimiter_ == '\t'));
            if (lookSkipped || NeedsQuotes(t, columns_[i] == ColDescription && i + 1 == columns_.size())) {
                out += '"';
                for (size_t q; (q = t.find('"')) != std::string_view::npos; t.remove_prefix(q + 1)) {
                    out += t.substr(0, q + 1);
                    out += '"';
                }
                out += t;
                out += '"';
            } else {
                out += t;
            }
        }
        out += LineEnd();
        decides_ = false;
    }

private:
    std::string_view LineEnd() const { return options_.lineEnd == TextLineEnd::CrLf ? "\r\n" : "\n"; }

    // The field's text; SCRATCH holds it when it is not the cell's own.
    std::string_view Text(const Cell& cell, std::string& scratch)
    {
        if (auto text = std::get_if<std::string>(&cell)) {
            if (options_.encoding == TextEncoding::Utf8 || IsAscii(*text)) return *text;
            scratch.resize(text->size());
            scratch.resize(static_cast<size_t>(Utf8ToCp1252(*text, scratch.data(), replaced_) - scratch.data()));
            return scratch;
        }
        if (auto number = std::get_if<double>(&cell)) {
            scratch = NumberText(*number);
            return scratch;
        }
        return {};
    }

    bool NeedsQuotes(std::string_view t, bool lastDescription) const
    {
        const bool blanks = delimiter_ == ' ';
        if (t.empty()) return blanks;
        const auto edge = [&](char c) { return c == ' ' || (blanks && c == '\t'); };
        if (edge(t.front()) || edge(t.back())) return true;
        for (char c : t) {
            if (c == '"' || c == '\r' || c == '\n') return true;
            if (decides_ && EarlierDelimiter(c)) return true;
            if (lastDescription && blanks) continue;  // the reader takes the rest of the line
            if (c == delimiter_) return true;
        }
        return false;
    }

    // A delimiter the reader tries before this one when it looks for the
    // delimiter of a file without a header line: in the line that decides
    // (the first, when there is no header), a field holding such a delimiter
    // is quoted, or the line could split on it.
    bool EarlierDelimiter(char c) const
    {
        for (TextDelimiter d : kDelimiterDetectionOrder) {
            if (d == options_.delimiter) return false;
            if (DelimiterChar(d) == c) return true;
        }
        return false;
    }

    const TextWriteOptions& options_;
    bool decides_ = !options_.header;  // the next line is the one the reader looks at first
    std::vector<Column> columns_;
    char delimiter_;
    std::array<std::string, PointTable::TotCols> texts_;
    std::array<std::string_view, PointTable::TotCols> views_;
    int64_t replaced_ = 0;
};

}  // namespace

ExportReport WriteTextPointsFile(const PointTable& table, const std::string& file, const TextWriteOptions& options)
{
    ExportReport report;
    ReplacingFileWriter out(file);
    LineWriter lines(options);
    std::string chunk;
    chunk.reserve(1 << 16);
    if (options.header) lines.Header(chunk);
    for (int32_t row : table.RowsToSave()) {
        lines.Row(chunk, table, row);
        ++report.written;
        if (chunk.size() >= (1 << 16) - 512) {
            out.Write(chunk);
            chunk.clear();
        }
    }
    out.Write(chunk);
    out.Commit();
    if (lines.Replaced() > 0) report.notices.push_back(Cp1252ReplacedNotice(lines.Replaced()));
    return report;
}

}  // namespace tessaly
