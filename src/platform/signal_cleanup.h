#pragma once
// What must not outlive the program: the database reader processes it has
// started and the temporary files it is writing. While any is registered,
// SIGTERM, SIGINT and SIGHUP end every registered reader and remove every
// registered temporary file before the signal ends the program as it would
// have. A signal whose handling someone else has set (ignored under nohup, a
// handler of the program's own) is left alone.
#include <csignal>
#include <string>
#include <sys/types.h>

namespace tessaly::cleanup {

// Registers a running reader; false when every slot is taken (it then only
// ends with its parent, through the parent-death signal).
bool AddProcess(pid_t pid);
// Forgets PID; call before waiting for it, so that a new process that gets
// the same number is never hit.
void RemoveProcess(pid_t pid);

// Registers a temporary file; returns its slot, or -1 when none is free or
// the name is too long to keep.
int AddFile(const std::string& path);
void RemoveFile(int slot);

// Blocks the three signals for the life of the object, so that a child
// forked meanwhile cannot run the handler before it has set them back to
// their default actions.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t saved_;
};

}  // namespace tessaly::cleanup
