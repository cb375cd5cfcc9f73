// Shared model and report core of cover2sd and sd2cover.
//
// The model: at a site and on a date, clouds of cover CF (fraction 0..1) and
// shape parameter beta leave the fraction (1 - CF)^E of the astronomically
// possible sunshine, E being the cloud shape factor.  The core reads the
// parameter file, computes the solar day once per run, computes one table cell
// at a time and writes the report header and heading row of every table.
//
// The working values are file-scope variables with the short names of the
// formulas (defined once, in state.cpp); the programs' main functions and the
// integrand f share them.
#pragma once

#include <cstdint>
#include <cstdio>

namespace model {

// ---------------------------------------------------------------- parameters

constexpr int kParameterCount = 19;
constexpr const char* kInputFile = "input.txt";

// The 19 values of "input.txt", in file order (positions 0 to 18).
struct Parameters {
  double lat_deg, lat_min, lat_sec;      // latitude; the sign of lat_deg is the hemisphere's
  double lon_deg, lon_min, lon_sec;      // longitude; the sign of lon_deg gives G
  double day, month;                     // date; month is compared with 1..12 exactly
  double beta_min, beta_max, beta_step;  // beta grid (columns)
  double N_min, N_max, N_step;           // cloud cover grid (cover2sd rows), fraction
  double SD_min, SD_max, SD_step;        // sunshine duration grid (sd2cover rows), percent
  double year;                           // printed only
  double shape;  // 1 cuboidal, 2 cylindrical, 3 semi-ellipsoidal; compared exactly
};

// Name of the value at `position` (0..18), e.g. "month" for 7.
const char* ParameterName(int position);
// The value at `position` (0..18) of `P`.
double ParameterAt(const Parameters& P, int position);

// Reads the 19 numbers of "input.txt" with "%lf".  On failure writes one line
// to standard error naming the file and the first position that could not be
// read, and returns false; positions that were not read are never used.
bool ReadParameters(Parameters& P);
// The same for an open stream; `name` is used in messages only.
bool ReadParametersFrom(std::FILE* inp, const char* name, Parameters& P);

// ---------------------------------------------------------------- solar day

// Values computed once per run from the site and the date.  Angles in
// radians, lambda in degrees, times and durations in hours.
struct SolarDay {
  int H, G;           // sign switches of latitude and longitude (-1 or +1)
  double theta;       // latitude, radians
  double lambda;      // longitude, degrees
  int p;              // days of a common year before the first of the month
  double J;           // day of the year
  double d;           // the day's angle on the yearly circle, zero at J = 81
  double delta;       // solar declination
  double h;           // hour angle of sunrise from midnight; NaN without sunrise
  bool Q;             // IsNumber(h)
  double T_sr, T_ss;  // sunrise and sunset after the polar rule, hours
  double A, B;        // sin(delta) sin(theta), cos(delta) cos(theta)
  double C2;          // equation-of-time term
  double T1, T2;      // sunrise and sunset as hour angles, the integration bounds
  double DAY;         // day length, radians
  double DAY1;        // day length, hours
};

// True unless x is not a number (infinities are numbers).
bool IsNumber(double x);

// Sign switches H, G, latitude theta (radians) and longitude lambda (degrees).
void ConvertSite(const Parameters& P, SolarDay& S);

// Day of the year, declination, sunrise and sunset with the polar rule,
// integration bounds and day length.  Touches no file.
void ComputeSolarDay(const Parameters& P, SolarDay& S);

// ---------------------------------------------------------------- report

enum HeaderVariant { ForwardPercentage, ForwardHours, InverseOutput };

// Writes the report header that opens every output file.
void WriteReportHeader(std::FILE* out, HeaderVariant variant, const Parameters& P,
                       const SolarDay& S);

enum HeadingVariant { ForwardHeading, InverseHeading };

// The files the programs leave in the working directory.
constexpr const char* kPercentageFile = "Quorvane_output_percentage.txt";  // cover2sd
constexpr const char* kHoursFile = "Quorvane_output_absolute.txt";         // cover2sd
constexpr const char* kInverseFile = "Quorvane_output.txt";                // sd2cover
constexpr const char* kFineTableFile = "calculations.txt";                 // sd2cover
constexpr const char* kColumnCountFile = "ncol";                           // both

// Writes the heading row (label, one beta cell per column, blank line) into
// `out` and, for the forward variant, `out1`, deriving the column count
// through the scratch file "ncol": written into `stl`, closed, and read back
// from what this run wrote.  Stores the count read back in `ncol`.  Returns
// false, after one line on standard error, when "ncol" cannot be written or
// read back.
struct Output;
bool WriteHeading(HeadingVariant variant, std::FILE* out, std::FILE* out1, const Parameters& P,
                  Output& stl, double& ncol);

// The heading row itself, for a column count `ncol` already derived: the
// label, one beta cell per column, the blank line; into `out` and, for the
// forward variant and where it is not null, `out1`.
void WriteHeadingRow(HeadingVariant variant, std::FILE* out, std::FILE* out1, const Parameters& P,
                     double ncol);

// Reads the column count back from `path`, the file this run wrote as
// "ncol"; false, after a message naming "ncol", when it cannot be read or
// holds no number.
bool ReadColumnCount(const char* path, double& ncol);

// The count that the heading derives through "ncol": the raw count
// ((beta_max - beta_min) / beta_step) + 1, rounded as "%1.0f" writes it.
double RoundedColumnCount(const Parameters& P);

// ---------------------------------------------------------------- cell

constexpr unsigned int kSimpsonPanels = 10000;

// Composite Simpson integral of `integrand` over [a, b] with n panels (n + 1
// when n is odd).  Nodes are advanced by addition, and the sum is formed in a
// fixed order, so that results are reproducible to the bit.
inline double simpson(double (*integrand)(double), double a, double b, unsigned int n) {
  n += n & 1U;
  const double step = (b - a) / static_cast<double>(n);
  const double twostep = step + step;
  double sum = 0;
  double x = a;
  for (unsigned int i = 2; i < n; i += 2) {
    x = x + twostep;
    const double v = integrand(x);
    const double u = integrand(x + step);
    sum = (4 * u + (v + v)) + sum;
  }
  double r = integrand(a) + sum;
  r = integrand(b) + r;
  return ((4 * integrand(a + step) + r) * step) / 3;
}

// simpson for an integrand that is F at every node, to the bit, with the
// loop's 4999 additions of 4F + 2F made at once (see RepeatedSum).
double SimpsonOfConstant(double F, double a, double b, unsigned int n);

// The integrand (1 - CF)^E of the current cell.  The shape factor is
// evaluated once per cell, so the integrand is the same at every node and
// ComputeCell forms it once; f ignores its node.
double f(double node);

// One table cell for the current CF and beta: shape factors U, E1, E2, E3,
// the selected E, the integral X (radians), X_per (percent of the day
// length) and X2 (hours).
void ComputeCell();

// The row bound of every beta loop, beta_max + 0.01, formed in extended
// precision and compared with the double beta without rounding.
long double BetaBound(double beta_max);

// Advances beta by one step; true while the row goes on.
bool NextBeta(const Parameters& P);

// ---------------------------------------------------------------- repeated addition

// The loop "for (k = 0; k < count; ++k) { v = v + t; if (limited && !(limit
// >= v)) break; }" on doubles rounded to nearest, ties to even, in time
// proportional to the binades v crosses.  `additions` counts the additions
// made (the one that passed the limit included); `stalled` tells that v + t
// == v was reached within the limit, so the loop would go on for ever.
struct Accumulation {
  double value;
  std::uint64_t additions;
  bool stalled;
};
Accumulation Accumulate(double v, double t, std::uint64_t count, bool limited, long double limit);

// The sum of `count` additions of t to a running sum that starts at +0,
// each rounded as the hardware rounds it (the inner loop of simpson).
double RepeatedSum(double t, std::uint64_t count);

// ---------------------------------------------------------------- validation

// Checks, before any output file is opened, the grids a program uses (beta
// always, N when `use_N`, SD when `use_SD`) and the heading's column count.
// On the first problem writes one line to standard error and returns false.
bool CheckGrids(const Parameters& P, bool use_N, bool use_SD);

// Reports a grid of "input.txt" that cannot be used: "input.txt: <name> grid
// (position i <name> <value>, ...): <reason>" for the three values from
// `first_position` on, each with all its digits.  Returns false.
bool FailGrid(const Parameters& P, const char* grid_name, int first_position, const char* reason);

// Why the accumulating loop "v = first; do { v += step; } while (bound >=
// v)" never ends or makes more than 2^31 - 1 passes, with the deciding value.
using GridReason = char[160];
// True, with the reason, exactly for the loops that never end or that have
// more than 2147483647 values.
bool GridFault(double first, long double bound, double step, GridReason reason);

// ---------------------------------------------------------------- errors and files

// Name put before every message ("cover2sd", "sd2cover").
void SetProgramName(const char* name);
// Writes "<program>: <message>\n" to standard error; returns false.
bool Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// An output file of a run: written under a temporary name beside its final
// name ("<name>.unfinished-XXXXXX.tmp", created new, never through a link)
// and renamed over the final name only when the whole run has succeeded.
struct Output {
  const char* name;  // final name, in the working directory
  std::FILE* file;   // open for writing until closed
  int slot;          // its temporary file; -1 when there is none
};
constexpr int kMaxOutputs = 6;  // the programs write 3, quorvane-plot up to 6 pictures
constexpr const char* kTempSuffixPattern = ".unfinished-XXXXXX.tmp";
constexpr int kTempSuffixLength = 4;  // ".tmp", after the random part

// Before anything is written: refuses a folder at a final name, or a file
// the user may not write, and creates the temporary files (keeping the
// permission bits of a regular file they will replace).  False, after one
// message, with nothing left behind.  Installs the handlers that remove the
// temporary files on SIGINT, SIGTERM, SIGHUP and SIGXFSZ.
bool OpenOutputs(Output* outputs, int count);
// The temporary name, to read back what this run wrote.
const char* TempName(const Output& output);
// False, after a message naming the final name and the reason, if a write
// to the output has failed.
bool CheckOutput(const Output& output);
// Flushes, syncs and closes the file (if open); false after a message.
bool CloseOutput(Output& output);
// Closes every output and renames each over its final name; on failure
// removes what is left and returns false after a message.
bool CommitOutputs(Output* outputs, int count);
// Closes and removes the temporary files of a failed run.
void DiscardOutputs(Output* outputs, int count);

// ---------------------------------------------------------------- number text

// Room for the fixed-point text of any double at one or two decimals.
constexpr std::size_t kFixedTextSize = 330;

// Writes `value` as "%1.1f" (precision 1) or "%1.2f" (precision 2) writes
// it, without a terminating NUL; returns the end.
char* FixedText(char* out, double value, int precision);
// Writes `value` so, then `separator`, to `out`.
void PutFixed(std::FILE* out, double value, int precision, const char* separator);

// The shortest text that reads back as `value` ("0.1", "1e+300", "-nan").
using NumberText = char[32];
const char* ShortestText(double value, NumberText text);

// Reads a number from the start of `text` (`size` characters, no white
// space) as "%lf" reads it from a stream: returns how many characters it
// took, 0 when the text there is no number.
std::size_t ScanNumber(const char* text, std::size_t size, double& value);

// ---------------------------------------------------------------- working values

extern Parameters P;  // parameters, read once
extern SolarDay S;    // solar day, computed once

// The current cell; the caller sets CF and beta, ComputeCell the rest.
extern double CF;          // cloud cover, fraction
extern double beta;        // cloud parameter
extern int U;              // -1 from a day length of 23.8 h, else +1
extern double E1, E2, E3;  // shape factors: cuboidal, cylindrical, semi-ellipsoidal
extern double E;           // the selected shape factor; keeps 0 for an unknown shape
extern double F;           // the integrand (1 - CF)^E of the cell
extern double X;           // the integral, radians
extern double X_per;       // X in percent of the day length
extern double X2;          // X in hours

}  // namespace model
