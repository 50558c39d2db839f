// The database component against stand-in readers (shell scripts that send
// prepared frames and then crash, hang or stop), and against the real reader
// on reference databases for what the readers' tests do not reach.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <csignal>
#include <functional>
#include <optional>
#include <thread>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/database/database_control.h"
#include "platform/error.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {
// Frames as the reader sends them: tag, little-endian length, payload.
std::string Frame(char tag, const std::string& payload)
{
    return Bytes().Raw(std::string(1, tag)).I32(static_cast<int32_t>(payload.size())).Raw(payload).str();
}
std::string Ready(int32_t declared, int32_t version = 2) { return Frame('H', Bytes().I32(version).I32(declared).str()); }
std::string Record(const std::vector<std::string>& texts)
{
    Bytes b;
    for (const auto& t : texts) b.I32(static_cast<int32_t>(t.size())).Raw(t);
    return Frame('R', b.str());
}
std::string End(int32_t sent) { return Frame('E', Bytes().I32(sent).str()); }
std::string Failure(const std::string& what) { return Frame('X', what); }

// A stand-in reader: sends STREAM, then runs ACTION.
struct FakeReader {
    TempDir dir;
    std::string path = dir.Path("reader.sh");
    std::string database = dir.Path("job.mdb");
    FakeReader(const std::string& stream, const std::string& action)
    {
        WriteBytes(dir.Path("frames.bin"), stream);
        WriteBytes(path, "#!/bin/sh\ncat '" + dir.Path("frames.bin") + "'\n" + action + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        WriteBytes(database, "not read by the stand-in");
    }
};

struct Walk {
    bool named = false;
    std::vector<std::string> a;  // field A of each record walked
    std::optional<std::string> error;
};

Walk WalkAll(DatabaseControl& db, const std::string& file)
{
    Walk w;
    try {
        db.SetDatabaseName(file);
        w.named = true;
        while (!db.EndOfFile()) {
            w.a.push_back(db.FieldText("A"));
            db.MoveNext();
        }
    } catch (const Error& e) {
        w.error = e.what();
    }
    return w;
}
}  // namespace

