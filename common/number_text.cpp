// Number text of the tables: fixed-point output as "%1.1f" and "%1.2f" write
// it, and input as "%lf" reads it, without a formatted-I/O call per number.
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "model.hpp"

namespace model {

char* FixedText(char* out, double value, int precision) {
  const double magnitude = std::fabs(value);
  if (magnitude < 1e15) {
    // |x| 10^p needs at most 53 + 5 bits, so the 64-bit significand of long
    // double holds it exactly, and rounding it to a whole number with halves
    // to even (the default rounding) is what printf does with the exact
    // value: 0.25 -> "0.2", 0.125 -> "0.12".  The sign is the value's, so
    // -0.0 and -0.04 give "-0.0", as printf writes them.
    const long double scaled =
        static_cast<long double>(magnitude) * (precision == 1 ? 10.0L : 100.0L);
    const auto n = static_cast<unsigned long long>(std::llrint(scaled));
    const unsigned long long unit = precision == 1 ? 10 : 100;
    if (std::signbit(value)) *out++ = '-';
    out = std::to_chars(out, out + 24, n / unit).ptr;
    *out++ = '.';
    const auto fraction = static_cast<unsigned>(n % unit);
    if (precision == 2) *out++ = static_cast<char>('0' + fraction / 10);
    *out++ = static_cast<char>('0' + fraction % 10);
    return out;
  }
  // Beyond, std::to_chars rounds the exact binary value the same way.  NaN
  // and infinity keep the C library's own text ("-nan").
  if (!std::isfinite(value))
    return out + std::snprintf(out, kFixedTextSize, precision == 1 ? "%1.1f" : "%1.2f", value);
  return std::to_chars(out, out + kFixedTextSize, value, std::chars_format::fixed, precision).ptr;
}

const char* ShortestText(double value, NumberText text) {
  *std::to_chars(text, text + sizeof(NumberText) - 1, value).ptr = '\0';
  return text;
}

void PutFixed(std::FILE* out, double value, int precision, const char* separator) {
  char text[kFixedTextSize + 8];
  char* end = FixedText(text, value, precision);
  const std::size_t length = std::strlen(separator);
  std::memcpy(end, separator, length);
  std::fwrite(text, 1, static_cast<std::size_t>(end - text) + length, out);
}

std::size_t ScanNumber(const char* text, std::size_t size, double& value) {
  // Plain decimal text that std::from_chars takes whole is read by "%lf" as
  // the same, correctly rounded double.  Anything else ("+1", "1e",
  // "0x1p3", "nan(1)", out of range) is left to sscanf, which reads it as
  // "%lf" on a stream does, and reports how much it took.
  if (size > 0) {
    const char first = text[0] == '-' && size > 1 ? text[1] : text[0];
    if ((first >= '0' && first <= '9') || first == '.') {
      const auto result = std::from_chars(text, text + size, value);
      if (result.ec == std::errc() && result.ptr == text + size) return size;
    }
  }
  // What the C library writes for a NaN, read as "%lf" reads it whole.
  static double nan_values[2];
  static const bool cached =
      std::sscanf("nan -nan", "%lf %lf", &nan_values[0], &nan_values[1]) == 2;
  if (cached && (size == 3 || size == 4) && std::memcmp(text + size - 3, "nan", 3) == 0 &&
      (size == 3 || text[0] == '-')) {
    value = nan_values[size - 3];
    return size;
  }
  char small[256];
  std::string large;
  const char* copy = small;
  if (size < sizeof small) {
    std::memcpy(small, text, size);
    small[size] = '\0';
  } else {
    copy = large.assign(text, size).c_str();
  }
  int used = 0;
  if (std::sscanf(copy, "%lf%n", &value, &used) == 1 && used > 0)
    return static_cast<std::size_t>(used);
  return 0;
}

}  // namespace model
