// The converter binary, end to end. Every reference pair in
// tests/data/reference, NAME.EXT and NAME.EXT.asc, must convert to exactly the
// bytes of NAME.EXT.asc: a new format adds a pair of files, not code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "support/fixtures.h"

using namespace tessaly::test;

namespace {
struct Outcome {
    int status;
    std::string out, err;
};

// Runs the converter with ARGS (already quoted), standard output and error
// going to files in DIR.
Outcome RunConverter(const TempDir& dir, const std::string& args)
{
    auto outPath = dir.Path("stdout.txt"), errPath = dir.Path("stderr.txt");
    std::string cmd = std::string(TESSALY_CONVERT) + " " + args + " >" + outPath + " 2>" + errPath;
    int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadBytes(outPath), ReadBytes(errPath)};
}

std::string Q(const std::string& s) { return "'" + s + "'"; }

// STEM, the number I and ENDING: "p7.crd". Appended, not "p" +
// std::to_string(i) + ...: GCC 12 at -O3 takes the inlined insertion at the
// front for an overlapping copy (-Wrestrict), as with " " + Q(...) below.
std::string Numbered(const char* stem, int i, const char* ending)
{
    return std::string(stem).append(std::to_string(i)).append(ending);
}

Outcome Convert(const TempDir& dir, const std::string& input, const std::string& output)
{
    return RunConverter(dir, Q(input) + " " + Q(output));
}
}  // namespace

TEST(Convert, ReferencePairsByteExact)
{
    TempDir dir;
    int pairs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TestData("reference"))) {
        const std::string input = entry.path().string();
        if (input.ends_with(".asc") || !std::filesystem::exists(input + ".asc")) continue;
        ++pairs;
        const std::string output = dir.Path("out.asc");
        Outcome r = Convert(dir, input, output);
        EXPECT_EQ(r.status, 0) << input << ": " << r.err;
        EXPECT_EQ(r.out, "") << input;
        EXPECT_EQ(ReadBytes(output), ReadBytes(input + ".asc")) << input;
        std::filesystem::remove(output);
    }
    EXPECT_GE(pairs, 7);
}

TEST(Convert, FailedLoadsWriteNothing)
{
    TempDir dir;
    WriteBytes(dir.Path("cut.coo"), CooBlock("1", "", "1", "2", "3") + "\r\n");
    WriteBytes(dir.Path("empty.pts"), "");
    WriteBytes(dir.Path("short.cr5"), std::string(20, 'x'));
    WriteBytes(dir.Path("cut.grd"), "0,0,1,1,1,1\r\n5,6,7");
    // The Alpha layout of coordinate files holds points that are not read.
    std::string alpha(104 + 66 * 2, '\x01');
    alpha.replace(72, 32, std::string("New CRD Format") + std::string(18, '\0'));
    WriteBytes(dir.Path("alpha.crd"), alpha);
    const struct {
        std::string input;
        std::vector<std::string> message;  // parts of the one line on standard error
    } cases[] = {
        {dir.Path("cut.coo"), {"cut.coo", "line 5", "1 points read"}},
        {dir.Path("missing.crd"), {"missing.crd", "file not found"}},
        {dir.Path("empty.pts"), {"empty.pts", "no point record"}},
        {dir.Path("short.cr5"), {"short.cr5", "byte 20"}},
        {dir.Path("cut.grd"), {"cut.grd", "field 10"}},
        {dir.Path("alpha.crd"), {"alpha.crd: the points are in the Alpha layout, which is not read (2 records)"}},
        {TestData("damaged-truncated.mdb"), {"the database is damaged: 0 of 6 records could be read"}},
    };
    for (const auto& c : cases) {
        Outcome r = Convert(dir, c.input, dir.Path("out.asc"));
        EXPECT_EQ(r.status, 1) << c.input;
        for (const auto& part : c.message) EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.Path("out.asc"))) << c.input;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path("missing.crd")));
}

