// tessaly-mdb-reader TABLE FIELD... < DATABASE
// tessaly-mdb-reader --serve
//
// Reads one table of a Microsoft Access database with mdbtools and writes its
// records to standard output in the frames of platform/database/database_frames.h:
// per record, the text of each named field. The database is the ordinary file
// open on standard input (or, serving, the descriptor sent with each
// request), opened and checked by the caller: the reader never looks a name
// up, so it reads the file that was checked, whatever has been put in its
// place since. It runs as a process of its own
// because mdbtools can crash on a damaged file and formats numbers by the
// process locale; the database component starts it with LC_ALL=C and turns a
// crash, a hang or a reported failure into an error of its own.
//
// Field texts: text and memo fields their characters in UTF-8, as mdbtools
// gives them (a malformed sequence, which it should never make, as "?");
// Byte, Integer, Long, Currency and Double the number text (15 significant
// digits); Single at most 7 significant digits; a
// date/time as YYYY-MM-DD HH:MM:SS (YYYY-MM-DD at midnight); yes/no fields
// True or False; NULL and binary data empty. Nothing is trimmed.
// mdbtools.h includes glib.h inside extern "C", where glib's C++ parts
// cannot stand; glib goes first so that its include guard keeps it out.
#include <glib.h>
#include <iconv.h>
#include <locale.h>
#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "mdb_helper/database_text.h"
#include "platform/database/database_frames.h"
#include "platform/files/byte_order.h"
#include "platform/text/codepage.h"
#include "platform/text/text_rules.h"

