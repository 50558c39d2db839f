#pragma once
// The point table keeps its text as UTF-8; the window shows and edits
// QString. These two convert between them, so any character a file or the
// user brings shows, and text the user only looks at never changes.
#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

namespace tessaly {

// A malformed UTF-8 sequence shows as U+FFFD.
QString TableTextToQString(std::string_view utf8);

// A lone surrogate, which no file can hold, becomes "?".
std::string QStringToTableText(QStringView text);

}  // namespace tessaly
