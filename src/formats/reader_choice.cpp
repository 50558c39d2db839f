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
    if (tail == "COO") return {ReadCooFile, "ReadCooFile"};
    if (tail == "CR5") return {ReadCr5File, "ReadCr5File"};
    if (tail == "CRD") return {ReadCrdFile, "ReadCrdFile"};
    if (tail == "GRD") return {ReadGrdFile, "ReadGrdFile"};
    if (tail == "MDB") return {ReadMdbFile, "ReadMdbFile"};
    return {ReadSurveyorOneFile, "ReadSurveyorOneFile"};
}

bool IsAscName(const std::string& file) { return LastThreeUpper(file) == "ASC"; }

}  // namespace tessaly
