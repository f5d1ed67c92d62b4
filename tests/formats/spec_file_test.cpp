// The spec file: values, every message and their order.
#include "formats/spec_file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace tavrel {
namespace {

using testing::runInProcess;
using testing::ScratchDir;

const char kWrongParameters[] = "Error: wrong parameters given in spec file\n";

// Runs the whole program on a spec file with the given content.
testing::RunResult runOnSpec(const std::string& specContent) {
  ScratchDir dir;
  return runInProcess({dir.write("s.spec", specContent), "1"});
}

TEST(SpecFileTest, GoodFileSetsTheFourValuesAndPrintsNothing) {
  ScratchDir dir;
  std::string path = dir.write("s.spec", "my db.txt \n 25x\n+7\n3000000\nignored\n");
  formats::SpecFile spec;
  Result read = formats::readSpecFile(path.c_str(), &spec);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_EQ(spec.databaseName, "my db.txt ");  // blanks inside and at the end are kept
  EXPECT_EQ(spec.totalItems, 25);
  EXPECT_EQ(spec.maxItemLength, 7);
  EXPECT_EQ(spec.stringCount, 3000000);
}

TEST(SpecFileTest, LinesAreReadWhole) {
  ScratchDir dir;
  std::string longName(300, 'n');
  std::string path = dir.write("s.spec", longName + "\r\n1234567\r\n12345678\r\n2147483647");
  formats::SpecFile spec;
  Result read = formats::readSpecFile(path.c_str(), &spec);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_EQ(spec.databaseName, longName);  // no line end, no carriage return
  EXPECT_EQ(spec.totalItems, 1234567);     // seven digits do not spill into line 3
  EXPECT_EQ(spec.maxItemLength, 12345678);
  EXPECT_EQ(spec.stringCount, 2147483647);
}

TEST(SpecFileTest, BadValuesGiveOneWrongParametersMessage) {
  for (const char* content : {"db\n0\n5\n5\n", "db\nx5\n5\n5\n", "db\n5\n-2\n5\n", "db\n0\n0\n0\n",
                              "db\n2147483648\n5\n5\n", "db\n5\n5\n99999999999999999999\n"}) {
    testing::RunResult result = runOnSpec(content);
    EXPECT_EQ(result.status, -1) << content;
    EXPECT_EQ(result.out, kWrongParameters) << content;
  }
}

TEST(SpecFileTest, MissingLinesAreReportedInOrder) {
  testing::RunResult twoLines = runOnSpec("db\n5\n");
  EXPECT_EQ(twoLines.status, -1);
  EXPECT_EQ(twoLines.out,
            "Error: can't get the number of max item length\n"
            "Error: can't get the number of all strings\n" +
                std::string(kWrongParameters));

  testing::RunResult empty = runOnSpec("");
  EXPECT_EQ(empty.status, -1);
  EXPECT_EQ(empty.out,
            "Error: string db filename in spec file\n"
            "Error: can't get the number of total items\n"
            "Error: can't get the number of max item length\n"
            "Error: can't get the number of all strings\n" +
                std::string(kWrongParameters));

  // The last line may lack its line end; a missing line is still missing.
  testing::RunResult threeLines = runOnSpec("db\n5\n5");
  EXPECT_EQ(threeLines.out,
            "Error: can't get the number of all strings\n" + std::string(kWrongParameters));
}

TEST(SpecFileTest, FilesThatCannotBeOpened) {
  ScratchDir dir;
  std::string missing = dir.path() + "/no such.spec";
  testing::RunResult result = runInProcess({missing, "2"});
  EXPECT_EQ(result.status, -1);
  EXPECT_EQ(result.out, "Error: cannot open file " + missing + " with mode r\n");

  // A directory opens on some systems but cannot be read: the same message.
  result = runInProcess({dir.path(), "2"});
  EXPECT_EQ(result.status, -1);
  EXPECT_EQ(result.out, "Error: cannot open file " + dir.path() + " with mode r\n");
}

TEST(SpecFileTest, EmptyDatabaseNameFailsInTheFirstPass) {
  testing::RunResult result = runOnSpec("\n5\n5\n5\n");
  EXPECT_EQ(result.status, -1);
  EXPECT_EQ(result.out, "Error: cannot open file  with mode r\n");
}

}  // namespace
}  // namespace tavrel
