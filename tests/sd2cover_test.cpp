// sd2cover run end to end in scratch folders.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>

#include "support.hpp"

namespace {

using support::Cells;
using support::InputText;
using support::Lines;
using support::ReadFile;
using support::RunIn;
using support::TableLines;
using support::TempDir;
using support::WriteFile;

struct Result {
  std::string output, calculations, ncol;
};

Result RunSd2cover(const std::string& input, const std::string& args = "") {
  const auto files = support::RunQuietly(SD2COVER, input,
                                         {"Quorvane_output.txt", "calculations.txt", "ncol"}, args);
  return {files[0], files[1], files[2]};
}

std::set<std::string> CoverLabels() {
  std::set<std::string> labels;
  char text[8];
  for (int k = 0; k < 100; ++k) {
    std::snprintf(text, sizeof text, "%d.%02d", k / 100, k % 100);
    labels.insert(text);
  }
  return labels;
}

TEST(Sd2cover, ExampleHeaderAndHeadingByteForByte) {
  const Result r = RunSd2cover(InputText());
  const std::string expected =
      "Quorvane v1.0 output file\n"
      "Calculation mode: Sunshine duration -> Cloud cover\n"
      "(first row corresponds to beta, first column to SD)\n\n"
      "Geographical latitude: 46.0500\n"
      "Geographical longitude: 14.5000\n"
      "Date: 21.6. 2014\n"
      "Sunrise: 4.22\n"
      "Sunset: 19.78\n"
      "Daytime: 15.56 h\n"
      "---------------------------------------------------\n\n"
      "Calculated data for cloud shape: cuboidal\n\n\n"
      "beta/SD    0.00 \t0.10 \t0.20 \t0.30 \t0.40 \t0.50 \t0.60 \t0.70 \t0.80 \t0.90 \t1.00 \t\n"
      "\n"
      "0.00\t    ";
  EXPECT_EQ(r.output.substr(0, expected.size()), expected);
  EXPECT_EQ(r.output.back(), '\n');
  EXPECT_EQ(r.ncol, "11");
  // Beta 0: the factor is 1 and the percentage 100 (1 - N), so each SD of the
  // grid is met exactly by the cover 1 - SD/100 (0.99 for SD 0).
  const auto lines = TableLines(r.output);
  ASSERT_EQ(lines.size(), 13u);
  const char* beta0[] = {"0.99", "0.90", "0.80", "0.70", "0.60", "0.50",
                         "0.40", "0.30", "0.20", "0.10", "0.00"};
  for (size_t i = 0; i < 11; ++i) {
    char label[16];
    std::snprintf(label, sizeof label, "%1.2f\t    ", 10.0 * static_cast<double>(i));
    EXPECT_EQ(lines[i + 2].rfind(label, 0), 0u) << lines[i + 2];
    EXPECT_EQ(Cells(lines[i + 2])[1], beta0[i]);
  }
}

TEST(Sd2cover, FineTableHasOneHundredLinesOfOneCellPerBeta) {
  const struct {
    double first, last, step;
    size_t cells, ncol;
  } cases[] = {
      {0, 1, 0.1, 11, 11}, {0, 0.3, 0.1, 4, 4}, {0, 1, 0.005, 202, 201},
      {0, 1, 0.6, 2, 3},   {1, 0, 0.1, 1, 0},   {0.5, 0.5, 0.2, 1, 1},
  };
  const auto labels = CoverLabels();
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << " to " << c.last << " by " << c.step);
    const Result r = RunSd2cover(InputText({{8, c.first}, {9, c.last}, {10, c.step}}));
    const auto lines = Lines(r.calculations);
    ASSERT_EQ(lines.size(), 100u);
    for (size_t i = 0; i < lines.size(); ++i) {
      char label[16];
      std::snprintf(label, sizeof label, "%d.%02d\t", static_cast<int>(i) / 100,
                    static_cast<int>(i) % 100);
      ASSERT_EQ(lines[i].rfind(label, 0), 0u) << lines[i];
      ASSERT_EQ(Cells(lines[i]).size(), c.cells + 1) << lines[i];
      ASSERT_EQ(lines[i].back(), '\t');
    }
    for (const auto& cell : Cells(lines[0])) EXPECT_TRUE(cell == "100.0" || cell == "0.00");
    // The inverse table has as many cells per line as the heading has columns,
    // each one of the cover labels, whatever the width of the fine table.
    const auto table = TableLines(r.output);
    ASSERT_EQ(table.size(), 13u);
    for (const auto& line : table) {
      if (line.empty()) continue;
      if (line.rfind("beta/SD    ", 0) == 0) {
        EXPECT_EQ(Cells(line.substr(11)).size(), c.ncol) << line;
        continue;
      }
      const auto cells = Cells(line);
      ASSERT_EQ(cells.size(), c.ncol + 1) << line;
      for (size_t j = 1; j < cells.size(); ++j) EXPECT_EQ(labels.count(cells[j]), 1u) << line;
    }
  }
}

