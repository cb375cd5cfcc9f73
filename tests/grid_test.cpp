// Grid checks: which accumulating loops end.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model.hpp"

namespace {

TEST(GridFault, LoopsThatEndAndLoopsThatDoNot) {
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
      {1e20, 2e20, 1, "too small to move"},
      {1e17, 2e17, 1, "too small to move"},
      {1e17, 2e17, 32, "more than 2147483647"},  // moves, but 3e15 values
      {1e20, 1e20L + 0.01L, 1, "too small to move"},
      {-1e20, 0, 1, "too small to move"},
      {0, 0.01L, 1e-300, "too small to move"},  // stalls near 1e-300 * 2^53
      {0, 0.01L, 1e-12, "more than 2147483647"},
      {0, 2147483646, 1, nullptr},
      {0, 2147483647, 1, "more than 2147483647"},
      {0, 1, NAN, nullptr},  // a NaN ends the loop after its first value
  };
  for (const auto& c : cases) {
    const char* fault = model::GridFault(c.first, c.bound, c.step);
    const std::string trace = std::to_string(c.first) + " " + std::to_string(c.step);
    if (c.fault == nullptr) {
      EXPECT_EQ(fault, nullptr) << trace << ": " << fault;
    } else {
      ASSERT_NE(fault, nullptr) << trace;
      EXPECT_NE(std::string(fault).find(c.fault), std::string::npos) << trace << ": " << fault;
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

}  // namespace
