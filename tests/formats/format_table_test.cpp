// The format table: which reader and writer a name chooses.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "formats/formats.h"

using namespace tessaly;

TEST(FormatTable, TheReaderIsChosenByTheLastThreeCharactersOfTheName)
{
    const struct {
        const char* name;
        ReaderFn read;
        const char* format;
    } cases[] = {
        {"survey.Coo", ReadCooFile, "a COGO points file"},
        {"xcrd", ReadCrdFile, "an Orvelle coordinate file"},
        {"site.grd", ReadGrdFile, "an Orvelle grid file"},
        {"job.CR5", ReadCr5File, "a TDS coordinate file"},
        {"points.mdb", ReadMdbFile, "an LDD point database"},
        {"dir.crd/job.txt", ReadSurveyorOneFile, "a Surveyor One coordinate file"},
        {"job.asc", ReadSurveyorOneFile, "a Surveyor One coordinate file"},
        {"JOB1", ReadSurveyorOneFile, "a Surveyor One coordinate file"},
        {"rd", ReadSurveyorOneFile, "a Surveyor One coordinate file"},
        {"", ReadSurveyorOneFile, "a Surveyor One coordinate file"},
    };
    for (const auto& c : cases) {
        const Format& chosen = ChooseReader(c.name);
        EXPECT_EQ(chosen.read, c.read) << c.name;
        EXPECT_STREQ(chosen.name, c.format) << c.name;
    }
}

TEST(FormatTable, OnlyAscNamesHaveAWriter)
{
    for (const char* name : {"out.asc", "OUT.ASC", "xasc", "asc"}) {
        ASSERT_NE(ChooseWriter(name), nullptr) << name;
        EXPECT_EQ(ChooseWriter(name)->write, &WriteAscFile) << name;
    }
    for (const char* name : {"out.txt", "out.as", "sc", "", "out.asc.bak"}) EXPECT_EQ(ChooseWriter(name), nullptr) << name;
}

TEST(FormatTable, RowsHaveDistinctIdsAndAReaderOrWriter)
{
    std::set<std::string> ids;
    for (const Format& f : Formats()) {
        EXPECT_TRUE(ids.insert(f.id).second) << f.id;
        EXPECT_TRUE(f.read || f.write) << f.id;
        EXPECT_FALSE(Description(f).empty()) << f.id;
    }
    EXPECT_EQ(Patterns(ChooseReader("a.crd")), "*.crd");
    EXPECT_EQ(Patterns(ChooseReader("JOB1")), "*");
}
