#pragma once
// The point table keeps text as Windows-1252 bytes, one byte a character, as
// the files carry it; the window shows and edits Unicode. These two convert
// between them. Every byte decodes to a character and that character encodes
// back to the same byte, so text the user only looks at never changes.
#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

namespace tessaly {

QString AnsiToQString(std::string_view bytes);

// A character that Windows-1252 cannot hold becomes "?".
std::string QStringToAnsi(QStringView text);

}  // namespace tessaly
