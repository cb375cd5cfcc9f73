// The closed form of Simpson's sum for a constant integrand against simpson
// itself, bit for bit.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "model.hpp"

namespace {

using model::kSimpsonPanels;
using model::simpson;
using model::SimpsonOfConstant;

double constant;
double Constant(double) { return constant; }

std::uint64_t Bits(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

double FromBits(std::uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

struct Case {
  double F, a, b;
  unsigned int n;
};

// Empty when the two agree to the bit, otherwise what differs.
std::string Compare(const Case& c) {
  constant = c.F;
  const double expected = simpson(Constant, c.a, c.b, c.n);
  const double closed = SimpsonOfConstant(c.F, c.a, c.b, c.n);
  if (Bits(expected) == Bits(closed)) return "";
  char text[256];
  std::snprintf(text, sizeof text, "F %a a %a b %a n %u: simpson %a, closed form %a", c.F, c.a, c.b,
                c.n, expected, closed);
  return text;
}

constexpr double kDayStart = 1.104311, kDayEnd = 5.178875;  // the example's T1, T2
constexpr double kTwoPi = 6.283185307179586;

// t = 4F + 2F with an integer significand T < 2^53 whose low k bits are
// 1 followed by k - 1 zeros: a tie wherever the running sum's spacing is 2^k
// times t's, with the bit above it (the parity of q) as given.  F = T 2^e / 6
// is exact because T is made a multiple of 3.
double TieF(int k, int parity, int e, std::uint64_t high) {
  std::uint64_t T =
      (high << (k + 1)) | (std::uint64_t(parity) << k) | (std::uint64_t{1} << (k - 1));
  while (T % 3 != 0) T += std::uint64_t{1} << (k + 1);
  return std::ldexp(static_cast<double>(T / 3), e - 1);
}

TEST(SimpsonOfConstant, ConstructedCases) {
  std::vector<Case> cases;
  // Ties at every binade 4999 additions reach (the sum grows to 2^13 t), both
  // parities, at exponents from the subnormals to near overflow.
  for (int k = 1; k <= 16; ++k)
    for (int parity : {0, 1})
      for (int e : {-1100, -1060, -60, -52, -10, 0, 10, 900, 1000})
        for (std::uint64_t high : {std::uint64_t{1}, std::uint64_t{0x2d}, std::uint64_t{0x3ffff}}) {
          const double F = TieF(k, parity, e, high);
          cases.push_back({F, kDayStart, kDayEnd, kSimpsonPanels});
          cases.push_back({-F, kDayStart, kDayEnd, kSimpsonPanels});
        }
  // Zero, the subnormals, infinities and NaNs of both signs and payloads.
  for (double F : std::vector<double>{0.0, -0.0, 0x1p-1074, -0x1p-1074, 0x3p-1074,
                                      0x1.fffffffffffffp-1023, 0x1p-1022, double(INFINITY),
                                      -double(INFINITY), double(NAN), -double(NAN),
                                      FromBits(0x7ff0000000000001), FromBits(0xfff4000000000abc)})
    cases.push_back({F, kDayStart, kDayEnd, kSimpsonPanels});
  // Above 1 up to overflow: the sum passes DBL_MAX near F = DBL_MAX / 30000.
  for (double F = 1; F < DBL_MAX / 4; F *= 3.7) cases.push_back({F, 0, kTwoPi, kSimpsonPanels});
  const double edge = DBL_MAX / 29994;
  for (int i = -40; i <= 40; ++i) {
    double F = edge;
    for (int j = 0; j < std::abs(i); ++j) F = std::nextafter(F, i < 0 ? 0.0 : INFINITY);
    for (int j = 0; j < 3; ++j, F *= 1.0001) cases.push_back({F, 0, kTwoPi, kSimpsonPanels});
  }
  // Bounds: empty, reversed, polar day and polar night; other panel counts.
  for (double F : {0.37, 1.0, 1e-300, 0.1}) {
    cases.push_back({F, 2.5, 2.5, kSimpsonPanels});
    cases.push_back({F, kDayEnd, kDayStart, kSimpsonPanels});
    cases.push_back({F, 0, kTwoPi, kSimpsonPanels});
    cases.push_back({F, 0, 0, kSimpsonPanels});
    for (unsigned int n : {0u, 1u, 2u, 3u, 4u, 7u, 9999u, 10002u, 4294967295u})
      cases.push_back({F, kDayStart, kDayEnd, n});
  }
  for (const Case& c : cases) ASSERT_EQ(Compare(c), "");
}

// A seeded sweep of integrand values of every kind: realistic sunshine
// fractions, short significands (ties), any bit pattern, huge values.
void Sweep(std::uint64_t seed, int count) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int i = 0; i < count; ++i) {
    double F;
    switch (random() % 5) {
      case 0:
        F = std::pow(unit(random), unit(random) * 4 - 1);
        break;
      case 1:
        F = std::ldexp(static_cast<double>(random() % 100000), -static_cast<int>(random() % 40));
        break;
      case 2:
        F = FromBits(random());
        break;
      case 3:
        F = std::ldexp(1 + unit(random), static_cast<int>(random() % 2100) - 1075);
        break;
      default:
        F = std::round(unit(random) * 1000) / 1000;
    }
    const double a = random() % 8 == 0 ? 0 : unit(random) * 3;
    const double b = random() % 8 == 0 ? kTwoPi : a + unit(random) * 4;
    const unsigned int n =
        random() % 16 == 0 ? static_cast<unsigned int>(random() % 20000) : kSimpsonPanels;
    ASSERT_EQ(Compare({F, a, b, n}), "");
  }
}

// A million cases in four parts, which ctest can run side by side.
TEST(SimpsonOfConstant, RandomSweepPart1) { Sweep(1, 250000); }
TEST(SimpsonOfConstant, RandomSweepPart2) { Sweep(2, 250000); }
TEST(SimpsonOfConstant, RandomSweepPart3) { Sweep(3, 250000); }
TEST(SimpsonOfConstant, RandomSweepPart4) { Sweep(4, 250000); }

}  // namespace
