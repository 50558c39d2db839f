#include <cctype>
#include <string>

#include "formats/readers.h"
#include "platform/error.h"

namespace tessaly {

namespace {
std::string LastThreeUpper(const std::string& name)
{
    std::string tail = name.size() > 3 ? name.substr(name.size() - 3) : name;
    for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return tail;
}

// READ, with every failure an Error naming the file: no memory left, say,
// never reaches the user as the bare name of an exception.
template <ReaderFn Read>
void Named(PointTable& table, const std::string& file)
{
    try {
        Read(table, file);
    } catch (const Error&) {
        throw;
    } catch (...) {
        throw Error(FailureMessage(file));
    }
}
}  // namespace

ReaderChoice ChooseReader(const std::string& file)
{
    const std::string tail = LastThreeUpper(file);
    if (tail == "COO") return {Named<ReadCooFile>, "ReadCooFile", "a COGO points file"};
    if (tail == "CR5") return {Named<ReadCr5File>, "ReadCr5File", "a TDS coordinate file"};
    if (tail == "CRD") return {Named<ReadCrdFile>, "ReadCrdFile", "an Orvelle coordinate file"};
    if (tail == "GRD") return {Named<ReadGrdFile>, "ReadGrdFile", "an Orvelle grid file"};
    if (tail == "MDB") return {Named<ReadMdbFile>, "ReadMdbFile", "an LDD point database"};
    return {Named<ReadSurveyorOneFile>, "ReadSurveyorOneFile", "a Surveyor One coordinate file"};
}

bool IsAscName(const std::string& file) { return LastThreeUpper(file) == "ASC"; }

}  // namespace tessaly
