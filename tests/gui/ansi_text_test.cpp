#include <gtest/gtest.h>

#include "platform/qt/ansi_text.h"

using namespace tessaly;

TEST(AnsiText, DecodesWindows1252)
{
    const struct {
        std::string bytes;
        QString text;
    } cases[] = {
        {"IP FOUND", QStringLiteral("IP FOUND")},
        {"caf\xE9", QStringLiteral("caf\u00E9")},
        {"\x80 5", QStringLiteral("\u20AC 5")},
        {"\x93q\x94", QStringLiteral("\u201Cq\u201D")},
        {"\x8C\x9F", QStringLiteral("\u0152\u0178")},
        {"\x81\x8D\x8F\x90\x9D", QStringLiteral("\u0081\u008D\u008F\u0090\u009D")},  // unassigned bytes
        {std::string("A\0B", 3), QString(QStringLiteral("A")) + QChar(0) + QStringLiteral("B")},
        {"", QString()},
    };
    for (const auto& c : cases) EXPECT_EQ(AnsiToQString(c.bytes), c.text) << c.bytes;
}

TEST(AnsiText, EncodesTypedTextWithQuestionMarksForTheRest)
{
    const struct {
        QString text;
        std::string bytes;
    } cases[] = {
        {QStringLiteral("Stra\u00DFe"), "Stra\xDF" "e"},
        {QStringLiteral("\u20AC"), "\x80"},
        {QStringLiteral("\u2014 \u2122"), "\x97 \x99"},
        {QStringLiteral("\u65E5\u672C"), "??"},
        {QStringLiteral("a\U0001F600b"), "a?b"},          // one character, one "?"
        {QString(QChar(0xD800)) + u'x', "?x"},            // a lone surrogate
        {QStringLiteral("\u0085"), "?"},                  // a C1 control that 0x85 does not mean
    };
    for (const auto& c : cases) EXPECT_EQ(QStringToAnsi(c.text), c.bytes) << c.text.toStdString();
}

TEST(AnsiText, EveryByteSurvivesARoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(QStringToAnsi(AnsiToQString(all)), all);
}