TEST(Convert, UsageErrors)
{
    TempDir dir;
    WriteBytes(dir.Path("job.crd"), CrdNumeric(0, {}));
    Outcome r = Convert(dir, dir.Path("job.crd"), dir.Path("out.pdf"));
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.pdf")));
    EXPECT_EQ(RunConverter(dir, "").status, 2);
    r = RunConverter(dir, "--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage"), std::string::npos);
    EXPECT_NE(r.out.find("  *.cr5  TDS coordinate file\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  other  Surveyor One coordinate file\n"), std::string::npos) << r.out;
    r = RunConverter(dir, "--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("tessaly-convert"), std::string::npos);
    r = RunConverter(dir, "--list-formats");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("crd\tread\t*.crd\tOrvelle coordinate file\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("asc\twrite\t*.asc\t"), std::string::npos) << r.out;
    // "--" ends the options, for names that start with "-".
    r = RunConverter(dir, "-- " + Q(dir.Path("job.crd")) + " " + Q(dir.Path("out.asc")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.Path("out.asc")));
    EXPECT_EQ(RunConverter(dir, "-- " + Q(dir.Path("job.crd"))).status, 2);
    // An output folder that is a file is called one.
    r = RunConverter(dir, Q(dir.Path("job.crd")) + " --output-dir " + Q(dir.Path("job.crd")));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("job.crd: is a file, not a folder"), std::string::npos) << r.err;
}

// Every reference input through every new writer and, where the format is
// read too, back to ASCII PNEZD: the same bytes as the reference pair.
TEST(Convert, ReferenceFilesThroughTextAndLandXml)
{
    TempDir dir;
    for (const char* name : {"job.CRD", "job.Cr5", "job.pts", "survey.Coo"}) {
        const std::string input = TestData(std::string("reference/") + name);
        for (const char* ending : {".csv", ".txt", ".xml", ".dxf"}) {
            const std::string middle = dir.Path(std::string("mid") + ending);
            Outcome r = Convert(dir, input, middle);
            ASSERT_EQ(r.status, 0) << name << ending << ": " << r.err;
            if (std::string_view(ending) == ".dxf") continue;
            r = Convert(dir, middle, dir.Path("back.asc"));
            ASSERT_EQ(r.status, 0) << name << ending << ": " << r.err;
            EXPECT_EQ(ReadBytes(dir.Path("back.asc")), ReadBytes(input + ".asc")) << name << " via " << ending;
        }
    }
}

// Instrument files through the upload formats and back: the same bytes as
// the reference pair (their coordinates have the GSI default's three
// decimals).
TEST(Convert, InstrumentFilesThroughGsiAndSdr)
{
    TempDir dir;
    for (const char* name : {"field.sdr", "field.jxl", "field.raw"}) {
        const std::string input = TestData(std::string("reference/") + name);
        for (const char* ending : {".gsi", ".sdr"}) {
            const std::string middle = dir.Path(std::string("mid") + ending);
            Outcome r = Convert(dir, input, middle);
            ASSERT_EQ(r.status, 0) << name << ending << ": " << r.err;
            r = Convert(dir, middle, dir.Path("back.asc"));
            ASSERT_EQ(r.status, 0) << name << ending << ": " << r.err;
            EXPECT_EQ(ReadBytes(dir.Path("back.asc")), ReadBytes(input + ".asc")) << name << " via " << ending;
        }
    }
}