TEST(DatabaseControl, ReaderOutcomes)
{
    const std::string two = Ready(2) + Record({"1", "x"}) + Record({"2", ""});
    const struct {
        const char* what;
        std::string stream, action;
        bool named;         // SetDatabaseName succeeded
        size_t records;     // records walked before the end or the failure
        const char* error;  // nullptr: a clean walk
    } cases[] = {
        {"complete", two + End(2), "exit 0", true, 2, nullptr},
        {"status after the end frame does not matter", two + End(2), "kill -SEGV $$", true, 2, nullptr},
        {"no records", Ready(0) + End(0), "exit 0", true, 0, nullptr},
        {"fewer than declared", Ready(3) + Record({"1", "x"}) + End(1), "exit 0", true, 1,
         "the database is damaged: 1 of 3 records could be read"},
        {"crash in the walk", Ready(3) + Record({"1", "x"}), "kill -SEGV $$", true, 1,
         "the database is damaged: reading stopped after 1 of 3 records: the database reader crashed (Segmentation "
         "fault)"},
        {"crash while opening", "", "kill -SEGV $$", false, 0,
         "the database is damaged: it could not be opened: the database reader crashed"},
        {"exit status", two, "exit 4", true, 2, "the database reader stopped with exit status 4"},
        {"clean exit without the end frame", two, "exit 0", true, 2,
         "the database is damaged: reading stopped after 2 of 2 records: the database reader stopped before the end"},
        {"hang in the walk", Ready(3) + Record({"1", "x"}), "exec sleep 30", true, 1,
         "reading stopped after 1 of 3 records: the database reader did not answer within 1 second"},
        {"hang while opening", "", "exec sleep 30", false, 0, "it could not be opened: the database reader did not answer"},
        {"refusal", Failure("table POINTS has no field ELV"), "exit 1", false, 0, "table POINTS has no field ELV"},
        {"failure in the walk", Ready(3) + Record({"1", "x"}) + Failure("the database is damaged: bad page"), "exit 1",
         true, 1, "the database is damaged: bad page"},
        {"not frames at all", "hello, this is not a frame\n", "exit 0", false, 0, "malformed"},
        {"wrong version", Ready(2, 7) + End(0), "exit 0", false, 0, "malformed"},
        {"huge frame length", Ready(1) + "R\xFF\xFF\xFF\xFF", "exit 0", true, 0, "malformed"},
        {"record with a field missing", Ready(1) + Record({"1"}) + End(1), "exit 0", true, 0, "malformed"},
        {"record with bytes left over", Ready(1) + Record({"1", "x", "y"}) + End(1), "exit 0", true, 0, "malformed"},
        {"end count wrong", Ready(1) + Record({"1", "x"}) + End(5), "exit 0", true, 1, "malformed"},
        {"unknown frame", Ready(1) + Frame('Q', ""), "exit 0", true, 0, "malformed"},
    };
    for (const auto& c : cases) {
        FakeReader fake(c.stream, c.action);
        DatabaseControl db("POINTS", {"A", "B"}, {fake.path, 1s});
        Walk w = WalkAll(db, fake.database);
        EXPECT_EQ(w.named, c.named) << c.what;
        EXPECT_EQ(w.a.size(), c.records) << c.what;
        if (!c.error) {
            EXPECT_FALSE(w.error) << c.what << ": " << *w.error;
            continue;
        }
        ASSERT_TRUE(w.error) << c.what;
        EXPECT_NE(w.error->find(c.error), std::string::npos) << c.what << ": " << *w.error;
        EXPECT_EQ(w.error->rfind(fake.database + ": ", 0), 0u) << c.what << ": " << *w.error;
        // A failed component keeps failing, with the same message.
        if (w.named) {
            try {
                db.EndOfFile();
                ADD_FAILURE() << c.what;
            } catch (const Error& e) {
                EXPECT_EQ(e.what(), *w.error);
            }
        }
    }
}

TEST(DatabaseControl, TextsArriveByteForByte)
{
    const std::string odd = "a,\0\r\n\"\xFF"s + std::string(70000, 'x');
    FakeReader fake(Ready(1) + Record({odd, "  blanks  "}) + End(1), "exit 0");
    DatabaseControl db("POINTS", {"A", "B"}, {fake.path, 5s});
    db.SetDatabaseName(fake.database);
    EXPECT_EQ(db.DeclaredRecords(), 1);
    EXPECT_EQ(db.FieldText("A"), odd);
    EXPECT_EQ(db.FieldText("b"), "  blanks  ");
    EXPECT_THROW(db.FieldText("C"), Error);
    db.MoveNext();
    EXPECT_TRUE(db.EndOfFile());
    // Past the last record there is nothing to read and nowhere to move.
    EXPECT_THROW(db.FieldText("A"), Error);
    EXPECT_THROW(db.MoveNext(), Error);
    EXPECT_TRUE(db.EndOfFile());
}

TEST(DatabaseControl, ReaderGetsTheCLocaleAndTheRequest)
{
    FakeReader fake(Ready(0) + End(0), "");
    WriteBytes(fake.path, "#!/bin/sh\nenv > '" + fake.dir.Path("env.txt") + "'\nprintf '%s\\n' \"$@\" > '" +
                              fake.dir.Path("args.txt") + "'\ncat > '" + fake.dir.Path("input.txt") + "'\ncat '" +
                              fake.dir.Path("frames.bin") + "'\n");
    const char* oldLcAll = std::getenv("LC_ALL");
    std::string saved = oldLcAll ? oldLcAll : "";
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    ::setenv("MDBOPTS", "debug_row", 1);
    DatabaseControl db("POINTS", {"PNO", "DSC"}, {fake.path, 5s});
    db.SetDatabaseName(fake.database);
    EXPECT_TRUE(db.EndOfFile());
    ::unsetenv("MDBOPTS");
    if (oldLcAll) ::setenv("LC_ALL", saved.c_str(), 1);
    else ::unsetenv("LC_ALL");

    const std::string env = "\n" + ReadBytes(fake.dir.Path("env.txt"));
    EXPECT_NE(env.find("\nLC_ALL=C\n"), std::string::npos) << env;
    EXPECT_EQ(env.find("de_DE"), std::string::npos) << env;
    EXPECT_EQ(env.find("MDBOPTS"), std::string::npos) << env;
    // The database comes open on its standard input, not by name.
    EXPECT_EQ(ReadBytes(fake.dir.Path("args.txt")), "POINTS\nPNO\nDSC\n");
    EXPECT_EQ(ReadBytes(fake.dir.Path("input.txt")), "not read by the stand-in");
}

