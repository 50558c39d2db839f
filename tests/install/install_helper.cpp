// Helper of the installation checks (check_install):
//   install_helper samples DIR
//     writes a small point file of each format the fixture builders make
//   install_helper watch-open SECONDS FILE COMMAND [ARG...]
//     starts COMMAND and waits until it has opened and closed FILE; succeeds
//     when that happens within SECONDS and COMMAND is still running half a
//     second later (it is stopped then)
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/fixtures.h"

extern char** environ;

using namespace tessaly::test;

namespace {
int Samples(const std::string& dir)
{
    WriteBytes(dir + "/site.crd", CrdNumeric(3, {{5000.5, 1000.25, 100, "IP FOUND"}, {0, 0, 0, "EMPTY"},
                                                {5020, 1020, 102, "CP"}}));
    WriteBytes(dir + "/site.coo", CooBlock("1", "IP FOUND", "1000.25", "5000.5", "100") +
                                      CooBlock("2", "CP", "1010", "5010", "101"));
    WriteBytes(dir + "/site.cr5", Cr5File({{5, 512.5, 100, -12.25, "FENCE"}, {7, 1, 2, 3, "GATE"}}, "TDS"));
    WriteBytes(dir + "/site.grd", "100,500,110,520,1,1\r\n101.5,102\r\n103,104\r\n");
    WriteBytes(dir + "/JOB1", SurveyorOneFile({{100, 200, 10}, {-5, 7.5, 1}}, true));
    WriteBytes(dir + "/JOB1W", SurveyorDescriptions({"IP FOUND", "CP"}));
    return 0;
}

int WatchOpen(int seconds, const std::string& file, char** command)
{
    const int in = ::inotify_init1(IN_CLOEXEC);
    if (in < 0 || ::inotify_add_watch(in, file.c_str(), IN_CLOSE_NOWRITE) < 0) {
        std::perror(file.c_str());
        return 2;
    }
    pid_t child = 0;
    if (::posix_spawnp(&child, command[0], nullptr, nullptr, command, environ) != 0) {
        std::perror(command[0]);
        return 2;
    }
    pollfd p{in, POLLIN, 0};
    const bool closed = ::poll(&p, 1, seconds * 1000) == 1;
    // Time to fail after the load, if it were going to.
    if (closed) ::usleep(500 * 1000);
    int status = 0;
    const bool running = ::waitpid(child, &status, WNOHANG) == 0;
    if (running) {
        ::kill(child, SIGTERM);
        ::waitpid(child, &status, 0);
    }
    if (!closed) std::fprintf(stderr, "watch-open: %s was not read within %d s\n", file.c_str(), seconds);
    if (!running) std::fprintf(stderr, "watch-open: %s ended early (status %d)\n", command[0], status);
    return closed && running ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv)
{
    const std::string_view what = argc > 1 ? argv[1] : "";
    if (what == "samples" && argc == 3) return Samples(argv[2]);
    if (what == "watch-open" && argc >= 5) return WatchOpen(std::atoi(argv[2]), argv[3], argv + 4);
    std::fputs("usage: install_helper samples DIR | watch-open SECONDS FILE COMMAND...\n", stderr);
    return 2;
}
