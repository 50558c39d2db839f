#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "formats/formats.h"
#include "platform/error.h"
#include "platform/files/text_file.h"
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
    // A line longer than the writer's buffer, between short ones.
    table.Clear();
    const std::string longText(100000, 'x');
    table.AddPoint({"1", "", "", "", ""});
    table.AddPoint({"2", "", "", "", longText});
    table.AddPoint({"3", 1.5, "", "", ""});
    EXPECT_EQ(Write(), "1,,,,\r\n2,,,," + longText + "\r\n3, 1.5 ,,,\r\n");
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

TEST_F(WriterFixture, WritesThroughSymbolicLinksAndFitsLongNames)
{
    std::filesystem::create_directory(dir.Path("real"));
    WriteBytes(dir.Path("real/a.asc"), "OLD");
    WriteBytes(dir.Path("b.asc"), "OLD");
    table.AddPoint({"1", "", "", "", ""});
    const struct {
        std::string name, link;  // LINK empty: no link
        std::string written;     // the file that must hold the points
    } cases[] = {
        {"to-other-folder.asc", dir.Path("real/a.asc"), dir.Path("real/a.asc")},
        {"relative.asc", "b.asc", dir.Path("b.asc")},
        {"to-a-link.asc", "relative.asc", dir.Path("b.asc")},
        {"dangling.asc", "real/new.asc", dir.Path("real/new.asc")},
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
        } catch (const Error& e) {
            ADD_FAILURE() << e.what();
        }
        EXPECT_EQ(ReadBytes(c.written), "1,,,,\r\n") << c.name;
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
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
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