TEST(DatabaseControl, MissingReader)
{
    TempDir dir;
    WriteBytes(dir.Path("job.mdb"), "x");
    DatabaseControl db("POINTS", {"A"}, {dir.Path("no-such-reader"), 5s});
    try {
        db.SetDatabaseName(dir.Path("job.mdb"));
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), dir.Path("job.mdb") + ": the database reader " + dir.Path("no-such-reader") +
                                             " is missing or cannot be run");
    }
    EXPECT_THROW(db.EndOfFile(), Error);
}

TEST(DatabaseControl, NamingAnotherDatabaseStopsTheFirstReader)
{
    TempDir dir;
    WriteBytes(dir.Path("hung.bin"), Ready(5) + Record({"h", ""}));
    WriteBytes(dir.Path("good.bin"), Ready(1) + Record({"g", ""}) + End(1));
    WriteBytes(dir.Path("hung.mdb"), "hung");
    WriteBytes(dir.Path("good.mdb"), "good");
    const std::string reader = dir.Path("reader.sh");
    WriteBytes(reader, "#!/bin/sh\ncase \"$(cat)\" in\nhung) cat '" + dir.Path("hung.bin") +
                           "'; exec sleep 30;;\n*) cat '" + dir.Path("good.bin") + "';;\nesac\n");
    std::filesystem::permissions(reader, std::filesystem::perms::owner_all);

    DatabaseControl db("POINTS", {"A", "B"}, {reader, 20s});
    db.SetDatabaseName(dir.Path("hung.mdb"));
    EXPECT_EQ(db.FieldText("A"), "h");
    const auto start = std::chrono::steady_clock::now();
    db.SetDatabaseName(dir.Path("good.mdb"));
    EXPECT_EQ(db.FieldText("A"), "g");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);  // the hung reader was not waited for
    db.MoveNext();
    EXPECT_TRUE(db.EndOfFile());
    db.Close();
    EXPECT_THROW(db.EndOfFile(), Error);
}

TEST(DatabaseControl, LeavesNoDescriptorsOrProcessesBehind)
{
    auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator{});
    };
    const auto before = openDescriptors();
    const struct {
        std::string stream, action;
    } cases[] = {
        {Ready(1) + Record({"1", "x"}) + End(1), "exit 0"},
        {Ready(3) + Record({"1", "x"}), "kill -SEGV $$"},
        {Ready(3) + Record({"1", "x"}), "exec sleep 30"},
        {Ready(3) + Record({"1", "x"}) + Record({"2", "y"}), "exec sleep 30"},  // abandoned mid-walk
        {"garbage", "exec sleep 30"},
    };
    for (const auto& c : cases) {
        FakeReader fake(c.stream, c.action);
        DatabaseControl db("POINTS", {"A", "B"}, {fake.path, 1s});
        try {
            db.SetDatabaseName(fake.database);
            db.MoveNext();
        } catch (const Error&) {
        }
    }
    EXPECT_EQ(openDescriptors(), before);
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);  // every reader has been collected
    EXPECT_EQ(errno, ECHILD);
}

