#include "inversion.hpp"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "model.hpp"

namespace inversion {
namespace {

// Skips blanks and tabs within the line; returns the next character, which
// is pushed back unless it ends the line.
int SkipBlanks(std::FILE* calc1) {
  int c = std::getc(calc1);
  while (c != EOF && c != '\n' && std::isspace(c)) c = std::getc(calc1);
  if (c != EOF && c != '\n') std::ungetc(c, calc1);
  return c;
}

// Reads one number of the current line; NaN, with the token skipped, when
// the text there is no number.
double ReadCell(std::FILE* calc1) {
  double value;
  if (std::fscanf(calc1, "%lf", &value) == 1) return value;
  int c = std::getc(calc1);
  while (c != EOF && !std::isspace(c)) c = std::getc(calc1);
  if (c != EOF) std::ungetc(c, calc1);
  return NAN;
}

bool ReadLine(std::FILE* calc1, const char* name, int line, double* row, int width) {
  int c = SkipBlanks(calc1);
  if (c == EOF) return model::Fail("%s: line %d: missing, the table ends early", name, line);
  double label = NAN;
  if (c != '\n') label = ReadCell(calc1);
  if (std::isnan(label)) return model::Fail("%s: line %d: no cover label", name, line);
  if (width > 0) row[0] = label;
  int j = 1;
  while ((c = SkipBlanks(calc1)) != EOF && c != '\n') {
    const double cell = ReadCell(calc1);
    if (j < width) row[j] = cell;
    ++j;
  }
  for (; j < width; ++j) row[j] = NAN;
  return true;
}

}  // namespace

int MatrixWidth(double ncol) {
  const double width = ncol + 1;
  if (!(width < static_cast<double>(INT_MAX) + 1)) return -1;
  return width < 0 ? 0 : static_cast<int>(width);
}

bool ReadFineTable(std::FILE* calc1, const char* name, double* M, int width) {
  for (int i = 0; i < kFineRows; ++i)
    if (!ReadLine(calc1, name, i + 1, M + static_cast<std::ptrdiff_t>(i) * width, width))
      return false;
  int c = std::getc(calc1);
  while (c != EOF && std::isspace(c)) c = std::getc(calc1);
  if (std::ferror(calc1)) return model::Fail("%s: cannot read: %s", name, std::strerror(errno));
  if (c != EOF)
    return model::Fail("%s: line %d: more than %d lines", name, kFineRows + 1, kFineRows);
  return true;
}

int NearestRow(const double* M, int width, int j, double SD) {
  int best = 0;
  double mindiff = std::fabs(SD - M[j]);
  for (int i = 1; i < kFineRows; ++i) {
    // The distance keeps its 64-bit significand and meets mindiff as stored:
    // equal percentages give equal distances, so the first row wins, except
    // where rounding mindiff to double raised it (SD 30.1 against 95.5).
    const double value = M[static_cast<std::ptrdiff_t>(i) * width + j];
    const long double diff =
        std::fabs(static_cast<long double>(SD) - static_cast<long double>(value));
    if (diff < mindiff) {
      mindiff = static_cast<double>(diff);
      best = i;
    }
  }
  return best;
}

}  // namespace inversion
