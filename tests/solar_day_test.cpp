// The solar day: site conversion, declination, sunrise and sunset with the
// polar rule, and the day length.
#include <gtest/gtest.h>

#include <cmath>

#include "model.hpp"
#include "support.hpp"

namespace {

using model::Parameters;
using model::SolarDay;

constexpr double pi = 3.141592653589793;

Parameters Site(double lat_deg, double lat_min, double day, double month) {
  Parameters P{};
  const auto values = support::ExampleValues();
  P.lat_deg = lat_deg, P.lat_min = lat_min, P.day = day, P.month = month;
  P.lon_deg = values[3], P.lon_min = values[4];
  return P;
}

SolarDay Day(const Parameters& P) {
  SolarDay S{};
  model::ComputeSolarDay(P, S);
  return S;
}

TEST(SolarDay, ExampleSiteOnTheSummerSolstice) {
  const SolarDay S = Day(Site(46, 3, 21, 6));
  EXPECT_EQ(S.J, 172);
  EXPECT_TRUE(S.Q);
  EXPECT_NEAR(S.delta, 0.409099, 5e-7);
  EXPECT_NEAR(S.delta * 180 / pi, 23.4397, 5e-5);
  EXPECT_NEAR(S.h, 1.104311, 5e-7);
  EXPECT_NEAR(S.T_sr, 4.218156, 5e-7);
  EXPECT_NEAR(S.T_ss, 19.781844, 5e-7);
  EXPECT_NEAR(S.A, 0.286382, 5e-7);
  EXPECT_NEAR(S.B, 0.636759, 5e-7);
  EXPECT_NEAR(S.C2, -0.023374, 5e-7);
  EXPECT_NEAR(S.T1, 1.104311, 5e-7);
  EXPECT_NEAR(S.T2, 5.178875, 5e-7);
  EXPECT_NEAR(S.DAY1, 15.563687, 5e-7);
  EXPECT_NEAR(S.theta, 0.803724, 5e-7);
  EXPECT_EQ(S.lambda, 14.5);
}

TEST(SolarDay, EquatorAtTheEquinox) {
  const SolarDay S = Day(Site(0, 0, 21, 3));
  EXPECT_EQ(S.theta, 0);
  EXPECT_TRUE(S.Q);
  EXPECT_DOUBLE_EQ(S.h, pi / 2);
  EXPECT_DOUBLE_EQ(S.T_sr, 6);
  EXPECT_DOUBLE_EQ(S.T_ss, 18);
  EXPECT_DOUBLE_EQ(S.DAY, pi);
  EXPECT_DOUBLE_EQ(S.DAY1, 12);
}

TEST(SolarDay, PolarDayAndNightInBothHemispheres) {
  const struct {
    double lat_deg, day, month, T_ss, DAY1;
  } cases[] = {
      {78, 21, 6, 24, 24},                         // northern summer: polar day
      {78, 21, 12, 0, 0},                          // northern winter: polar night
      {-78, 21, 6, 0, 0},                          // southern winter: polar night
      {-78, 21, 12, 24, 24},                       // southern summer: polar day
      {90, 21, 3, 24, 24},                         // J = 80 counts as the northern summer
      {-90, 21, 3, 0, 0},    {90, 22, 9, 24, 24},  // J = 265 as well
      {90, 23, 9, 0, 0},                           // J = 266 does not
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lat_deg << " on " << c.day << "." << c.month);
    const SolarDay S = Day(Site(c.lat_deg, 0, c.day, c.month));
    EXPECT_FALSE(S.Q);
    EXPECT_TRUE(std::isnan(S.h));
    EXPECT_EQ(S.T_sr, 0);
    EXPECT_EQ(S.T_ss, c.T_ss);
    EXPECT_EQ(S.T1, 0);
    EXPECT_EQ(S.T2, c.T_ss == 24 ? 6.283185307179586 : 0);
    EXPECT_EQ(S.DAY1, c.DAY1);
  }
}

TEST(SolarDay, SignsOfTheSiteApplyToMinutesAndSeconds) {
  const struct {
    double deg, min, sec;
    int sign;
    double degrees;
  } cases[] = {
      {46, 3, 0, 1, 46.05},  {-46, 3, 0, -1, -46.05}, {0, -30, 0, 1, -0.5},
      {-0.0, 30, 0, 1, 0.5}, {46, 3, 36, 1, 46.06},   {-46, 3, 36, -1, -46.06},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.deg << " " << c.min << " " << c.sec);
    Parameters P{};
    P.lat_deg = c.deg, P.lat_min = c.min, P.lat_sec = c.sec;
    P.lon_deg = c.deg, P.lon_min = c.min, P.lon_sec = c.sec;
    SolarDay S{};
    model::ConvertSite(P, S);
    EXPECT_EQ(S.H, c.sign);
    EXPECT_EQ(S.G, c.sign);
    EXPECT_NEAR(S.theta * 180 / pi, c.degrees, 1e-12);
    EXPECT_NEAR(S.lambda, c.degrees, 1e-12);
  }
}

TEST(SolarDay, MonthsOutsideTheTableCountFromTheFirstOfJanuary) {
  const SolarDay january = Day(Site(46, 3, 21, 1));
  for (double month : {13.0, 0.0, 6.5}) {
    const SolarDay S = Day(Site(46, 3, 21, month));
    EXPECT_EQ(S.p, 0) << month;
    EXPECT_EQ(S.J, 21) << month;
    EXPECT_EQ(S.delta, january.delta) << month;
  }
  EXPECT_EQ(Day(Site(46, 3, 1, 12)).J, 335);
}

TEST(SolarDay, IsNumberIsFalseOnlyForNotANumber) {
  EXPECT_TRUE(model::IsNumber(0));
  EXPECT_TRUE(model::IsNumber(INFINITY));
  EXPECT_TRUE(model::IsNumber(-INFINITY));
  EXPECT_FALSE(model::IsNumber(NAN));
}

}  // namespace
