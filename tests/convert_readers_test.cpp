// The converter on TDS, grid and Surveyor One files, end to end.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>

#include "support/fixtures.h"

using namespace tessaly::test;

namespace {
struct Outcome {
    int status;
    std::string err;
};

// Converts INPUT (a name inside DIR) to out.asc.
Outcome Convert(const TempDir& dir, const std::string& input)
{
    auto errPath = dir.Path("stderr.txt");
    std::string cmd = std::string(TESSALY_CONVERT) + " '" + dir.Path(input) + "' '" + dir.Path("out.asc") + "' 2>" +
                      errPath;
    int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadBytes(errPath)};
}
}  // namespace

TEST(ConvertReaders, Cr5ToAscByteExact)
{
    TempDir dir;
    using namespace std::literals;
    WriteBytes(dir.Path("job.Cr5"), Cr5File({{5, 512.5, 100, -12.25, "FENCE\0xx"s},
                                             {0, 1, 1, 1, "SKIPPED"},
                                             {7, 1, 2, 3, "IP, FOUND\t"},
                                             {8, 4, 5, 6, "ABCDEFGHIJKLMNOPQ"}}));
    Outcome r = Convert(dir, "job.Cr5");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.Path("out.asc")),
              "5,512.5,100,-12.25,FENCE \r\n7,1,2,3,IP, FOUND  \r\n8,4,5,6,ABCDEFGHIJKLMNOPQ\r\n");
}

TEST(ConvertReaders, GrdToAscByteExact)
{
    TempDir dir;
    WriteBytes(dir.Path("site.GRD"), "100,500,110,520,2,1\r\n101.50,\"7, 8\",,\r\n-3, 4 ,x y  \r\n");
    Outcome r = Convert(dir, "site.GRD");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.Path("out.asc")),
              ",100,500,101.50,\r\n,100,510,7, 8,\r\n,100,520,,\r\n"
              ",110,500,-3,\r\n,110,510,4,\r\n,110,520,x y,\r\n");
}

TEST(ConvertReaders, SurveyorOneToAscByteExact)
{
    TempDir dir;
    // 2D with a companion file: the elevation is the number 0, written framed
    // by blanks; the last record never becomes a point.
    WriteBytes(dir.Path("SITE1"), SurveyorOneFile({{100.5, 200.25, 0}, {0, 0, 0}, {3, 4, 0}, {9, 9, 9}}, false));
    WriteBytes(dir.Path("SITE1W"), SurveyorDescriptions({"  IP FOUND", "X", "- SKIP", "LAST"}));
    Outcome r = Convert(dir, "SITE1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.Path("out.asc")), "1,100.5,200.25, 0 ,IP FOUND\r\n3,3,4, 0 ,\r\n");

    WriteBytes(dir.Path("job.pts"), SurveyorOneFile({{-1, 2, -3.5}, {0.125, 0, 1e-5}, {1, 1, 1}}, true));
    r = Convert(dir, "job.pts");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.Path("out.asc")), "1,-1,2,-3.5,\r\n2,0.125,0,1E-05,\r\n");
}

TEST(ConvertReaders, FailedLoadsWriteNothing)
{
    TempDir dir;
    WriteBytes(dir.Path("empty.pts"), "");
    WriteBytes(dir.Path("short.cr5"), std::string(20, 'x'));
    WriteBytes(dir.Path("cut.grd"), "0,0,1,1,1,1\r\n5,6,7");
    const struct {
        const char* input;
        const char* message;
    } cases[] = {
        {"empty.pts", "no point record"},
        {"short.cr5", "byte 20"},
        {"cut.grd", "field 10"},
    };
    for (const auto& c : cases) {
        Outcome r = Convert(dir, c.input);
        EXPECT_EQ(r.status, 1) << c.input;
        EXPECT_NE(r.err.find(c.input), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.Path("out.asc")));
    }
}
