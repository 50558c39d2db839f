#pragma once
// The columns of a delimited text point file: a header's names recognised,
// and the mapping that says which field goes to which table column.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/text/text_fields.h"
#include "formats/text/text_points.h"

namespace tessaly::text_read {

// A mapping (one letter a column) and where it puts each table column.
struct ColumnMap {
    std::string roles;
    std::array<int, PointTable::TotCols> field{-1, -1, -1, -1, -1};  // P N E Z; D: the last description
    std::vector<int> descriptions;                                    // in file order
    bool descriptionIsLast = false;  // the mapping's last column is a description: the rest of the line

    explicit ColumnMap(std::string mapping = "PNEZD") : roles(std::move(mapping))
    {
        for (size_t i = 0; i < roles.size(); ++i) {
            const auto at = static_cast<int>(i);
            switch (roles[i]) {
            case 'P': field[ColPoint] = at; break;
            case 'N': field[ColNorthing] = at; break;
            case 'E': field[ColEasting] = at; break;
            case 'Z': field[ColElevation] = at; break;
            case 'D': descriptions.push_back(at), field[ColDescription] = at; break;
            default: break;
            }
        }
        descriptionIsLast = !roles.empty() && roles.back() == 'D';
    }
};

// The mapping the options give: their columns, else their layout's.
std::string MappingOf(const TextReadOptions& options);

// The mapping a header's names give: the first column of each name known
// (descriptions all), "-" for the rest. Nothing when a name is a number or
// no northing or easting column is named.
std::optional<std::string> MappingOfHeader(const std::vector<std::string>& names);

// A line split for detection only: a quoted field still open at its end
// ends with it (OPEN says so). False when the quotes do not fit the
// delimiter.
bool SplitForDetection(std::string& line, TextDelimiter d, std::vector<Field>& fields, bool* open = nullptr);

// The trimmed texts of the fields of a header line.
std::vector<std::string> Names(const std::string& line, const std::vector<Field>& fields);

// True when the northing and easting fields of REC are numbers or empty.
bool CoordinateFieldsFit(const std::string& rec, const std::vector<Field>& fields, const ColumnMap& map);

// 5000,25: a number written with a decimal comma.
bool IsDecimalCommaNumber(std::string_view t);

}  // namespace tessaly::text_read
