// Number text without formatted I/O per number: the same bytes as "%1.1f"
// and "%1.2f", the same values as "%lf", the same fine table as the fscanf
// reader it replaces.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fine_table_reference.hpp"
#include "inversion.hpp"
#include "model.hpp"

namespace {

using namespace model;

std::string Printf(double value, int precision) {
  char text[kFixedTextSize];
  std::snprintf(text, sizeof text, precision == 1 ? "%1.1f" : "%1.2f", value);
  return text;
}

std::string Fixed(double value, int precision) {
  char text[kFixedTextSize];
  return std::string(text, FixedText(text, value, precision));
}

double FromBits(std::uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Checks one value both ways: written as printf writes it, and the text
// read back as sscanf("%lf") reads it.
void ExpectSameText(double value) {
  for (int precision : {1, 2}) {
    const std::string expected = Printf(value, precision), text = Fixed(value, precision);
    ASSERT_EQ(text, expected) << std::hexfloat << value;
    double scanned = 0, read = 0;
    ASSERT_EQ(std::sscanf(expected.c_str(), "%lf", &scanned), 1);
    ASSERT_EQ(ScanNumber(text.data(), text.size(), read), text.size()) << text;
    ASSERT_TRUE(SameBits(read, scanned)) << text;
  }
}

TEST(NumberText, SpecialValues) {
  const double values[] = {0.0,
                           -0.0,
                           0.25,
                           0.125,
                           0.375,
                           2.5,
                           -2.5,
                           0.05,
                           0.15,
                           0.35,
                           99.95,
                           0.005,
                           1.005,
                           -0.04,
                           -0.05,
                           1e300,
                           DBL_MAX,
                           -DBL_MAX,
                           DBL_MIN,
                           0x1p-1074,
                           -0x1p-1074,
                           1e22,
                           123456789012345678.0,
                           double(INFINITY),
                           -double(INFINITY),
                           double(NAN),
                           -double(NAN),
                           FromBits(0x7ff0000000000001),
                           FromBits(0xfff80000deadbeef)};
  for (double value : values) ExpectSameText(value);
  // Halves at one and two decimals, which round to even.
  for (int k = -4000; k <= 4000; ++k) {
    ExpectSameText(k / 4.0);
    ExpectSameText(k / 8.0);
  }
  std::mt19937_64 random(7);
  for (int i = 0; i < 100000; ++i) ExpectSameText(FromBits(random()));
}

// Every cell and label of a few large real grids: three sites (one a polar
// night), three shapes, beta 0 to 1 by 0.001, N 0 to 1 by 0.01.
TEST(NumberText, EveryValueOfLargeGrids) {
  struct Site {
    double lat_deg, day, month, shape;
  };
  for (const Site& site : {Site{46, 21, 6, 1}, Site{-33, 5, 2, 3}, Site{78, 21, 12, 2}}) {
    P = Parameters{site.lat_deg, 3, 0, 14,   30, 0,   site.day, site.month, 0,         1,
                   0.001,        0, 1, 0.01, 0,  100, 1,        2014,       site.shape};
    ComputeSolarDay(P, S);
    E = 0;
    CF = 0;
    for (int row = 0; row <= 100; ++row, CF += 0.01) {
      ExpectSameText(CF);
      beta = P.beta_min;
      do {
        ComputeCell();
        ExpectSameText(X_per);
        ExpectSameText(X2);
      } while (NextBeta(P));
    }
    for (double SD = 0; SD <= 100; SD += 0.1) ExpectSameText(SD);
  }
}

TEST(ScanNumber, ReadsAsScanfReadsAToken) {
  const char* tokens[] = {
      "1.5abc",    "1e+x", "100e", "0x1p3", "0X1.8P1",  "nan(123)", "-nan",  "nan",     "inf",
      "-Infinity", "+1",   "-",    "--1",   "1..2",     "1e5e5",    "1e400", "-1e400",  "1e-400",
      ".5",        "-.5",  ".",    "-0",    "00012.50", "1,5",      "e5",    "0.1e-5x", "x"};
  for (const char* token : tokens) {
    double expected = -1, value = -1;
    int used = 0;
    const bool scanned = std::sscanf(token, "%lf%n", &expected, &used) == 1;
    const std::size_t taken = ScanNumber(token, std::strlen(token), value);
    EXPECT_EQ(taken, scanned ? static_cast<std::size_t>(used) : 0u) << token;
    if (scanned) {
      EXPECT_TRUE(SameBits(value, expected)) << token;
    }
  }
  // A decimal of 700 digits, and a long token that is no decimal.
  const std::string digits = "1." + std::string(698, '3'), hex = "0x" + std::string(600, 'f');
  for (const std::string& token : {digits, hex}) {
    double expected = 0, value = 0;
    ASSERT_EQ(std::sscanf(token.c_str(), "%lf", &expected), 1);
    EXPECT_GT(ScanNumber(token.data(), token.size(), value), 0u);
    EXPECT_TRUE(SameBits(value, expected)) << token.substr(0, 20);
  }
}

struct Read {
  bool ok;
  std::vector<double> M;
};

template <typename Reader>
Read ReadWith(Reader reader, std::string text, int width) {
  Read r{false,
         std::vector<double>(inversion::kFineRows * static_cast<std::size_t>(width) + 1, -1)};
  std::FILE* calc1 = fmemopen(text.data(), text.size(), "r");
  testing::internal::CaptureStderr();
  r.ok = reader(calc1, "calculations.txt", r.M.data(), width);
  testing::internal::GetCapturedStderr();
  std::fclose(calc1);
  return r;
}

void ExpectSameTable(const std::string& text, int width) {
  const Read fast = ReadWith(inversion::ReadFineTable, text, width);
  const Read slow = ReadWith(reference::ReadFineTable, text, width);
  ASSERT_EQ(fast.ok, slow.ok) << text.substr(0, 200);
  if (!fast.ok) return;
  for (std::size_t i = 0; i < fast.M.size(); ++i)
    ASSERT_TRUE(SameBits(fast.M[i], slow.M[i])) << "entry " << i << " of\n" << text.substr(0, 200);
}

// Lines of every kind a tampered or foreign table may hold, alone and mixed.
TEST(ReadFineTable, SameAsTheFscanfReader) {
  const std::string lines[] = {
      "0.37\t95.5\t80.1\t\n",
      "0.37\t-nan\t-nan\t\n",
      "0.10\t1.5abc\t2\n",
      "0.10\t1e+x 100e\t\n",
      "0.1 0x1p3 nan(1) +4\n",
      "  0.5\t\t7 \v8\f9\r\n",
      "0.5\n",
      "\n",
      "x 1 2\n",
      "0.5 1e400 -1e400 1e-400\n",
      std::string("0.5 1\0"
                  "2 3\n",
                  10),
      "0.5 - -- . e5\n",
      // A failed word eats the line end after it, and the skip takes the
      // next line's first token: the two lines read as one (found by fuzzing).
      "0.66\t100.0\t-n\n0.an\t",
      "0.5 na\n\n",
      "0.5 in 7\n",
      "0.5\t-i\tinfinit\n",
      "0.5 " + std::string(700, '7') + "\n",
      "0.5 0x" + std::string(300, 'a') + "\n",
  };
  for (int width : {0, 1, 2, 3, 5}) {
    for (const std::string& line : lines) {
      std::string text;
      for (int i = 0; i < inversion::kFineRows; ++i) text += line;
      ExpectSameTable(text, width);
      ExpectSameTable(text + "  \n\t", width);
      ExpectSameTable(text.substr(0, text.size() - 1), width);  // no last line end
      ExpectSameTable(text + line, width);                      // a line too many
    }
    std::mt19937 random(static_cast<unsigned>(width));
    for (int n = 0; n < 200; ++n) {
      std::string text;
      for (int i = 0; i < inversion::kFineRows; ++i) {
        char label[16];
        std::snprintf(label, sizeof label, "%1.2f\t", i / 100.0);
        text +=
            random() % 20 == 0 ? lines[random() % std::size(lines)] : label + lines[random() % 3];
      }
      ExpectSameTable(text, width);
    }
  }
}

}  // namespace
