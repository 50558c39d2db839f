#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "formats/formats.h"
#include "platform/error.h"
#include "platform/files/text_file.h"
#include "platform/text/codepage.h"
#include "platform/text/text_rules.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
struct WriterFixture : ::testing::Test {
    TempDir dir;
    PointTable table;
    ExportReport report;
    std::string Write()
    {
        auto path = dir.Path("out.asc");
        report = WriteAscFile(table, path);
        return ReadBytes(path);
    }
};

using Notices = std::vector<std::string>;
const std::string kOneBlanked = "1 field held a line break or a comma; written as blanks";
}  // namespace

TEST_F(WriterFixture, LinesAreByteExact)
{
    const struct {
        std::array<Cell, 5> cells;
        const char* line;
        Notices notices;
    } cases[] = {
        {{"12", "503.25", "407", "101.5", "IP FOUND"}, "12,503.25,407,101.5,IP FOUND\r\n", {}},
        {{"3", "503.25", "407", 0.0, ""}, "3,503.25,407, 0 ,\r\n", {}},
        {{Cell{}, Cell{}, Cell{}, Cell{}, Cell{}}, ",,,,\r\n", {}},
        {{"1", -12.25, 1e16, -0.0, "LOT 4, BLOCK 2"}, "1,-12.25 , 1E+16 , 0 ,LOT 4, BLOCK 2\r\n", {}},
        {{"  2  ", "", "", "", " CAF\xC3\x89 \"q\" \xE2\x82\xAC?"}, "  2  ,,,, CAF\xC9 \"q\" \x80?\r\n", {}},
        // Nothing may break the line or shift a column.
        {{"a", "", "", "", "x\ny"}, "a,,,,x y\r\n", {kOneBlanked}},
        {{"7", "1", "2", "3", "note\r\n666,9999999,9999999,0,INJECTED"},
         "7,1,2,3,note  666,9999999,9999999,0,INJECTED\r\n", {kOneBlanked}},
        {{"A,5", "1000", "2000", "10", ""}, "A 5,1000,2000,10,\r\n", {kOneBlanked}},
        {{"1", "5,5", "\r6", "7\n", "d"}, "1,5 5, 6,7 ,d\r\n",
         {"3 fields held a line break or a comma; written as blanks"}},
        // Greek, Cyrillic and Japanese have no place in the code page.
        {{"\xCE\xA9" "1", "", "", "", "\xD0\x9F\xD1\x80\xD0\xB8 \xE6\x97\xA5\xE6\x9C\xAC \xC3\xA9"}, "?1,,,,??? ?? \xE9\r\n",
         {"6 characters that Windows-1252 cannot hold written as \"?\""}},
        {{"\xF0\x9F\x98\x80\n", "", "", "", ""}, "? ,,,,\r\n",
         {"1 character that Windows-1252 cannot hold written as \"?\"", kOneBlanked}},
    };
    for (const auto& c : cases) {
        table.Clear();
        table.AddPoint(c.cells);
        EXPECT_EQ(Write(), c.line);
        EXPECT_EQ(report.notices, c.notices) << c.line;
        EXPECT_EQ(report.written, 1);
    }
    // A comma at each place of an eight-byte word, before the description
    // and in it: the writer looks at the line a word at a time.
    for (size_t k = 0; k < 17; ++k) {
        table.Clear();
        table.AddPoint({std::string(k, 'p') + ",", "1", "", "2", std::string(k, 'd') + ","});
        EXPECT_EQ(Write(), std::string(k, 'p') + " ,1,,2," + std::string(k, 'd') + ",\r\n") << k;
        EXPECT_EQ(report.notices, Notices{kOneBlanked}) << k;
        table.Clear();
        table.AddPoint({std::string(k, 'p'), "1", "", "2", std::string(k, 'd') + ",\t"});
        EXPECT_EQ(Write(), std::string(k, 'p') + ",1,,2," + std::string(k, 'd') + ",\t\r\n") << k;
        EXPECT_EQ(report.notices, Notices{}) << k;
    }
    // Embedded NUL: compare with the exact bytes.
    table.Clear();
    table.AddPoint({std::string("a\0b", 3), "", "", "", ""});
    EXPECT_EQ(Write(), std::string("a\0b,,,,\r\n", 9));
    // A line longer than the writer's buffer, between short ones.
    table.Clear();
    const std::string longText(100000, 'x');
    table.AddPoint({"1", "", "", "", ""});
    table.AddPoint({"2", "", "", "", longText});
    table.AddPoint({"3", 1.5, "", "", ""});
    EXPECT_EQ(Write(), "1,,,,\r\n2,,,," + longText + "\r\n3, 1.5 ,,,\r\n");
}

// Every byte of the code page comes back as a reader took it: descriptions
// of a coordinate file through the table (UTF-8) to the ASCII file. A NUL
// ends a coordinate file's description, and CR and LF are blanked, so those
// three go through a table cell.
TEST_F(WriterFixture, EveryCodePageByteComesBackAsRead)
{
    std::string bytes;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n') bytes += static_cast<char>(b);
    std::vector<CrdPoint> points;
    std::string expected;
    for (size_t at = 0; at < bytes.size(); at += 30) {
        const std::string d = "[" + bytes.substr(at, 30) + "]";  // no blank at either end
        points.push_back({1000.0 + static_cast<double>(points.size()), 2000, 0, d});
        expected += std::to_string(points.size()) + "," + NumberText(points.back().northing) + ",2000,0," + d + "\r\n";
    }
    WriteBytes(dir.Path("all.crd"), CrdNumeric(static_cast<double>(points.size()), points));
    ReadCrdFile(table, dir.Path("all.crd"));
    EXPECT_EQ(Write(), expected);
    EXPECT_EQ(report.notices, Notices{});

    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    table.Clear();
    table.AddPoint({"", "", "", "", Cp1252ToUtf8(all)});
    std::string blanked = all;
    blanked['\r'] = blanked['\n'] = ' ';
    EXPECT_EQ(Write(), ",,,," + blanked + "\r\n");
    EXPECT_EQ(report.notices, Notices{kOneBlanked});
}

