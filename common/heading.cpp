// Column count and heading row of every table.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "model.hpp"

namespace model {
namespace {

// Writes the raw column count with "%1.0f" into "ncol" and reads it back,
// which rounds it to a whole number the way the C library prints it.
bool PassThroughColumnCountFile(Output& stl, double& ncol) {
  std::fprintf(stl.file, "%1.0f", ncol);
  return CloseOutput(stl) && ReadColumnCount(TempName(stl), ncol);
}

}  // namespace

bool ReadColumnCount(const char* path, double& ncol) {
  std::FILE* stl = std::fopen(path, "r");
  if (stl == nullptr)
    return Fail("%s: cannot open for reading: %s", kColumnCountFile, std::strerror(errno));
  const int read = std::fscanf(stl, "%lf", &ncol);
  const bool failed = std::ferror(stl) != 0;
  const int error = errno;
  std::fclose(stl);
  if (failed) return Fail("%s: cannot read: %s", kColumnCountFile, std::strerror(error));
  if (read != 1) return Fail("%s: holds no number", kColumnCountFile);
  return true;
}

double RoundedColumnCount(const Parameters& P) {
  const double raw = ((P.beta_max - P.beta_min) / P.beta_step) + 1;
  char text[400];
  std::snprintf(text, sizeof text, "%1.0f", raw);
  return std::strtod(text, nullptr);
}

void WriteHeadingRow(HeadingVariant variant, std::FILE* out, std::FILE* out1, const Parameters& P,
                     double ncol) {
  const bool forward = variant == ForwardHeading;
  if (forward) {
    std::fprintf(out, "beta/N    ");
    if (out1 != nullptr) std::fprintf(out1, "beta/N    ");
  } else {
    std::fprintf(out, "beta/SD    ");
  }
  // The grid checks keep ncol finite and within the range of the counter.
  for (int i = 0; i < ncol; ++i) {
    const double cell = i * P.beta_step + P.beta_min;
    if (forward) {
      std::fprintf(out, "%1.2f \t ", cell);
      if (out1 != nullptr) std::fprintf(out1, "%1.2f \t ", cell);
    } else {
      std::fprintf(out, "%1.2f \t", cell);
    }
  }
  std::fprintf(out, "\n\n");
  if (forward && out1 != nullptr) std::fprintf(out1, "\n\n");
}

bool WriteHeading(HeadingVariant variant, std::FILE* out, std::FILE* out1, const Parameters& P,
                  Output& stl, double& ncol) {
  ncol = ((P.beta_max - P.beta_min) / P.beta_step) + 1;
  if (!PassThroughColumnCountFile(stl, ncol)) return false;
  WriteHeadingRow(variant, out, out1, P, ncol);
  return true;
}

}  // namespace model
