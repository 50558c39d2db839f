// The converter binary, end to end on files the tests write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

#include "support/fixtures.h"

using namespace tessaly::test;

namespace {
struct Outcome {
    int status;
    std::string out, err;
};

Outcome Convert(const TempDir& dir, const std::string& args)
{
    auto outPath = dir.Path("stdout.txt"), errPath = dir.Path("stderr.txt");
    std::string cmd = std::string(TESSALY_CONVERT) + " " + args + " >" + outPath + " 2>" + errPath;
    int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadBytes(outPath), ReadBytes(errPath)};
}

std::string Q(const std::string& s) { return "'" + s + "'"; }
}  // namespace

TEST(Convert, CrdToAscByteExact)
{
    TempDir dir;
    WriteBytes(dir.Path("job.CRD"), CrdNumeric(3, {{100, 200, 10, "A"}, {0, 0, 0, "B"}, {-5, 7.5, 0, "C, D"}}));
    Outcome r = Convert(dir, Q(dir.Path("job.CRD")) + " " + Q(dir.Path("out.ASC")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadBytes(dir.Path("out.ASC")), "1,100,200,10,A\r\n3,-5,7.5,0,C, D\r\n");
}

TEST(Convert, CooToAscByteExact)
{
    TempDir dir;
    WriteBytes(dir.Path("survey.Coo"), CooBlock("0012", "FENCE COR", "407.000", "503.25", "12ft") +
                                           CooBlock("13", "", "", "", ""));
    Outcome r = Convert(dir, Q(dir.Path("survey.Coo")) + " " + Q(dir.Path("out.asc")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.Path("out.asc")), "0012,503.25,407,12,FENCE COR\r\n13,0,0,0,\r\n");
}

TEST(Convert, FailedLoadWritesNothing)
{
    TempDir dir;
    WriteBytes(dir.Path("cut.coo"), CooBlock("1", "", "1", "2", "3") + "\r\n");
    Outcome r = Convert(dir, Q(dir.Path("cut.coo")) + " " + Q(dir.Path("out.asc")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cut.coo"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("line 5"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("1 points read"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.asc")));

    // The Alpha layout of coordinate files holds points that are not read.
    std::string alpha(104 + 66 * 2, '\x01');
    alpha.replace(72, 32, std::string("New CRD Format") + std::string(18, '\0'));
    WriteBytes(dir.Path("alpha.crd"), alpha);
    r = Convert(dir, Q(dir.Path("alpha.crd")) + " " + Q(dir.Path("out.asc")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("alpha.crd: the points are in the Alpha layout, which is not read (2 records); nothing written"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.asc")));

    r = Convert(dir, Q(dir.Path("missing.crd")) + " " + Q(dir.Path("out.asc")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("file not found"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("missing.crd")));
}

TEST(Convert, UsageErrors)
{
    TempDir dir;
    WriteBytes(dir.Path("job.crd"), CrdNumeric(0, {}));
    Outcome r = Convert(dir, Q(dir.Path("job.crd")) + " " + Q(dir.Path("out.txt")));
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.txt")));
    EXPECT_EQ(Convert(dir, "").status, 2);
    r = Convert(dir, "--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage"), std::string::npos);
    r = Convert(dir, "--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("tessaly-convert"), std::string::npos);
}
