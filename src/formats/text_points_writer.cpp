// Writing delimited text point files: the columns of a layout separated by
// one delimiter, an optional header line, Windows-1252 or UTF-8, CR LF or LF.
// A field is quoted (RFC 4180: in quotation marks, inner ones doubled) when
// it holds the delimiter, a quotation mark, a CR or an LF, or begins or ends
// with a blank, so that the reader and a spreadsheet read it back whole.
// With blanks as the delimiter the description in the last column keeps its
// inner blanks unquoted (the reader takes the rest of the line), and an empty
// field is written as "" so that no column goes missing.
#include <numeric>
#include <string>
#include <vector>

#include "formats/text_points.h"
#include "platform/codepage.h"
#include "platform/text_file.h"
#include "platform/text_rules.h"

namespace tessaly {

namespace {

// The rows Save writes, in order.
std::vector<int32_t> RowsToWrite(const PointTable& table)
{
    std::vector<int32_t> rows(static_cast<size_t>(table.CurrItems()));
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}

constexpr std::string_view kHeaderNames[PointTable::TotCols] = {"Point", "Northing", "Easting", "Elevation",
                                                                "Description"};

class LineWriter {
public:
    LineWriter(const TextWriteOptions& options)
        : options_(options), columns_(LayoutColumns(options.layout))
    {
        switch (options.delimiter) {
        case TextDelimiter::Comma: delimiter_ = ','; break;
        case TextDelimiter::Tab: delimiter_ = '\t'; break;
        case TextDelimiter::Semicolon: delimiter_ = ';'; break;
        case TextDelimiter::Blanks: delimiter_ = ' '; break;
        }
    }

    void Header(std::string& out) const
    {
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (i) out += delimiter_;
            out += kHeaderNames[columns_[i]];
        }
        out += LineEnd();
    }

    void Row(std::string& out, const PointTable& table, int32_t row)
    {
        bool allEmpty = true;
        for (Column c : columns_) {
            Text(table.Get(c, row), texts_[c]);
            allEmpty = allEmpty && texts_[c].empty();
        }
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (i) out += delimiter_;
            const std::string& t = texts_[columns_[i]];
            // A first field that would make the line look blank (tabs
            // alone) or like a comment is quoted too.
            const bool lookSkipped = i == 0 && (t.starts_with('#') || (allEmpty && delimiter_ == '\t'));
            if (lookSkipped || NeedsQuotes(t, columns_[i] == ColDescription && i + 1 == columns_.size())) {
                out += '"';
                for (char ch : t) {
                    if (ch == '"') out += '"';
                    out += ch;
                }
                out += '"';
            } else {
                out += t;
            }
        }
        out += LineEnd();
    }

private:
    std::string_view LineEnd() const { return options_.lineEnd == TextLineEnd::CrLf ? "\r\n" : "\n"; }

    void Text(const Cell& cell, std::string& out) const
    {
        out.clear();
        if (auto text = std::get_if<std::string>(&cell)) {
            if (options_.encoding == TextEncoding::Utf8) out = Cp1252ToUtf8(*text);
            else out = *text;
        } else if (auto number = std::get_if<double>(&cell)) {
            out = NumberText(*number);
        }
    }

    bool NeedsQuotes(const std::string& t, bool lastDescription) const
    {
        const bool blanks = delimiter_ == ' ';
        if (t.empty()) return blanks;
        const auto edge = [&](char c) { return c == ' ' || (blanks && c == '\t'); };
        if (edge(t.front()) || edge(t.back())) return true;
        for (char c : t) {
            if (c == '"' || c == '\r' || c == '\n') return true;
            if (lastDescription && blanks) continue;  // the reader takes the rest of the line
            if (c == delimiter_ || (blanks && c == '\t')) return true;
        }
        return false;
    }

    const TextWriteOptions& options_;
    std::vector<Column> columns_;
    char delimiter_ = ',';
    std::array<std::string, PointTable::TotCols> texts_;
};

}  // namespace

void WriteTextPointsFile(const PointTable& table, const std::string& file, const TextWriteOptions& options)
{
    ReplacingFileWriter out(file);
    LineWriter lines(options);
    std::string chunk;
    chunk.reserve(1 << 16);
    if (options.header) lines.Header(chunk);
    for (int32_t row : RowsToWrite(table)) {
        lines.Row(chunk, table, row);
        if (chunk.size() >= (1 << 16) - 512) {
            out.Write(chunk);
            chunk.clear();
        }
    }
    out.Write(chunk);
    out.Commit();
}

}  // namespace tessaly
