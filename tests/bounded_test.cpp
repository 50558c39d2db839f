// Hostile input: counts and lengths that come from a file never make a reader
// loop, allocate or block beyond what the file and the table allow.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "formats/readers.h"
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

// Loads FILE with the reader its name chooses; returns the error message or
// "" for a complete load.
std::string Load(PointTable& table, const std::string& file)
{
    try {
        ChooseReader(file).read(table, file);
        return "";
    } catch (const Error& e) {
        return e.what();
    }
}

}  // namespace

TEST(Bounded, CoordinateCountFarBeyondTheFile)
{
    TempDir dir;
    auto path = dir.Path("job.crd");
    WriteBytes(path, CrdNumeric(32767, {}));
    PointTable table;
    EXPECT_EQ(Load(table, path), "");
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
        std::string err = Load(table, path);
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
    for (const char* ext : {".crd", ".coo"}) {
        for (auto& [path, words] : std::vector<std::pair<std::string, std::string>>{
                 {folder + "/x" + ext, "file not found"},
                 {dir.Path(std::string("none") + ext), "file not found"}}) {
            PointTable table;
            EXPECT_NE(Load(table, path).find(words), std::string::npos) << path;
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
            auto start = std::chrono::steady_clock::now();
            std::string err = Load(table, link);
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << link;
            EXPECT_FALSE(err.empty()) << link << " loaded";
            EXPECT_EQ(table.CurrItems(), 0) << link;
            EXPECT_NE(err.find(words), std::string::npos) << err;
        }
    }
}

TEST(Bounded, UnreadableFileSaysPermissionDenied)
{
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempDir dir;
    auto path = dir.Path("job.crd");
    WriteBytes(path, CrdNumeric(0, {}));
    ::chmod(path.c_str(), 0);
    PointTable table;
    EXPECT_NE(Load(table, path).find("permission denied"), std::string::npos);
}
