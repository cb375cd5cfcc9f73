// Input that neither program can use, and files that cannot be written: one
// line on standard error, status 1, and every earlier file left as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "support.hpp"

namespace {

using support::InputText;
using support::ReadFile;
using support::RunIn;
using support::Snapshot;
using support::TempDir;
using support::WriteFile;

struct Case {
  const char* what;
  std::string input;  // "<none>": no input.txt; "<dir>": a folder of that name
  std::string message;
};

// Runs `program` on a bad input in a folder holding an earlier run's files.
void ExpectRefused(const std::string& program, const Case& c) {
  SCOPED_TRACE(c.what);
  TempDir dir;
  WriteFile(dir / "input.txt", InputText());
  ASSERT_EQ(RunIn(dir.path(), program).status, 0);
  if (c.input == "<none>") {
    std::remove((dir / "input.txt").c_str());
  } else if (c.input == "<dir>") {
    std::remove((dir / "input.txt").c_str());
    mkdir((dir / "input.txt").c_str(), 0755);
  } else {
    WriteFile(dir / "input.txt", c.input);
  }
  const auto before = Snapshot(dir.path());
  const auto run = RunIn(dir.path(), program);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.error.find(c.message), std::string::npos) << run.error;
  EXPECT_EQ(run.error.rfind(program.substr(program.rfind('/') + 1) + ": input.txt: ", 0), 0u)
      << run.error;
  EXPECT_EQ(std::count(run.error.begin(), run.error.end(), '\n'), 1) << run.error;
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(Snapshot(dir.path()), before);
}

const std::string kShort = "46 3 0 14 30 0 21\n";

// Bad for both programs: the file itself and the beta grid.
const Case kCommonCases[] = {
    {"no input.txt", "<none>", "input.txt: cannot open: No such file or directory"},
    {"input.txt a folder", "<dir>", "input.txt: cannot read: Is a directory"},
    {"empty input.txt", "", "input.txt: position 0 (lat_deg): no number (end of file)"},
    {"seven numbers", kShort, "input.txt: position 7 (month): no number (end of file)"},
    {"a comma", "46,05 0 0 14 30 0 21 6 0 1 0.1 0 1 0.1 0 100 10 2014 1",
     "position 1 (lat_min): no number (found \",05\")"},
    {"beta step zero", InputText({{10, 0}}),
     "beta grid (position 8 beta_min 0, position 9 beta_max 1, "
     "position 10 beta_step 0): the step is not above zero"},
    {"beta step negative", InputText({{10, -0.1}}), "the step is not above zero"},
    {"reversed beta grid stepping back past its bound", InputText({{8, 1}, {9, 0}, {10, -2}}),
     "the step is not above zero"},
    {"reversed N and SD grids stepping back past their bounds leave beta to be checked",
     InputText(
         {{8, 1}, {9, 0.5}, {10, -0.6}, {11, 1}, {12, 0}, {13, -2}, {14, 90}, {15, 0}, {16, -100}}),
     "beta grid (position 8 beta_min 1, position 9 beta_max 0.5, position 10 beta_step -0.6)"},
    {"beta step NaN", InputText({{10, NAN}}),
     "position 10 (beta_step): nan is not a finite number"},
    {"beta_max infinite", InputText({{9, INFINITY}}),
     "position 9 (beta_max): inf is not a finite number"},
    {"beta_min minus infinite", InputText({{8, -INFINITY}}),
     "position 8 (beta_min): -inf is not a finite number"},
    {"beta step that cannot move the value", InputText({{8, 1e20}, {9, 2e20}, {10, 1}}),
     "the step is too small to move the accumulated value"},
    {"beta step that cannot move a single value", InputText({{8, 1e20}, {9, 1e20}, {10, 1}}),
     "the step is too small to move the accumulated value"},
    {"beta step far too small", InputText({{8, 0}, {9, 0}, {10, 1e-12}}),
     "beta_step 1e-12): 9999997397 values, more than 2147483647"},
    {"more columns than a row can count", InputText({{8, 0}, {9, 3e9}, {10, 1}}),
     "beta_max 3e+09, position 10 beta_step 1): 3000000001 values, more than 2147483647"},
    {"reversed beta grid by -0: a heading without end", InputText({{8, 1}, {9, 0}, {10, -0.0}}),
     "beta grid (position 8 beta_min 1, position 9 beta_max 0, position 10 beta_step -0): "
     "the heading would have inf cells, more than its counter's 2147483647"},
    {"reversed beta grid by -1e-300", InputText({{8, 1}, {9, 0}, {10, -1e-300}}),
     "beta_step -1e-300): the heading would have 9.999999999999999e+299 cells"},  // 1/1e-300 + 1
    {"a stalled beta grid names where it stalls", InputText({{8, 1e16}, {9, 1e16 + 4}, {10, 1}}),
     "the step is too small to move the accumulated value 1e+16, so the grid never ends"},
};

