// The conditions on the patterns written (--maximal, --min-edges,
// --max-edges, --items, --top) on seeded random databases: each alone and
// combined, on 1, 2, 3 and 8 threads, against the brute force with the
// conditions applied, and against the full run's output filtered and
// renumbered.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "formats/string_database.h"
#include "search/brute_force.h"
#include "search/random_databases.h"
#include "search/run_patterns.h"
#include "support/test_support.h"

namespace tavrel::testing {
namespace {

using Strings = std::vector<std::vector<int>>;

struct ConditionCase {
  std::vector<std::string> args;  // the options that ask for the conditions
  Conditions conditions;
};

// The case of the options `args`, read here on their own (items one or
// two, separated by a comma).
ConditionCase conditionCase(const std::vector<std::string>& args) {
  ConditionCase c{args, {}};
  for (std::size_t k = 0; k < args.size(); ++k) {
    if (args[k] == "--maximal") c.conditions.maximal = true;
    if (args[k] == "--min-edges") c.conditions.minEdges = std::stoi(args[k + 1]);
    if (args[k] == "--max-edges") c.conditions.maxEdges = std::stoi(args[k + 1]);
    if (args[k] == "--top") c.conditions.top = std::stoi(args[k + 1]);
    if (args[k] == "--items") {
      std::size_t comma = args[k + 1].find(',');
      c.conditions.items.push_back(std::stoi(args[k + 1].substr(0, comma)));
      if (comma != std::string::npos)
        c.conditions.items.push_back(std::stoi(args[k + 1].substr(comma + 1)));
    }
  }
  return c;
}

// Each condition alone and a few combinations. The items are drawn from
// the strings (so mostly present) and from 0..9 (so sometimes absent or
// infrequent, and no pattern passes).
std::vector<ConditionCase> conditionCases(const Strings& strings, std::mt19937& random) {
  const std::vector<int>& string = strings[random() % strings.size()];
  std::string a = std::to_string(string[random() % string.size()]);
  std::string both = a + "," + std::to_string(random() % 10);
  std::vector<ConditionCase> cases;
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--maximal"},
                                             {"--min-edges", "2"},
                                             {"--max-edges", "1"},
                                             {"--min-edges", "2", "--max-edges", "3"},
                                             {"--items", a},
                                             {"--items", both},
                                             {"--top", "1"},
                                             {"--top", "4"},
                                             {"--top", "3", "--max-edges", "2", "--maximal"},
                                             {"--items", a, "--maximal"},
                                             {"--top", "2", "--items", a, "--min-edges", "2"}})
    cases.push_back(conditionCase(args));
  return cases;
}

// The command line of a run with the conditions of `c`.
std::vector<std::string> commandLine(const char* threads, const ConditionCase& c,
                                     const std::string& spec, int minSup) {
  std::vector<std::string> args{"--threads", threads};
  args.insert(args.end(), c.args.begin(), c.args.end());
  args.push_back(spec);
  args.push_back(std::to_string(minSup));
  return args;
}

// Every condition case removes patterns from some run and keeps patterns
// in some run, so that a search that ignores a condition, or one that
// drops everything, fails the checks.
void expectEachCaseMatters(const std::vector<int>& removedIn, const std::vector<int>& keptIn) {
  for (std::size_t k = 0; k < removedIn.size(); ++k) {
    EXPECT_GT(removedIn[k], 0) << "condition case " << k;
    EXPECT_GT(keptIn[k], 0) << "condition case " << k;
  }
}

// The brute force's conditions on the closed patterns of the strings
// "3 2", "1 0" and "1 2 0" at min_sup 1, worked out by hand: {1-0} (2),
// {1-0 1-2 2-0} (1), {3-2} (1).
TEST(ConditionPropertyTest, BruteForceConditionsOnAWorkedExample) {
  Strings strings{{3, 2}, {1, 0}, {1, 2, 0}};
  BruteForceResult result = bruteForceClosedPatterns(strings, 1);
  std::vector<EdgeSet> all;
  for (const ClosedPattern& pattern : result.patterns) all.push_back(pattern.edges);
  OrderedPattern p1{{{1, 0}}, 2}, p2{{{1, 0}, {1, 2}, {2, 0}}, 1}, p3{{{3, 2}}, 1};
  std::vector<OrderedPattern> ordered{p1, p2, p3};
  auto apply = [&](const std::vector<std::string>& args) {
    return applyConditions(ordered, all, conditionCase(args).conditions);
  };
  using List = std::vector<OrderedPattern>;
  EXPECT_EQ(all, (std::vector<EdgeSet>{{{1, 0}}, {{1, 0}, {1, 2}, {2, 0}}, {{3, 2}}}));
  EXPECT_EQ(apply({}), ordered);
  EXPECT_EQ(apply({"--maximal"}), (List{p2, p3}));
  EXPECT_EQ(apply({"--max-edges", "1"}), (List{p1, p3}));
  EXPECT_EQ(apply({"--min-edges", "2"}), (List{p2}));
  EXPECT_EQ(apply({"--items", "2,0"}), (List{p2}));
  EXPECT_EQ(apply({"--items", "2"}), (List{p2, p3}));
  EXPECT_EQ(apply({"--top", "2"}), (List{p1, p2}));  // p2 and p3 tie: the earlier
  EXPECT_EQ(apply({"--top", "2", "--maximal"}), (List{p2, p3}));
  EXPECT_EQ(apply({"--top", "1", "--items", "3"}), (List{p3}));
  EXPECT_EQ(apply({"--top", "9", "--max-edges", "1"}), (List{p1, p3}));
}

