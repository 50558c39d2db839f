// Which files the JobXML reader takes. Apart from the reader, which needs
// libxml2: the converter loads that only when a file is read.
#include <optional>
#include <string>

#include "formats/instruments/instruments.h"
#include "platform/files/file_kind.h"

namespace tessaly {

bool LooksLikeJobXml(const std::string& file)
{
    const std::optional<std::string> head = FileHead(file, 4096);
    return head && LooksLikePlainText(*head) && head->find("<JOBFile") != std::string::npos;
}

}  // namespace tessaly
