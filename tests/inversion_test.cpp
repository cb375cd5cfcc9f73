// Read-back of the fine table and the nearest-cover search.
#include "inversion.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using inversion::kFineRows;
using inversion::NearestRow;

// A matrix of kFineRows rows of width 2: the cover label and one percentage.
std::vector<double> Column(double fill, std::initializer_list<std::pair<int, double>> rows) {
  std::vector<double> M(2 * kFineRows);
  for (int i = 0; i < kFineRows; ++i) M[2 * i] = i / 100.0, M[2 * i + 1] = fill;
  for (const auto& row : rows) M[2 * row.first + 1] = row.second;
  return M;
}

std::vector<double> Falling() {
  std::vector<double> M = Column(0, {});
  for (int i = 0; i < kFineRows; ++i) M[2 * i + 1] = 100 - i;
  return M;
}

TEST(NearestRow, TiesAndRunsGoToTheFirstRowUnlessRoundingRaisedTheDistance) {
  const struct {
    const char* what;
    std::vector<double> M;
    double SD;
    int row;
  } cases[] = {
      {"halfway between 50.1 and 49.9", Column(1000, {{49, 50.1}, {50, 49.9}}), 50, 49},
      {"a run of 0.0 at high cover", Column(1000, {{90, 0}, {91, 0}, {92, 0}, {99, 0}}), 0.2, 90},
      {"a run of 95.5 far from 30.1",
       Column(1000, {{10, 95.5}, {11, 95.5}, {12, 95.5}, {20, 95.5}}), 30.1, 20},
      {"exact match", Falling(), 42, 58},
      {"above every value", Falling(), 250, 0},
      {"below every value", Falling(), -3, 99},
      {"above a run of the largest", Column(5, {{3, 80}, {4, 80}}), 120, 3},
      {"NaN rows are never chosen", Column(NAN, {{0, 1}, {7, 60}}), 59, 7},
      {"NaN in row 0 keeps row 0", Column(10, {{0, NAN}, {5, 50}}), 50, 0},
      {"all NaN", Column(NAN, {}), 50, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(NearestRow(c.M.data(), 2, 1, c.SD), c.row) << c.what;
}

TEST(NearestRow, SearchesTheRequestedColumn) {
  std::vector<double> M(3 * kFineRows);
  for (int i = 0; i < kFineRows; ++i)
    M[3 * i] = i / 100.0, M[3 * i + 1] = 100 - i, M[3 * i + 2] = i;
  EXPECT_EQ(NearestRow(M.data(), 3, 1, 30), 70);
  EXPECT_EQ(NearestRow(M.data(), 3, 2, 30), 30);
}

// The search as first written: every distance with a 64-bit significand.
int PlainNearestRow(const std::vector<double>& M, int width, int j, double SD) {
  int best = 0;
  double mindiff = std::fabs(SD - M[j]);
  for (int i = 1; i < kFineRows; ++i) {
    const long double diff =
        std::fabs(static_cast<long double>(SD) - static_cast<long double>(M[i * width + j]));
    if (diff < mindiff) {
      mindiff = static_cast<double>(diff);
      best = i;
    }
  }
  return best;
}

// Columns of one-decimal percentages with many repeats (ties, runs far from
// SD, NaN) and SDs of one decimal or of any value: the same row.
TEST(NearestRow, SameAsThePlainExtendedSearch) {
  std::mt19937_64 random(11);
  const int width = 5;
  std::vector<double> M(kFineRows * width);
  for (int n = 0; n < 4000; ++n) {
    for (int i = 0; i < kFineRows; ++i) {
      M[i * width] = i / 100.0;
      for (int j = 1; j < width; ++j) {
        const int kind = static_cast<int>(random() % 10);
        M[i * width + j] = kind == 0  ? NAN
                           : kind < 5 ? static_cast<double>(random() % 6) * 19.1
                                      : static_cast<double>(random() % 1001) / 10;
      }
    }
    for (int k = 0; k < 20; ++k) {
      const double SD = k % 2 == 0 ? static_cast<double>(random() % 1201) / 10 - 10
                                   : std::ldexp(static_cast<double>(random() % (1 << 20)), -13);
      for (int j = 1; j < width; ++j)
        ASSERT_EQ(NearestRow(M.data(), width, j, SD), PlainNearestRow(M, width, j, SD))
            << "SD " << SD << " column " << j;
    }
  }
}

TEST(MatrixWidth, CountPlusOneTruncatedAndNeverNegative) {
  EXPECT_EQ(inversion::MatrixWidth(11), 12);
  EXPECT_EQ(inversion::MatrixWidth(0), 1);
  EXPECT_EQ(inversion::MatrixWidth(-1), 0);
  EXPECT_EQ(inversion::MatrixWidth(-9), 0);
  EXPECT_EQ(inversion::MatrixWidth(-1e300), 0);
  EXPECT_EQ(inversion::MatrixWidth(2147483646), 2147483647);
  EXPECT_EQ(inversion::MatrixWidth(2147483647), -1);
  EXPECT_EQ(inversion::MatrixWidth(1e300), -1);
}

struct ReadResult {
  bool ok;
  std::vector<double> M;
  std::string error;
};

ReadResult Read(std::string text, int width) {
  ReadResult r{false, std::vector<double>(kFineRows * static_cast<size_t>(width) + 1, -1.0), ""};
  std::FILE* calc1 = fmemopen(text.data(), text.size(), "r");
  testing::internal::CaptureStderr();
  r.ok = inversion::ReadFineTable(calc1, "calculations.txt", r.M.data(), width);
  r.error = testing::internal::GetCapturedStderr();
  std::fclose(calc1);
  return r;
}

// kFineRows lines "label\tcell\t...", line i with `cells(i)` cells of value i + j.
template <typename CellCount>
std::string Table(CellCount cells, int lines = kFineRows) {
  std::string text;
  char number[32];
  for (int i = 0; i < lines; ++i) {
    std::snprintf(number, sizeof number, "%d.%02d\t", i / 100, i % 100);
    text += number;
    for (int j = 1; j <= cells(i); ++j) {
      std::snprintf(number, sizeof number, "%d.5\t", i + j);
      text += number;
    }
    text += "\n";
  }
  return text;
}

TEST(ReadFineTable, RowIsLineWhateverItsWidth) {
  // 3 cells per line read with width 3 (two cells kept), 4 (all three), 6
  // (three and two NaN): every row starts with its own label.
  for (int width : {3, 4, 6}) {
    const ReadResult r = Read(Table([](int) { return 3; }), width);
    ASSERT_TRUE(r.ok) << r.error;
    for (int i = 0; i < kFineRows; ++i) {
      EXPECT_EQ(r.M[i * width], i / 100.0) << width;
      for (int j = 1; j < width; ++j) {
        if (j <= 3)
          EXPECT_EQ(r.M[i * width + j], i + j + 0.5);
        else
          EXPECT_TRUE(std::isnan(r.M[i * width + j]));
      }
    }
  }
}

TEST(ReadFineTable, TextThatIsNoNumberReadsAsNotANumber) {
  std::string text = Table([](int) { return 2; });
  text.replace(text.find("1.5"), 3, "-nan");
  text.replace(text.find("3.5"), 3, "bad");
  text.replace(text.find("4.5"), 3, "nan");
  const ReadResult r = Read(text, 3);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(std::isnan(r.M[1]));
  EXPECT_EQ(r.M[2], 2.5);
  EXPECT_EQ(r.M[4], 2.5);
  EXPECT_TRUE(std::isnan(r.M[5]));
  EXPECT_EQ(r.M[6], 0.02);
  EXPECT_EQ(r.M[7], 3.5);
  EXPECT_TRUE(std::isnan(r.M[8]));
}

TEST(ReadFineTable, LabelsOnlyWhenTheWidthIsZeroOrOne) {
  EXPECT_TRUE(Read(Table([](int) { return 2; }), 0).ok);
  const ReadResult r = Read(Table([](int) { return 2; }), 1);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.M[99], 0.99);
}

TEST(ReadFineTable, LastLineWithoutLineEnd) {
  std::string text = Table([](int) { return 1; });
  text.pop_back();
  EXPECT_TRUE(Read(text, 2).ok);
}

TEST(ReadFineTable, TableOfAnotherLengthIsAnError) {
  const auto one = [](int) { return 1; };
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {Table(one, 99), "quorvane: calculations.txt: line 100: missing, the table ends early\n"},
      {"", "quorvane: calculations.txt: line 1: missing, the table ends early\n"},
      {Table(one, 101), "quorvane: calculations.txt: line 101: more than 100 lines\n"},
      {Table(one, 40) + "\n" + Table(one, 60),
       "quorvane: calculations.txt: line 41: no cover label\n"},
      {Table(one, 40) + "x\t1.0\t\n" + Table(one, 59),
       "quorvane: calculations.txt: line 41: no cover label\n"},
  };
  for (const auto& c : cases) {
    const ReadResult r = Read(c.text, 2);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.message);
  }
}

}  // namespace
