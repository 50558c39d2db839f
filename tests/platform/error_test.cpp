#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "platform/error.h"

using namespace tessaly;

TEST(FileMessage, ControlCharactersInNamesAreQuoted)
{
    const struct {
        std::string name, shown;
    } cases[] = {
        {"/jobs/site 1.crd", "/jobs/site 1.crd"},
        {"/jobs/CAF\xC9.crd", "/jobs/CAF\xC9.crd"},
        {"a\nb.crd", "'a'$'\\n''b.crd'"},
        {"\x1b[31mred.coo", "$'\\033''[31mred.coo'"},
        {"it's\t.grd", "'it'\\''s'$'\\t''.grd'"},
        {"end\r", "'end'$'\\r'"},
    };
    for (const auto& c : cases) EXPECT_EQ(FileMessage(c.name, "file not found"), c.shown + ": file not found");
}

TEST(FileMessage, NoFailureIsABareExceptionName)
{
    const struct {
        std::exception_ptr thrown;
        const char* message;
    } cases[] = {
        {std::make_exception_ptr(Error("x.grd: line 3")), "x.grd: line 3"},
        {std::make_exception_ptr(std::bad_alloc()), "x.grd: not enough memory to go on"},
        {std::make_exception_ptr(std::length_error("basic_string::_M_create")),
         "x.grd: a value is longer than can be held in memory"},
        {std::make_exception_ptr(42), "x.grd: unexpected failure"},
    };
    for (const auto& c : cases) {
        try {
            std::rethrow_exception(c.thrown);
        } catch (...) {
            EXPECT_EQ(FailureMessage("x.grd"), c.message);
        }
    }
}