// Python's csv module and our own reader see one row a point, its coordinates
// in their columns, whatever its texts held.
TEST_F(WriterFixture, IndependentReadersSeeOneRowAPoint)
{
    table.AddPoint({"A,5", "1000", "2000", "10", "x\r\n666,9999999,9999999,0,INJECTED"});
    table.AddPoint({"2", "5", "6\n", "3", "\xCE\xA9 LOT 4, BLOCK \"2\""});
    Write();
    const std::string path = dir.Path("out.asc");
    PointTable back;
    EXPECT_EQ(LoadOutcome(back, path), "");
    ASSERT_EQ(back.CurrItems(), 2);
    EXPECT_EQ(RowTexts(back, 0), (std::vector<std::string>{"A 5", "1000", "2000", "10", "x  666,9999999,9999999,0,INJECTED"}));
    EXPECT_EQ(RowTexts(back, 1), (std::vector<std::string>{"2", "5", "6", "3", "? LOT 4, BLOCK \"2\""}));

    if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 not found";
    const std::string script = "import csv,sys\n"
                               "for r in csv.reader(open(sys.argv[1], encoding='cp1252', newline='')):\n"
                               "    print('|'.join(r[:4]))\n";
    std::FILE* pipe = ::popen(("python3 -c \"" + script + "\" '" + path + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    for (int ch; (ch = std::fgetc(pipe)) != EOF;) out += static_cast<char>(ch);
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(out, "A 5|1000|2000|10\n2|5|6 |3\n");
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
    // (and it holds for root too, unlike folder permissions). The writer
    // ignores SIGXFSZ, which would otherwise end the program.
    auto path = dir.Path("out.asc");
    WriteBytes(path, "OLD");
    for (int i = 0; i < 10000; ++i) table.AddPoint({std::to_string(i), "5000.125", "1000.5", "100", "DESC"});
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(WriteAscFile(table, path), Error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(ReadBytes(path), "OLD");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 1) << "no temporary file left";
}

TEST_F(WriterFixture, UnwritableTargetsFailCleanly)
{
    auto path = dir.Path("out.asc");
    WriteBytes(path, "OLD");
    ::chmod(path.c_str(), 0444);  // by the mode, whoever runs the test, root too
    table.AddPoint({"1", "", "", "", ""});
    const struct {
        std::string target;
        std::string error;
    } cases[] = {
        {dir.Path("missing-folder/out.asc"), "cannot write in folder"},
        {dir.Root().string(), "is a folder"},
        {path, path + ": is read-only"},
    };
    for (const auto& c : cases) {
        try {
            WriteAscFile(table, c.target);
            ADD_FAILURE() << c.target;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(ReadBytes(path), "OLD");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 1);
}

TEST_F(WriterFixture, WritesThroughOwnSymbolicLinksAndFitsLongNames)
{
    std::filesystem::create_directory(dir.Path("real"));
    WriteBytes(dir.Path("real/a.asc"), "OLD");
    WriteBytes(dir.Path("b.asc"), "OLD");
    table.AddPoint({"1", "", "", "", ""});
    const struct {
        std::string name, link;  // LINK empty: no link
        std::string written;     // the file that must hold the points; empty: refused
    } cases[] = {
        {"to-other-folder.asc", dir.Path("real/a.asc"), dir.Path("real/a.asc")},
        {"relative.asc", "b.asc", dir.Path("b.asc")},
        {"to-a-link.asc", "relative.asc", dir.Path("b.asc")},
        {"dangling.asc", "real/new.asc", ""},  // refused: a link to nothing is never followed
        {std::string(244, 'n') + ".asc", "", dir.Path(std::string(244, 'n') + ".asc")},  // 248 bytes
        {std::string(251, 'n') + ".asc", "", dir.Path(std::string(251, 'n') + ".asc")},  // 255 bytes
    };
    for (const auto& c : cases) {
        const std::string path = dir.Path(c.name);
        if (!c.link.empty()) {
            ASSERT_EQ(::symlink(c.link.c_str(), path.c_str()), 0);
        }
        try {
            WriteAscFile(table, path);
            EXPECT_NE(c.written, "") << c.name;
        } catch (const Error& e) {
            EXPECT_EQ(c.written, "") << e.what();
        }
        if (!c.written.empty()) {
            EXPECT_EQ(ReadBytes(c.written), "1,,,,\r\n") << c.name;
        }
        EXPECT_EQ(std::filesystem::is_symlink(path), !c.link.empty()) << c.name;
    }
    for (const auto& folder : {dir.Root(), dir.Root() / "real"})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            EXPECT_NE(entry.path().filename().string()[0], '.') << "temporary left: " << entry.path();
}

TEST_F(WriterFixture, KeepsOwnerAndGroupButNoSetIdBits)
{
    auto path = dir.Path("out.asc");
    WriteBytes(path, "OLD");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    ::chmod(path.c_str(), 06754);
    table.AddPoint({"1", "", "", "", ""});
    WriteAscFile(table, path);
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0754u);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
}

TEST_F(WriterFixture, CatchableSignalsRemoveTheTemporary)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const rlimit noCore{0, 0};  // SIGQUIT would dump one
            ::setrlimit(RLIMIT_CORE, &noCore);
            ReplacingFileWriter out(dir.Path("out.asc"));
            out.Write("half a file");
            ::raise(sig);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Root()), {}), 0) << "signal " << sig;
    }
}
