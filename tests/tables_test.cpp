// quorvane-csv and quorvane-plot run end to end on the programs' tables.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support.hpp"

namespace {

using support::Cells;
using support::InputText;
using support::Lines;
using support::ReadFile;
using support::RunIn;
using support::TempDir;
using support::WriteFile;

// A folder holding `input` and the files both programs leave for it.
void RunBoth(const TempDir& dir, const std::string& input) {
  WriteFile(dir / "input.txt", input);
  ASSERT_EQ(RunIn(dir.path(), COVER2SD).status, 0);
  ASSERT_EQ(RunIn(dir.path(), SD2COVER).status, 0);
}

std::vector<double> Numbers(const std::string& input) {
  std::vector<double> values;
  char* p = const_cast<char*>(input.c_str());
  for (int i = 0; i < 19; ++i) values.push_back(std::strtod(p, &p));
  return values;
}

// The grids written out here as the programs loop over them.
std::vector<double> RowGrid(double first, double last, double step) {
  std::vector<double> values;
  double v = first;
  do values.push_back(v);
  while (last >= (v = v + step));
  return values;
}

std::vector<double> BetaRow(const std::vector<double>& p) {
  std::vector<double> betas;
  const long double bound = static_cast<long double>(p[9]) + 0.01;
  double b = p[8];
  do betas.push_back(b);
  while (bound >= (b = b + p[10]));
  return betas;
}

std::vector<double> Covers() {
  std::vector<double> covers;
  double c = 0;
  do covers.push_back(c);
  while ((c = c + 0.01) <= 1);
  return covers;
}

bool SameDouble(const std::string& text, double expected) {
  const double value = std::strtod(text.c_str(), nullptr);
  return std::memcmp(&value, &expected, sizeof value) == 0;
}

struct Expected {
  const char* file;
  const char* columns;
  std::vector<double> rows, betas;
  size_t skip;  // lines before the rows
};

// Every CSV line against the table's own cell and the grids above.
void ExpectCsv(const TempDir& dir, const Expected& e) {
  SCOPED_TRACE(e.file);
  const auto run = RunIn(dir.path(), CSV_COMMAND, e.file);
  ASSERT_EQ(run.status, 0) << run.error;
  EXPECT_EQ(run.error, "");
  const auto csv = Lines(run.output);
  const auto table = Lines(ReadFile(dir / e.file));
  ASSERT_EQ(csv.size(), 1 + e.rows.size() * e.betas.size());
  EXPECT_EQ(csv[0], e.columns);
  ASSERT_EQ(table.size(), e.skip + e.rows.size());
  size_t line = 1;
  for (size_t r = 0; r < e.rows.size(); ++r) {
    std::string row = table[e.skip + r];
    const size_t blanks = row.find("     ");  // forward tables: five blanks after the label
    if (blanks != std::string::npos && blanks < row.find('\t')) row.replace(blanks, 5, "\t");
    const auto cells = Cells(row);
    ASSERT_EQ(cells.size(), 1 + e.betas.size()) << table[e.skip + r];
    for (size_t c = 0; c < e.betas.size(); ++c, ++line) {
      const auto fields = Cells(std::string(csv[line])
                                    .replace(csv[line].find(','), 1, "\t")
                                    .replace(csv[line].rfind(','), 1, "\t"));
      ASSERT_EQ(fields.size(), 3u) << csv[line];
      EXPECT_TRUE(SameDouble(fields[0], e.rows[r])) << csv[line] << " row " << e.rows[r];
      EXPECT_TRUE(SameDouble(fields[1], e.betas[c])) << csv[line] << " beta " << e.betas[c];
      EXPECT_EQ(fields[2], cells[1 + c] == "-nan" ? "nan" : cells[1 + c]) << csv[line];
    }
  }
}

void ExpectAllCsv(const std::string& input, size_t header_lines) {
  TempDir dir;
  RunBoth(dir, input);
  const auto p = Numbers(input);
  const auto betas = BetaRow(p);
  // The inverse table has as many columns as the heading: the accumulated
  // betas, continued past the row's bound where the heading is wider.
  double ncol = std::nearbyint((p[9] - p[8]) / p[10] + 1);
  std::vector<double> inverse_betas;
  for (double b = p[8]; inverse_betas.size() < std::max(0.0, ncol); b = b + p[10])
    inverse_betas.push_back(b);
  const auto N = RowGrid(p[11], p[12], p[13]), SD = RowGrid(p[14], p[15], p[16]);
  ExpectCsv(dir,
            {"Quorvane_output_percentage.txt", "N,beta,sunshine_percent", N, betas, header_lines});
  ExpectCsv(dir, {"Quorvane_output_absolute.txt", "N,beta,sunshine_hours", N, betas, header_lines});
  ExpectCsv(
      dir, {"Quorvane_output.txt", "SD_percent,beta,cloud_cover", SD, inverse_betas, header_lines});
  ExpectCsv(dir, {"calculations.txt", "cloud_cover,beta,sunshine_percent", Covers(), betas, 0});
}

TEST(Csv, EveryCellWithItsExactGridValues) {
  const size_t header = 17;  // header with its shape line, heading, blank line
  ExpectAllCsv(InputText(), header);
  ExpectAllCsv(InputText({{8, 0}, {9, 1}, {10, 0.35}}), header);      // 4 heading cells, rows of 3
  ExpectAllCsv(InputText({{8, 0}, {9, 0.05}, {10, 0.005}}), header);  // 13 cells, 11 heading
  ExpectAllCsv(InputText({{10, 0.001}, {13, 0.05}, {16, 25}}), header);
  ExpectAllCsv(InputText({{0, 78}, {1, 0}, {6, 21}, {7, 12}}), header);  // polar night
  ExpectAllCsv(InputText({{18, 4}}), header - 3);                        // no shape line
}

struct Refusal {
  const char* what;
  std::string table;  // the name given to quorvane-csv
  std::string message;
};

TEST(Csv, RefusesWhatIsNoTableOfTheFolder) {
  TempDir dir;
  RunBoth(dir, InputText());
  const std::string percentage = ReadFile(dir / "Quorvane_output_percentage.txt");
  const auto expect = [&](const Refusal& r) {
    SCOPED_TRACE(r.what);
    const auto run = RunIn(dir.path(), CSV_COMMAND, r.table);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "") << "no partial CSV";
    EXPECT_NE(run.error.find(r.message), std::string::npos) << run.error;
    EXPECT_EQ(std::count(run.error.begin(), run.error.end(), '\n'), 1) << run.error;
  };
  expect({"not a table", "input.txt", "quorvane-csv: input.txt: not one of the system's tables"});
  WriteFile(dir / "Quorvane_output_percentage.txt", percentage.substr(0, percentage.size() - 20));
  expect({"cut off", "Quorvane_output_percentage.txt",
          "Quorvane_output_percentage.txt: line 28: cut off, the line has no end"});
  WriteFile(dir / "Quorvane_output_percentage.txt",
            percentage.substr(0, percentage.rfind("1.00     ")));
  expect({"a row missing", "Quorvane_output_percentage.txt",
          "line 28: missing, the table ends before the last row"});
  std::string bad = percentage;
  bad.replace(bad.find("100.0 \t "), 5, "1e2.0");
  WriteFile(dir / "Quorvane_output_percentage.txt", bad);
  expect({"a malformed cell", "Quorvane_output_percentage.txt",
          "line 18: cell 1 \"1e2.0\" is not a number of this table"});
  WriteFile(dir / "Quorvane_output_percentage.txt", ReadFile(dir / "Quorvane_output_absolute.txt"));
  expect({"another table under the name", "Quorvane_output_percentage.txt",
          "line 2: not a Quorvane_output_percentage.txt table of this system"});
  WriteFile(dir / "Quorvane_output_percentage.txt", percentage);
  WriteFile(dir / "input.txt", InputText({{9, 0.5}}));
  expect({"input.txt of another run", "Quorvane_output_percentage.txt",
          "line 16: heading \"beta/N    0.00 \\t 0.10"});
  std::remove((dir / "input.txt").c_str());
  expect({"no input.txt", "Quorvane_output_percentage.txt",
          "input.txt: cannot open: No such file or directory"});
}