TEST(Convert, WriterOptions)
{
    TempDir dir;
    WriteBytes(dir.Path("job.crd"), CrdNumeric(2, {{5000.5, 1000.25, 100, "IP"}, {1, 2, 3, "A, B"}}));
    WriteBytes(dir.Path("bare.txt"), "1 1000.25 5000.5 100 IP\n");
    WriteBytes(dir.Path("layer.txt"), "JOB 12\r\n1;L1;5000.5;1000.25;100;IP;FOUND\r\n");
    const std::string crd = Q(dir.Path("job.crd"));
    const struct {
        std::string args;  // OUT stands for the output in the test folder
        std::string output;
        int status;
        std::string part;  // of the output file (status 0) or of stderr
    } cases[] = {
        {"--columns penz --delimiter tab --header --lf " + crd + " OUT", "o.csv", 0,
         "Point\tEasting\tNorthing\tElevation\n1\t1000.25\t5000.5\t100\n"},
        {crd + " OUT --encoding=utf-8", "o.txt", 0, "1 5000.5 1000.25 100 IP\r\n2 1 2 3 A, B\r\n"},
        {"--delimiter semicolon " + crd + " OUT", "o.TXT", 0, "1;5000.5;1000.25;100;IP\r\n"},
        {"--units us-foot " + crd + " OUT", "o.xml", 0, "linearUnit=\"USSurveyFoot\""},
        {"--text-height 2.5 " + crd + " OUT", "o.dxf", 0, " 40\r\n2.5\r\n"},
        {"--decimals 3 " + crd + " OUT", "o.csv", 0, "1,5000.500,1000.250,100.000,IP\r\n"},
        {"--decimals 0 " + crd + " OUT", "o.xml", 0, ">5001 1000 100<"},
        {"--decimals 1 " + crd + " OUT", "o.dxf", 0, " 10\r\n1000.3\r\n 20\r\n5000.5\r\n 30\r\n100.0\r\n"},
        {"--decimals 2 " + crd + " OUT", "o.asc", 2, "--decimals is an option of .xml, .dxf, .csv and .txt outputs"},
        {"--decimals 10 " + crd + " OUT", "o.csv", 2, "--decimals 10: not a whole number from 0 to 9"},
        {"--resolution 0.0001 " + crd + " OUT", "o.gsi", 0, " 82..06+0000000050005000 "},
        {"--order enz " + crd + " OUT", "o.sdr", 0, "08KI               11000.25         5000.5          100"},
        {"--order nze " + crd + " OUT", "o.sdr", 2, "--order nze:"},
        {"--resolution 0.00001 --units foot " + crd + " OUT", "o.gsi", 1, "GSI holds feet to 0.0001 ft at most"},
        {"--input-columns PENZD " + Q(dir.Path("bare.txt")) + " OUT", "o.asc", 0, "1,5000.5,1000.25,100,IP\r\n"},
        {"--input-columns p-nezdd --input-delimiter semicolon --skip-lines 1 " + Q(dir.Path("layer.txt")) + " OUT",
         "o.asc", 0, "1,5000.5,1000.25,100,IP FOUND\r\n"},
        {"--input-columns PNNE " + crd + " OUT", "o.asc", 2, "not a column order (PNEZD, PENZD, ...) or mapping"},
        {"--input-delimiter pipe " + crd + " OUT", "o.asc", 2, "--input-delimiter pipe: use comma"},
        {"--skip-lines -1 " + crd + " OUT", "o.asc", 2, "--skip-lines -1: not a whole number from 0 to 1000000"},
        {"--header " + crd + " OUT", "o.asc", 2, "--header is an option of .csv and .txt outputs, not of .asc"},
        {"--units foot " + crd + " OUT", "o.csv", 2, "--units is an option of .xml, .gsi and .sdr outputs, not of .csv"},
        {"--text-height 1 " + crd + " OUT", "o.xml", 2, "--text-height is an option of .dxf outputs"},
        {crd + " OUT", "o.pdf", 2, "must end in .asc, .csv, .txt, .xml"},
        {"--columns PZ " + crd + " OUT", "o.csv", 2, "not a column order"},
        {"--delimiter pipe " + crd + " OUT", "o.csv", 2, "use comma, tab, space or semicolon"},
        {"--encoding latin1 " + crd + " OUT", "o.csv", 2, "use cp1252 or utf-8"},
        {"--units yard " + crd + " OUT", "o.xml", 2, "use metre, us-foot or foot"},
        {"--text-height -1 " + crd + " OUT", "o.dxf", 2, "--text-height -1: not a number from 0.001 to 1000000"},
        {"--frobnicate " + crd + " OUT", "o.csv", 2, "unknown option --frobnicate"},
        {crd + " OUT --columns", "o.csv", 2, "--columns needs a value"},
        {"--to csv " + crd + " OUT", "o.csv", 2, "--to belongs to the batch form"},
    };
    for (const auto& c : cases) {
        std::string args = c.args;
        args.replace(args.find("OUT"), 3, Q(dir.Path(c.output)));
        const Outcome r = RunConverter(dir, args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
        if (c.status == 0) {
            EXPECT_NE(ReadBytes(dir.Path(c.output)).find(c.part), std::string::npos) << c.args;
        } else {
            EXPECT_NE(r.err.find(c.part), std::string::npos) << c.args << ": " << r.err;
            EXPECT_FALSE(std::filesystem::exists(dir.Path(c.output))) << c.args;
        }
        std::filesystem::remove(dir.Path(c.output));
    }

    // Rows LandXML and DXF cannot hold are left out and counted; still a success.
    WriteBytes(dir.Path("mixed.csv"), "Point,Northing,Easting\r\n1,5000,1000\r\n2,,\r\n3,,7\r\n");
    for (const char* out : {"mixed.xml", "mixed.dxf"}) {
        const Outcome r = Convert(dir, dir.Path("mixed.csv"), dir.Path(out));
        EXPECT_EQ(r.status, 0) << out;
        EXPECT_NE(r.err.find(": 2 rows left out: the northing or easting is not a number"), std::string::npos) << r.err;
    }
}

// A LandXML file in US survey feet: labelled so by default, converted and
// said when another unit is asked for.
TEST(Convert, LandXmlUnits)
{
    TempDir dir;
    WriteBytes(dir.Path("ft.xml"), "<LandXML><Units><Imperial linearUnit=\"USSurveyFoot\"/></Units>"
                                   "<CgPoints><CgPoint name=\"1\">3937 7874 39.37</CgPoint></CgPoints></LandXML>");
    Outcome r = Convert(dir, dir.Path("ft.xml"), dir.Path("same.xml"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(ReadBytes(dir.Path("same.xml")).find("linearUnit=\"USSurveyFoot\""), std::string::npos);
    EXPECT_NE(ReadBytes(dir.Path("same.xml")).find(">3937 7874 39.37<"), std::string::npos);
    r = RunConverter(dir, "--units metre " + Q(dir.Path("ft.xml")) + " " + Q(dir.Path("m.xml")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "tessaly-convert: " + dir.Path("m.xml") + ": coordinates converted from US survey feet to metres\n");
    EXPECT_NE(ReadBytes(dir.Path("m.xml")).find(">1200 2400 12<"), std::string::npos) << ReadBytes(dir.Path("m.xml"));
    WriteBytes(dir.Path("ft.xml"), "<LandXML><Units><Imperial linearUnit=\"USSurveyFoot\"/></Units><Surfaces><Surface/>"
                                   "</Surfaces><CgPoints><CgPoint name=\"1\">3937 7874 39.37</CgPoint></CgPoints></LandXML>");
    r = Convert(dir, dir.Path("ft.xml"), dir.Path("ft.dxf"));
    EXPECT_NE(ReadBytes(dir.Path("ft.dxf")).find("$INSUNITS\r\n 70\r\n21\r\n"), std::string::npos);
    EXPECT_EQ(r.err, "tessaly-convert: " + dir.Path("ft.xml") +
                         ": holds Surfaces besides its points; only the points are converted\n");
}

// The single form never writes over its input, whatever name reaches it.
TEST(Convert, OutputIsTheInput)
{
    TempDir dir;
    const std::string input = dir.Path("in.csv"), bytes = "1,5000,1000,10,\xCE\xA9\r\n";
    WriteBytes(input, bytes);
    std::filesystem::create_symlink(input, dir.Path("link.csv"));
    std::filesystem::create_hard_link(input, dir.Path("hard.csv"));
    std::filesystem::create_directory(dir.Path("sub"));
    for (const std::string& output : {input, dir.Path("link.csv"), dir.Path("hard.csv"), dir.Path("sub/../in.csv")}) {
        const Outcome r = Convert(dir, input, output);
        EXPECT_EQ(r.status, 2) << output;
        EXPECT_NE(r.err.find(": is the input "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing written"), std::string::npos) << r.err;
        EXPECT_EQ(ReadBytes(input), bytes);
    }
    // The batch form too, for a link in the output folder.
    std::filesystem::create_directory(dir.Path("out"));
    std::filesystem::create_hard_link(input, dir.Path("out/in.csv"));
    const Outcome r = RunConverter(dir, Q(input) + " --to csv --output-dir " + Q(dir.Path("out")));
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(ReadBytes(input), bytes);
    // A copy is another file.
    std::filesystem::copy_file(input, dir.Path("copy.csv"));
    EXPECT_EQ(Convert(dir, input, dir.Path("copy.csv")).status, 0);
}

// Text files as spreadsheets and other programs write them: every column
// and every encoding read, what is not read said.
TEST(Convert, TextInputsOfOtherPrograms)
{
    TempDir dir;
    const auto utf16 = [](std::string_view ascii) {
        std::string out = "\xFF\xFE";
        for (char c : ascii) out += std::string{c, '\0'};
        return out;
    };
    std::string nul = "P,N,E\r\n1,5000,1000" + std::string(1, '\0') + "\r\n";
    for (int i = 2; i <= 5000; ++i) nul += std::to_string(i) + ",5000,1000\r\n";
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\" "
        "version=\"1.2\"><CgPoints><CgPoint name=\"7\" desc=\"IP\">5000 1000 100</CgPoint></CgPoints></LandXML>\n";
    const struct {
        const char* name;
        std::string bytes;
        std::string asc;     // the start of the ASCII PNEZD written
        std::string notice;  // a part of stderr
    } cases[] = {
        {"units.csv", "Point Number,Northing (m),Easting (m),Elevation (m),Description,Layer\r\n1001,5000,1000,100,IP,PTS\r\n",
         "1001,5000,1000,100,IP\r\n", "units.csv: column not read: \"Layer\""},
        {"quoted.csv", "1001,5000.000,1000.000,100.000,\"Iron pin found, capped LS 12345\",CONTROL\r\n",
         "1001,5000.000,1000.000,100.000,Iron pin found, capped LS 12345\r\n", "1 row has fields beyond the columns read"},
        {"unicode.txt", utf16("Name\tX\tY\r\nA1\t1000\t5000\r\n"), "A1,5000,1000,,\r\n", ""},
        {"nul.csv", nul, "1,5000,1000,,\r\n2,5000,1000,,\r\n", "1 NUL character dropped"},
        {"points.xml", utf16(xml), "7,5000,1000,100,IP\r\n", ""},
    };
    for (const auto& c : cases) {
        WriteBytes(dir.Path(c.name), c.bytes);
        const Outcome r = Convert(dir, dir.Path(c.name), dir.Path("out.asc"));
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_EQ(ReadBytes(dir.Path("out.asc")).substr(0, c.asc.size()), c.asc) << c.name;
        EXPECT_NE(r.err.find(c.notice), std::string::npos) << c.name << ": " << r.err;
    }
    const std::string xmlPoints = ReadBytes(dir.Path("out.asc"));
    EXPECT_EQ(std::count(xmlPoints.begin(), xmlPoints.end(), '\n'), 1) << xmlPoints;
}

// A link planted among a batch's outputs is refused, the other outputs written.
TEST(Convert, BatchWritesThroughNoLink)
{
    TempDir dir;
    for (const char* name : {"out", "etc", "etc/cron.d"}) std::filesystem::create_directory(dir.Path(name));
    WriteBytes(dir.Path("etc/passwd"), "OLD");
    std::filesystem::create_symlink(dir.Path("etc/passwd"), dir.Path("out/a.asc"));
    std::filesystem::create_symlink(dir.Path("etc/cron.d/tessaly"), dir.Path("out/c.asc"));
    std::string args;
    for (const char* name : {"a.crd", "b.crd", "c.crd"}) {
        WriteBytes(dir.Path(name), CrdNumeric(1, {{5000, 1000, 10, "P"}}));
        args += Q(dir.Path(name)) + " ";
    }
    const Outcome r = RunConverter(dir, args + "--output-dir " + Q(dir.Path("out")));
    EXPECT_EQ(r.status, 1);
    for (const char* name : {"out/a.asc", "out/c.asc"})
        EXPECT_NE(r.err.find(dir.Path(name) + ": is a symbolic link, which a batch never writes through"),
                  std::string::npos)
            << r.err;
    EXPECT_NE(r.err.find("1 converted, 2 failed"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(dir.Path("etc/passwd")), "OLD");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("etc/cron.d/tessaly")));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.Path("out/b.asc")));
}

TEST(Convert, HostileSurroundings)
{
    TempDir dir;
    std::vector<CrdPoint> many(5000, {5000.125, 1000.5, 100.25, "A DESCRIPTION"});
    WriteBytes(dir.Path("big.crd"), CrdNumeric(5000, many));
    WriteBytes(dir.Path("out.asc"), "OLD");
    // A file-size limit: the write fails with a message, the old file stays.
    const std::string cmd = "(ulimit -f 100; " + std::string(TESSALY_CONVERT) + " " + Q(dir.Path("big.crd")) + " " +
                            Q(dir.Path("out.asc")) + " 2>" + Q(dir.Path("err.txt")) + ")";
    const int rc = std::system(cmd.c_str());
    EXPECT_EQ(WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, 1);
    EXPECT_NE(ReadBytes(dir.Path("err.txt")).find("File too large"), std::string::npos) << ReadBytes(dir.Path("err.txt"));
    EXPECT_EQ(ReadBytes(dir.Path("out.asc")), "OLD");
    // A name holding a line feed and an escape is quoted: one line.
    Outcome r = Convert(dir, dir.Path("a\nb\x1b.crd"), dir.Path("out.asc"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("'$'\\n''b'$'\\033''.crd': file not found"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

// The batch form against the single-file form: each written output has the
// bytes of the input's reference conversion, each failed input the very
// message the single-file form gives, in input order, then the summary.
TEST(Convert, Batch)
{
    struct Case {
        const char* name;
        std::vector<std::string> inputs;  // reference files, or data files when they hold a '/'
        std::string options;
        int status;
        std::vector<std::string> written;  // output names; every other input writes nothing
        std::string summary;               // the last line, or a text the usage error holds
        std::string writer = "";           // writer options, given to the single-file form too
        std::string ending = "asc";
    };
    const std::vector<Case> cases = {
        {"mixed, four jobs",
         {"site.GRD", "survey.Coo", "/damaged-crash.mdb", "points-basic.mdb", "/hostile-cut.mdb", "SITE1",
          "job.CRD"},
         "--jobs 4",
         1,
         {"site.asc", "survey.asc", "points-basic.asc", "SITE1.asc", "job.asc"},
         "tessaly-convert: 5 converted, 2 failed, "},
        // One worker: the database after the one that crashes the reader
        // is read by a fresh one.
        {"a crash, one job", {"/hostile-cut.mdb", "points-basic.mdb", "job.pts"}, "--jobs=1", 1,
         {"points-basic.asc", "job.asc"}, "tessaly-convert: 2 converted, 1 failed, "},
        {"all good", {"job.pts", "survey.Coo"}, "", 0, {"job.asc", "survey.asc"},
         "tessaly-convert: 2 converted, 0 failed, "},
        {"colliding names", {"job.CRD", "site.GRD", "job.Cr5"}, "", 2, {}, "job.CRD and "},
        {"unknown kind", {"site.GRD"}, "--to pdf", 2, {}, "--to takes asc"},
        {"csv with writer options",
         {"job.pts", "/hostile-cut.mdb", "survey.Coo"},
         "--jobs 2 --to csv",
         1,
         {"job.csv", "survey.csv"},
         "tessaly-convert: 2 converted, 1 failed, ",
         "--columns PENZD --delimiter=semicolon --header",
         "csv"},
        {"an option of another kind", {"job.pts"}, "--to xml", 2, {}, "--header is an option of .csv and .txt outputs",
         "--header", "xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::filesystem::create_directory(dir.Path("out"));
        std::string args = c.options + " " + c.writer, expectedErr;
        const std::string single = dir.Path("single." + c.ending);
        for (const std::string& name : c.inputs) {
            const std::string input = name.starts_with('/') ? TestData(name.substr(1)) : TestData("reference/" + name);
            args.append(" ").append(Q(input));
            const std::string stem = std::filesystem::path(input).stem().string();
            if (c.status == 2) continue;
            if (std::count(c.written.begin(), c.written.end(), stem + "." + c.ending)) {
                EXPECT_TRUE(std::filesystem::exists(input + ".asc")) << input;
                // What a written output has to say names the batch's output.
                const std::string output = dir.Path("out/" + stem + "." + c.ending);
                expectedErr += RunConverter(dir, c.writer + " " + Q(input) + " " + Q(output)).err;
                std::filesystem::remove(output);
                continue;
            }
            expectedErr += RunConverter(dir, c.writer + " " + Q(input) + " " + Q(single)).err;
        }
        Outcome r = RunConverter(dir, args + " --output-dir " + Q(dir.Path("out")));
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.summary), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no progress line off a terminal";
        if (c.status != 2) {
            EXPECT_EQ(r.err.substr(0, r.err.rfind(c.summary)), expectedErr);
        }
        size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path("out"))) {
            ++files;
            const std::string name = entry.path().filename().string();
            ASSERT_TRUE(std::count(c.written.begin(), c.written.end(), name)) << name;
            // Each output has the bytes the single-file form writes with the
            // same options: the reference conversion for ASCII PNEZD.
            for (const std::string& input : c.inputs)
                if (std::filesystem::path(input).stem().string() + "." + c.ending == name) {
                    const std::string path = TestData("reference/" + input);
                    ASSERT_EQ(RunConverter(dir, c.writer + " " + Q(path) + " " + Q(single)).status, 0);
                    EXPECT_EQ(ReadBytes(entry.path().string()), ReadBytes(single)) << name;
                    if (c.ending == "asc") {
                        EXPECT_EQ(ReadBytes(single), ReadBytes(path + ".asc"));
                    }
                }
        }
        EXPECT_EQ(files, c.written.size());
    }
}

// On a terminal the batch shows a status line, rewritten in place and
// cleared before the summary.
TEST(Convert, BatchProgressOnTerminal)
{
    TempDir dir;
    std::filesystem::create_directory(dir.Path("out"));
    const std::string cmd = std::string(TESSALY_CONVERT) + " --jobs 1 " + Q(TestData("reference/site.GRD")) + " " +
                            Q(TestData("reference/survey.Coo")) + " --output-dir " + Q(dir.Path("out"));
    // script(1) runs the command on a pseudo-terminal and copies what it
    // shows to its own standard output.
    const std::string typescript = dir.Path("typescript");
    ASSERT_EQ(std::system(("script -qec " + Q(cmd) + " /dev/null >" + typescript + " 2>&1 </dev/null").c_str()), 0);
    const std::string shown = ReadBytes(typescript);
    EXPECT_NE(shown.find("\r[0/2] 0 points  " + TestData("reference/site.GRD") + "\033[K"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r[1/2] "), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r\033[Ktessaly-convert: 2 converted, 0 failed, "), std::string::npos) << shown;
}

// Under an address-space limit threads and memory run out: the batch goes on
// with the workers it could start (or none), fails a file it has no memory
// for with one line, always ends with the summary and leaves no temporary.
TEST(Convert, BatchUnderAddressSpaceLimit)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit leaves";
#endif
    TempDir dir;
    std::filesystem::create_directory(dir.Path("out"));
    constexpr int kInputs = 64;
    const std::vector<CrdPoint> points(2000, {5000.125, 1000.5, 100.25, "A DESCRIPTION"});
    std::string inputs;
    for (int i = 0; i < kInputs; ++i) {
        const std::string name = dir.Path(Numbered("p", i, ".crd"));
        WriteBytes(name, CrdNumeric(2000, points));
        inputs.append(" ").append(Q(name));
    }
    // From no worker thread at all up to the number asked for, depending on
    // the build.
    const struct {
        const char *bytes, *jobs;
    } limits[] = {{"48000000", "8"}, {"64000000", "8"}, {"536870912", "10"}, {"8589934592", "1024"}};
    for (const auto& limit : limits) {
        SCOPED_TRACE(limit.bytes);
        const std::string cmd = std::string("prlimit --as=") + limit.bytes + " " + TESSALY_CONVERT + " --jobs " +
                                limit.jobs + " --output-dir " + Q(dir.Path("out")) + " --" + inputs + " 2>" +
                                Q(dir.Path("err.txt"));
        const int rc = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(rc)) << "signal " << WTERMSIG(rc);
        const std::string err = ReadBytes(dir.Path("err.txt"));
        int written = 0, temporaries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path("out"))) {
            (entry.path().filename().string().starts_with('.') ? temporaries : written) += 1;
            std::filesystem::remove(entry.path());
        }
        EXPECT_EQ(temporaries, 0);
        const size_t last = err.rfind("tessaly-convert: ");
        ASSERT_NE(last, std::string::npos) << err;
        EXPECT_EQ(err.substr(last), "tessaly-convert: " + std::to_string(written) + " converted, " +
                                        std::to_string(kInputs - written) + " failed, " +
                                        std::to_string(written * 2000) + " points in all\n");
        EXPECT_EQ(WEXITSTATUS(rc), written == kInputs ? 0 : 1) << err;
        // One line a failed file, at most one notice about the jobs.
        const auto lines = std::count(err.begin(), err.end(), '\n');
        EXPECT_GE(lines, 1 + kInputs - written);
        EXPECT_LE(lines, 2 + kInputs - written) << err;
    }
}

// However many jobs, no more than four database readers run at once.
TEST(Convert, BatchDatabaseReadersBounded)
{
    TempDir dir;
    std::filesystem::create_directory(dir.Path("out"));
    std::vector<std::string> args = {TESSALY_CONVERT, "--jobs", "32", "--output-dir", dir.Path("out"), "--"};
    for (int i = 0; i < 32; ++i) {
        args.push_back(dir.Path(Numbered("d", i, ".mdb")));
        std::filesystem::copy_file(TestData("points-10000.mdb"), args.back());
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // The converter's children named as the reader, counted until it ends.
    int most = 0, status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        int readers = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::ifstream stat(entry.path() / "stat");
            std::string pidText, comm, state;
            pid_t parent = 0;
            if (stat >> pidText >> comm >> state >> parent && parent == pid && comm == "(tessaly-mdb-rea)") ++readers;
        }
        most = std::max(most, readers);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_GE(most, 1);
    EXPECT_LE(most, 4);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path("out")), {}), 32);
}

