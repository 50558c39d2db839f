// Damaged databases by mutation: copies of the reference databases with
// random bytes changed (fixed seeds, so every run sees the same files). Each
// must load completely or fail with an Error, and the process running the
// test must live through all of them.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "platform/database/database_control.h"
#include "platform/error.h"
#include "support/fixtures.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {
struct Outcome {
    int complete = 0, failed = 0;
};

// Walks the whole table as the point database reader does.
void Walk(const std::string& file, Outcome& outcome)
{
    DatabaseOptions options;
    options.timeout = std::chrono::seconds(10);
    DatabaseControl control("POINTS", {"PNO", "NTH", "EST", "ELV", "DSC"}, options);
    try {
        control.SetDatabaseName(file);
        int records = 0;
        while (!control.EndOfFile() && records < 20000) {
            for (const char* field : {"PNO", "NTH", "EST", "ELV", "DSC"}) control.FieldText(field);
            control.MoveNext();
            ++records;
        }
        ++outcome.complete;
    } catch (const Error&) {
        ++outcome.failed;  // a clear failure is a good outcome too
    }
}
}  // namespace

TEST(MdbMutation, DamagedCopiesLoadOrFailCleanly)
{
    TempDir dir;
    Outcome outcome;
    const char* sources[] = {"points-basic.mdb", "points-extra-fields.mdb", "points-v2007.accdb"};
    int files = 0;
    for (const char* source : sources) {
        const std::string original = ReadBytes(TestData(source));
        for (uint32_t seed = 1; seed <= 100; ++seed) {
            std::mt19937 rng(seed);
            std::string bytes = original;
            // A few bytes anywhere, or a burst in the first pages where the
            // table definitions live.
            const size_t span = seed % 2 ? bytes.size() : std::min<size_t>(bytes.size(), 4 * 4096);
            const int flips = 1 + static_cast<int>(rng() % (seed % 3 ? 32 : 512));
            for (int i = 0; i < flips; ++i) bytes[rng() % span] = static_cast<char>(rng());
            const std::string path = dir.Path("mutant.mdb");
            WriteBytes(path, bytes);
            Walk(path, outcome);
            ++files;
        }
    }
    EXPECT_EQ(outcome.complete + outcome.failed, files);
    // Both outcomes occur: the mutations neither all miss nor all break.
    EXPECT_GT(outcome.complete, 0);
    EXPECT_GT(outcome.failed, 0);
    std::printf("%d damaged databases: %d loaded, %d failed cleanly\n", files, outcome.complete, outcome.failed);
}
