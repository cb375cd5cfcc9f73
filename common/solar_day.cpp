// The astronomical day at the site, and the report header that states it.
#include <cmath>

#include "model.hpp"

namespace model {
namespace {

constexpr double pi = 3.141592653589793;
constexpr double kDegree = 0.017453292519943295;  // pi/180 as one constant

// Days of a common year before the first of each month; no leap years.
constexpr int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Days before the first of `month`; 0 unless month is exactly one of 1..12.
int DaysBeforeMonth(double month) {
  int p = 0;
  for (int m = 1; m <= 12; ++m)
    if (month == m) p = kDaysBefore[m - 1];
  return p;
}

// Without sunrise or sunset, the sun stays up (polar day) or down (polar
// night) by hemisphere and season; the season's bounds J = 80 and J = 265
// count as summer in the north.
void ApplyPolarRule(SolarDay& S) {
  if (S.Q) return;
  const bool winter_north = S.J < 80 || S.J > 265;
  if (S.theta > 0) {
    S.T_sr = 0;
    S.T_ss = winter_north ? 0 : 24;
  } else {
    S.T_sr = 0;
    S.T_ss = winter_north ? 24 : 0;
  }
}

}  // namespace

bool IsNumber(double x) { return x == x; }

// Each formula runs left to right, one rounding per operation, with its
// constants as written; sunrise is acos(tan(delta) tan(theta)), the hour angle
// counted from midnight.
void ComputeSolarDay(const Parameters& P, SolarDay& S) {
  ConvertSite(P, S);
  S.p = DaysBeforeMonth(P.month);
  S.J = S.p + P.day;
  S.d = (S.J - 81) * 360 / 365.245 * pi / 180;
  S.delta = std::sin(S.d) * 23.44 * pi / 180;
  S.h = std::acos(std::tan(S.delta) * std::tan(S.theta));
  S.T_sr = S.h * 12 / pi;
  S.T_ss = 24 - S.T_sr;
  S.A = std::sin(S.delta) * std::sin(S.theta);
  S.B = std::cos(S.delta) * std::cos(S.theta);
  S.C2 = std::sin((S.J - 80) * 12.566370614359172 / 373) * 0.17 -
         std::sin((S.J - 8) * 6.283185307179586 / 355) * 0.129;
  S.Q = IsNumber(S.h);
  ApplyPolarRule(S);
  S.T1 = S.T_sr * 15 * kDegree;
  S.T2 = S.T_ss * 15 * kDegree;
  S.DAY = S.T2 - S.T1;
  S.DAY1 = S.DAY * 180 / pi / 15;
}

void WriteReportHeader(std::FILE* out, HeaderVariant variant, const Parameters& P,
                       const SolarDay& S) {
  std::fprintf(out, "Quorvane v1.0 output file\n");
  switch (variant) {
    case ForwardPercentage:
      std::fprintf(out, "Calculation mode: Cloud cover -> Sunshine duration in %% of daytime\n");
      std::fprintf(out, "(first row corresponds to beta, first column to N)\n\n");
      break;
    case ForwardHours:
      std::fprintf(out, "Calculation mode: Cloud cover -> Sunshine duration in hours\n");
      std::fprintf(out, "(first row corresponds to beta, first column to N)\n\n");
      break;
    case InverseOutput:
      std::fprintf(out, "Calculation mode: Sunshine duration -> Cloud cover\n");
      std::fprintf(out, "(first row corresponds to beta, first column to SD)\n\n");
      break;
  }
  std::fprintf(out, "Geographical latitude: %1.4f\n", S.theta * 180 / pi);
  std::fprintf(out, "Geographical longitude: %1.4f\n", S.lambda);
  std::fprintf(out, "Date: %1.0f.%1.0f. %1.0f\n", P.day, P.month, P.year);
  if (variant == InverseOutput) {
    std::fprintf(out, "Sunrise: %1.2f\n", S.T_sr);
    std::fprintf(out, "Sunset: %1.2f\n", S.T_ss);
  } else {
    std::fprintf(out, "Sunrise: %1.2f h\n", S.T_sr);
    std::fprintf(out, "Sunset: %1.2f h\n", S.T_ss);
  }
  std::fprintf(out, "Daytime: %1.2f h\n", S.DAY1);
  std::fprintf(out, "---------------------------------------------------\n\n");
  if (P.shape == 1) std::fprintf(out, "Calculated data for cloud shape: cuboidal\n\n\n");
  if (P.shape == 2) std::fprintf(out, "Calculated data for cloud shape: cylindrical\n\n\n");
  if (P.shape == 3) std::fprintf(out, "Calculated data for cloud shape: semi-ellipsoidal\n\n\n");
}

}  // namespace model