bool HaveGnuplot() { return std::system("command -v gnuplot >/dev/null 2>&1") == 0; }

// The width and height a PNG's header gives, or 0 x 0 when it is none.
std::pair<unsigned, unsigned> PngSize(const std::string& png) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(png.data());
  if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
      png.compare(12, 4, "IHDR") != 0)
    return {0, 0};
  const auto be = [&](size_t i) {
    return unsigned(b[i]) << 24 | unsigned(b[i + 1]) << 16 | unsigned(b[i + 2]) << 8 | b[i + 3];
  };
  return {be(16), be(20)};
}

TEST(Plot, APictureOfTheDocumentedSizePerResultTable) {
  if (!HaveGnuplot()) GTEST_SKIP() << "gnuplot (Debian package gnuplot-nox) is not installed";
  const std::string inputs[] = {
      InputText(),
      InputText({{8, 0}, {9, 1}, {10, 0.35}}),
      InputText({{8, 0}, {9, 0.05}, {10, 0.005}}),     // 13 columns: heat maps
      InputText({{10, 0.001}, {13, 0.05}, {16, 5}}),   // 1001 columns
      InputText({{0, 78}, {1, 0}, {6, 21}, {7, 12}}),  // polar night
      InputText({{18, 4}}),
      InputText({{8, -10}, {9, -6}, {10, 1}, {13, 0.25}}),  // infinite cells at N = 1
  };
  for (const std::string& input : inputs) {
    TempDir dir;
    RunBoth(dir, input);
    const auto run = RunIn(dir.path(), PLOT_COMMAND, "--svg");
    ASSERT_EQ(run.status, 0) << run.error << input;
    EXPECT_EQ(run.error, "");
    for (const char* name :
         {"Quorvane_output_percentage", "Quorvane_output_absolute", "Quorvane_output"}) {
      const auto size = PngSize(ReadFile(dir / (std::string(name) + ".png")));
      EXPECT_EQ(size.first, 1200u) << name;
      EXPECT_EQ(size.second, 800u) << name;
      const std::string svg = ReadFile(dir / (std::string(name) + ".svg"));
      EXPECT_NE(svg.find("<svg"), std::string::npos) << name;
      EXPECT_NE(svg.find("width=\"1200\""), std::string::npos) << name;
      EXPECT_NE(svg.find("</svg>"), std::string::npos) << name;
    }
  }
}

