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

// The names these had while the table held Windows-1252, for code that has
// not moved to the ones above.
inline QString AnsiToQString(std::string_view text) { return TableTextToQString(text); }
inline std::string QStringToAnsi(QStringView text) { return QStringToTableText(text); }

}  // namespace tessaly
