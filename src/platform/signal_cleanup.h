#pragma once
// What must not outlive the program: the database reader processes it has
// started and the temporary files it is writing. While any is registered,
// every catchable signal whose default is to end the program (TERM, INT, HUP,
// QUIT, USR1, USR2, ALRM, PIPE) ends every registered reader and removes every
// registered temporary file before the signal ends the program as it would
// have. A signal whose handling someone else has set (ignored under nohup, a
// handler of the program's own) is left alone. A forked child that gets one
// of them before it execs touches only what it registered itself.
#include <csignal>
#include <string_view>
#include <sys/types.h>

namespace tessaly::cleanup {

// Registers a running reader; false when every slot is taken (it then only
// ends with its parent, through the parent-death signal).
bool AddProcess(pid_t pid);
// Forgets PID; call before waiting for it, so that a new process that gets
// the same number is never hit.
void RemoveProcess(pid_t pid);

// Registers the temporary file NAME in the folder open as FOLDER (which must
// stay open until RemoveFile); null when NAME is longer than a file name can
// be. There is no limit on how many are registered at once.
struct FileEntry;
FileEntry* AddFile(int folder, std::string_view name);
void RemoveFile(FileEntry* entry);

// Blocks the signals for the life of the object, so that a child forked
// meanwhile cannot run the handler before it has set them back to their
// default actions, and a file being named is registered before a signal can
// come.
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
