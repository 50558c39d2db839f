#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files/field_reader.h"
#include "platform/text/text_rules.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
struct FieldFixture : ::testing::Test {
    TempDir dir;
    std::string Write(std::string_view bytes)
    {
        auto path = dir.Path("fields.txt");
        WriteBytes(path, bytes);
        return path;
    }
    // Reads one field per letter of HOW (T text, N number, shown as number
    // text) and then checks whether another field is there.
    std::vector<std::string> Read(std::string_view bytes, std::string_view how, bool& more)
    {
        FieldReader in(Write(bytes));
        std::vector<std::string> got;
        std::string text;
        for (char k : how) {
            if (k == 'T') {
                in.ReadText(text);
                got.push_back(text);
            } else {
                got.push_back(NumberText(in.ReadNumber()));
            }
        }
        try {
            in.ReadText(text);
            more = true;
        } catch (const Error&) {
            more = false;
        }
        return got;
    }
};
using Fields = std::vector<std::string>;
}  // namespace

TEST_F(FieldFixture, Syntax)
{
    using namespace std::literals;
    const struct {
        std::string_view bytes, how;
        Fields fields;
        bool more;  // a field follows the ones read
    } cases[] = {
        {"a,b\r\nc", "TTT", {"a", "b", "c"}, false},
        {"a\nb\rc\r\n", "TTT", {"a", "b", "c"}, false},
        {"1,\r\n2", "TT", {"1", "2"}, false},
        {"1, \t\n2", "TT", {"1", "2"}, false},
        {"1\r\n\r\n2", "TTT", {"1", "", "2"}, false},
        {"\n\r\n", "TT", {"", ""}, false},
        {"1,,2", "TTT", {"1", "", "2"}, false},
        {"  \tx  y \t,z", "TT", {"x  y", "z"}, false},
        {"\"a, b \",c", "TT", {"a, b ", "c"}, false},
        {"\"a\r\nb\"\r\nc", "TT", {"a\r\nb", "c"}, false},
        {"\"ab\"cd,e", "TT", {"ab", "e"}, false},
        {"\"\",x", "TT", {"", "x"}, false},
        {"\"open", "T", {"open"}, false},
        {"last", "T", {"last"}, false},
        {"a,b,", "TT", {"a", "b"}, false},
        {"a\r\n  \t ", "T", {"a"}, false},
        {"", "", {}, false},
        {"a,b,c", "T", {"a"}, true},
        {"100.5 101.2\r\n7", "TT", {"100.5 101.2", "7"}, false},
        {"100.5 101.2\r\n7", "NNN", {"100.5", "101.2", "7"}, false},
        {"1 , 2\r\n3", "NNN", {"1", "2", "3"}, false},
        {"1\t2", "NN", {"1", "2"}, false},
        {"abc,,\"12\",1E3,-2.5x", "NNNNN", {"0", "0", "12", "1000", "-2.5"}, false},
        {"a\0b,c"sv, "TT", {"a\0b"s, "c"}, false},
    };
    for (const auto& c : cases) {
        bool more = false;
        EXPECT_EQ(Read(c.bytes, c.how, more), c.fields) << c.bytes;
        EXPECT_EQ(more, c.more) << c.bytes;
    }
}

TEST_F(FieldFixture, WholeNumbersRoundHalfToEvenAndMustFit32Bits)
{
    const struct {
        const char* text;
        int32_t value;
        bool overflow;
    } cases[] = {
        {"2.5", 2, false},         {"3.5", 4, false},          {"-2.5", -2, false},
        {"", 0, false},            {"x", 0, false},            {"2147483647", 2147483647, false},
        {"-2147483648.5", INT32_MIN, false}, {"2147483647.5", 0, true}, {"-2147483649", 0, true},
        {"1E400", 0, true},
    };
    for (const auto& c : cases) {
        FieldReader in(Write(std::string(c.text) + ",9"));
        if (c.overflow) {
            EXPECT_THROW(in.ReadInt32(), Overflow) << c.text;
        } else {
            EXPECT_EQ(in.ReadInt32(), c.value) << c.text;
            EXPECT_EQ(in.ReadInt32(), 9);
        }
    }
}

TEST_F(FieldFixture, ErrorsNameTheFileTheFieldAndTheLine)
{
    auto path = Write("1,2\r\n3\r\n");
    FieldReader in(path);
    std::string text;
    for (int i = 0; i < 3; ++i) in.ReadText(text);
    EXPECT_EQ(in.FieldLine(), 2);
    try {
        in.ReadText(text);
        FAIL();
    } catch (const Error& e) {
        std::string m = e.what();
        EXPECT_NE(m.find(path), std::string::npos) << m;
        EXPECT_NE(m.find("field 4"), std::string::npos) << m;
        EXPECT_NE(m.find("line 3"), std::string::npos) << m;
    }

    FieldReader big(Write("1,99999999999\r\n"));
    big.ReadInt32();
    try {
        big.ReadInt32();
        FAIL();
    } catch (const Overflow& e) {
        EXPECT_NE(std::string(e.what()).find("field 2 (line 1)"), std::string::npos) << e.what();
    }
}

TEST_F(FieldFixture, LongFieldsAndBufferBoundaries)
{
    // A CR LF split over two reads of the file is still one line end; a huge
    // field is kept only as far as asked.
    std::string lines = std::string(65535, 'x') + "\r\n" + "y";
    FieldReader a(Write(lines));
    std::string text;
    a.ReadText(text);
    EXPECT_EQ(text.size(), 65535u);
    a.ReadText(text);
    EXPECT_EQ(text, "y");
    EXPECT_EQ(a.FieldLine(), 2);

    std::string huge = std::string(300000, 'a') + "   ,next";
    FieldReader b(Write(huge));
    b.ReadText(text, 5);
    EXPECT_EQ(text, "aaaaa");
    b.ReadText(text, 5);
    EXPECT_EQ(text, "next");

    FieldReader n(Write("-" + std::string(5000, '0') + "7.5," + std::string(3000, '9') + ",0,-0.25,00"));
    EXPECT_EQ(n.ReadNumber(), -7.5);
    EXPECT_EQ(n.ReadNumber(), HUGE_VAL);
    EXPECT_EQ(n.ReadNumber(), 0);
    EXPECT_EQ(n.ReadNumber(), -0.25);
    EXPECT_EQ(n.ReadNumber(), 0);

    FieldReader c(Write("ab      x,q"));
    c.ReadText(text, 4);
    EXPECT_EQ(text, "ab  ");
    FieldReader d(Write("ab      ,q"));
    d.ReadText(text, 4);
    EXPECT_EQ(text, "ab");
}

TEST_F(FieldFixture, MissingFileIsNotCreated)
{
    auto path = dir.Path("none.grd");
    EXPECT_THROW(FieldReader{path}, Error);
    EXPECT_FALSE(std::filesystem::exists(path));
}
