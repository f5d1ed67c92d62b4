// tavrel-prep as a user runs it: golden files for each input format,
// malformed input, and the ways writing can fail.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "prep/prep_options.h"
#include "tools/tools_test_support.h"

namespace tavrel::testing {
namespace {

// Copies the golden case's input into a scratch folder, where tavrel-prep
// runs and writes into "out".
struct PrepCase {
  std::string folder;  // under data/prep
  std::string input;
  std::vector<std::string> options;  // everything but INPUT and OUTDIR
  std::vector<std::string> names;    // extra operands after OUTDIR
};

TEST(PrepProgramTest, EachFormatMatchesItsGoldenFiles) {
  for (const PrepCase& c : std::vector<PrepCase>{
           {"spmf", "visits.spmf", {"--format", "spmf"}, {"clicks"}},
           {"text", "visits.txt", {"--format", "text"}, {}},
           {"csv",
            "orders.csv",
            {"--format", "csv", "--case", "case", "--activity", "activity", "--time", "time"},
            {}},
           {"gzip", "visits.txt.gz", {"--format", "text", "--comment", "#"}, {}},
           {"pairs", "sessions.dat", {"--format", "pairs", "--comment", "#"}, {}},
           {"csv-semicolon",
            "shipments.csv",
            {"--format", "csv", "--separator", ";", "--no-header", "--case", "1", "--activity", "3",
             "--time", "2", "--comment", "#"},
            {}},
           {"time-format",
            "tickets.csv",
            {"--format", "csv", "--case", "ticket", "--activity", "status", "--time", "changed",
             "--time-format", "%d/%m/%Y %H:%M"},
            {}},
           {"repeats", "reviews.txt", {"--format", "text", "--repeats", "number"}, {}},
           {"csv-numeric",
            "steps.csv",
            {"--format=csv", "--case=id", "--activity=step", "--time=t"},
            {}}}) {
    SCOPED_TRACE(c.folder);
    ScratchDir dir;
    dir.write(c.input, readData("prep/" + c.folder + "/" + c.input));
    std::vector<std::string> args = c.options;
    args.push_back(c.input);
    args.push_back("out");
    args.insert(args.end(), c.names.begin(), c.names.end());
    RunResult result = runPrepTool(args, dir.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, readData("prep/" + c.folder + "/expected.stderr"));
    std::string expected = dataPath("prep/" + c.folder + "/expected");
    ASSERT_EQ(listFolder(dir.path() + "/out"), listFolder(expected));
    for (const std::string& name : listFolder(expected)) {
      EXPECT_EQ(readFile(dir.path() + "/out/" + name), readFile(expected + "/" + name)) << name;
    }
  }
}

TEST(PrepProgramTest, MalformedInputWritesNothing) {
  struct Case {
    std::string input;
    std::vector<std::string> args;
    std::string err;
  };
  std::string csv = readData("prep/csv/orders.csv");
  for (const Case& c : std::vector<Case>{
           {"case,activity\nc1,a\nc1,\"b\nc2,c\n",
            {"--format", "csv", "--case", "case", "--activity", "activity"},
            "tavrel-prep: in:3: a quoted field is not closed\n"},
           {csv,
            {"--format", "csv", "--case", "case", "--activity", "activity", "--time", "time",
             "--strict-repeats"},
            "tavrel-prep: timestamps in column 'time' compared as text\n"
            "tavrel-prep: in:10: item 'Create order' occurs again in the same sequence "
            "(case 'c2')\n"},
           {"1 -1 2 -1 -2\n1 -1 2 -1\n",
            {"--format", "spmf"},
            "tavrel-prep: in:2: the sequence does not end with -2\n"},
           {std::string("\x7F"
                        "ELF\x02\x01\x01\x00",
                        8),
            {"--format", "text"},
            "tavrel-prep: in:1: a NUL byte; this is not a text file (tavrel-prep reads text, CSV "
            "and SPMF files)\n"},
           // A NUL byte weighs more than an earlier malformed line, however far apart.
           {"1 -1 -2\nbad\n" + std::string(200000, ' ') + std::string(1, '\0'),
            {"--format", "spmf"},
            "tavrel-prep: in:3: a NUL byte; this is not a text file (tavrel-prep reads text, CSV "
            "and SPMF files)\n"},
           {"\n , \n",
            {"--format", "text"},
            "tavrel-prep: dropped 2 empty sequences\n"
            "tavrel-prep: in: no sequence with items; nothing written\n"}}) {
    SCOPED_TRACE(c.err);
    ScratchDir dir;
    dir.write("in", c.input);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"in", "out"});
    RunResult result = runPrepTool(args, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"in"});
  }
}

