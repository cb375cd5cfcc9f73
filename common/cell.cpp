// Cloud shape factor and sunshine fraction of one table cell.
#include <cmath>
#include <cstring>

#include "model.hpp"

namespace model {

#ifdef QUORVANE_NODE_BY_NODE
// Reference build, for the benchmark only: pow at each of the 10001 nodes.
double f(double /*node*/) { return std::pow(1 - CF, E); }
#else
double f(double /*node*/) { return F; }
#endif

namespace {

// The terms of the shape factors that depend on the day alone, z = A -
// cos(w) B at w = C2, tan(z) and tan(tan(z) z): the same doubles for every
// cell of a run, so they are computed when the day changes.
struct DayTerms {
  double A, B, C2;
  double tan_z, tan_tan_z_z;
  bool valid;
};
DayTerms day_terms;

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

const DayTerms& TermsOfTheDay() {
  DayTerms& d = day_terms;
  if (!d.valid || !SameBits(d.A, S.A) || !SameBits(d.B, S.B) || !SameBits(d.C2, S.C2)) {
    const double w = S.C2;
    const double z = S.A - std::cos(w) * S.B;
    d = {S.A, S.B, S.C2, std::tan(z), std::tan(std::tan(z) * z), true};
  }
  return d;
}

}  // namespace

#if defined(QUORVANE_RECORD_CELLS) || defined(QUORVANE_REPLAY_CELLS)
// Benchmark variants only (bench/cells_file.cpp).
void RecordCell(double X_per, double X2);
bool ReplayCell(double& X_per, double& X2);
#endif

void ComputeCell() {
#ifdef QUORVANE_REPLAY_CELLS
  if (ReplayCell(X_per, X2)) return;
#endif
  // A day of 23.8 h or more (polar day) flips the sign of the tangent term
  // of the cuboidal and cylindrical factors.
  U = S.DAY1 >= 23.8 ? -1 : 1;
  // The shape factors are evaluated once per cell, at the hour angle w = C2.
  const DayTerms& day = TermsOfTheDay();
  E1 = 1 - day.tan_z * (U * beta);
  E2 = 1 - day.tan_z * ((U * 1.2732395447351628) * beta);
  E3 = (std::sqrt(day.tan_tan_z_z * ((beta * 4) * beta) + 1) + 1) * 0.5;
  if (P.shape == 3) E = E3;
  if (P.shape == 2) E = E2;
  if (P.shape == 1) E = E1;
  // The integrand does not depend on the node: form it once.  simpson would
  // add the same 4F + 2F to its running sum 4999 times, each sum rounded;
  // SimpsonOfConstant makes those additions binade by binade and gives the
  // same double to the bit.
  F = std::pow(1 - CF, E);
#ifdef QUORVANE_NODE_BY_NODE
  X = simpson(f, S.T1, S.T2, kSimpsonPanels);
#else
  X = SimpsonOfConstant(F, S.T1, S.T2, kSimpsonPanels);
#endif
  X_per = 100 - ((S.DAY - X) * 100) / S.DAY;
  X2 = ((X * 180) / 3.141592653589793) / 15;
#ifdef QUORVANE_RECORD_CELLS
  RecordCell(X_per, X2);
#endif
}

long double BetaBound(double beta_max) {
  // The bound keeps its 64-bit significand.  Rounded to double, 0.03 + 0.01
  // would be the double 0.04 and admit a fifth cell for an accumulated beta
  // of 0.04 on the grid 0 to 0.03 by 0.01; in extended precision it lies
  // just below that double.
  return static_cast<long double>(beta_max) + 0.01;
}

bool NextBeta(const Parameters& P) {
  beta = beta + P.beta_step;
  return BetaBound(P.beta_max) >= beta;
}

}  // namespace model