TEST(Refused, Cover2sd) {
  for (const Case& c : kCommonCases) ExpectRefused(COVER2SD, c);
  const Case cases[] = {
      {"N step zero", InputText({{13, 0}}),
       "N grid (position 11 N_min 0, position 12 N_max 1, "
       "position 13 N_step 0): the step is not above zero"},
      {"N from 1e17 by 1", InputText({{11, 1e17}, {12, 2e17}, {13, 1}}),
       "the step is too small to move the accumulated value"},
      {"N_max NaN", InputText({{12, NAN}}), "position 12 (N_max): nan is not a finite number"},
  };
  for (const Case& c : cases) ExpectRefused(COVER2SD, c);
}

TEST(Refused, Sd2cover) {
  for (const Case& c : kCommonCases) ExpectRefused(SD2COVER, c);
  const Case cases[] = {
      {"SD step zero", InputText({{16, 0}}),
       "SD grid (position 14 SD_min 0, position 15 SD_max 100, "
       "position 16 SD_step 0): the step is not above zero"},
      {"SD_min infinite", InputText({{14, INFINITY}}), "position 14 (SD_min): inf"},
      {"SD step tiny", InputText({{16, 1e-10}}), "values, more than 2147483647"},
      {"a beta grid of 2147483647 cells is counted, but does not fit in memory",
       InputText({{8, 0}, {9, 2147483646}, {10, 1}}),
       "no memory for the fine table of 100 x 2147483648 numbers"},
      {"fine table too large for memory", InputText({{8, 0}, {9, 2e9}, {10, 1}}),
       "no memory for the fine table of 100 x 2000000002 numbers"},
  };
  for (const Case& c : cases) ExpectRefused(SD2COVER, c);
}

// Values that are odd but usable keep their results and status 0.
TEST(LetThrough, OddButUsableValues) {
  const std::string inputs[] = {
      InputText({{0, 95}}),                           // latitude beyond 90
      InputText({{7, 13}}),                           // month 13
      InputText({{18, 4}}),                           // no known shape
      InputText({{11, 0.5}, {12, 1.3}}),              // N above 1
      InputText({{8, 1}, {9, 0}, {10, 0.1}}),         // reversed beta grid
      InputText({{8, 1}, {9, 0}, {10, -0.5}}),        // reversed, stepping back once
      InputText({{11, 0.5}, {12, 0.2}, {13, -0.1}}),  // reversed N grid, one row
      InputText({{14, 80}, {15, 20}, {16, -1}}),      // reversed SD grid, one line
      // Each step moves the value (by 2, the spacing there): two values each.
      InputText({{8, 1e16},
                 {9, 1e16 + 2},
                 {10, 1.5},
                 {11, 1e16},
                 {12, 1e16 + 2},
                 {13, 1.5},
                 {14, 1e16},
                 {15, 1e16 + 2},
                 {16, 1.5}}),
  };
  for (const auto& input : inputs) {
    for (const std::string program : {COVER2SD, SD2COVER}) {
      TempDir dir;
      WriteFile(dir / "input.txt", input);
      const auto run = RunIn(dir.path(), program);
      EXPECT_EQ(run.status, 0) << program << "\n" << input << run.error;
      EXPECT_EQ(run.error, "");
    }
  }
}

}  // namespace