// Writes `piece` `repeat` times and then `tail` into the gzip file `path`.
void writeGzip(const std::string& path, const std::string& piece, int repeat,
               const std::string& tail) {
  gzFile file = gzopen(path.c_str(), "wb1");
  ASSERT_NE(file, nullptr);
  for (int k = 0; k < repeat; ++k) {
    ASSERT_EQ(gzwrite(file, piece.data(), static_cast<unsigned>(piece.size())),
              static_cast<int>(piece.size()));
  }
  gzwrite(file, tail.data(), static_cast<unsigned>(tail.size()));
  ASSERT_EQ(gzclose(file), Z_OK);
}

TEST(PrepProgramTest, GzipInputIsReadInBoundedMemory) {
  if (kSanitizedBuild) GTEST_SKIP() << "a sanitizer cannot run under an address-space limit";
  ScratchDir dir;
  // 320 MiB of empty lines and one sequence, from a gzip file of 300 KiB.
  writeGzip(dir.path() + "/blank.gz", std::string(1 << 20, '\n'), 320, "a b\n");
  // One line of 80 MiB: more than a line may hold.
  writeGzip(dir.path() + "/long.gz", std::string(1 << 20, 'x'), 80, "\n");
  ChildOptions options;
  options.workingDir = dir.path();
  options.addressSpaceLimit = 256LL << 20;
  RunResult blank = runChild({"--format", "text", "blank.gz", "out"}, options, TAVREL_PREP_EXE);
  EXPECT_EQ(blank.status, 0) << blank.err;
  EXPECT_EQ(readFile(dir.path() + "/out/blank.db"), "2 0 1\n");
  RunResult longLine = runChild({"--format", "text", "long.gz", "out"}, options, TAVREL_PREP_EXE);
  EXPECT_EQ(longLine.status, 1);
  EXPECT_EQ(longLine.err,
            "tavrel-prep: long.gz:1: a line longer than 64 MiB; is this a sequence file?\n");
}

TEST(PrepProgramTest, RefusedInputMatchesItsGoldenMessage) {
  for (const PrepCase& c : std::vector<PrepCase>{
           {"", "visits.zip", {"--format", "text"}, {}},
           {"", "latin1.txt", {"--format", "text"}, {}},
           {"",
            "mixed-times.csv",
            {"--format", "csv", "--case", "ticket", "--activity", "status", "--time", "changed"},
            {}}}) {
    SCOPED_TRACE(c.input);
    ScratchDir dir;
    dir.write(c.input, readData("prep/refused/" + c.input));
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {c.input, "out"});
    RunResult result = runPrepTool(args, dir.path());
    EXPECT_EQ(result.status, 1);
    std::string stem = c.input.substr(0, c.input.find('.'));
    EXPECT_EQ(result.err, readData("prep/refused/" + stem + ".stderr"));
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{c.input});
  }
}

TEST(PrepProgramTest, AFailedRunLeavesEarlierOutputAlone) {
  ScratchDir dir;
  dir.write("visits.txt", readData("prep/text/visits.txt"));
  ASSERT_EQ(runPrepTool({"--format", "text", "visits.txt", "out"}, dir.path()).status, 0);
  // The same file read as SPMF fails on its first line.
  RunResult result = runPrepTool({"--format", "spmf", "visits.txt", "out"}, dir.path());
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "tavrel-prep: visits.txt:1: 'home' is not an item id, -1 or -2\n");
  std::string expected = dataPath("prep/text/expected");
  ASSERT_EQ(listFolder(dir.path() + "/out"), listFolder(expected));
  for (const std::string& name : listFolder(expected)) {
    EXPECT_EQ(readFile(dir.path() + "/out/" + name), readFile(expected + "/" + name)) << name;
  }
}

