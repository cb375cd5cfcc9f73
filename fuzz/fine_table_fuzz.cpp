// libFuzzer target: the read-back of "calculations.txt" and the search on
// whatever it yields.  The first byte chooses the matrix width (0 to 15).
#include <cstdint>
#include <cstdio>
#include <vector>

#include "inversion.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int width = data[0] % 16;
  std::vector<char> text(data + 1, data + size);
  text.push_back('\0');
  std::FILE* calc1 = fmemopen(text.data(), text.size(), "r");
  if (calc1 == nullptr) return 0;
  std::vector<double> M(static_cast<std::size_t>(inversion::kFineRows) * width + 1);
  if (inversion::ReadFineTable(calc1, "calculations.txt", M.data(), width))
    for (int j = 1; j < width; ++j)
      for (double SD : {-1.0, 0.0, 30.1, 50.0, 1e300})
        inversion::NearestRow(M.data(), width, j, SD);
  std::fclose(calc1);
  return 0;
}
