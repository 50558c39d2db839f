#include "platform/signal_cleanup.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace tessaly::cleanup {

namespace {
constexpr int kSlots = 16;
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

constinit std::atomic<pid_t> g_processes[kSlots]{};

// A file slot is free (0), being filled (1) or holds a name (2); the handler
// only reads names in state 2.
// Set up at compile time: a constructor run at start would write to each of
// the 16 pages the slots span, a page fault each in every run of a program.
struct FileSlot {
    std::atomic<int> state{0};
    char path[PATH_MAX]{};
};
constinit FileSlot g_files[kSlots];

static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// Only async-signal-safe calls from here on.
void OnSignal(int sig)
{
    const int saved = errno;
    for (auto& p : g_processes) {
        const pid_t pid = p.exchange(0);
        if (pid > 0) ::kill(pid, SIGKILL);
    }
    for (auto& f : g_files)
        if (f.state.load() == 2) ::unlink(f.path);
    // Back to the default action; the signal, blocked while this handler
    // runs, is delivered again on return and ends the program.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);
    errno = saved;
}

void InstallHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int sig : kSignals) {
            struct sigaction old {};
            if (::sigaction(sig, nullptr, &old) != 0) continue;
            if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler != SIG_DFL) continue;
            struct sigaction act {};
            act.sa_handler = OnSignal;
            sigemptyset(&act.sa_mask);
            for (int other : kSignals) sigaddset(&act.sa_mask, other);
            act.sa_flags = SA_RESTART;
            ::sigaction(sig, &act, nullptr);
        }
    });
}
}  // namespace

bool AddProcess(pid_t pid)
{
    InstallHandlers();
    for (auto& p : g_processes) {
        pid_t free = 0;
        if (p.compare_exchange_strong(free, pid)) return true;
    }
    return false;
}

void RemoveProcess(pid_t pid)
{
    for (auto& p : g_processes) {
        pid_t mine = pid;
        p.compare_exchange_strong(mine, 0);
    }
}

int AddFile(const std::string& path)
{
    if (path.size() >= PATH_MAX) return -1;
    InstallHandlers();
    for (int i = 0; i < kSlots; ++i) {
        int free = 0;
        if (!g_files[i].state.compare_exchange_strong(free, 1)) continue;
        std::memcpy(g_files[i].path, path.c_str(), path.size() + 1);
        g_files[i].state.store(2);
        return i;
    }
    return -1;
}

void RemoveFile(int slot)
{
    if (slot >= 0 && slot < kSlots) g_files[slot].state.store(0);
}

SignalsHeld::SignalsHeld()
{
    sigset_t held;
    sigemptyset(&held);
    for (int sig : kSignals) sigaddset(&held, sig);
    ::pthread_sigmask(SIG_BLOCK, &held, &saved_);
}

SignalsHeld::~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

}  // namespace tessaly::cleanup
