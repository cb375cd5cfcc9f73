// cover2sd run end to end in scratch folders.
#include <gtest/gtest.h>

#include <cmath>
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

const std::string kPercentage = "Quorvane_output_percentage.txt";
const std::string kHours = "Quorvane_output_absolute.txt";

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

struct Tables {
  std::string percentage, hours, ncol;
};

Tables RunCover2sd(const std::string& input, const std::string& args = "") {
  const auto files = support::RunQuietly(COVER2SD, input, {kPercentage, kHours, "ncol"}, args);
  return {files[0], files[1], files[2]};
}

const char* kExampleHeader =
    "Quorvane v1.0 output file\n"
    "Calculation mode: Cloud cover -> Sunshine duration in % of daytime\n"
    "(first row corresponds to beta, first column to N)\n"
    "\n"
    "Geographical latitude: 46.0500\n"
    "Geographical longitude: 14.5000\n"
    "Date: 21.6. 2014\n"
    "Sunrise: 4.22 h\n"
    "Sunset: 19.78 h\n"
    "Daytime: 15.56 h\n"
    "---------------------------------------------------\n"
    "\n"
    "Calculated data for cloud shape: cuboidal\n"
    "\n"
    "\n"
    "beta/N    ";

TEST(Cover2sd, ExampleHeadersDifferInTheModeLineAlone) {
  const Tables t = RunCover2sd(InputText());
  ASSERT_EQ(t.percentage.rfind(kExampleHeader, 0), 0u) << t.percentage.substr(0, 600);
  std::string hours = t.percentage;
  const std::string mode_percent = "Sunshine duration in % of daytime\n";
  hours.replace(hours.find(mode_percent), mode_percent.size(), "Sunshine duration in hours\n");
  // Same header, heading and labels; only the cells differ.
  const auto p = Lines(t.percentage), h = Lines(t.hours), e = Lines(hours);
  ASSERT_EQ(p.size(), h.size());
  for (size_t i = 0; i < 17; ++i) EXPECT_EQ(h[i], e[i]) << "line " << i;
  for (size_t i = 17; i < h.size(); ++i) EXPECT_EQ(h[i].substr(0, 9), p[i].substr(0, 9));
  EXPECT_EQ(t.ncol, "11");
}

TEST(Cover2sd, EquatorAtTheEquinoxByteForByte) {
  // 0 0 0, 0 0 0, 21 March 2014, beta 0 to 0.2 by 0.1, N 0 to 0.1 by 0.1.
  const std::string input = "0 0 0 0 0 0 21 3 0 0.2 0.1 0 0.1 0.1 0 100 10 2014 1\n";
  // The cuboidal factor 1 - tan(z) beta at the equator, from the model's
  // formulas: J = 80, theta = 0, so z = -cos(C2) cos(delta).
  const double pi = 3.141592653589793;
  const double delta = std::sin((80.0 - 81) * 360 / 365.245 * pi / 180) * 23.44 * pi / 180;
  const double C2 = std::sin(0.0) * 0.17 - std::sin(72 * 2 * pi / 355) * 0.129;
  const double tz = std::tan(-std::cos(C2) * std::cos(delta));
  std::string percent_row = "0.10     90.0 \t ", hours_row = "0.10     10.8 \t ";
  for (double b : {0.1, 0.2}) {
    percent_row += Format("%1.1f \t ", 100 * std::pow(0.9, 1 - tz * b));
    hours_row += Format("%1.1f \t ", 12 * std::pow(0.9, 1 - tz * b));
  }
  const std::string header =
      "Quorvane v1.0 output file\n"
      "Calculation mode: Cloud cover -> Sunshine duration in %s\n"
      "(first row corresponds to beta, first column to N)\n\n"
      "Geographical latitude: 0.0000\n"
      "Geographical longitude: 0.0000\n"
      "Date: 21.3. 2014\n"
      "Sunrise: 6.00 h\n"
      "Sunset: 18.00 h\n"
      "Daytime: 12.00 h\n"
      "---------------------------------------------------\n\n"
      "Calculated data for cloud shape: cuboidal\n\n\n"
      "beta/N    0.00 \t 0.10 \t 0.20 \t \n"
      "\n";
  auto with_mode = [&](const std::string& mode) {
    std::string text = header;
    return text.replace(text.find("%s"), 2, mode);
  };
  const Tables t = RunCover2sd(input);
  EXPECT_EQ(t.percentage, with_mode("% of daytime") + "0.00     100.0 \t 100.0 \t 100.0 \t \n" +
                              percent_row + "\n");
  EXPECT_EQ(t.hours, with_mode("hours") + "0.00     12.0 \t 12.0 \t 12.0 \t \n" + hours_row + "\n");
  EXPECT_EQ(t.ncol, "3");
}

