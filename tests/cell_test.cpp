// Simpson integration and the cell computation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "model.hpp"
#include "support.hpp"

namespace {

using namespace model;

std::vector<double> nodes;

double Record(double x) {
  nodes.push_back(x);
  return x * x;
}

int spike = 0;
double Spike(double x) { return x == spike ? 1 : 0; }

TEST(Simpson, CompositeWeightsOneFourTwoFourOne) {
  const double weights[] = {1, 4, 2, 4, 2, 4, 1};
  for (spike = 0; spike <= 6; ++spike)
    EXPECT_EQ(simpson(Spike, 0, 6, 6) * 3, weights[spike]) << "node " << spike;
}

TEST(Simpson, CallsTheIntegrandInItsFixedOrder) {
  nodes.clear();
  EXPECT_EQ(simpson(Record, 0, 4, 4), 64.0 / 3);
  EXPECT_EQ(nodes, (std::vector<double>{2, 3, 0, 4, 1}));
}

TEST(Simpson, OddPanelCountTakesOneMore) {
  nodes.clear();
  EXPECT_EQ(simpson(Record, 0, 6, 5), 72);  // exact for a quadratic
  EXPECT_EQ(nodes.size(), 7u);
  nodes.clear();
  simpson(Record, 0, 1, kSimpsonPanels);
  EXPECT_EQ(nodes.size(), 10001u);
}

TEST(Simpson, EmptyIntervalGivesZero) { EXPECT_EQ(simpson(Record, 1.5, 1.5, kSimpsonPanels), 0); }

// The shape factor, written out here from the model's formulas.
double ShapeFactor(double shape, double beta, const SolarDay& day) {
  const double z = day.A - std::cos(day.C2) * day.B;
  const double u = day.DAY1 >= 23.8 ? -1 : 1;
  if (shape == 1) return 1 - std::tan(z) * u * beta;
  if (shape == 2) return 1 - std::tan(z) * u * (4 / 3.141592653589793) * beta;
  return (1 + std::sqrt(1 + 4 * beta * beta * std::tan(z * std::tan(z)))) / 2;
}

class Cell : public testing::Test {
 protected:
  void SetUp() override {
    P = Parameters{46, 3, 0, 14, 30, 0, 21, 6, 0, 1, 0.1, 0, 1, 0.1, 0, 100, 10, 2014, 1};
    S = SolarDay{};
    ComputeSolarDay(P, S);
    E = 0;
  }
  void Compute(double shape, double cover, double b) {
    P.shape = shape;
    CF = cover;
    beta = b;
    ComputeCell();
  }
};

TEST_F(Cell, PercentageIsTheClearFractionToTheShapeFactor) {
  for (double shape : {1.0, 2.0, 3.0})
    for (double cover : {0.0, 0.1, 0.37, 0.9, 0.99})
      for (double b : {0.0, 0.25, 1.0}) {
        SCOPED_TRACE(testing::Message() << shape << " " << cover << " " << b);
        Compute(shape, cover, b);
        const double clear = std::pow(1 - cover, ShapeFactor(shape, b, S));
        EXPECT_NEAR(X_per, 100 * clear, 1e-9);
        EXPECT_NEAR(X2, S.DAY1 * clear, 1e-10);
        EXPECT_NEAR(X, S.DAY * clear, 1e-11);
      }
}

TEST_F(Cell, ClearSkyGivesTheWholeDayAndFullCoverNone) {
  Compute(2, 0, 0.7);
  char text[16];
  std::snprintf(text, sizeof text, "%1.1f", X_per);
  EXPECT_STREQ(text, "100.0");
  EXPECT_NEAR(X2, S.DAY1, 1e-12);
  Compute(1, 1, 0.5);
  ASSERT_GT(E, 0);
  EXPECT_EQ(X, 0);
  EXPECT_EQ(X_per, 0);
  EXPECT_EQ(X2, 0);
}

TEST_F(Cell, UnknownShapeKeepsTheFactorAtZero) {
  for (double shape : {0.0, 4.0, 2.5, double(NAN)}) {
    Compute(shape, 0.6, 0.8);
    EXPECT_EQ(E, 0) << shape;
    EXPECT_NEAR(X_per, 100, 1e-9) << shape;
  }
}

TEST_F(Cell, PolarNightGivesNotANumberInPercentAndZeroHours) {
  P.lat_deg = 78, P.day = 21, P.month = 12;
  ComputeSolarDay(P, S);
  ASSERT_EQ(S.DAY, 0);
  Compute(1, 0.5, 0.5);
  EXPECT_TRUE(std::isnan(X_per));
  EXPECT_EQ(X2, 0);
}

TEST_F(Cell, SignOfTheTangentTermFlipsFromADayOf23Point8Hours) {
  const struct {
    double DAY1;
    int U;
  } cases[] = {{23.8, -1}, {24, -1}, {std::nextafter(23.8, 0), 1}, {15.5, 1}, {NAN, 1}};
  for (const auto& c : cases) {
    S.DAY1 = c.DAY1;
    Compute(3, 0.5, 0.5);
    const double e3 = E3;
    Compute(1, 0.5, 0.5);
    EXPECT_EQ(U, c.U) << c.DAY1;
    EXPECT_EQ(E3, e3) << "E3 does not depend on U";
    EXPECT_EQ(E1, 1 - std::tan(S.A - std::cos(S.C2) * S.B) * (c.U * 0.5));
  }
}

TEST_F(Cell, NegativeShapeFactorTakesMoreThanTheWholeDay) {
  // A beta with tan(z) U beta = 2 gives the cuboidal factor -1.
  Compute(1, 0.5, 1);
  const double b = 2 / (std::tan(S.A - std::cos(S.C2) * S.B) * U);
  Compute(1, 0.5, b);
  ASSERT_NEAR(E, -1, 1e-12);
  EXPECT_NEAR(X_per, 200, 1e-9);
  Compute(1, 1, b);
  EXPECT_EQ(X, INFINITY);
  EXPECT_EQ(X_per, INFINITY);
  EXPECT_EQ(X2, INFINITY);
}

// pow at every node, as the integrand would be evaluated without forming it
// once per cell.
double NodeByNode(double) { return std::pow(1 - CF, E); }

TEST_F(Cell, FormingTheIntegrandOncePerCellChangesNoBit) {
  struct Site {
    double lat_deg, day, month;
  };
  const Site sites[] = {{46, 21, 6}, {78, 21, 6}, {78, 21, 12}, {-33, 5, 2}, {0, 21, 3}};
  for (const Site& site : sites) {
    P.lat_deg = site.lat_deg, P.day = site.day, P.month = site.month;
    ComputeSolarDay(P, S);
    for (double shape : {1.0, 2.0, 3.0}) {
      double cover = 0;
      for (int row = 0; row <= 100; ++row, cover += 0.01) {
        for (double b : {0.0, 0.001, 0.1, 0.5, 0.999, 1.0, -4.0, 40.0}) {
          Compute(shape, row == 100 ? 1.0 : cover, b);
          const double expected = simpson(NodeByNode, S.T1, S.T2, kSimpsonPanels);
          ASSERT_EQ(std::memcmp(&X, &expected, sizeof X), 0)
              << site.lat_deg << " " << shape << " " << CF << " " << b << ": " << X << " vs "
              << expected;
        }
      }
    }
  }
}

}  // namespace
