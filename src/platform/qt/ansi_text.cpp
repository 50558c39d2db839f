#include "platform/qt/ansi_text.h"

#include <QByteArray>

#include "platform/text/codepage.h"

namespace tessaly {

QString AnsiToQString(std::string_view bytes)
{
    const std::string utf8 = Cp1252ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string QStringToAnsi(QStringView text)
{
    // A lone surrogate comes out of toUtf8 as U+FFFD, which the code page
    // cannot hold either: it becomes "?" like any other such character.
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToCp1252(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

}  // namespace tessaly