// Counts for one grid used as the N grid, as the beta grid, and for the
// heading, with the text left in "ncol".
TEST(Cover2sd, RowCellAndHeadingCounts) {
  const struct {
    double first, last, step;
    size_t rows, cells, heading;
    const char* ncol;
    const char* last_label;
  } cases[] = {
      {0, 1, 0.1, 11, 11, 11, "11", "1.00"},
      {0, 0.3, 0.1, 3, 4, 4, "4", "0.20"},
      {0, 1, 0.05, 20, 21, 21, "21", "0.95"},
      {0, 1, 0.01, 100, 101, 101, "101", "0.99"},
      {0, 1, 0.25, 5, 5, 5, "5", "1.00"},
      {0, 1, 0.35, 3, 3, 4, "4", "0.70"},
      {0, 0.05, 0.005, 11, 13, 11, "11", "0.05"},
      {0, 1, 0.3, 4, 4, 4, "4", "0.90"},
      {0, 0.03, 0.01, 4, 4, 4, "4", "0.03"},  // the extended-precision bound
      {0, 0.1, 0.01, 11, 12, 11, "11", "0.10"},
      {0, 0.8, 0.5, 2, 2, 3, "3", "0.50"},
      {0, 0.02, 0.004, 6, 8, 6, "6", "0.02"},
      {1, 0, 0.1, 1, 1, 0, "-9", "1.00"},
      {0.5, 0.5, 0.1, 1, 1, 1, "1", "0.50"},
      {0, 0.75, 0.5, 2, 2, 2, "2", "0.50"},  // 2.5 columns: "%1.0f" rounds half to even
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << " to " << c.last << " by " << c.step);
    const Tables t = RunCover2sd(InputText(
        {{8, c.first}, {9, c.last}, {10, c.step}, {11, c.first}, {12, c.last}, {13, c.step}}));
    EXPECT_EQ(t.ncol, c.ncol);
    for (const std::string* file : {&t.percentage, &t.hours}) {
      const auto lines = TableLines(*file);
      ASSERT_GE(lines.size(), 3u);
      EXPECT_EQ(Cells(lines[0].substr(10)).size(), c.heading);
      EXPECT_EQ(lines[1], "");
      EXPECT_EQ(lines.size() - 2, c.rows);
      for (size_t i = 2; i < lines.size(); ++i)
        EXPECT_EQ(Cells(lines[i].substr(9)).size(), c.cells) << lines[i];
      EXPECT_EQ(lines.back().substr(0, 9), std::string(c.last_label) + "     ");
    }
  }
}

TEST(Cover2sd, HeadingCellsComeFromTheCounter) {
  const Tables t = RunCover2sd(InputText({{8, 0}, {9, 0.02}, {10, 0.004}}));
  EXPECT_EQ(TableLines(t.percentage)[0],
            "beta/N    0.00 \t 0.00 \t 0.01 \t 0.01 \t 0.02 \t 0.02 \t ");
  const Tables reversed = RunCover2sd(InputText({{8, 1}, {9, 0}, {10, 0.1}}));
  EXPECT_EQ(TableLines(reversed.hours)[0], "beta/N    ");
}

