#include "platform/signal_cleanup.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sched.h>
#include <unistd.h>

namespace tessaly::cleanup {

namespace {
constexpr int kProcessSlots = 16;
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE};

// A process slot is free (0), being claimed (-1) or holds a pid. OWNER is the
// process that registered it: a child forked from the program inherits the
// table, and must not end its parent's readers.
struct ProcessSlot {
    std::atomic<pid_t> pid{0};
    std::atomic<pid_t> owner{0};
};
constinit ProcessSlot g_processes[kProcessSlots];

static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
              std::atomic<void*>::is_always_lock_free);
}  // namespace

// A file entry is free (0), being filled (1), registered (2), or held by a
// handler that is looking at it (3).
struct FileEntry {
    std::atomic<int> state{0};
    pid_t owner = 0;
    int folder = -1;
    char name[NAME_MAX + 1]{};
};

namespace {
// Entries come in chunks linked into a list that only grows: a handler can
// walk it at any moment without a lock, and a writer that finds every entry
// taken adds a chunk. The list is as long as the most temporaries ever
// written at once needed. The first chunk is set up at compile time, so a
// run that writes nothing pays nothing for it.
struct FileChunk {
    FileEntry entries[16];
    std::atomic<FileChunk*> next{nullptr};
};
constinit FileChunk g_files;

// Only async-signal-safe calls from here on.
void OnSignal(int sig)
{
    const int saved = errno;
    const pid_t me = ::getpid();
    for (auto& p : g_processes)
        if (p.pid.load() > 0 && p.owner.load() == me)
            if (const pid_t pid = p.pid.exchange(0); pid > 0) ::kill(pid, SIGKILL);
    for (FileChunk* chunk = &g_files; chunk; chunk = chunk->next.load())
        for (auto& f : chunk->entries) {
            int registered = 2;
            if (!f.state.compare_exchange_strong(registered, 3)) continue;
            if (f.owner == me) {
                ::unlinkat(f.folder, f.name, 0);
            } else {
                f.state.store(2);
            }
        }
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
            // Only a signal at its default action ends the program: one
            // that is ignored, or handled by the program around us (a test
            // driver's alarm, say), is left as it is.
            if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
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
        if (!p.pid.compare_exchange_strong(free, -1)) continue;
        p.owner.store(::getpid());
        p.pid.store(pid);
        return true;
    }
    return false;
}

void RemoveProcess(pid_t pid)
{
    for (auto& p : g_processes) {
        pid_t mine = pid;
        p.pid.compare_exchange_strong(mine, 0);
    }
}

FileEntry* AddFile(int folder, std::string_view name)
{
    if (name.size() > NAME_MAX) return nullptr;
    InstallHandlers();
    for (FileChunk* chunk = &g_files;;) {
        for (auto& f : chunk->entries) {
            int free = 0;
            if (!f.state.compare_exchange_strong(free, 1)) continue;
            f.owner = ::getpid();
            f.folder = folder;
            std::memcpy(f.name, name.data(), name.size());
            f.name[name.size()] = '\0';
            f.state.store(2);
            return &f;
        }
        FileChunk* next = chunk->next.load();
        if (!next) {
            auto* fresh = new (std::nothrow) FileChunk;
            if (!fresh) return nullptr;
            if (chunk->next.compare_exchange_strong(next, fresh))
                next = fresh;
            else
                delete fresh;  // another writer added one; NEXT is it
        }
        chunk = next;
    }
}

void RemoveFile(FileEntry* entry)
{
    if (!entry) return;
    int registered = 2;
    if (entry->state.compare_exchange_strong(registered, 0)) return;
    // A handler on another thread holds it: its folder must stay open until
    // the handler is done (and then the program ends).
    while (entry->state.load() == 3) ::sched_yield();
    registered = 2;
    entry->state.compare_exchange_strong(registered, 0);
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