namespace {

using namespace tessaly;

// Large enough for the longest memo Access can hold (65535 characters, up to
// three bytes each in UTF-8); mdbtools cuts a bound value at this size.
constexpr size_t kBindSize = 256 * 1024;

struct Failure {
    std::string what;
};

class FrameWriter {
public:
    explicit FrameWriter(int fd) : fd_(fd) { buf_.reserve(kFlushAt + 4096); }
    void Send(char tag, std::string_view payload)
    {
        frames::AppendFrame(buf_, tag, payload);
        if (buf_.size() >= kFlushAt) Flush();
    }
    void Flush()
    {
        size_t done = 0;
        while (done < buf_.size()) {
            ssize_t n = ::write(fd_, buf_.data() + done, buf_.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) _exit(3);  // the component has gone; nobody to tell
            done += static_cast<size_t>(n);
        }
        buf_.clear();
    }

private:
    static constexpr size_t kFlushAt = 64 * 1024;
    int fd_;
    std::string buf_;
};

// The failure sent when memory runs out where the reader can see it: the
// database component starts the reader under a limit of address space sized
// from the file, and a damaged database can make mdbtools allocate without
// end (mdbtools itself mostly crashes then, which the component reports).
std::string OutOfMemory()
{
    struct rlimit as {};
    std::string limit;
    if (::getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY)
        limit = " of " + std::to_string(as.rlim_cur >> 20) + " MB";
    return "the database is damaged: reading it used up the memory" + limit + " a database of its size may take";
}

bool HasAccessSignature(int database)
{
    // Every Jet and ACE file starts with a page whose bytes 4..19 name the
    // engine.
    char head[20] = {};
    if (::pread(database, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return false;
    return std::memcmp(head + 4, "Standard Jet DB", 16) == 0 || std::memcmp(head + 4, "Standard ACE DB", 16) == 0;
}

// For tests that need a load that takes a while (the window's progress and
// its Cancel): TESSALY_MDB_READER_STALL_MS holds the reader this many
// milliseconds, at most ten seconds, before it opens each database. Unset,
// it does nothing; it only ever slows a load down.
void StallForTests()
{
    const char* stall = std::getenv("TESSALY_MDB_READER_STALL_MS");
    if (!stall) return;
    const long ms = std::min(std::strtol(stall, nullptr, 10), 10000L);
    if (ms > 0) ::usleep(static_cast<useconds_t>(ms) * 1000);
}

// Numbers and dates are taken from the stored bytes, which mdbtools leaves
// in the page buffer for every field of the fetched row; only the fields
// shown through mdbtools' text are bound, which spares it formatting numbers
// that would be thrown away.
bool NeedsBoundText(int type)
{
    switch (type) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_BINARY:
    case MDB_OLE:
    case MDB_COMPLEX:
        return false;
    default:
        return true;
    }
}

struct BoundField {
    MdbColumn* col;
    std::unique_ptr<char[]> text;  // bind size + 1 bytes when bound
    int len = 0;
};

// The field's value as text. Numbers and dates come from the stored bytes
// (mdbtools would print them with 16 digits and the locale's decimal
// separator); text comes from mdbtools' UTF-8 form.
std::string Present(MdbHandle* mdb, const BoundField& f)
{
    const MdbColumn* col = f.col;
    // The column's bound buffer (a field asked for twice shares one).
    const auto* text = static_cast<const char*>(col->bind_ptr);
    const std::string_view bound = text ? std::string_view(text, ::strnlen(text, mdb->bind_size)) : "";
    if (col->col_type == MDB_BOOL) return bound == "1" ? "True" : "False";
    if (col->cur_value_len <= 0) return "";  // NULL, or empty text

    auto raw = [&](int size) -> const unsigned char* {
        const int start = col->cur_value_start;
        if (start < 0 || col->cur_value_len < size || start + size > MDB_PGSIZE) return nullptr;
        return mdb->pg_buf + start;
    };
    const unsigned char* p = nullptr;
    switch (col->col_type) {
    case MDB_BYTE:
        if ((p = raw(1))) return NumberText(p[0]);
        break;
    case MDB_INT:
        if ((p = raw(2))) return NumberText(static_cast<double>(LeSigned(p, 2)));
        break;
    case MDB_LONGINT:
        if ((p = raw(4))) return NumberText(static_cast<double>(LeSigned(p, 4)));
        break;
    case MDB_MONEY:  // a 64-bit count of ten-thousandths
        if ((p = raw(8))) return NumberText(static_cast<double>(LeSigned(p, 8)) / 10000.0);
        break;
    case MDB_FLOAT:
        if ((p = raw(4))) return SingleText(LeSingle(p));
        break;
    case MDB_DOUBLE:
        if ((p = raw(8))) return NumberText(LeDouble(p));
        break;
    case MDB_DATETIME:
        if ((p = raw(8))) return DateText(LeDouble(p));
        break;
    case MDB_BINARY:
    case MDB_OLE:
    case MDB_COMPLEX:
        return "";  // bytes without a text form
    default:        // text, memo, decimal, replication ID: the text mdbtools makes
        break;
    }
    int64_t mended = 0;
    return MendUtf8(bound, mended);
}

// Opens the database on descriptor DATABASE and finds the table in it, in
// any letter case.
MdbTableDef* OpenTable(int database, const std::string& table)
{
    struct stat st {};
    if (::fstat(database, &st) != 0 || !S_ISREG(st.st_mode)) throw Failure{"is not an ordinary file"};
    if (!HasAccessSignature(database)) throw Failure{"is not an Access database"};
    // mdbtools opens by name. The descriptor's entry under /proc opens the
    // very file it refers to, not whatever has the file's name by now.
    const std::string name = "/proc/self/fd/" + std::to_string(database);
    if (::access(name.c_str(), R_OK) != 0)
        throw Failure{std::string("cannot be opened again through /proc: ") + std::strerror(errno)};
    MdbHandle* mdb = mdb_open(name.c_str(), MDB_NOFLAGS);
    if (!mdb) throw Failure{"is not an Access database"};
    mdb_set_bind_size(mdb, kBindSize);
    mdb_set_boolean_fmt_numbers(mdb);
    if (!mdb_read_catalog(mdb, MDB_TABLE)) throw Failure{"the database is damaged: its list of tables cannot be read"};

    MdbCatalogEntry* entry = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog && !entry; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && g_ascii_strcasecmp(e->object_name, table.c_str()) == 0) entry = e;
    }
    if (!entry) throw Failure{"the database has no table " + table};
    MdbTableDef* t = mdb_read_table(entry);
    if (!t) throw Failure{"the database is damaged: table " + table + " cannot be read"};
    if (!mdb_read_columns(t)) throw Failure{"the database is damaged: the fields of table " + table + " cannot be read"};
    return t;
}

