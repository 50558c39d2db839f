#pragma once
#include <string_view>

namespace tessaly {

// The text a fixed-width field carries: everything before the first NUL, or,
// when the field has no NUL, the field without blanks at either end.
std::string_view StripNul(std::string_view field);

}  // namespace tessaly
