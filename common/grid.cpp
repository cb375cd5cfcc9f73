// Checks of the value grids and of the heading's column count, made before
// any output file is opened, so that no input can make a program loop or
// write without end or lose an earlier table.
#include <climits>
#include <cmath>
#include <cstdint>

#include "model.hpp"

namespace model {
namespace {

// One accumulating grid of the parameter file: first value, last value and
// step at positions first_position .. first_position + 2.
struct Grid {
  const char* name;
  int first_position;
};

constexpr Grid kBetaGrid = {"beta", 8};
constexpr Grid kCoverGrid = {"N", 11};
constexpr Grid kDurationGrid = {"SD", 14};

// More additions than any moving grid of doubles can make.
constexpr std::uint64_t kEndless = std::uint64_t{1} << 62;

bool CheckFinite(const Parameters& P, const Grid& grid) {
  for (int i = grid.first_position; i < grid.first_position + 3; ++i) {
    const double value = ParameterAt(P, i);
    if (!std::isfinite(value)) {
      NumberText text;
      return Fail("%s: position %d (%s): %s is not a finite number", kInputFile, i,
                  ParameterName(i), ShortestText(value, text));
    }
  }
  return true;
}

bool CheckLoop(const Parameters& P, const Grid& grid, long double bound) {
  const int i = grid.first_position;
  GridReason reason;
  return !GridFault(ParameterAt(P, i), bound, ParameterAt(P, i + 2), reason) ||
         FailGrid(P, grid.name, i, reason);
}

// The heading counts its cells with a 32-bit counter up to the count read
// back from "ncol"; the rows do not bound it (a reversed grid has rows of one
// cell, and beta 1 to 0 by -0 an infinite count).
bool CheckHeadingCount(const Parameters& P) {
  const double ncol = RoundedColumnCount(P);
  if (std::isfinite(ncol) && ncol <= INT_MAX) return true;
  NumberText count;
  GridReason reason;
  std::snprintf(reason, sizeof reason,
                "the heading would have %s cells, more than its counter's 2147483647",
                ShortestText(ncol, count));
  return FailGrid(P, kBetaGrid.name, kBetaGrid.first_position, reason);
}

}  // namespace

bool FailGrid(const Parameters& P, const char* grid_name, int first_position, const char* reason) {
  const int i = first_position;
  NumberText first, last, step;
  return Fail("%s: %s grid (position %d %s %s, position %d %s %s, position %d %s %s): %s",
              kInputFile, grid_name, i, ParameterName(i), ShortestText(ParameterAt(P, i), first),
              i + 1, ParameterName(i + 1), ShortestText(ParameterAt(P, i + 1), last), i + 2,
              ParameterName(i + 2), ShortestText(ParameterAt(P, i + 2), step), reason);
}

bool GridFault(double first, long double bound, double step, GridReason reason) {
  const double second = first + step;
  if (!(bound >= second)) return false;  // a single value
  if (!(step > 0)) {
    std::snprintf(reason, sizeof(GridReason), "the step is not above zero, so the grid never ends");
    return true;
  }
  // The loop's own additions, made exactly, binade by binade.
  const Accumulation grid = Accumulate(first, step, kEndless, true, bound);
  NumberText text;
  if (grid.stalled) {
    std::snprintf(reason, sizeof(GridReason),
                  "the step is too small to move the accumulated value %s, so the grid never ends",
                  ShortestText(grid.value, text));
    return true;
  }
  if (grid.additions <= INT_MAX) return false;
  if (grid.additions == kEndless)
    std::snprintf(reason, sizeof(GridReason), "more than 2147483647 values");
  else
    std::snprintf(reason, sizeof(GridReason), "%llu values, more than 2147483647",
                  static_cast<unsigned long long>(grid.additions));
  return true;
}

bool CheckGrids(const Parameters& P, bool use_N, bool use_SD) {
  if (!CheckFinite(P, kBetaGrid) || !CheckLoop(P, kBetaGrid, BetaBound(P.beta_max)) ||
      !CheckHeadingCount(P))
    return false;
  if (use_N && (!CheckFinite(P, kCoverGrid) || !CheckLoop(P, kCoverGrid, P.N_max))) return false;
  if (use_SD && (!CheckFinite(P, kDurationGrid) || !CheckLoop(P, kDurationGrid, P.SD_max)))
    return false;
  return true;
}

}  // namespace model