TEST(PrepProgramTest, OneOfAThingIsCountedInTheSingular) {
  ScratchDir dir;
  dir.write("one.txt", "a\n\n");
  RunResult result = runPrepTool({"--format", "text", "one.txt", "out"}, dir.path());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err,
            "tavrel-prep: dropped 1 empty sequence\n"
            "tavrel-prep: wrote 1 string over 1 item (longest 1) to one.db, one.spec, "
            "one.items.tsv and one.cases.tsv in out\n");
}

TEST(PrepProgramTest, UnwritableOutputAndMissingInputAreErrors) {
  ScratchDir dir;
  dir.write("seq.txt", "a b\n");
  dir.write("plain-file", "");
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  for (const Case& c : std::vector<Case>{
           {{"--format", "text", "missing.txt", "out"},
            "tavrel-prep: cannot open missing.txt: No such file or directory\n"},
           {{"--format", "text", ".", "out", "x"}, "tavrel-prep: cannot read .: Is a directory\n"},
           {{"--format", "text", "seq.txt", "plain-file/out"},
            "tavrel-prep: cannot create the folder plain-file/out: Not a directory\n"},
           {{"--format", "text", "seq.txt", "/dev/full"},
            "tavrel-prep: cannot create the folder /dev/full: Not a directory\n"}}) {
    RunResult result = runPrepTool(c.args, dir.path());
    EXPECT_EQ(result.status, 1) << c.err;
    EXPECT_EQ(result.err, c.err);
  }
  // Nobody, not even root, may create files in /proc; the reason given
  // depends on who asks.
  RunResult proc = runPrepTool({"--format", "text", "seq.txt", "/proc"}, dir.path());
  EXPECT_EQ(proc.status, 1);
  EXPECT_EQ(proc.err.rfind("tavrel-prep: cannot create /proc/seq.items.tsv: ", 0), 0u) << proc.err;
  EXPECT_EQ(std::count(proc.err.begin(), proc.err.end(), '\n'), 1);
  EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"plain-file", "seq.txt"}));

  RunResult help = runIntoFullDevice(TAVREL_PREP_EXE, {"--help"}, "");
  EXPECT_EQ(help.status, 1);
  EXPECT_EQ(help.err, "tavrel-prep: cannot write the help text\n");
}

TEST(PrepProgramTest, UsageErrorsExitWithStatus2) {
  const std::string hint = " (see tavrel-prep --help)\n";
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  for (const Case& c : std::vector<Case>{
           {{}, "--format is required"},
           {{"--format", "xml", "in", "out"},
            "unknown format 'xml' (use spmf, text, pairs, csv or xes)"},
           {{"--format", "csv", "--case", "id", "in", "out"},
            "--format csv needs --case and --activity"},
           {{"--format", "text", "--time", "t", "in", "out"},
            "--case, --activity, --time and --time-format apply to --format csv only"},
           {{"--format", "text", "in"}, "INPUT and OUTDIR are required"},
           {{"--format", "text", "in", "out", "name", "more"}, "too many operands"},
           {{"--format", "text", "--verbose", "in", "out"}, "unknown option --verbose"},
           {{"--format", "text", "in", "out", "a/b"},
            "'a/b' cannot be used as the output name (give NAME: no '/', no line end)"},
           {{"--format", "text", "--separator", "tab", "in", "out"},
            "--separator and --no-header apply to --format csv only"},
           {{"--format", "csv", "--case", "c", "--activity", "a", "--separator", ";;", "in", "out"},
            "option --separator needs one character other than a quote or a line end (or 'tab'), "
            "not ';;'"},
           {{"--format", "csv", "--no-header", "--case", "1", "--activity", "step", "in", "out"},
            "with --no-header, --activity needs a column number from 1, not 'step'"},
           {{"--format", "text", "--repeats", "keep", "in", "out"},
            "option --repeats takes drop, refuse or number, not 'keep'"},
           {{"--format", "text", "--strict-repeats", "--repeats", "number", "in", "out"},
            "--strict-repeats is --repeats refuse; give one of them"},
           {{"--format"}, "option --format needs a value"},
           {{"--strict-repeats=yes"}, "option --strict-repeats takes no value"}}) {
    RunResult result = runPrepTool(c.args, "");
    EXPECT_EQ(result.status, 2) << c.err;
    EXPECT_EQ(result.err, "tavrel-prep: " + c.err + hint);
  }
  RunResult help = runPrepTool({"--help"}, "");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, tools::prepUsage());
}

}  // namespace
}  // namespace tavrel::testing
