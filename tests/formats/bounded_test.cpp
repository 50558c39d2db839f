// Hostile input: counts and lengths that come from a file never make a reader
// loop, allocate or block beyond what the file and the table allow. A reader
// that loops or blocks anyway runs into the test's time limit (set in
// CMakeLists.txt), far above what these loads take.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "formats/formats.h"
#include "platform/files/binary_file.h"
#include "platform/error.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {

// Runs FN in a child process and returns how much its peak resident memory
// grew, in MiB, over a child that does nothing. -1 when the child failed.
long ChildPeakGrowthMiB(const std::function<void()>& fn)
{
    auto peak = [](const std::function<void()>& body) -> long {
        pid_t pid = ::fork();
        if (pid == 0) {
            body();
            ::_exit(0);
        }
        int status = 0;
        struct rusage use {};
        ::wait4(pid, &status, 0, &use);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
        return use.ru_maxrss;  // KiB
    };
    long base = peak([] {});
    long used = peak(fn);
    return used < 0 ? -1 : (used - base) / 1024;
}

}  // namespace

TEST(Bounded, CoordinateCountFarBeyondTheFile)
{
    TempDir dir;
    auto path = dir.Path("job.crd");
    WriteBytes(path, CrdNumeric(32767, {}));
    PointTable table;
    EXPECT_EQ(LoadOutcome(table, path), "");
    EXPECT_EQ(table.CurrItems(), 0);
}

TEST(Bounded, CogoLineOfFiftyMegabytesKeepsOnlyWhatItUses)
{
    TempDir dir;
    auto path = dir.Path("job.coo");
    {
        std::string line(50u << 20, '7');
        line += "\n1\n2\n3";  // line feeds alone never end a line
        WriteBytes(path, line);
    }
    long growth = ChildPeakGrowthMiB([&] {
        PointTable table;
        std::string err = LoadOutcome(table, path);
        if (err.find("line 2 is missing") == std::string::npos || table.CurrItems() != 0) ::_exit(1);
    });
    ASSERT_GE(growth, 0) << "the load did not fail as expected";
    EXPECT_LT(growth, 16) << "MiB of memory for a 50 MiB line";
}

TEST(Bounded, OnlyOrdinaryFilesAreRead)
{
    TempDir dir;
    auto folder = dir.Path("folder");
    ::mkdir(folder.c_str(), 0755);
    auto fifo = dir.Path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    for (const char* ext : {".crd", ".coo", ".cr5", ".grd", ".mdb", ".pts", ""}) {
        for (auto& [path, words] : std::vector<std::pair<std::string, std::string>>{
                 {folder + "/x" + ext, "file not found"},
                 {dir.Path(std::string("none") + ext), "file not found"}}) {
            PointTable table;
            EXPECT_NE(LoadOutcome(table, path).find(words), std::string::npos) << path;
        }
        // Folders, FIFOs and devices under a reader's extension: each read
        // through a link with that extension.
        for (auto& [target, words] : std::vector<std::pair<std::string, std::string>>{
                 {folder, "folder"}, {fifo, "not an ordinary file"}, {"/dev/zero", "not an ordinary file"}}) {
            auto link = dir.Path("link" + std::to_string(std::hash<std::string>{}(target)) + ext);
            ::unlink(link.c_str());
            ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
            PointTable table;
            table.AddPoint();
            std::string err = LoadOutcome(table, link);
            EXPECT_FALSE(err.empty()) << link << " loaded";
            // A database that cannot be opened leaves the table as it was;
            // every other reader has cleared it before opening the file.
            EXPECT_EQ(table.CurrItems(), ext == std::string(".mdb") ? 1 : 0) << link;
            EXPECT_NE(err.find(words), std::string::npos) << err;
        }
    }
}

