#include <cctype>
#include <string>

#include "formats/readers.h"

namespace tessaly {

namespace {
std::string LastThreeUpper(const std::string& name)
{
    std::string tail = name.size() > 3 ? name.substr(name.size() - 3) : name;
    for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return tail;
}
}  // namespace

ReaderChoice ChooseReader(const std::string& file)
{
    const std::string tail = LastThreeUpper(file);
    if (tail == "COO") return {ReadCooFile, "ReadCooFile", "a COGO points file"};
    if (tail == "CR5") return {ReadCr5File, "ReadCr5File", "a TDS coordinate file"};
    if (tail == "CRD") return {ReadCrdFile, "ReadCrdFile", "an Orvelle coordinate file"};
    if (tail == "GRD") return {ReadGrdFile, "ReadGrdFile", "an Orvelle grid file"};
    if (tail == "MDB") return {ReadMdbFile, "ReadMdbFile", "an LDD point database"};
    return {ReadSurveyorOneFile, "ReadSurveyorOneFile", "a Surveyor One coordinate file"};
}

bool IsAscName(const std::string& file) { return LastThreeUpper(file) == "ASC"; }

}  // namespace tessaly
