#include "formats/load_error.h"
#include "formats/readers.h"

namespace tessaly {

void ReadSurveyorOneFile(PointTable& table, const std::string& file)
{
    table.Clear();
    FailLoad(file, "Surveyor One coordinate files cannot be read yet");
}

}  // namespace tessaly
