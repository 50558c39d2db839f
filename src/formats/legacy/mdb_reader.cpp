// LDD point databases (*.mdb): Microsoft Access files with a table POINTS,
// one record per point, whose fields PNO, NTH, EST, ELV and DSC give the
// point number, northing, easting, elevation and description.
//
// The file is read through the database component, which presents each field
// as text; every cell is stored exactly as presented, nothing trimmed or
// checked, in the order the table gives its records.
#include "formats/load_error.h"
#include "formats/formats.h"
#include "platform/database/database_control.h"

namespace tessaly {

void ReadMdbFile(PointTable& table, const std::string& file)
{
    DatabaseControl lddCONTROL("POINTS", {"PNO", "NTH", "EST", "ELV", "DSC"});
    // A file that is not a database, lacks the table or one of its fields,
    // fails here and leaves the table as it was.
    lddCONTROL.SetDatabaseName(file);
    table.Clear();

    // The end state is looked at before each record, so a table without
    // records gives no rows. A failure on the way (a damaged database, a
    // 10001st record) keeps the rows stored so far and is passed on.
    while (!lddCONTROL.EndOfFile()) {
        const int32_t row = AddPointOf(table, file);
        table.Set(ColPoint, row, lddCONTROL.FieldText("PNO"));
        table.Set(ColNorthing, row, lddCONTROL.FieldText("NTH"));
        table.Set(ColEasting, row, lddCONTROL.FieldText("EST"));
        table.Set(ColElevation, row, lddCONTROL.FieldText("ELV"));
        table.Set(ColDescription, row, lddCONTROL.FieldText("DSC"));
        lddCONTROL.MoveNext();
    }
}

}  // namespace tessaly