// Finds each field named in ARGS (the table, then the fields), in any letter
// case, and binds a text buffer to those whose text mdbtools makes.
std::vector<BoundField> BindFields(MdbTableDef* t, const std::vector<std::string>& args)
{
    const std::string& table = args[0];
    for (unsigned i = 0; i < t->num_cols; ++i) {
        auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
        c->bind_ptr = nullptr;
        c->len_ptr = nullptr;
    }
    std::vector<BoundField> fields;
    fields.reserve(args.size() - 1);
    for (size_t k = 1; k < args.size(); ++k) {
        MdbColumn* found = nullptr;
        int number = 0;
        for (unsigned i = 0; i < t->num_cols && !found; ++i) {
            auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            if (g_ascii_strcasecmp(c->name, args[k].c_str()) == 0) found = c, number = static_cast<int>(i) + 1;
        }
        if (!found) throw Failure{"table " + table + " has no field " + args[k]};
        fields.push_back({found, nullptr});
        if (NeedsBoundText(found->col_type) && !found->bind_ptr) {
            // mdbtools writes up to the bind size into a bound buffer.
            BoundField& f = fields.back();
            f.text.reset(new char[t->entry->mdb->bind_size + 1]);
            f.text[0] = '\0';
            mdb_bind_column(t, number, f.text.get(), &f.len);
        }
    }
    // mdbtools 1.0 follows a null pointer when a table has no page map.
    if (!t->usage_map || t->map_sz == 0)
        throw Failure{"the database is damaged: table " + table + " has no page map"};
    return fields;
}

// The ready frame, a frame per record and the end frame.
void StreamRecords(FrameWriter& out, MdbTableDef* t, const std::vector<BoundField>& fields)
{
    MdbHandle* mdb = t->entry->mdb;
    std::string payload;
    frames::AppendU32(payload, frames::kVersion);
    frames::AppendU32(payload, t->num_rows);
    out.Send(frames::kReady, payload);
    out.Flush();

    mdb_rewind_table(t);
    uint32_t sent = 0;
    while (mdb_fetch_row(t)) {
        payload.clear();
        for (const BoundField& f : fields) frames::AppendText(payload, Present(mdb, f));
        out.Send(frames::kRecord, payload);
        ++sent;
    }
    payload.clear();
    frames::AppendU32(payload, sent);
    out.Send(frames::kEnd, payload);
    out.Flush();
}

// One load of the database on descriptor DATABASE. ARGS: the table, then
// the fields.
int Run(FrameWriter& out, int database, const std::vector<std::string>& args)
{
    StallForTests();
    MdbTableDef* t = OpenTable(database, args[0]);
    std::vector<BoundField> fields = BindFields(t, args);
    StreamRecords(out, t, fields);

    MdbHandle* mdb = t->entry->mdb;
    for (BoundField& f : fields) f.col->bind_ptr = nullptr, f.col->len_ptr = nullptr;
    mdb_free_tabledef(t);
    mdb_close(mdb);
    return 0;
}

