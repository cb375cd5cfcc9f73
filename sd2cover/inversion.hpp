// Nearest-cover inversion of the fine table of sunshine percentages.
#pragma once

#include <cstdio>

namespace inversion {

// Lines of the fine table: cloud cover 0.00 to 0.99 by 0.01.
constexpr int kFineRows = 100;

// Numbers per matrix row, label included: ncol + 1 truncated toward zero, and
// 0 for an ncol below -1.  -1 when it exceeds the range of an int.
int MatrixWidth(double ncol);

// Reads the fine table from `calc1` into M (kFineRows rows of `width`
// doubles), line by line: row i is line i, column 0 its cover label, columns
// 1 .. width - 1 its first width - 1 cells.  Surplus cells of a line are
// ignored; a cell that the line lacks, or that is no number, is NaN.  False,
// after a message naming `name` and the line, when the table has fewer or
// more than kFineRows lines, a line has no cover label, or reading fails.
bool ReadFineTable(std::FILE* calc1, const char* name, double* M, int width);

// The row whose percentage in column j lies nearest to SD; the first of equal
// distances wins, and a NaN is never chosen over row 0.
int NearestRow(const double* M, int width, int j, double SD);

}  // namespace inversion
