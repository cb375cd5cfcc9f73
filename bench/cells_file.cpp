// The cell results of a run, recorded into the file named by QUORVANE_CELLS
// by the recording build and read back by the replay build, which then
// skips the arithmetic: the replay costs what a run costs besides it.
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace model {

void RecordCell(double X_per, double X2) {
  static std::FILE* file = std::fopen(std::getenv("QUORVANE_CELLS"), "wb");
  const double pair[2] = {X_per, X2};
  std::fwrite(pair, sizeof pair, 1, file);
}

bool ReplayCell(double& X_per, double& X2) {
  static std::unique_ptr<double, decltype(&std::free)> values(nullptr, &std::free);
  static std::size_t count = 0, next = 0;
  if (!values) {  // the whole file at once, before the first cell
    std::FILE* file = std::fopen(std::getenv("QUORVANE_CELLS"), "rb");
    if (file == nullptr) return false;
    std::fseek(file, 0, SEEK_END);
    const std::size_t size = static_cast<std::size_t>(std::ftell(file)) / sizeof(double);
    std::rewind(file);
    values.reset(static_cast<double*>(std::malloc(size * sizeof(double))));  // no zero fill
    count = std::fread(values.get(), sizeof(double), size, file);
    std::fclose(file);
  }
  if (next + 1 >= count) return false;
  X_per = values.get()[next];
  X2 = values.get()[next + 1];
  next += 2;
  return true;
}

}  // namespace model
