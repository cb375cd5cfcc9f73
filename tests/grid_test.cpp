// Grid checks: which accumulating loops end, and how many values they have.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "model.hpp"

namespace {

TEST(GridFault, ExactlyTheLoopsThatNeverEndOrHaveTooManyValues) {
  const struct {
    double first;
    long double bound;
    double step;
    const char* fault;  // a fragment of the reason, or nullptr
  } cases[] = {
      {0, 1.01L, 0.1, nullptr},
      {0, 1, 0.01, nullptr},
      {0.5, 0.2, 0.1, nullptr},   // reversed: one value
      {0.5, 0.2, -0.1, nullptr},  // reversed, stepping back short of the bound
      {0.5, 0.2, 0, nullptr},     // reversed: the step is never used
      {0, 1, 0, "not above zero"},
      {0, 1, -0.1, "not above zero"},
      {1, 0.01L, -2, "not above zero"},  // steps back past the bound
      {1e20, 2e20, 1, "too small to move the accumulated value 1e+20,"},
      {1e17, 2e17, 1, "too small to move the accumulated value 1e+17,"},
      {1e17, 2e17, 32, "more than 2147483647"},  // moves, but 3e15 values
      {1e20, 1e20L + 0.01L, 1, "too small to move"},
      {-1e20, 0, 1, "too small to move the accumulated value -1e+20,"},
      {0, 0.01L, 1e-300, "too small to move"},            // stalls near 1e-300 * 2^53
      {0, 0.01L, 1e-12, "9999997397 values, more than"},  // counted by the plain loop
      {0, 2147483646, 1, nullptr},                        // exactly 2147483647 values
      {0, 2147483647, 1, "2147483648 values, more than 2147483647"},
      {0, 2147483646.01L, 1, nullptr},  // a beta grid of 2147483647 cells
      {0, 1, NAN, nullptr},             // a NaN ends the loop after its first value
      {1e16, 1e16 + 2, 1.5, nullptr},   // each step moves: 1e16, 1e16 + 2, then past
      {1e16, 1e16 + 4, 1, "too small to move the accumulated value 1e+16,"},
      {-1e16, 1e16, 1.5, "values, more than 2147483647"},  // by 2 where the spacing is 2
      {-0.5, 0.5, 0x1p-1074, "too small to move"},
  };
  for (const auto& c : cases) {
    model::GridReason reason;
    const bool fault = model::GridFault(c.first, c.bound, c.step, reason);
    const std::string trace = std::to_string(c.first) + " " + std::to_string(c.step);
    if (c.fault == nullptr) {
      EXPECT_FALSE(fault) << trace << ": " << reason;
    } else {
      ASSERT_TRUE(fault) << trace;
      EXPECT_NE(std::string(reason).find(c.fault), std::string::npos) << trace << ": " << reason;
    }
  }
}

TEST(CheckGrids, OnlyTheGridsAProgramUses) {
  model::Parameters P{46, 3, 0, 14, 30, 0, 21, 6, 0, 1, 0.1, 0, 1, 0.1, 0, 100, 10, 2014, 1};
  P.SD_step = NAN;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(model::CheckGrids(P, true, false));
  EXPECT_FALSE(model::CheckGrids(P, false, true));
  P.SD_step = 10, P.N_step = 0;
  EXPECT_TRUE(model::CheckGrids(P, false, true));
  EXPECT_FALSE(model::CheckGrids(P, true, false));
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(errors,
            "quorvane: input.txt: position 16 (SD_step): nan is not a finite number\n"
            "quorvane: input.txt: N grid (position 11 N_min 0, position 12 N_max 1, position 13 "
            "N_step 0): the step is not above zero, so the grid never ends\n");
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The loop that Accumulate stands for, addition by addition.
model::Accumulation Loop(double v, double t, std::uint64_t count, bool limited, long double limit) {
  std::uint64_t k = 0;
  while (k < count) {
    const double before = v;
    v = v + t;
    ++k;
    if (limited && !(limit >= v)) break;
    if (SameBits(before, v)) return {v, count, k < count};
  }
  return {v, k, false};
}

void ExpectLoop(double v, double t, std::uint64_t count, bool limited, long double limit) {
  const model::Accumulation fast = model::Accumulate(v, t, count, limited, limit);
  const model::Accumulation slow = Loop(v, t, count, limited, limit);
  ASSERT_TRUE(SameBits(fast.value, slow.value) && fast.additions == slow.additions &&
              fast.stalled == slow.stalled)
      << std::hexfloat << "v " << v << " t " << t << " count " << count << " limit "
      << static_cast<double>(limit) << ": " << fast.value << " after " << fast.additions << " vs "
      << slow.value << " after " << slow.additions;
}

// Starting values on either side of zero, steps of every size relative to
// them, with and without a limit: the same value, count and stall as the loop.
TEST(Accumulate, SameAsTheLoopOfAdditions) {
  std::mt19937_64 random(20261211);
  std::uniform_int_distribution<int> exponent(-30, 30), shift(-60, 4);
  std::uniform_real_distribution<double> unit(1, 2);
  for (int n = 0; n < 20000; ++n) {
    const double v = std::ldexp(unit(random), exponent(random)) * (random() % 3 == 0 ? -1 : 1);
    double t = std::ldexp(std::fabs(v), shift(random));
    if (random() % 4 == 0) t = std::ldexp(std::round(std::ldexp(t, 8)), -8);  // ties
    if (t == 0) t = 0x1p-60;
    const std::uint64_t count = random() % 6000;
    if (random() % 2 == 0) {
      ExpectLoop(v, t, count, false, 0);
    } else {
      const long double limit = v + static_cast<long double>(t) * (random() % 5000);
      ExpectLoop(v, t, count, true, limit);
    }
  }
  const double special[] = {0x1p-1074, 0x1p-1060, 0x1.8p-1022, 0x1p1022, 1, 0.1, 1.5, 1e308};
  for (double v : special)
    for (double t : special) {
      ExpectLoop(v, t, 5000, false, 0);
      ExpectLoop(-v, t, 5000, false, 0);
      ExpectLoop(-v, t, 5000, true, 0);
      ExpectLoop(v, -t, 5000, false, 0);
    }
}

}  // namespace