// The real reader, on fields the point reader does not bind.
TEST(DatabaseControl, RealReaderPresentsDatesAndFindsFieldsInAnyCase)
{
    DatabaseControl db("points", {"when", "Pno"});
    db.SetDatabaseName(TestData("points-types.mdb"));
    EXPECT_EQ(db.DeclaredRecords(), 3);
    std::vector<std::string> seen;
    while (!db.EndOfFile()) {
        seen.push_back(db.FieldText("PNO") + " " + db.FieldText("WHEN"));
        db.MoveNext();
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"P1 2024-03-15 14:30:00", "P2 1999-12-31", "P3 2001-02-03 04:05:06"}));
}

TEST(DatabaseControl, RealReaderRefusals)
{
    const struct {
        const char* file;
        std::string table;
        std::vector<std::string> fields;
        const char* error;
    } cases[] = {
        {"points-extra-fields.mdb", "POINTS", {"PNO", "HEIGHT"}, "table POINTS has no field HEIGHT"},
        {"no-points-table.mdb", "OTHER", {"PNO", "ZZZ"}, "table OTHER has no field ZZZ"},
        {"damaged-crash.mdb", "POINTS", {"PNO"}, "the database is damaged: table POINTS has no page map"},
    };
    for (const auto& c : cases) {
        DatabaseControl db(c.table, c.fields);
        try {
            db.SetDatabaseName(TestData(c.file));
            ADD_FAILURE() << c.file;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), TestData(c.file) + ": " + c.error);
        }
    }
    // A table other than POINTS, for the record source is a setting.
    DatabaseControl other("OTHER", {"DSC"});
    other.SetDatabaseName(TestData("no-points-table.mdb"));
    EXPECT_EQ(other.FieldText("DSC"), "OTHER TABLE");
}

namespace {
// True once process PID has ended (gone, or a zombie nobody has collected).
bool Ended(pid_t pid)
{
    std::string stat;
    try {
        stat = ReadBytes("/proc/" + std::to_string(pid) + "/stat");
    } catch (const std::exception&) {
        return true;
    }
    const size_t paren = stat.rfind(')');
    return paren == std::string::npos || stat.compare(paren + 2, 1, "Z") == 0;
}

bool WaitUntil(const std::function<bool()>& condition)
{
    for (int i = 0; i < 500 && !condition(); ++i) std::this_thread::sleep_for(10ms);
    return condition();
}
}  // namespace

TEST(DatabaseControl, TheReaderEndsWithTheProgramThatStartedIt)
{
    for (int sig : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
        FakeReader fake("", "");
        const std::string pidFile = fake.dir.Path("reader.pid");
        WriteBytes(fake.path, "#!/bin/sh\necho $$ > '" + pidFile + ".part'\nmv '" + pidFile + ".part' '" + pidFile +
                                  "'\nexec sleep 30\n");
        const pid_t program = ::fork();
        if (program == 0) {
            DatabaseControl db("POINTS", {"A"}, {fake.path, 60s});
            try {
                db.SetDatabaseName(fake.database);
            } catch (const Error&) {
            }
            ::_exit(0);
        }
        ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(pidFile); })) << sig;
        const pid_t reader = std::stoi(ReadBytes(pidFile));
        ::kill(program, sig);
        int status = 0;
        ::waitpid(program, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        EXPECT_TRUE(WaitUntil([&] { return Ended(reader); })) << "signal " << sig << " left the reader running";
        ::kill(reader, SIGKILL);
    }
}

TEST(DatabaseControl, AWaitHookCanCancel)
{
    FakeReader fake(Ready(3) + Record({"1", "x"}), "exec sleep 30");
    int calls = 0;
    const DatabaseWaitHook hook([&] { return ++calls < 3; });
    DatabaseControl db("POINTS", {"A", "B"}, {fake.path, 20s});
    const auto start = std::chrono::steady_clock::now();
    Walk w = WalkAll(db, fake.database);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(w.a.size(), 1u);
    ASSERT_TRUE(w.error);
    EXPECT_EQ(*w.error, fake.database + ": the load was cancelled");
}

