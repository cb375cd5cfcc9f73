// Repeated addition of one constant, "v = v + t" over and over, each sum
// rounded to nearest with ties to even, computed in time proportional to the
// number of binades the sum crosses instead of the number of additions.
//
// While v stays in a stretch of doubles of uniform spacing u (one binade, or
// the subnormals together with the lowest normal binade), v = m u for a whole
// number m, and t = y u exactly (a power-of-two scaling).  As long as the
// exact sum m u + t lies in the same stretch, the rounded sum is m + D with
// D the nearest whole number to y, ties going to the even m + D.  After one
// tie step m is even, and from then on D is the even neighbour at every step;
// otherwise D is the same at every step anyway.  So k additions add k D at
// once, and the addition that leaves the stretch is made by the hardware,
// which rounds it (into infinity, too) exactly as the loop would.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "model.hpp"

namespace model {
namespace {

constexpr double kSubnormalTop = 0x1p-1021;    // below it, the spacing is 2^-1074

// The uniform stretch holding w > 0: w = m 2^shift with m whole, and a sum
// stays in it while its exact value lies within [low, high) spacings.
struct Stretch {
  int shift;          // log2 of the spacing
  std::int64_t m;     // w in spacings
  std::int64_t low;   // first whole number of the stretch (1 in the lowest,
                      // so that no jump lands on a zero whose sign it would miss)
  std::int64_t high;  // first whole number past it
};

Stretch StretchOf(double w) {
  Stretch s;
  if (w < kSubnormalTop) {
    s.shift = -1074;
    s.low = 1;
  } else {
    int exponent;
    std::frexp(w, &exponent);  // w in [2^(exponent-1), 2^exponent)
    s.shift = exponent - 53;
    s.low = std::int64_t{1} << 52;
  }
  s.high = std::int64_t{1} << 53;
  s.m = static_cast<std::int64_t>(std::ldexp(w, -s.shift));
  return s;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// How many of the next additions can be made at once, and the increment D
// (in spacings of the stretch, signed like the move of |v|) of each.  Zero
// additions where the next one leaves the stretch, is a tie from an odd m,
// or the values are not finite nonzero doubles.
struct Jump {
  std::uint64_t additions;
  std::int64_t D;
  Stretch stretch;
  double sign;
};

Jump PlanJump(double v, double t, std::uint64_t remaining, bool limited, long double limit) {
  Jump jump{0, 0, {}, 1};
  if (!std::isfinite(v) || !std::isfinite(t) || v == 0 || t == 0) return jump;
  // Work on |v|, moving up when t has its sign and down otherwise.
  jump.sign = v < 0 ? -1 : 1;
  const double w = std::fabs(v), x = t * jump.sign;
  const Stretch s = StretchOf(w);
  jump.stretch = s;
  const double y = std::ldexp(x, -s.shift);
  // The first sum must stay in the stretch: low <= m + y < high.
  if (x > 0 ? !(y < static_cast<double>(s.high - s.m)) : !(y >= static_cast<double>(s.low - s.m)))
    return jump;
  const double whole = std::floor(y);
  const double rho = y - whole;  // exact: the fraction bits of y
  const auto Y = static_cast<std::int64_t>(whole);
  std::int64_t D;
  if (rho < 0.5) {
    D = Y;
  } else if (rho > 0.5) {
    D = Y + 1;
  } else {
    if (s.m % 2 != 0) return jump;  // one step by hardware makes m even
    D = Y % 2 == 0 ? Y : Y + 1;
  }
  if (D == 0) {  // v + t == v: the sum never moves again
    jump.additions = remaining;
    return jump;
  }
  // Additions j = 0, 1, ... start from m + j D; each must keep its exact sum
  // in the stretch.  Up: m + jD + Y + rho < high, i.e. jD <= high - m - Y - 1.
  // Down: m + jD + Y + rho >= low, i.e. j|D| <= m + Y - low.
  const std::int64_t room = x > 0 ? s.high - s.m - Y - 1 : s.m + Y - s.low;
  if (room < 0) return jump;
  std::uint64_t k = static_cast<std::uint64_t>(room / (D < 0 ? -D : D)) + 1;
  if (k > remaining) k = remaining;
  if (limited) {
    // Sums v_j = sign (m + jD) 2^shift, j = 1..k, must not pass the limit:
    // a + j delta <= L, with a = sign m, delta = sign D > 0, L = limit 2^-shift.
    const long double L = std::ldexp(limit, -s.shift);
    const long double a = jump.sign * static_cast<long double>(s.m);
    const long double delta = jump.sign * static_cast<long double>(D);
    if (!(delta > 0)) return Jump{0, 0, {}, 1};
    const long double span = L - a;  // exact near the stretch; far away, k is not bounded by it
    if (span < static_cast<long double>(k) * delta) {
      long double j = std::floor(span / delta);
      while (j > 0 && j * delta > span) j -= 1;
      while ((j + 1) * delta <= span) j += 1;
      k = j > 0 ? static_cast<std::uint64_t>(j) : 0;
    }
  }
  jump.additions = k;
  jump.D = D;
  return jump;
}

}  // namespace

Accumulation Accumulate(double v, double t, std::uint64_t count, bool limited, long double limit) {
  Accumulation result{v, 0, false};
  while (result.additions < count) {
    const std::uint64_t remaining = count - result.additions;
    const Jump jump = PlanJump(result.value, t, remaining, limited, limit);
    if (jump.additions > 0 && jump.D == 0) {
      // Stuck: one more sum tells whether the limit is already passed.
      result.additions += 1;
      if (limited && !(limit >= result.value)) return result;
      result.additions = count;
      result.stalled = true;
      return result;
    }
    if (jump.additions > 0) {
      const Stretch& s = jump.stretch;
      const std::int64_t m = s.m + static_cast<std::int64_t>(jump.additions) * jump.D;
      result.value = jump.sign * std::ldexp(static_cast<double>(m), s.shift);
      result.additions += jump.additions;
      if (result.additions == count) return result;
    }
    const double before = result.value;
    result.value = result.value + t;
    result.additions += 1;
    if (limited && !(limit >= result.value)) return result;
    if (SameBits(before, result.value) && result.additions < count) {
      result.additions = count;
      result.stalled = true;
    }
  }
  return result;
}

double RepeatedSum(double t, std::uint64_t count) {
  if (count == 0) return 0;
  // The sum starts at +0: its first value is t + 0, and the rest follows the
  // sign of t by the symmetry of rounding to nearest.
  const double first = t + 0.0;
  if (t < 0) return -Accumulate(-first, -t, count - 1, false, 0).value;
  return Accumulate(first, t, count - 1, false, 0).value;
}

double SimpsonOfConstant(double F, double a, double b, unsigned int n) {
  // The operations of simpson for an integrand that is F at every node, in
  // the same order; only the loop's additions of t are made at once.
  n += n & 1U;
  const double step = (b - a) / static_cast<double>(n);
  const std::uint64_t passes = n > 2 ? n / 2 - 1 : 0;
  const double t = 4 * F + (F + F);
  const double sum = RepeatedSum(t, passes);
  double r = F + sum;
  r = F + r;
  return ((4 * F + r) * step) / 3;
}

}  // namespace model
