// Repeated addition of one constant, "v = v + t" over and over, each sum
// rounded to nearest with ties to even, computed in time proportional to the
// number of binades the sum crosses instead of the number of additions.
//
// While |v| stays in a stretch of doubles of uniform spacing u (one binade,
// or the subnormals together with the lowest normal binade), |v| = m u for a
// whole number m, and |t| = y u exactly (a power-of-two scaling).  As long as
// the exact sum lies in the same stretch, the rounded sum is m +- D with D
// the nearest whole number to y, ties going to the even result.  After one
// tie step m is even, and from then on D is the even neighbour at every step;
// otherwise D is the same at every step anyway.  So k additions move m by
// k D at once, and for a positive double adding D spacings is adding D to its
// bit pattern (which carries into the next binade, and into infinity, as the
// hardware rounds).  The addition that leaves the stretch is made by the
// hardware.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "model.hpp"

namespace model {
namespace {

constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << 52) - 1;
constexpr std::uint64_t kHiddenBit = std::uint64_t{1} << 52;
constexpr std::uint64_t kSignBit = std::uint64_t{1} << 63;
constexpr std::int64_t kBinade = std::int64_t{1} << 53;  // whole numbers m below the next binade

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

// The uniform stretch holding |v| > 0: |v| = m 2^shift with m whole, its bit
// pattern is base + m, and a sum stays in the stretch while its exact value
// lies within [low, high) spacings.
struct Stretch {
  int shift;
  std::int64_t m;
  std::int64_t low;  // 1 in the lowest stretch, so that no jump lands on a
                     // zero whose sign it would miss
  std::int64_t high;
  std::uint64_t base;
};

Stretch StretchOf(std::uint64_t magnitude_bits) {
  const int exponent = static_cast<int>(magnitude_bits >> 52);
  Stretch s;
  s.high = kBinade;
  if (exponent <= 1) {
    s.shift = -1074;
    s.m = static_cast<std::int64_t>(magnitude_bits);
    s.low = 1;
    s.base = 0;
  } else {
    s.shift = exponent - 1075;
    s.m = static_cast<std::int64_t>((magnitude_bits & kFractionMask) | kHiddenBit);
    s.low = std::int64_t{1} << 52;
    s.base = static_cast<std::uint64_t>(exponent - 1) << 52;
  }
  return s;
}

// How the low r bits of M (1 <= r < 64), the fraction of M 2^-r, compare
// with a half: 0 none, 1 below, 2 exactly a half, 3 above.  Without
// branches: the class varies from binade to binade and cell to cell, where a
// branch would be mispredicted half the time.
int FractionClass(std::uint64_t M, int r) {
  const std::uint64_t rest = M & ((std::uint64_t{1} << r) - 1), half = std::uint64_t{1} << (r - 1);
  return (rest != 0) + (rest >= half) + (rest > half);
}

// |t| in spacings of 2^shift: whole part Y and how the fraction compares
// with a half.
struct Spacings {
  std::int64_t Y;
  int fraction;  // 0: none, 1: below 1/2, 2: exactly 1/2, 3: above
  bool fits;     // false when |t| is 2^53 spacings or more
};

Spacings SpacingsOf(std::uint64_t magnitude_bits, int shift) {
  const int exponent = static_cast<int>(magnitude_bits >> 52);
  const std::uint64_t M =
      exponent == 0 ? magnitude_bits : (magnitude_bits & kFractionMask) | kHiddenBit;
  const int d = (exponent == 0 ? -1074 : exponent - 1075) - shift;
  if (d >= 0) {
    if (d > 53 || (M << d) >= static_cast<std::uint64_t>(kBinade)) return {0, 0, false};
    return {static_cast<std::int64_t>(M << d), 0, true};
  }
  const int r = -d;
  if (r >= 64) return {0, M == 0 ? 0 : 1, true};
  return {static_cast<std::int64_t>(M >> r), FractionClass(M, r), true};
}

// The increment of each addition in spacings, from Y and the fraction's
// class, where m is even: a tie goes to the even neighbour, which keeps m
// even.  From an odd m, a tie is first made one addition by the rules.
std::int64_t Increment(std::int64_t Y, int fraction) {
  return Y + (fraction == 3) + ((fraction == 2) & static_cast<int>(Y & 1));
}

// How many of the next additions can be made at once, and the move D of m
// at each (|v| grows when t has v's sign, shrinks otherwise).  Zero
// additions where the next one leaves the stretch, is a tie from an odd m,
// or v and t are not finite and nonzero; D = 0 where v + t == v.
struct Jump {
  std::uint64_t additions;
  std::int64_t D;
  Stretch stretch;
  std::uint64_t sign;  // the sign bit of v
};

Jump PlanJump(double v, double t, std::uint64_t remaining, bool limited, long double limit) {
  Jump jump{0, 0, {}, 0};
  if (!std::isfinite(v) || !std::isfinite(t) || v == 0 || t == 0) return jump;
  const std::uint64_t vb = Bits(v), tb = Bits(t);
  jump.sign = vb & kSignBit;
  const bool up = (tb & kSignBit) == jump.sign;
  const Stretch s = StretchOf(vb & ~kSignBit);
  jump.stretch = s;
  const Spacings sp = SpacingsOf(tb & ~kSignBit, s.shift);
  if (!sp.fits) return jump;
  if (sp.fraction == 2 && s.m % 2 != 0) return jump;  // one step by hardware makes m even
  const std::int64_t D = Increment(sp.Y, sp.fraction);
  // Addition j = 0, 1, ... starts from m +- jD and must keep its exact sum
  // in the stretch.  Up: m + jD + |y| < high, i.e. jD <= high - m - Y - 1.
  // Down: m - jD - |y| >= low, i.e. jD <= m - Y - low (- 1 with a fraction).
  const std::int64_t room =
      up ? s.high - s.m - sp.Y - 1 : s.m - sp.Y - s.low - (sp.fraction != 0 ? 1 : 0);
  if (room < 0) return jump;
  if (D == 0) {  // v + t == v: the sum never moves again
    jump.additions = remaining;
    return jump;
  }
  std::uint64_t k = static_cast<std::uint64_t>(room / D) + 1;
  if (k > remaining) k = remaining;
  if (limited) {
    // The sums, a + j delta for j = 1..k in spacings (a the signed m, delta
    // > 0 the signed move), must not pass L, the limit in spacings.
    const long double L = std::ldexp(limit, -s.shift);
    const long double a = jump.sign ? -static_cast<long double>(s.m) : s.m;
    const long double delta = (jump.sign != 0) == up ? -static_cast<long double>(D) : D;
    if (!(delta > 0)) return Jump{0, 0, {}, 0};
    const long double span = L - a;  // exact near the stretch; far away, k is not bounded by it
    if (span < static_cast<long double>(k) * delta) {
      long double j = std::floor(span / delta);
      while (j > 0 && j * delta > span) j -= 1;
      while ((j + 1) * delta <= span) j += 1;
      k = j > 0 ? static_cast<std::uint64_t>(j) : 0;
    }
  }
  jump.additions = k;
  jump.D = up ? D : -D;
  return jump;
}

// The rounding of t in a binade where the sum's spacing is 2^r times t's:
// whole part Y of t in spacings, the fraction's class, and the increment D
// of each addition from an even m (for a tie, the even neighbour).
struct Binade {
  std::int64_t Y, D;
  int fraction;  // 0: none, 1: below 1/2, 2: exactly 1/2, 3: above
};

Binade BinadeOf(std::int64_t Mt, int r) {
  Binade b{Mt >> r, 0, r > 0 ? FractionClass(static_cast<std::uint64_t>(Mt), r) : 0};
  b.D = Increment(b.Y, b.fraction);
  return b;
}

// RepeatedSum for a positive normal t whose sums stay normal: the stretch
// arithmetic on the sum's exponent E and whole significand m alone (sum =
// m 2^(E - 1075), m in [2^52, 2^53)), including the addition that carries
// the sum into the next binade, rounded there at twice the spacing.
//
// A binade entered by that carry starts at m = 2^52 + delta with delta <=
// D: the carry came from S = m + Y below 2^53 + D' (D' the increment of the
// binade before, about 2 D) and halved it.  So its number of whole steps,
// floor((2^52 - 1 - Y - delta) / D), is Q0, Q0 - 1 or Q0 - 2 with Q0 its
// value at delta = 0, which depends on the binade alone and is found off
// the chain of dependent operations that the sum itself forms.
double RepeatedNormalSum(std::uint64_t t_bits, std::uint64_t count) {
  const int Et = static_cast<int>(t_bits >> 52);
  const std::int64_t Mt = static_cast<std::int64_t>((t_bits & kFractionMask) | kHiddenBit);
  const std::int64_t half_binade = kBinade >> 1;
  int E = Et;
  std::int64_t m = Mt;  // the first sum is t itself
  bool entered_by_carry = false;
  // Q0 from one reciprocal: the estimate whole 2^r / Mt is off by at most
  // Q0 2^r / Mt <= 2^(2r - 52) (D differs from Mt / 2^r by less than one),
  // so while r <= 24 its whole part is within one of Q0.
  const double reciprocal = 1.0 / static_cast<double>(Mt);
  while (count > 0) {
    const int r = E - Et;  // the sum's spacing is 2^r times t's
    if (r > 53) break;     // t is below half a spacing: the sum stays
    const Binade b = BinadeOf(Mt, r);
    const std::int64_t room = kBinade - m - b.Y - 1;
    const bool tie_from_odd = b.fraction == 2 && m % 2 != 0;
    if (b.D == 0 && room >= 0 && !tie_from_odd) break;  // sum + t == sum from here on
    if (b.D > 0 && room >= 0 && !tie_from_odd) {
      const std::int64_t D = b.D, whole = half_binade - 1 - b.Y;
      std::int64_t q;
      if (entered_by_carry && whole >= 2 * D) {
        std::int64_t Q0;  // off the chain: the binade's alone
        if (r <= 24) {
          Q0 = static_cast<std::int64_t>(static_cast<double>(whole) * reciprocal *
                                         static_cast<double>(std::int64_t{1} << r));
          if (Q0 * D > whole)
            --Q0;
          else if ((Q0 + 1) * D <= whole)
            ++Q0;
        } else {
          Q0 = whole / D;
        }
        const std::int64_t QD = Q0 * D;
        q = Q0 - (QD > room ? 1 : 0) - (QD - D > room ? 1 : 0);
      } else {
        q = room / D;
      }
      const std::uint64_t k =
          static_cast<std::uint64_t>(q) + 1 < count ? static_cast<std::uint64_t>(q) + 1 : count;
      m += static_cast<std::int64_t>(k) * D;
      count -= k;
      if (m == kBinade) ++E, m >>= 1;  // the last sum rounded up to the binade's end
      if (count == 0) break;
    }
    // One addition by the rules of rounding: within the binade (a tie from
    // an odd m) or across its end, where the exact sum S + fraction in
    // spacings is rounded at twice the spacing.
    const std::int64_t S = m + b.Y;
    entered_by_carry = S >= kBinade;
    if (!entered_by_carry) {
      m = S + (b.fraction == 3 || (b.fraction == 2 && S % 2 != 0) ? 1 : 0);
    } else {
      const std::int64_t up = (S & 1) & ((b.fraction != 0) | ((((S + 1) >> 1) & 1) ^ 1));
      m = (S + up) >> 1;
      ++E;
    }
    if (m == kBinade) ++E, m >>= 1, entered_by_carry = false;
    --count;
    if (E >= 0x7ff) return INFINITY;  // rounded past the largest double
  }
  return FromBits((static_cast<std::uint64_t>(E - 1) << 52) + static_cast<std::uint64_t>(m));
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
      result.value = FromBits(jump.sign | (s.base + static_cast<std::uint64_t>(m)));
      result.additions += jump.additions;
      if (result.additions == count) return result;
    }
    const double before = result.value;
    result.value = result.value + t;
    result.additions += 1;
    if (limited && !(limit >= result.value)) return result;
    if (Bits(before) == Bits(result.value) && result.additions < count) {
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
  if (!std::isfinite(first)) return first;  // NaN + NaN and inf + inf keep their bits
  const double magnitude = std::fabs(first);
  double sum;
  if (std::isnormal(magnitude) && magnitude >= 0x1p-1000)
    sum = RepeatedNormalSum(Bits(magnitude), count - 1);
  else
    sum = Accumulate(magnitude, std::fabs(t), count - 1, false, 0).value;
  return t < 0 ? -sum : sum;
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