TEST(Cover2sd, PolarNightGivesNotANumberAndZeroHours) {
  const Tables t = RunCover2sd(InputText({{0, 78}, {1, 0}, {6, 21}, {7, 12}}));
  EXPECT_NE(t.percentage.find("Sunrise: 0.00 h\nSunset: 0.00 h\nDaytime: 0.00 h\n"),
            std::string::npos);
  volatile double zero = 0;
  const std::string nan_text = Format("%1.1f", 100 - ((zero - zero) * 100) / zero);
  const auto p = TableLines(t.percentage), h = TableLines(t.hours);
  ASSERT_EQ(p.size(), 13u);
  for (size_t i = 2; i < p.size(); ++i) {
    for (const auto& cell : Cells(p[i].substr(9))) EXPECT_EQ(cell, nan_text);
    for (const auto& cell : Cells(h[i].substr(9))) EXPECT_EQ(cell, "0.0");
  }
}

TEST(Cover2sd, UnknownShapeWritesNoShapeLineAndFullSunshine) {
  const Tables t = RunCover2sd(InputText({{18, 4}}));
  EXPECT_NE(t.percentage.find("Daytime: 15.56 h\n"
                              "---------------------------------------------------\n\n"
                              "beta/N    0.00 \t "),
            std::string::npos);
  EXPECT_EQ(t.hours.find("cloud shape"), std::string::npos);
  const auto p = TableLines(t.percentage), h = TableLines(t.hours);
  for (size_t i = 2; i < p.size(); ++i) {
    for (const auto& cell : Cells(p[i].substr(9))) EXPECT_EQ(cell, "100.0");
    for (const auto& cell : Cells(h[i].substr(9))) EXPECT_EQ(cell, "15.6");
  }
}

TEST(Cover2sd, SiteAndDateLinesAsRead) {
  const struct {
    std::initializer_list<std::pair<int, double>> changes;
    const char* text;
  } cases[] = {
      {{{0, 0}, {1, -30}}, "Geographical latitude: -0.5000\n"},
      {{{0, -0.0}, {1, 30}}, "Geographical latitude: 0.5000\n"},
      {{{3, -14}}, "Geographical longitude: -14.5000\n"},
      {{{7, 13}}, "Date: 21.13. 2014\n"},
      {{{6, 2.5}, {7, 3.5}, {17, 2014.5}}, "Date: 2.4. 2014\n"},  // halves to even
      {{{18, 2}}, "Calculated data for cloud shape: cylindrical\n\n\nbeta/N"},
      {{{18, 3}}, "Calculated data for cloud shape: semi-ellipsoidal\n\n\nbeta/N"},
  };
  for (const auto& c : cases) {
    const Tables t = RunCover2sd(InputText(c.changes));
    EXPECT_NE(t.percentage.find(c.text), std::string::npos) << c.text;
    EXPECT_NE(t.hours.find(c.text), std::string::npos) << c.text;
  }
}

TEST(Cover2sd, ArgumentsAndTheSunshineGridChangeNothing) {
  const Tables plain = RunCover2sd(InputText());
  for (const auto& [input, args] : std::vector<std::pair<std::string, std::string>>{
           {InputText(), "--help extra 42"},
           {InputText({{14, NAN}, {15, INFINITY}, {16, 0}}), ""},
           {InputText({{14, 50}, {15, -1}, {16, -3}}), ""}}) {
    const Tables t = RunCover2sd(input, args);
    EXPECT_EQ(t.percentage, plain.percentage);
    EXPECT_EQ(t.hours, plain.hours);
  }
}

TEST(Cover2sd, ReplacesEarlierTablesOfAnotherSize) {
  TempDir dir;
  WriteFile(dir / "input.txt", InputText());
  ASSERT_EQ(RunIn(dir.path(), COVER2SD).status, 0);
  WriteFile(dir / "input.txt", InputText({{9, 0.1}, {12, 0.1}}));
  ASSERT_EQ(RunIn(dir.path(), COVER2SD).status, 0);
  for (const auto& name : {kPercentage, kHours}) {
    const auto lines = TableLines(ReadFile(dir / name));
    EXPECT_EQ(lines.size(), 4u) << name;
  }
  EXPECT_EQ(ReadFile(dir / "ncol"), "2");
}

}  // namespace
