#pragma once
// The fixture of the reader tests: write a file, run a reader on it, catch
// its message.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/fixtures.h"

namespace tessaly::test {

class ReaderFixture : public ::testing::Test {
protected:
    TempDir dir;
    PointTable table;

    // Writes BYTES to NAME in the test's folder and loads it with READ (the
    // reader the name chooses when null) into a table that holds one marker
    // row, which the load must clear; the table is emptied first, as it may
    // be full from the last case. "" for a complete load, else the error
    // message.
    std::string LoadBytes(std::string_view name, std::string_view bytes, ReaderFn read = nullptr)
    {
        const std::string path = dir.Path(name);
        WriteBytes(path, bytes);
        table.Clear();
        table.AddPoint({"old", "1", "1", "", ""});
        return LoadOutcome(table, path, read);
    }
};

}  // namespace tessaly::test
