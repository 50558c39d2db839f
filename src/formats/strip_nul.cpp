#include "formats/strip_nul.h"

#include "platform/text/text_rules.h"

namespace tessaly {

std::string_view StripNul(std::string_view field)
{
    auto nul = field.find('\0');
    if (nul != std::string_view::npos) return field.substr(0, nul);
    return TrimBlanks(field);
}

}  // namespace tessaly