TEST(ConditionPropertyTest, ConditionedRunsAgreeWithBruteForce) {
  std::mt19937 random(20261210);
  std::vector<int> removedIn(11), keptIn(11);
  for (int round = 0; round < 24; ++round) {
    Strings strings = randomDatabase(round % 4, random);
    int longest = 0;
    for (const auto& string : strings) longest = std::max(longest, static_cast<int>(string.size()));
    ScratchDir dir;
    int stringCount = static_cast<int>(strings.size()) + (round % 5 == 0 ? 3 : 0);
    std::string spec = dir.writeDatabase(formats::databaseText(strings), 10, longest, stringCount);
    for (int minSup : {1, 2, 3}) {
      SCOPED_TRACE("round " + std::to_string(round) + ", min_sup " + std::to_string(minSup) + "\n" +
                   formats::databaseText(strings));
      BruteForceResult expected = bruteForceClosedPatterns(strings, minSup);
      std::vector<OrderedPattern> ordered = literalOrder(strings, expected, stringCount, minSup);
      std::vector<EdgeSet> all;
      for (const ClosedPattern& pattern : expected.patterns) all.push_back(pattern.edges);
      RunResult full = runInProcess({"--threads", "1", spec, std::to_string(minSup)});
      ASSERT_EQ(full.status, 0);
      ASSERT_EQ(normalizeRuntime(full.out), outputText(ordered));
      std::vector<ConditionCase> cases = conditionCases(strings, random);
      ASSERT_EQ(cases.size(), removedIn.size());
      for (std::size_t k = 0; k < cases.size(); ++k) {
        std::vector<OrderedPattern> kept = applyConditions(ordered, all, cases[k].conditions);
        removedIn[k] += kept.size() < ordered.size();
        keptIn[k] += !kept.empty();
        std::string text = outputText(kept);
        for (const char* threads : {"1", "2", "3", "8"}) {
          std::vector<std::string> args = commandLine(threads, cases[k], spec, minSup);
          RunResult run = runInProcess(args);
          ASSERT_EQ(run.status, 0) << ::testing::PrintToString(args) << run.err;
          ASSERT_EQ(normalizeRuntime(run.out), text) << ::testing::PrintToString(args);
        }
      }
    }
  }
  expectEachCaseMatters(removedIn, keptIn);
}

// Up to 48 strings over 10 items: four random databases in one.
Strings largerDatabase(std::mt19937& random) {
  Strings strings;
  for (int part = 0; part < 4; ++part) {
    Strings more = randomDatabase(1 + part % 3, random);
    strings.insert(strings.end(), more.begin(), more.end());
  }
  return strings;
}

TEST(ConditionPropertyTest, ConditionedRunsAreTheFullRunFilteredAndRenumbered) {
  std::mt19937 random(20261211);
  std::vector<int> removedIn(11), keptIn(11);
  for (int round = 0; round < 12; ++round) {
    Strings strings = largerDatabase(random);
    int longest = 0;
    for (const auto& string : strings) longest = std::max(longest, static_cast<int>(string.size()));
    ScratchDir dir;
    int stringCount = static_cast<int>(strings.size());
    std::string spec = dir.writeDatabase(formats::databaseText(strings), 10, longest, stringCount);
    for (int minSup : {2, 4}) {
      SCOPED_TRACE("round " + std::to_string(round) + ", min_sup " + std::to_string(minSup) + "\n" +
                   formats::databaseText(strings));
      RunResult full = runInProcess({"--threads", "1", spec, std::to_string(minSup)});
      ASSERT_EQ(full.status, 0);
      // The full run's patterns, in its order, read back from its output.
      std::vector<std::vector<Edge>> edgeOrder;
      std::vector<ClosedPattern> written = parsePatterns(full.out, &edgeOrder);
      std::vector<OrderedPattern> ordered;
      std::vector<EdgeSet> all;
      for (std::size_t k = 0; k < written.size(); ++k) {
        ordered.emplace_back(edgeOrder[k], written[k].support);
        all.push_back(written[k].edges);
      }
      ASSERT_EQ(outputText(ordered), normalizeRuntime(full.out));
      std::vector<ConditionCase> cases = conditionCases(strings, random);
      for (std::size_t k = 0; k < cases.size(); ++k) {
        std::vector<OrderedPattern> kept = applyConditions(ordered, all, cases[k].conditions);
        removedIn[k] += kept.size() < ordered.size();
        keptIn[k] += !kept.empty();
        for (const char* threads : {"1", "8"}) {
          std::vector<std::string> args = commandLine(threads, cases[k], spec, minSup);
          RunResult run = runInProcess(args);
          ASSERT_EQ(run.status, 0) << ::testing::PrintToString(args) << run.err;
          ASSERT_EQ(normalizeRuntime(run.out), outputText(kept)) << ::testing::PrintToString(args);
        }
      }
    }
  }
  expectEachCaseMatters(removedIn, keptIn);
}

}  // namespace
}  // namespace tavrel::testing
