// libFuzzer target: the read-back of "calculations.txt" against the fscanf
// reader it replaced (same verdict, same numbers to the bit), and the
// search on whatever it yields.  The first byte chooses the matrix width
// (0 to 15).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fine_table_reference.hpp"
#include "inversion.hpp"

namespace {

bool Read(bool fast, std::vector<char>& text, int width, std::vector<double>& M) {
  std::FILE* calc1 = fmemopen(text.data(), text.size(), "r");
  if (calc1 == nullptr) std::abort();
  const bool ok = fast ? inversion::ReadFineTable(calc1, "calculations.txt", M.data(), width)
                       : reference::ReadFineTable(calc1, "calculations.txt", M.data(), width);
  std::fclose(calc1);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int width = data[0] % 16;
  std::vector<char> text(data + 1, data + size);
  text.push_back('\0');
  const std::size_t cells = static_cast<std::size_t>(inversion::kFineRows) * width + 1;
  std::vector<double> fast(cells, -1), slow(cells, -1);
  const bool ok = Read(true, text, width, fast);
  if (ok != Read(false, text, width, slow)) std::abort();
  if (!ok) return 0;
  if (std::memcmp(fast.data(), slow.data(), cells * sizeof(double)) != 0) std::abort();
  for (int j = 1; j < width; ++j)
    for (double SD : {-1.0, 0.0, 30.1, 50.0, 1e300})
      inversion::NearestRow(fast.data(), width, j, SD);
  return 0;
}
