#include "inversion.hpp"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

#include "model.hpp"

namespace inversion {
namespace {

// Reads the next token of the current line (a run of characters other than
// white space) into `token` and returns 0, with the white space that ended
// it in `terminator` (EOF at the file's end) and left unread; at the line's
// end returns '\n', with the line end read, and at the file's end EOF.
int NextToken(std::FILE* calc1, std::string& token, int& terminator) {
  int c = getc_unlocked(calc1);
  while (c != EOF && c != '\n' && std::isspace(c)) c = getc_unlocked(calc1);
  if (c == EOF || c == '\n') return c;
  token.clear();
  while (c != EOF && !std::isspace(c)) {
    token.push_back(static_cast<char>(c));
    c = getc_unlocked(calc1);
  }
  terminator = c;
  if (c != EOF) std::ungetc(c, calc1);
  return 0;
}

// Whether fscanf("%lf"), failing on `text` followed by `terminator`, reads
// the terminator too, as it does where a word like "nan" breaks off ("-n"
// and a line end): it reads the character that does not match and keeps it.
bool FailureEatsTerminator(const char* text, std::size_t size, int terminator) {
  if (terminator == EOF) return false;
  std::string copy(text, size);
  copy.push_back(static_cast<char>(terminator));
  std::FILE* stream = fmemopen(&copy[0], copy.size(), "r");
  if (stream == nullptr) return false;
  double ignored;
  const bool read = std::fscanf(stream, "%lf", &ignored) == 1;
  const bool eaten = !read && std::ftell(stream) > static_cast<long>(size);
  std::fclose(stream);
  return eaten;
}

// The numbers of one line as fscanf("%lf") takes them, followed, where it
// takes none, by skipping to the next white space: a token may hold several
// numbers ("1.5abc" is 1.5, then text that is no number), and a token, or
// the rest of one, that is no number stands for one NaN.
class LineCells {
 public:
  // Starts the line; false, with `end` set to '\n' or EOF, when it holds no
  // token.
  bool Start(std::FILE* calc1, int& end) {
    calc1_ = calc1;
    position_ = 0;
    end = NextToken(calc1, token_, terminator_);
    return end == 0;
  }
  // The next number of the line; false at the line's end.
  bool Next(double& value) {
    if (position_ == token_.size()) {
      if (NextToken(calc1_, token_, terminator_) != 0) return false;
      position_ = 0;
    }
    const char* text = token_.data() + position_;
    const std::size_t size = token_.size() - position_;
    const std::size_t used = model::ScanNumber(text, size, value);
    if (used > 0) {
      position_ += used;
      return true;
    }
    value = NAN;
    position_ = token_.size();
    if (FailureEatsTerminator(text, size, terminator_)) {
      // The skip to white space then goes on past the eaten character.
      getc_unlocked(calc1_);
      int c = getc_unlocked(calc1_);
      while (c != EOF && !std::isspace(c)) c = getc_unlocked(calc1_);
      if (c != EOF) std::ungetc(c, calc1_);
    }
    return true;
  }

 private:
  std::FILE* calc1_ = nullptr;
  std::string token_;
  std::size_t position_ = 0;
  int terminator_ = EOF;
};

bool ReadLine(LineCells& cells, std::FILE* calc1, const char* name, int line, double* row,
              int width) {
  int end;
  if (!cells.Start(calc1, end) && end == EOF)
    return model::Fail("%s: line %d: missing, the table ends early", name, line);
  double label = NAN;
  if (end == 0) cells.Next(label);
  if (std::isnan(label)) return model::Fail("%s: line %d: no cover label", name, line);
  if (width > 0) row[0] = label;
  int j = 1;
  double cell;
  while (cells.Next(cell)) {
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
  LineCells cells;  // keeps its token buffer from line to line
  for (int i = 0; i < kFineRows; ++i)
    if (!ReadLine(cells, calc1, name, i + 1, M + static_cast<std::ptrdiff_t>(i) * width, width))
      return false;
  int c = std::getc(calc1);
  while (c != EOF && std::isspace(c)) c = std::getc(calc1);
  if (std::ferror(calc1)) return model::Fail("%s: cannot read: %s", name, std::strerror(errno));
  if (c != EOF)
    return model::Fail("%s: line %d: more than %d lines", name, kFineRows + 1, kFineRows);
  return true;
}

namespace {

// One step of the search: row i, holding `value`, against the best so far.
// The distance keeps its 64-bit significand and meets mindiff as stored:
// equal percentages give equal distances, so the first row wins, except
// where rounding mindiff to double raised it (SD 30.1 against 95.5).
//
// The exact distance x rounded to double, d, decides that test unless d
// equals mindiff: rounding is monotonic and mindiff is a double, so d >
// mindiff means x > mindiff, and d < mindiff means x < mindiff with x not
// within half a 64-bit step of mindiff (or d would be mindiff).  Where SD -
// value is itself a double (the error e of the error-free sum is zero, as
// it is whenever the two lie within a factor of two), d is the extended
// distance exactly; only otherwise is the extended distance formed.
inline void Consider(double value, int i, double SD, double& mindiff, int& best) {
  const double difference = SD - value;
  const double d = std::fabs(difference);
  if (d > mindiff || !(d <= mindiff)) return;  // farther, or a NaN
  const double back = difference - SD;
  const double e = (SD - (difference - back)) + (-value - back);
  if (e == 0) {
    if (d < mindiff) mindiff = d, best = i;
    return;
  }
  const long double diff =
      std::fabs(static_cast<long double>(SD) - static_cast<long double>(value));
  if (diff < mindiff) {
    mindiff = static_cast<double>(diff);
    best = i;
  }
}

}  // namespace

int NearestRow(const double* M, int width, int j, double SD) {
  int best = 0;
  double mindiff = std::fabs(SD - M[j]);
  for (int i = 1; i < kFineRows; ++i)
    Consider(M[static_cast<std::ptrdiff_t>(i) * width + j], i, SD, mindiff, best);
  return best;
}

}  // namespace inversion
