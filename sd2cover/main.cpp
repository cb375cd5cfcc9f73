// sd2cover: for each requested sunshine duration SD (rows, percent of the day
// length) and cloud parameter beta (columns), the cloud cover that best
// explains it.  A fine table of percentages for covers 0.00 to 0.99 is written
// to "calculations.txt", read back as written, and searched for the nearest
// percentage.
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "inversion.hpp"
#include "model.hpp"

using namespace model;
using inversion::kFineRows;

namespace {

// The run's files; each replaces its earlier version only when all are done.
enum { kInverse, kColumnCount, kFineTable, kOutputCount };

double SD;  // the requested sunshine duration of the current line, percent

// The matrix of kFineRows rows of `width` doubles, or null.  Every entry
// will be written, so a matrix larger than the machine's memory is refused
// at once instead of being left to the paging of an overcommitted allocation.
double* AllocateMatrix(int width) {
  if (width < 0) return nullptr;
  const double bytes = static_cast<double>(kFineRows) * width * sizeof(double);
  const long pages = sysconf(_SC_PHYS_PAGES), page_size = sysconf(_SC_PAGESIZE);
  if (pages > 0 && page_size > 0 && bytes > static_cast<double>(pages) * page_size) return nullptr;
  const std::size_t cells = static_cast<std::size_t>(kFineRows) * static_cast<std::size_t>(width);
  return static_cast<double*>(std::malloc((cells > 0 ? cells : 1) * sizeof(double)));
}

// One line per cover 0.00, 0.01, ... (accumulated; 100 lines, since the
// hundredth sum of 0.01 lies just above 1), one percentage per beta.
bool WriteFineTable(Output& fine) {
  std::FILE* calc = fine.file;
  CF = 0;
  do {
    std::fprintf(calc, "%1.2f\t", CF);
    beta = P.beta_min;
    do {
      ComputeCell();
      PutFixed(calc, X_per, 1, "\t");  // "%1.1f\t"
    } while (NextBeta(P));
    std::fprintf(calc, "\n");
    if (!CheckOutput(fine)) return false;
    CF = CF + 0.01;
  } while (CF <= 1);
  return CloseOutput(fine);
}

// Reads "ncol" and "calculations.txt", as this run wrote them, back into M,
// whose rows are `width` wide.
bool ReadBack(const Output& stl, const Output& fine, double* M, int width) {
  double ncol;
  if (!ReadColumnCount(TempName(stl), ncol)) return false;
  if (inversion::MatrixWidth(ncol) != width)
    return Fail("%s: holds %g, which is not the column count of this run", kColumnCountFile, ncol);
  std::FILE* calc1 = std::fopen(TempName(fine), "r");
  if (calc1 == nullptr)
    return Fail("%s: cannot open for reading: %s", fine.name, std::strerror(errno));
  const bool ok = inversion::ReadFineTable(calc1, fine.name, M, width);
  std::fclose(calc1);
  return ok;
}

// One line per SD (accumulated, up to SD_max) with the nearest cover label
// per beta column.
bool WriteInversion(const Output& inverse, const double* M, int width) {
  std::FILE* out = inverse.file;
  SD = P.SD_min;
  do {
    std::fprintf(out, "%1.2f\t    ", SD);
    for (int j = 1; j < width; ++j) {
      const std::ptrdiff_t best = inversion::NearestRow(M, width, j, SD);
      PutFixed(out, M[best * width], 2, "\t");  // "%1.2f\t"
    }
    std::fprintf(out, "\n");
    if (!CheckOutput(inverse)) return false;
    SD = SD + P.SD_step;
  } while (P.SD_max >= SD);
  return true;
}

bool Run(Output* outputs, double* M, int width) {
  std::FILE* out = outputs[kInverse].file;
  WriteReportHeader(out, InverseOutput, P, S);
  double ncol;
  return WriteHeading(InverseHeading, out, nullptr, P, outputs[kColumnCount], ncol) &&
         WriteFineTable(outputs[kFineTable]) &&
         ReadBack(outputs[kColumnCount], outputs[kFineTable], M, width) &&
         WriteInversion(outputs[kInverse], M, width);
}

}  // namespace

int main() {
  SetProgramName("sd2cover");
  if (!ReadParameters(P) || !CheckGrids(P, false, true)) return 1;
  // The matrix is allocated before any file is written, so that a grid too
  // large for memory leaves every file as it was.
  const double expected_ncol = RoundedColumnCount(P);
  const int width = inversion::MatrixWidth(expected_ncol);
  double* M = AllocateMatrix(width);
  if (M == nullptr) {
    char reason[80];
    std::snprintf(reason, sizeof reason, "no memory for the fine table of %d x %.0f numbers",
                  kFineRows, expected_ncol + 1);
    FailGrid(P, "beta", 8, reason);
    return 1;
  }
  ComputeSolarDay(P, S);

  Output outputs[kOutputCount] = {
      {kInverseFile, nullptr, -1}, {kColumnCountFile, nullptr, -1}, {kFineTableFile, nullptr, -1}};
  bool ok = OpenOutputs(outputs, kOutputCount);
  if (ok && !Run(outputs, M, width)) {
    DiscardOutputs(outputs, kOutputCount);
    ok = false;
  }
  std::free(M);
  return ok && CommitOutputs(outputs, kOutputCount) ? 0 : 1;
}