TEST(Sd2cover, LinesPerSunshineDuration) {
  const struct {
    double first, last, step;
    std::vector<std::string> labels;
  } cases[] = {
      {0, 0.3, 0.1, {"0.00", "0.10", "0.20"}},
      {50, 50, 10, {"50.00"}},
      {60, 20, 10, {"60.00"}},
      {-5, 105, 55, {"-5.00", "50.00", "105.00"}},
  };
  for (const auto& c : cases) {
    const auto table =
        TableLines(RunSd2cover(InputText({{14, c.first}, {15, c.last}, {16, c.step}})).output);
    ASSERT_EQ(table.size(), c.labels.size() + 2);
    for (size_t i = 0; i < c.labels.size(); ++i) EXPECT_EQ(Cells(table[i + 2])[0], c.labels[i]);
  }
  // Above every percentage: cover 0.00; below every one: 0.99.
  const auto table = TableLines(RunSd2cover(InputText({{14, -5}, {15, 105}, {16, 55}})).output);
  const auto below = Cells(table[2]), above = Cells(table[4]);
  for (size_t j = 1; j < below.size(); ++j) EXPECT_EQ(below[j], "0.99");
  for (size_t j = 1; j < above.size(); ++j) EXPECT_EQ(above[j], "0.00");
}

// The percentage 100 (1 - c)^E of a cover, with the cuboidal factor written
// out from the model's formulas for the example site and date.
double Percentage(double cover, double beta) {
  const double pi = 3.141592653589793;
  const double J = 172, theta = (46 + 3 / 60.0) * pi / 180;
  const double delta = std::sin((J - 81) * 360 / 365.245 * pi / 180) * 23.44 * pi / 180;
  const double C2 =
      std::sin((J - 80) * 4 * pi / 373) * 0.17 - std::sin((J - 8) * 2 * pi / 355) * 0.129;
  const double z =
      std::sin(delta) * std::sin(theta) - std::cos(C2) * std::cos(delta) * std::cos(theta);
  return 100 * std::pow(1 - cover, 1 - std::tan(z) * beta);
}

TEST(Sd2cover, EachCoverFoundIsANearestOneOfTheFineTable) {
  const Result r = RunSd2cover(InputText({{14, 0}, {15, 100}, {16, 2.5}}));
  const auto table = TableLines(r.output);
  ASSERT_EQ(table.size(), 43u);
  for (size_t i = 2; i < table.size(); ++i) {
    const auto cells = Cells(table[i]);
    const double SD = std::atof(cells[0].c_str());
    for (size_t j = 1; j < cells.size(); ++j) {
      const double beta = 0.1 * static_cast<double>(j - 1);
      const double found = std::fabs(SD - Percentage(std::atof(cells[j].c_str()), beta));
      for (int k = 0; k < 100; ++k) {
        // Within the table's resolution: its percentages carry one decimal.
        EXPECT_LE(found, std::fabs(SD - Percentage(k / 100.0, beta)) + 0.1)
            << "SD " << SD << " beta " << beta << ": " << cells[j] << " vs " << k;
      }
    }
  }
}

TEST(Sd2cover, PolarNightGivesCoverZeroEverywhere) {
  const Result r = RunSd2cover(InputText({{0, 78}, {1, 0}, {6, 21}, {7, 12}}));
  volatile double zero = 0;
  char nan_text[16];
  std::snprintf(nan_text, sizeof nan_text, "%1.1f", 100 - ((zero - zero) * 100) / zero);
  const auto fine = Lines(r.calculations);
  ASSERT_EQ(fine.size(), 100u);
  for (const auto& line : fine)
    for (size_t j = 1; j < Cells(line).size(); ++j) EXPECT_EQ(Cells(line)[j], nan_text);
  const auto table = TableLines(r.output);
  for (size_t i = 2; i < table.size(); ++i) {
    const auto cells = Cells(table[i]);
    ASSERT_EQ(cells.size(), 12u);
    for (size_t j = 1; j < cells.size(); ++j) EXPECT_EQ(cells[j], "0.00");
  }
}

TEST(Sd2cover, ArgumentsAndTheCoverGridChangeNothing) {
  const Result plain = RunSd2cover(InputText());
  for (const auto& [input, args] : std::vector<std::pair<std::string, std::string>>{
           {InputText(), "-x 1 2"},
           {InputText({{11, NAN}, {12, INFINITY}, {13, 0}}), ""},
           {InputText({{11, 0}, {12, 1e30}, {13, -1}}), ""}}) {
    const Result r = RunSd2cover(input, args);
    EXPECT_EQ(r.output, plain.output);
    EXPECT_EQ(r.calculations, plain.calculations);
  }
}

}  // namespace
