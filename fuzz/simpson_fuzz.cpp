// libFuzzer target: the closed form of Simpson's sum against simpson itself,
// bit for bit, for any integrand value, bounds and panel count.  Bytes 0-7
// are F, 8-15 a, 16-23 b, 24-25 the panel count (10000 when absent).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model.hpp"

namespace {
double constant;
double Constant(double) { return constant; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  double values[3] = {0.5, 1.104311, 5.178875};
  std::memcpy(values, data, size < sizeof values ? size : sizeof values);
  unsigned int n = model::kSimpsonPanels;
  if (size >= sizeof values + 2) n = data[sizeof values] | (data[sizeof values + 1] << 8);
  constant = values[0];
  const double expected = model::simpson(Constant, values[1], values[2], n);
  const double closed = model::SimpsonOfConstant(values[0], values[1], values[2], n);
  if (std::memcmp(&expected, &closed, sizeof expected) != 0) std::abort();
  return 0;
}