// What is not an ordinary file is refused at once, before a reader starts
// (the stand-in would hang): a FIFO without a writer above all.
TEST(DatabaseControl, OnlyOrdinaryFilesAreRead)
{
    FakeReader fake("", "exec sleep 30");
    const std::string fifo = fake.dir.Path("pipe.mdb"), socket = fake.dir.Path("socket.mdb");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socket.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << socket;
    const struct {
        std::string file;
        const char* error;
    } cases[] = {
        {fifo, "is a FIFO, not an ordinary file"},
        {socket, "is a socket, not an ordinary file"},
        {"/dev/null", "is a device, not an ordinary file"},
        {fake.dir.Root().string(), "is a folder, not a file"},
    };
    for (const auto& c : cases) {
        DatabaseControl db("POINTS", {"A"}, {fake.path, 20s});
        const auto start = std::chrono::steady_clock::now();
        Walk w = WalkAll(db, c.file);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << c.file;
        EXPECT_EQ(w.error.value_or("loaded"), c.file + ": " + c.error);
    }
    ::close(s);
}

namespace {
// Holds the real reader before it opens each database.
struct ReaderStall {
    explicit ReaderStall(const char* ms) { ::setenv("TESSALY_MDB_READER_STALL_MS", ms, 1); }
    ~ReaderStall() { ::unsetenv("TESSALY_MDB_READER_STALL_MS"); }
};
}  // namespace

// The reader reads the file that was checked, whatever takes its name while
// it starts: here a FIFO, on which a reader that opened the name would hang.
// Alone and as a session's reader.
TEST(DatabaseControl, ADatabaseSwappedForAFifoIsStillTheOneRead)
{
    const ReaderStall stall("300");
    for (bool session : {false, true}) {
        TempDir dir;
        const std::string file = dir.Path("job.mdb");
        std::filesystem::copy_file(TestData("points-basic.mdb"), file);
        std::optional<DatabaseReaderSession> readers;
        if (session) readers.emplace();
        bool swapped = false;
        const DatabaseWaitHook hook([&] {
            if (!swapped) {
                std::filesystem::rename(file, dir.Path("old.mdb"));
                swapped = ::mkfifo(file.c_str(), 0644) == 0;
            }
            return true;
        });
        DatabaseControl db("POINTS", {"PNO"}, {"", 20s});
        const auto start = std::chrono::steady_clock::now();
        ASSERT_NO_THROW(db.SetDatabaseName(file)) << session;
        EXPECT_TRUE(swapped);
        EXPECT_EQ(db.FieldText("PNO"), "1");
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    }
}

// A file padded with a hole gets the limits of the data before the hole: a
// hostile database padded to 1 GiB fails as the unpadded one does, in about
// as little time and memory (it took a minute and gigabytes).
TEST(DatabaseControl, ReaderLimitsFollowTheDataNotAPaddedLength)
{
    TempDir dir;
    for (const char* name : {"hostile-cut.mdb", "hostile-zeroed-page.mdb"}) {
        const std::string padded = dir.Path(name);
        std::filesystem::copy_file(TestData(name), padded);
        std::filesystem::resize_file(padded, std::uintmax_t{1} << 30);
        std::string errors[2];
        std::chrono::steady_clock::duration took[2];
        for (int i = 0; i < 2; ++i) {
            const std::string file = i ? padded : TestData(name);
            DatabaseControl db("POINTS", {"PNO", "NTH", "EST", "ELV", "DSC"});
            const auto start = std::chrono::steady_clock::now();
            Walk w = WalkAll(db, file);
            took[i] = std::chrono::steady_clock::now() - start;
            ASSERT_TRUE(w.error) << file;
            errors[i] = w.error->substr(file.size());
        }
        EXPECT_EQ(errors[1], errors[0]) << name;
        EXPECT_LT(took[1], took[0] + 5s) << name;
    }
    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    EXPECT_LT(children.ru_maxrss, 512 << 10) << "kilobytes, the largest reader's";
}
