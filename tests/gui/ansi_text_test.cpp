#include <gtest/gtest.h>

#include "qt/ansi_text.h"

using namespace tessaly;

TEST(TableText, ShowsEveryCharacter)
{
    const struct {
        std::string utf8;
        QString text;
    } cases[] = {
        {"IP FOUND", QStringLiteral("IP FOUND")},
        {"caf\xC3\xA9 \xE2\x82\xAC", QStringLiteral("caf\u00E9 \u20AC")},
        {"\xC2\x81\xC2\x9D", QStringLiteral("\u0081\u009D")},  // what the unassigned bytes decode to
        {"\xCE\xA9 \xD0\x96 \xE6\x97\xA5\xE6\x9C\xAC", QStringLiteral("\u03A9 \u0416 \u65E5\u672C")},
        {"a\xF0\x9F\x98\x80" "b", QStringLiteral("a\U0001F600b")},
        {std::string("A\0B", 3), QString(QStringLiteral("A")) + QChar(0) + QStringLiteral("B")},
        {"", QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TableTextToQString(c.utf8), c.text) << c.utf8;
        EXPECT_EQ(QStringToTableText(c.text), c.utf8) << c.utf8;  // typed or pasted, kept whole
    }
    EXPECT_EQ(QStringToTableText(QString(QChar(0xD800)) + u'x'), "?x") << "a lone surrogate";
}