bool ReadAll(int fd, char* into, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, into + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The first bytes of a request into INTO, and the descriptor that comes with
// them into DATABASE (-1 when none came). False when the input ends first.
bool ReadWithDescriptor(int socket, char* into, size_t size, int& database)
{
    database = -1;
    size_t done = 0;
    while (done < size) {
        iovec iov{into + done, size - done};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))] = {};
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(socket, &msg, MSG_CMSG_CLOEXEC);
        if (n < 0 && errno == EINTR) continue;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); n > 0 && c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
            const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
                if (database < 0) database = fd;
                else ::close(fd);  // one database a request
            }
        }
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// One request from standard input: its limits, then the table and field
// names, and the database's descriptor. False at the end of the input or on
// a malformed request.
bool NextRequest(uint32_t& cpuSeconds, uint32_t& megabytes, std::vector<std::string>& args, int& database)
{
    char header[frames::kHeaderSize];
    if (!ReadWithDescriptor(STDIN_FILENO, header, sizeof header, database) || header[0] != frames::kRequest ||
        database < 0)
        return false;
    const uint32_t len = frames::U32(std::string_view(header, sizeof header), 1);
    if (len > frames::kMaxPayload || len < 8) return false;
    std::string payload(len, '\0');
    if (!ReadAll(STDIN_FILENO, payload.data(), len)) return false;
    cpuSeconds = frames::U32(payload, 0);
    megabytes = frames::U32(payload, 4);
    args.clear();
    for (size_t at = 8; at < payload.size();)
        if (!frames::NextText(payload, at, args.emplace_back())) return false;
    return args.size() >= 2;
}

// The limits of one request: processor time counted from now, and the
// address space. Only the soft limits move; SIGXCPU ends the reader.
void LimitRequest(uint32_t cpuSeconds, uint32_t megabytes)
{
    rusage used{};
    ::getrusage(RUSAGE_SELF, &used);
    const rlim_t spent = static_cast<rlim_t>(used.ru_utime.tv_sec + used.ru_stime.tv_sec + 1);
    struct rlimit cpu {};
    ::getrlimit(RLIMIT_CPU, &cpu);
    cpu.rlim_cur = std::min<rlim_t>(spent + cpuSeconds, cpu.rlim_max);
    ::setrlimit(RLIMIT_CPU, &cpu);
    if (megabytes > 0) {
        struct rlimit as {};
        ::getrlimit(RLIMIT_AS, &as);
        as.rlim_cur = std::min<rlim_t>(rlim_t{megabytes} << 20, as.rlim_max);
        ::setrlimit(RLIMIT_AS, &as);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const bool serve = argc == 2 && std::strcmp(argv[1], "--serve") == 0;
    if (argc < 3 && !serve) {
        std::fputs("Usage: tessaly-mdb-reader TABLE FIELD... < DATABASE\n"
                   "       tessaly-mdb-reader --serve\n"
                   "Writes the named fields of every record of TABLE of the database on standard input\n"
                   "as framed text to standard output; with --serve, for each request read from standard\n"
                   "input, a socket, with the database's descriptor.\n",
                   stderr);
        return 2;
    }
    // The frames go to the descriptor that was standard output, and standard
    // output now leads to standard error: whatever mdbtools prints cannot
    // mix with the frames.
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) return 3;
    // mdbtools' debug switches print to standard output, and another output
    // character set would change the text; neither belongs here.
    ::unsetenv("MDBOPTS");
    ::unsetenv("MDBICONV");
    std::signal(SIGPIPE, SIG_DFL);

    FrameWriter out(fd);
    std::string failure;
    try {
        if (!serve) return Run(out, STDIN_FILENO, std::vector<std::string>(argv + 1, argv + argc));
        // Requests until the input ends. After a failure the reader ends, so
        // that nothing a damaged file left behind meets the next database.
        uint32_t cpuSeconds = 0, megabytes = 0;
        std::vector<std::string> args;
        int database = -1;
        while (NextRequest(cpuSeconds, megabytes, args, database)) {
            LimitRequest(cpuSeconds, megabytes);
            Run(out, database, args);
            ::close(database);
            database = -1;
        }
        if (database >= 0) ::close(database);
        return 0;
    } catch (const Failure& f) {
        failure = f.what;
    } catch (const std::bad_alloc&) {
        failure = OutOfMemory();
    }
    out.Send(tessaly::frames::kFailure, failure);
    out.Flush();
    return 1;
}
