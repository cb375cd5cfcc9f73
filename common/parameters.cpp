// Reading of "input.txt" and conversion of the site.
#include <cctype>
#include <cerrno>
#include <cstring>

#include "model.hpp"

namespace model {
namespace {

struct Field {
  const char* name;
  double Parameters::*member;
};

constexpr Field kFields[kParameterCount] = {
    {"lat_deg", &Parameters::lat_deg},
    {"lat_min", &Parameters::lat_min},
    {"lat_sec", &Parameters::lat_sec},
    {"lon_deg", &Parameters::lon_deg},
    {"lon_min", &Parameters::lon_min},
    {"lon_sec", &Parameters::lon_sec},
    {"day", &Parameters::day},
    {"month", &Parameters::month},
    {"beta_min", &Parameters::beta_min},
    {"beta_max", &Parameters::beta_max},
    {"beta_step", &Parameters::beta_step},
    {"N_min", &Parameters::N_min},
    {"N_max", &Parameters::N_max},
    {"N_step", &Parameters::N_step},
    {"SD_min", &Parameters::SD_min},
    {"SD_max", &Parameters::SD_max},
    {"SD_step", &Parameters::SD_step},
    {"year", &Parameters::year},
    {"shape", &Parameters::shape},
};

// Describes what stands where a number was expected: the end of the file, or
// the start of the offending text (printable characters only).
void DescribeUnread(std::FILE* inp, char* text, std::size_t size) {
  int c = std::getc(inp);
  while (c != EOF && std::isspace(c)) c = std::getc(inp);
  if (c == EOF) {
    std::snprintf(text, size, "end of file");
    return;
  }
  char token[25];
  std::size_t n = 0;
  while (c != EOF && !std::isspace(c) && n + 1 < sizeof token) {
    token[n++] = std::isprint(c) ? static_cast<char>(c) : '?';
    c = std::getc(inp);
  }
  token[n] = '\0';
  std::snprintf(text, size, "found \"%s\"", token);
}

}  // namespace

const char* ParameterName(int position) { return kFields[position].name; }

double ParameterAt(const Parameters& P, int position) { return P.*kFields[position].member; }

bool ReadParametersFrom(std::FILE* inp, const char* name, Parameters& P) {
  for (int i = 0; i < kParameterCount; ++i) {
    double value;
    if (std::fscanf(inp, "%lf", &value) == 1) {
      P.*kFields[i].member = value;
      continue;
    }
    if (std::ferror(inp)) return Fail("%s: cannot read: %s", name, std::strerror(errno));
    char what[48];
    DescribeUnread(inp, what, sizeof what);
    return Fail("%s: position %d (%s): no number (%s)", name, i, ParameterName(i), what);
  }
  return true;
}

bool ReadParameters(Parameters& P) {
  std::FILE* inp = std::fopen(kInputFile, "r");
  if (inp == nullptr) return Fail("%s: cannot open: %s", kInputFile, std::strerror(errno));
  const bool ok = ReadParametersFrom(inp, kInputFile, P);
  std::fclose(inp);
  return ok;
}

void ConvertSite(const Parameters& P, SolarDay& S) {
  // The sign of the degrees applies to minutes and seconds as they stand;
  // -0 is not below zero.
  S.H = P.lat_deg < 0 ? -1 : 1;
  S.G = P.lon_deg < 0 ? -1 : 1;
  constexpr double pi = 3.141592653589793;
  double a = S.H * P.lat_min;
  a = a / 60;
  a = a + P.lat_deg;
  double b = S.H * P.lat_sec;
  b = b / 3600;
  S.theta = (a + b) * pi / 180;
  a = S.G * P.lon_min;
  a = a / 60;
  a = a + P.lon_deg;
  b = S.G * P.lon_sec;
  b = b / 3600;
  S.lambda = a + b;
}

}  // namespace model