TEST(Bounded, UnreadableFileSaysPermissionDenied)
{
    TempDir dir;
    auto path = dir.Path("job.crd");
    WriteBytes(path, CrdNumeric(0, {}));
    ::chmod(path.c_str(), 0);
    // Root reads every file, so the load runs in a child that gives up root
    // for the "nobody" account first.
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        PointTable table;
        ::_exit(LoadOutcome(table, path).find("permission denied") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the message does not say permission denied";
}

TEST(Bounded, GridDeclaringTwoBillionNodes)
{
    TempDir dir;
    auto path = dir.Path("job.grd");
    std::string values;
    for (int i = 0; i < 10050; ++i) values += "1\r\n";
    const struct {
        std::string file;
        int32_t rows;
        const char* error;
    } cases[] = {
        {"0,0,100,100,44720,44720\r\n1\r\n2\r\n", 2, "end"},
        {"0,0,100,100,44720,44720\r\n" + values, 10000, "only the first 10000"},
        {"0,0,100,100,-1,2147483647\r\n", 0, ""},
        {"0,0,100,100,9999999999,1\r\n", 0, "range"},
    };
    for (const auto& c : cases) {
        WriteBytes(path, c.file);
        PointTable table;
        std::string err = LoadOutcome(table, path);
        EXPECT_EQ(table.CurrItems(), c.rows);
        if (*c.error == 0) EXPECT_EQ(err, "");
        else EXPECT_NE(err.find(c.error), std::string::npos) << err;
    }
}

TEST(Bounded, GridTextFieldsKeepABoundedPart)
{
    TempDir dir;
    const struct {
        std::string head;
        int64_t size;       // the file's length: a sparse file, NULs after HEAD
        std::string tail;   // written after the hole
        const char* error;  // "": a complete load
    } cases[] = {
        {"0,0,1,1,1,1\r\n" + std::string(1000, 'x'), 50 << 20, "\r\n2,3,4\r\n", ""},
        {"0,0,1,1,1,1\r\n", int64_t{128} << 20, "", "before field 8"},
    };
    for (const auto& c : cases) {
        auto path = dir.Path("job.grd");
        WriteBytes(path, c.head);
        ASSERT_EQ(::truncate(path.c_str(), c.size), 0);
        {
            std::FILE* f = std::fopen(path.c_str(), "ab");
            std::fwrite(c.tail.data(), 1, c.tail.size(), f);
            std::fclose(f);
        }
        long growth = ChildPeakGrowthMiB([&] {
            PointTable table;
            if (LoadOutcome(table, path).find(c.error) == std::string::npos) ::_exit(1);
            if (CellText(table.Get(ColElevation, 0)).size() != 256) ::_exit(1);
        });
        ASSERT_GE(growth, 0) << "the load did not end as expected: " << c.size;
        EXPECT_LT(growth, 16) << "MiB of memory for a field of " << c.size << " bytes";
    }
}

TEST(Bounded, AFileCutShortWhileReadSaysWhereItEnded)
{
    TempDir dir;
    auto path = dir.Path("job.cr5");
    WriteBytes(path, std::string(100000, 'x'));
    BinaryFile in(path);
    ASSERT_EQ(::truncate(path.c_str(), 1000), 0);
    const struct {
        int64_t at;
        const char* error;
    } cases[] = {
        {500, "the file ends at byte 1000, inside the 4096 bytes read at byte 500"},
        {5000, "the file ends at byte 1000, inside the 4096 bytes read at byte 5000"},
    };
    std::vector<char> buf(4096);
    for (const auto& c : cases) {
        in.Seek(c.at);
        try {
            in.ReadExact(buf.data(), buf.size());
            ADD_FAILURE() << c.at;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), path + ": " + c.error);
        }
    }
}

TEST(Bounded, SurveyorOneCountBeyondSixteenBitsFailsBeforeReading)
{
    TempDir dir;
    auto path = dir.Path("job");
    // 32768 records of 26 bytes: the count does not fit, whatever the bytes.
    WriteBytes(path, std::string(26 * 32768, '\0'));
    PointTable table;
    EXPECT_NE(LoadOutcome(table, path).find("32767"), std::string::npos);
    EXPECT_EQ(table.CurrItems(), 0);
}
