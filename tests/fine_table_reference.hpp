// The fine-table reader as it was before number text was read without
// fscanf: one fscanf("%lf") per number.  The reference that the fast
// reader must match, for the tests and the fuzz target.
#pragma once

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "inversion.hpp"

namespace reference {

// Messages go nowhere: only the values and the verdict are compared.
inline bool Fail(const char*, ...) { return false; }

// Skips blanks and tabs within the line; returns the next character, which
// is pushed back unless it ends the line.
inline int SkipBlanks(std::FILE* calc1) {
  int c = std::getc(calc1);
  while (c != EOF && c != '\n' && std::isspace(c)) c = std::getc(calc1);
  if (c != EOF && c != '\n') std::ungetc(c, calc1);
  return c;
}

// Reads one number of the current line; NaN, with the token skipped, when
// the text there is no number.
inline double ReadCell(std::FILE* calc1) {
  double value;
  if (std::fscanf(calc1, "%lf", &value) == 1) return value;
  int c = std::getc(calc1);
  while (c != EOF && !std::isspace(c)) c = std::getc(calc1);
  if (c != EOF) std::ungetc(c, calc1);
  return NAN;
}

inline bool ReadLine(std::FILE* calc1, const char* name, int line, double* row, int width) {
  int c = SkipBlanks(calc1);
  if (c == EOF) return Fail("%s: line %d: missing, the table ends early", name, line);
  double label = NAN;
  if (c != '\n') label = ReadCell(calc1);
  if (std::isnan(label)) return Fail("%s: line %d: no cover label", name, line);
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

inline bool ReadFineTable(std::FILE* calc1, const char* name, double* M, int width) {
  for (int i = 0; i < inversion::kFineRows; ++i)
    if (!ReadLine(calc1, name, i + 1, M + static_cast<std::ptrdiff_t>(i) * width, width))
      return false;
  int c = std::getc(calc1);
  while (c != EOF && std::isspace(c)) c = std::getc(calc1);
  if (std::ferror(calc1)) return Fail("%s: cannot read: %s", name, std::strerror(errno));
  if (c != EOF)
    return Fail("%s: line %d: more than %d lines", name, inversion::kFineRows + 1,
                inversion::kFineRows);
  return true;
}

}  // namespace reference
