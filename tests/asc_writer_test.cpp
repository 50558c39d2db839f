#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/readers.h"
#include "platform/error.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
struct WriterFixture : ::testing::Test {
    TempDir dir;
    PointTable table;
    std::string Write()
    {
        auto path = dir.Path("out.asc");
        WriteAscFile(table, path);
        return ReadBytes(path);
    }
};
}  // namespace

TEST_F(WriterFixture, LinesAreByteExact)
{
    const struct {
        std::array<Cell, 5> cells;
        const char* line;
    } cases[] = {
        {{"12", "503.25", "407", "101.5", "IP FOUND"}, "12,503.25,407,101.5,IP FOUND\r\n"},
        {{"3", "503.25", "407", 0.0, ""}, "3,503.25,407, 0 ,\r\n"},
        {{Cell{}, Cell{}, Cell{}, Cell{}, Cell{}}, ",,,,\r\n"},
        {{"1", -12.25, 1e16, -0.0, "LOT 4, BLOCK 2"}, "1,-12.25 , 1E+16 , 0 ,LOT 4, BLOCK 2\r\n"},
        {{"  2  ", "", "", "", " CAF\xC9 \"q\" "}, "  2  ,,,, CAF\xC9 \"q\" \r\n"},
        {{"a", "", "", "", "x\ny"}, "a,,,,x\ny\r\n"},
    };
    for (const auto& c : cases) {
        table.Clear();
        table.AddPoint(c.cells);
        EXPECT_EQ(Write(), c.line);
    }
    // Embedded NUL: compare with the exact bytes.
    table.Clear();
    table.AddPoint({std::string("a\0b", 3), "", "", "", ""});
    EXPECT_EQ(Write(), std::string("a\0b,,,,\r\n", 9));
}

TEST_F(WriterFixture, WritesExactlyTheLoadedRows)
{
    table.AddPoint({"1", "", "", "", ""});
    table.AddPoint({"2", "", "", "", ""});
    table.Set(0, 2, std::string("stored after the points"));
    EXPECT_EQ(Write(), "1,,,,\r\n2,,,,\r\n");
    // Rows the user typed into after the points are points too; empty ones are not.
    table.Set(0, 9, std::string("9"));
    table.SetTyped(9, true);
    table.SetTyped(4, true);
    EXPECT_EQ(Write(), "1,,,,\r\n2,,,,\r\n9,,,,\r\n");
    table.Clear();
    EXPECT_EQ(Write(), "") << "no points: an empty file";
}

TEST_F(WriterFixture, ReplacesAnExistingFileWhole)
{
    auto path = dir.Path("out.asc");
    WriteBytes(path, std::string(5000, 'x'));
    ::chmod(path.c_str(), 0640);
    table.AddPoint({"1", "", "", "", ""});
    WriteAscFile(table, path);
    EXPECT_EQ(ReadBytes(path), "1,,,,\r\n");
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the replaced file keeps its permissions";
}

TEST_F(WriterFixture, FailureMidwayLeavesTheOldFileAndNoTemporary)
{
    // A file size limit makes the writes fail part-way, as a full disk would
    // (and it holds for root too, unlike folder permissions).
    auto path = dir.Path("out.asc");
    WriteBytes(path, "OLD");
    for (int i = 0; i < 10000; ++i) table.AddPoint({std::to_string(i), "5000.125", "1000.5", "100", "DESC"});
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(WriteAscFile(table, path), Error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadBytes(path), "OLD");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 1) << "no temporary file left";
}

TEST_F(WriterFixture, UnwritableTargetsFailCleanly)
{
    auto path = dir.Path("out.asc");
    WriteBytes(path, "OLD");
    table.AddPoint({"1", "", "", "", ""});
    EXPECT_THROW(WriteAscFile(table, dir.Path("missing-folder/out.asc")), Error);
    EXPECT_THROW(WriteAscFile(table, dir.Root().string()), Error);
    EXPECT_EQ(ReadBytes(path), "OLD");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 1);
}
