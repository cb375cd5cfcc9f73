// cover2sd: sunshine duration, in percent of the day length and in hours,
// for each cloud cover N (rows) and cloud parameter beta (columns).
#include "model.hpp"

using namespace model;

namespace {

constexpr const char* kPercentageFile = "Quorvane_output_percentage.txt";
constexpr const char* kHoursFile = "Quorvane_output_absolute.txt";

// One row per N, one cell per beta; N and beta accumulate by their steps.
bool WriteTables(std::FILE* out, std::FILE* out1) {
  do {
    std::fprintf(out, "%1.2f     ", CF);
    std::fprintf(out1, "%1.2f     ", CF);
    beta = P.beta_min;
    do {
      ComputeCell();
      std::fprintf(out, "%1.1f \t ", X_per);
      std::fprintf(out1, "%1.1f \t ", X2);
    } while (NextBeta(P));
    std::fprintf(out, "\n");
    std::fprintf(out1, "\n");
    if (!CheckOutput(out, kPercentageFile) || !CheckOutput(out1, kHoursFile)) return false;
    CF = CF + P.N_step;
  } while (P.N_max >= CF);
  return true;
}

}  // namespace

int main() {
  SetProgramName("cover2sd");
  if (!ReadParameters(P) || !CheckGrids(P, true, false)) return 1;
  ComputeSolarDay(P, S);

  std::FILE* out = OpenOutput(kPercentageFile);
  if (out == nullptr) return 1;
  std::FILE* out1 = OpenOutput(kHoursFile);
  if (out1 == nullptr) {
    std::fclose(out);
    return 1;
  }
  CF = P.N_min;
  WriteReportHeader(out, ForwardPercentage, P, S);
  WriteReportHeader(out1, ForwardHours, P, S);
  double ncol;
  if (!WriteHeading(ForwardHeading, out, out1, P, ncol) || !WriteTables(out, out1)) {
    std::fclose(out);
    std::fclose(out1);
    return 1;
  }
  if (!CloseOutput(out, kPercentageFile)) {
    std::fclose(out1);
    return 1;
  }
  return CloseOutput(out1, kHoursFile) ? 0 : 1;
}
