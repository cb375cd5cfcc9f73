// Checks of the value grids, made before any output file is opened, so that
// no input can make a program loop without end or lose an earlier table.
#include <climits>
#include <cmath>

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

bool CheckFinite(const Parameters& P, const Grid& grid) {
  for (int i = grid.first_position; i < grid.first_position + 3; ++i) {
    const double value = ParameterAt(P, i);
    if (!std::isfinite(value))
      return Fail("%s: position %d (%s): %g is not a finite number", kInputFile, i,
                  ParameterName(i), value);
  }
  return true;
}

bool CheckLoop(const Parameters& P, const Grid& grid, long double bound) {
  const int i = grid.first_position;
  const char* fault = GridFault(ParameterAt(P, i), bound, ParameterAt(P, i + 2));
  return fault == nullptr || FailGrid(P, grid.name, i, fault);
}

}  // namespace

bool FailGrid(const Parameters& P, const char* grid_name, int first_position, const char* reason) {
  const int i = first_position;
  return Fail("%s: %s grid (position %d %s %g, position %d %s %g, position %d %s %g): %s",
              kInputFile, grid_name, i, ParameterName(i), ParameterAt(P, i), i + 1,
              ParameterName(i + 1), ParameterAt(P, i + 1), i + 2, ParameterName(i + 2),
              ParameterAt(P, i + 2), reason);
}

const char* GridFault(double first, long double bound, double step) {
  const double second = first + step;
  if (!(bound >= second)) return nullptr;  // a single value
  if (!(step > 0)) return "the step is not above zero, so the grid never ends";
  // Accumulation stops moving where the step is below the spacing of the
  // doubles; the spacing is largest at the value of largest magnitude.
  const double largest = std::fmax(std::fabs(second), std::fabs(static_cast<double>(bound)));
  if (step < std::nextafter(largest, INFINITY) - largest)
    return "the step is too small to move the accumulated value, so the grid never ends";
  if ((bound - second) / step + 2 > INT_MAX) return "more than 2147483647 values";
  return nullptr;
}

bool CheckGrids(const Parameters& P, bool use_N, bool use_SD) {
  // The limit of 2147483647 values per row also keeps the heading's column
  // count, which never exceeds the row's by more than a half, within the
  // range of its 32-bit counter.
  if (!CheckFinite(P, kBetaGrid) || !CheckLoop(P, kBetaGrid, BetaBound(P.beta_max))) return false;
  if (use_N && (!CheckFinite(P, kCoverGrid) || !CheckLoop(P, kCoverGrid, P.N_max))) return false;
  if (use_SD && (!CheckFinite(P, kDurationGrid) || !CheckLoop(P, kDurationGrid, P.SD_max)))
    return false;
  return true;
}

}  // namespace model
