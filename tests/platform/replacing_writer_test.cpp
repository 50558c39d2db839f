// The file writer among links planted by others, and what a kill or a
// terminating signal leaves of its temporary files: nothing.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/files/text_file.h"
#include "platform/signal_cleanup.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
constexpr uid_t kNobody = 65534;

// Writes "NEW" over TARGET; the message when it is refused.
std::string Replace(const std::string& target)
{
    try {
        ReplacingFileWriter out(target);
        out.Write("NEW");
        out.Commit();
        return "";
    } catch (const Error& e) {
        return e.what();
    }
}

std::vector<std::string> Names(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}
}  // namespace

// A link is followed only when its owner is the user or the folder's owner,
// root included; never to a file that does not exist; never in a batch.
TEST(ReplacingFileWriter, FollowsOnlyLinksItMayTrust)
{
    TempDir dir;
    const std::string outside = dir.Path("outside"), shared = dir.Path("shared"), theirs = dir.Path("theirs");
    for (const auto& folder : {outside, shared, theirs}) std::filesystem::create_directory(folder);
    ::chmod(shared.c_str(), 01777);  // as /tmp
    const bool otherOwners = ::geteuid() != kNobody && ::chown(theirs.c_str(), kNobody, kNobody) == 0;
    const struct {
        std::string link, text;  // TEXT "@X": outside/X
        bool nobodyOwns;         // the link; else the test's user
        bool batch;
        std::string written;  // the outside file that gets the bytes; empty: refused
        std::string error;
    } cases[] = {
        {"shared/mine", "@a", false, false, "a", ""},
        {"shared/chain", "mine", false, false, "a", ""},
        {"shared/in-batch", "@a", false, true, "", "a batch never writes through"},
        {"shared/dangling", "@new", false, false, "", "leads nowhere"},
        {"shared/dangling-folder", "@missing/new", false, false, "", "leads nowhere"},
        {"shared/dangling-in-batch", "@new", false, true, "", "a batch never writes through"},
        {"shared/planted", "@b", true, false, "", "neither you nor the folder's owner"},
        {"shared/via-planted", "planted", false, false, "", "neither you nor the folder's owner"},
        {"theirs/owners", "@b", true, false, "b", ""},
    };
    for (const auto& c : cases) {
        const std::string link = dir.Path(c.link);
        const std::string text = c.text.starts_with('@') ? outside + "/" + c.text.substr(1) : c.text;
        ASSERT_EQ(::symlink(text.c_str(), link.c_str()), 0) << c.link;
        if (!otherOwners && (c.nobodyOwns || c.text == "planted")) continue;  // needs root
        if (c.nobodyOwns) {
            ASSERT_EQ(::lchown(link.c_str(), kNobody, kNobody), 0);
        }
        for (const char* name : {"a", "b"}) {
            WriteBytes(outside + "/" + name, "OLD");
            ::chmod((outside + "/" + name).c_str(), 0600);
        }
        std::optional<NoWritingThroughLinks> batch;
        if (c.batch) batch.emplace();
        const std::string error = Replace(link);
        if (c.error.empty())
            EXPECT_EQ(error, "") << c.link;
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << c.link << ": " << error;
        for (const std::string name : {"a", "b"})
            EXPECT_EQ(ReadBytes(outside + "/" + name), name == c.written ? "NEW" : "OLD") << c.link << " " << name;
        EXPECT_FALSE(std::filesystem::exists(outside + "/new")) << c.link;
        EXPECT_TRUE(std::filesystem::is_symlink(link)) << c.link;
    }
    for (const auto& folder : {outside, shared, theirs})
        for (const auto& name : Names(folder)) EXPECT_NE(name[0], '.') << "temporary left: " << name;
    if (!otherOwners) GTEST_SKIP() << "links of another owner need root";
}

// However many temporaries are registered, every terminating signal removes
// them all, and only them; a forked child touches none of its parent's.
TEST(SignalCleanup, EveryTerminatingSignalRemovesEveryTemporary)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE}) {
        TempDir dir;
        const pid_t pid = ::fork();
        if (pid == 0) {
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            const int folder = ::open(dir.Root().c_str(), O_PATH | O_DIRECTORY);
            std::vector<cleanup::FileEntry*> entries;
            for (int i = 0; i < 100; ++i) {
                const std::string name = (i % 3 ? ".temp" : "kept") + std::to_string(i);
                WriteBytes(dir.Path(name), "x");
                entries.push_back(cleanup::AddFile(folder, name));
                if (!entries.back()) ::_exit(2);
            }
            for (int i = 0; i < 100; i += 3) cleanup::RemoveFile(entries[static_cast<size_t>(i)]);
            // A child of this one that gets the signal leaves them alone.
            const pid_t child = ::fork();
            if (child == 0) ::raise(sig);
            int status = 0;
            ::waitpid(child, &status, 0);
            if (!WIFSIGNALED(status) || Names(dir.Root()).size() != 100) ::_exit(3);
            ::raise(sig);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << strsignal(sig) << " " << status;
        for (const auto& name : Names(dir.Root())) EXPECT_TRUE(name.starts_with("kept")) << strsignal(sig) << ": " << name;
        EXPECT_EQ(Names(dir.Root()).size(), 34u) << strsignal(sig);
    }
}

// SIGKILL at any moment of a large write leaves the old file and nothing else.
TEST(ReplacingFileWriter, KillMidWriteLeavesNothing)
{
    TempDir dir;
    const int probe = ::open(dir.Root().c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (probe < 0) GTEST_SKIP() << "no unnamed files in " << dir.Root();
    ::close(probe);
    const std::string target = dir.Path("out.asc");
    WriteBytes(target, "OLD");
    for (int run = 0; run < 5; ++run) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ReplacingFileWriter out(target);
            const std::string chunk(size_t{1} << 16, 'x');
            for (int i = 0; i < 4000; ++i) {
                out.Write(chunk);
                if (i == run * 30) (void)!::write(ready[1], "!", 1);
            }
            ::_exit(1);  // not killed: the test fails
        }
        char c;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << run;
        EXPECT_EQ(Names(dir.Root()), std::vector<std::string>{"out.asc"}) << run;
        EXPECT_EQ(ReadBytes(target), "OLD");
    }
}
