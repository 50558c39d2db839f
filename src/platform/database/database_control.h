#pragma once
// The database component: one table of a Microsoft Access database, walked
// record by record, each bound field presented as text.
//
// The database is never opened inside this process. mdbtools crashes on some
// damaged files and formats numbers by the locale of the process it runs in,
// so a program of our own, tessaly-mdb-reader, opens the file with LC_ALL=C
// and streams the records over a pipe. A reader that crashes, stops
// answering or reports a failure becomes an Error here, so nothing a
// database holds can bring the calling program down.
//
// The reader is handed the database as a descriptor opened and checked here,
// never by name, so that only the ordinary file checked is ever read. It runs
// under limits of address space and processor time sized from the data the
// file holds (its allocated size, not a length padded with a hole) up to a
// ceiling, so a damaged file on which mdbtools spins and allocates fails
// within seconds; it ends when the program that started it ends, by a
// parent-death signal and through platform/signal_cleanup.h.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace tessaly {

struct DatabaseOptions {
    // The database reader to run; empty for tessaly-mdb-reader in the
    // folder of the running program.
    std::string reader;
    // How long the reader may go without sending anything.
    std::chrono::milliseconds timeout = std::chrono::seconds(60);
};

// While a component waits for its reader, it calls the hook its thread set
// here about every 50 milliseconds (from that thread). A hook that returns
// false cancels: the reader is stopped and the operation fails with "the load
// was cancelled". The hook is set, for the thread that made the object, for
// the life of the object.
class DatabaseWaitHook {
public:
    explicit DatabaseWaitHook(std::function<bool()> hook);
    ~DatabaseWaitHook();
    DatabaseWaitHook(const DatabaseWaitHook&) = delete;
    DatabaseWaitHook& operator=(const DatabaseWaitHook&) = delete;

private:
    std::function<bool()> previous_;
};

// While an object of this class lives, the database components of the thread
// that made it hand their loads to one reader it keeps running, a request a
// database, instead of starting a reader for each: the converter's batch form
// keeps one on each of its workers. A reader that crashes, stops answering or
// reports a failure fails that load only and is started afresh for the next;
// the limits of memory and processor time apply to each request. The reader
// ends with the object, which must be destroyed on the thread that made it.
class DatabaseReaderSession {
public:
    DatabaseReaderSession();
    ~DatabaseReaderSession();
    DatabaseReaderSession(const DatabaseReaderSession&) = delete;
    DatabaseReaderSession& operator=(const DatabaseReaderSession&) = delete;

private:
    friend class DatabaseControl;
    // A reader process and our ends of its pipes.
    struct ReaderProcess {
        pid_t pid = -1;
        int requests = -1;  // our end of its standard input (a serving reader's)
        int frames = -1;    // our end of its standard output
        // Closes our ends, then kills the process and collects it.
        void Stop();
    };
    ReaderProcess reader_;
    DatabaseReaderSession* previous_;
};

// The limits of memory and processor time a reader runs under.
struct ReaderLimits;

class DatabaseControl {
public:
    // The record source (a table name) and the fields bound to it, found by
    // name in any letter case and in any position in the table.
    DatabaseControl(std::string recordSource, std::vector<std::string> fields, DatabaseOptions options = {});
    ~DatabaseControl();
    DatabaseControl(const DatabaseControl&) = delete;
    DatabaseControl& operator=(const DatabaseControl&) = delete;

    // Names the database and opens the record source in it, positioned
    // before its first record is fetched. Fails with an Error naming the file
    // when it is missing, not an ordinary file (at once, for a FIFO too), not
    // a database, lacks the table or one of the fields, or is damaged in a way
    // seen before any record is read.
    void SetDatabaseName(const std::string& file);

    // The current record's text of a bound field (UTF-8). Fails when
    // there is no current record or the field is not bound.
    std::string FieldText(std::string_view field);
    // Moves to the next record. Fails when there is no current record, and
    // when the database turns out damaged: the reader crashed or stopped
    // answering, or fewer records could be read than the table declares.
    void MoveNext();
    // True once the walk has moved past the last record (at once for a table
    // without records).
    bool EndOfFile();

    // The number of records the table says it holds.
    int64_t DeclaredRecords() const { return declared_; }

    // Stops the reader and forgets the database.
    void Close();

private:
    using ReaderProcess = DatabaseReaderSession::ReaderProcess;
    [[noreturn]] void Fail(const std::string& what);
    void Start(int database, int64_t dataSize);
    void Spawn(const std::string& reader, std::vector<std::string> args, int database, const ReaderLimits& limits,
               int64_t dataSize);
    void Request(DatabaseReaderSession& session, const std::string& reader, const std::vector<std::string>& args,
                 int database, const ReaderLimits& limits, int64_t dataSize);
    void ReadReady();
    void Position();
    void Advance();
    void NextFrame(char& tag, std::string& payload);
    void Need(size_t bytes, std::chrono::steady_clock::time_point deadline);
    [[noreturn]] void ReaderStopped();
    [[noreturn]] void ReaderTimedOut();
    void StopReader();
    std::string Progress() const;

    std::string source_;
    std::vector<std::string> fields_;
    // Field names as the caller spells them, resolved once to their index.
    std::vector<std::pair<std::string, size_t>> resolved_;
    DatabaseOptions options_;

    std::string file_;
    ReaderProcess own_;              // the reader of this load alone
    ReaderProcess* reader_ = &own_;  // own_, or the session's reader serving this load
    std::string buf_;
    size_t pos_ = 0;
    std::chrono::steady_clock::time_point lastHook_{};
    int64_t cpuSeconds_ = 0;  // the reader's processor-time limit
    bool clean_ = false;  // the reader answered the whole request

    bool named_ = false;
    bool positioned_ = false;
    bool eof_ = false;
    bool ready_ = false;  // the reader found the table and its fields
    std::string failure_;  // once set, every operation fails with it
    int64_t declared_ = 0;
    int64_t fetched_ = 0;
    std::vector<std::string> current_;
};

// The path of a program in the folder of the running program.
std::string ProgramBesideThisOne(std::string_view name);

}  // namespace tessaly