// The surveyor's path: a state-plane CSV given its CRS, saved in the four GIS
// formats, each read back; the WGS 84 outputs refuse points without a CRS, and points
// PROJ cannot move are named, nothing written.
TEST(Convert, CoordinateSystemsAndGisFiles)
{
    TempDir dir;
    const std::string csv = dir.Path("plane.csv");
    WriteBytes(csv, "1,172921.880868694,979475.050077194,12.25,IP\n2,173000.5,979500.25,,CP \xc3\xa4\n");
    for (const char* name : {"p.geojson", "p.kml", "p.shp", "p.gpkg"}) {
        const std::string out = dir.Path(name);
        Outcome r = RunConverter(dir, "--crs EPSG:2263 " + Q(csv) + " " + Q(out));
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        r = RunConverter(dir, "--crs EPSG:2263 " + Q(out) + " " + Q(dir.Path("back.csv")));
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        const std::string back = ReadBytes(dir.Path("back.csv"));
        EXPECT_NE(back.find("1,172921.88"), std::string::npos) << name << ": " << back;
        EXPECT_NE(back.find(",979500.2"), std::string::npos) << name << ": " << back;
    }
    Outcome r = Convert(dir, csv, dir.Path("none.geojson"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no coordinate system"), std::string::npos) << r.err;
    r = RunConverter(dir, "--crs EPSG:999999 " + Q(csv) + " " + Q(dir.Path("x.asc")));
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("x.asc")));
    r = RunConverter(dir, "--crs EPSG:2263 --to-crs EPSG:32618 " + Q(csv) + " " + Q(dir.Path("utm.asc")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadBytes(dir.Path("utm.asc")).find("4499404.09"), std::string::npos);
    WriteBytes(csv, "1,1e9,1e9,,far\n");
    r = RunConverter(dir, "--crs EPSG:32618 " + Q(csv) + " " + Q(dir.Path("far.kml")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("1 point cannot be transformed"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("far.kml")));
}

// LandXML comes from a module loaded on first use. A converter without it
// still converts everything else, and says for a LandXML file why it cannot.
TEST(Convert, WithoutItsLandXmlModule)
{
    TempDir dir;
    std::filesystem::create_directory(dir.Path("bin"));
    std::filesystem::copy_file(TESSALY_CONVERT, dir.Path("bin/tessaly-convert"));
    const std::string alone = Q(dir.Path("bin/tessaly-convert")) + " " + Q(TestData("reference/job.CRD"));
    EXPECT_EQ(std::system((alone + " " + Q(dir.Path("out.asc"))).c_str()), 0);
    const std::string err = dir.Path("err.txt");
    const int rc = std::system((alone + " " + Q(dir.Path("out.xml")) + " 2>" + Q(err)).c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) != 0);
    EXPECT_NE(ReadBytes(err).find("out.xml: LandXML and JobXML cannot be read or written here: "), std::string::npos)
        << ReadBytes(err);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.xml")));
}
