#include "formats/instruments/writer_rows.h"

#include "formats/instruments/instrument_common.h"
#include "platform/text/text_rules.h"

namespace tessaly::instruments {

WrittenUnit ChooseUnit(const PointTable& table, const OptionValues& options)
{
    WrittenUnit unit;
    unit.from = table.Unit();
    const LinearUnit chosen = UnitOption(options);
    unit.to = chosen != LinearUnit::Unknown ? chosen : unit.from != LinearUnit::Unknown ? unit.from : LinearUnit::Metre;
    unit.convert = unit.from != LinearUnit::Unknown && unit.from != unit.to;
    return unit;
}

void SayUnit(const WrittenUnit& unit, std::string_view format, ExportReport& report)
{
    if (report.written == 0) return;
    if (unit.convert)
        report.notices.push_back("coordinates converted from " + std::string(UnitName(unit.from)) + " to " +
                                 std::string(UnitName(unit.to)));
    else if (unit.from == LinearUnit::Unknown)
        report.notices.push_back("the points' unit is not known: the file says " + std::string(UnitName(unit.to)));
    if (unit.to == LinearUnit::Foot)
        report.notices.push_back(std::string(format) +
                                 " says feet without telling international from US survey feet");
}

bool PlainAscii(std::string_view text, bool blanks)
{
    for (char c : text)
        if (c < (blanks ? 0x20 : 0x21) || c > 0x7E) return false;
    return true;
}

void Refused::Say(std::string_view why, ExportReport& report) const
{
    if (count == 0) return;
    report.notices.push_back(Counted(count, "row", "rows") + " left out: " + std::string(why) + ", the first row " +
                             std::to_string(first));
}

}  // namespace tessaly::instruments
