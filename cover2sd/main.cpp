// cover2sd: sunshine duration, in percent of the day length and in hours,
// for each cloud cover N (rows) and cloud parameter beta (columns).
#include "model.hpp"

using namespace model;

namespace {

// The run's files; each replaces its earlier version only when all are done.
enum { kPercentage, kHours, kColumnCount, kOutputCount };

// One row per N, one cell per beta; N and beta accumulate by their steps.
bool WriteTables(const Output& percentage, const Output& hours) {
  std::FILE* out = percentage.file;
  std::FILE* out1 = hours.file;
  do {
    std::fprintf(out, "%1.2f     ", CF);
    std::fprintf(out1, "%1.2f     ", CF);
    beta = P.beta_min;
    do {
      ComputeCell();
      PutFixed(out, X_per, 1, " \t ");  // "%1.1f \t "
      PutFixed(out1, X2, 1, " \t ");
    } while (NextBeta(P));
    std::fprintf(out, "\n");
    std::fprintf(out1, "\n");
    if (!CheckOutput(percentage) || !CheckOutput(hours)) return false;
    CF = CF + P.N_step;
  } while (P.N_max >= CF);
  return true;
}

}  // namespace

int main() {
  SetProgramName("cover2sd");
  if (!ReadParameters(P) || !CheckGrids(P, true, false)) return 1;
  ComputeSolarDay(P, S);

  Output outputs[kOutputCount] = {
      {kPercentageFile, nullptr, -1}, {kHoursFile, nullptr, -1}, {kColumnCountFile, nullptr, -1}};
  if (!OpenOutputs(outputs, kOutputCount)) return 1;
  std::FILE* out = outputs[kPercentage].file;
  std::FILE* out1 = outputs[kHours].file;
  CF = P.N_min;
  WriteReportHeader(out, ForwardPercentage, P, S);
  WriteReportHeader(out1, ForwardHours, P, S);
  double ncol;
  if (!WriteHeading(ForwardHeading, out, out1, P, outputs[kColumnCount], ncol) ||
      !WriteTables(outputs[kPercentage], outputs[kHours])) {
    DiscardOutputs(outputs, kOutputCount);
    return 1;
  }
  return CommitOutputs(outputs, kOutputCount) ? 0 : 1;
}