TEST(Plot, SaysWhatItLeftOut) {
  if (!HaveGnuplot()) GTEST_SKIP() << "gnuplot (Debian package gnuplot-nox) is not installed";
  TempDir night, infinite;
  RunBoth(night, InputText({{0, 78}, {1, 0}, {6, 21}, {7, 12}}));
  ASSERT_EQ(RunIn(night.path(), PLOT_COMMAND, "--svg").status, 0);
  EXPECT_NE(ReadFile(night / "Quorvane_output_percentage.svg").find("Polar night"),
            std::string::npos);
  // Beta -10 to -6 here gives shape factors below zero, so at N = 1 (exact
  // by steps of 0.25) the cells are (1 - 1)^E, infinite.
  RunBoth(infinite, InputText({{8, -10}, {9, -6}, {10, 1}, {13, 0.25}}));
  ASSERT_EQ(RunIn(infinite.path(), PLOT_COMMAND, "--svg").status, 0);
  const std::string svg = ReadFile(infinite / "Quorvane_output_percentage.svg");
  EXPECT_NE(svg.find("cells are NaN or infinite and left out"), std::string::npos);
}

TEST(Plot, RefusalsLeaveNoPicture) {
  TempDir empty, broken;
  const auto none = RunIn(empty.path(), PLOT_COMMAND);
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.error,
            "quorvane-plot: .: no result tables (Quorvane_output_percentage.txt, "
            "Quorvane_output_absolute.txt, Quorvane_output.txt)\n");
  RunBoth(broken, InputText());
  const std::string inverse = ReadFile(broken / "Quorvane_output.txt");
  WriteFile(broken / "Quorvane_output.txt", inverse.substr(0, inverse.size() - 3));
  const auto run = RunIn(broken.path(), PLOT_COMMAND, ".");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.error.find("Quorvane_output.txt: line 28: cut off"), std::string::npos)
      << run.error;
  for (const auto& entry : support::Snapshot(broken.path()))
    EXPECT_EQ(entry.first.find(".png"), std::string::npos) << entry.first;
  const auto usage = RunIn(broken.path(), PLOT_COMMAND, "--frobnicate");
  EXPECT_EQ(usage.status, 2);
}

}  // namespace
