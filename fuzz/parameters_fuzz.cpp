// libFuzzer target: the parameter reader and the grid checks on any text.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "model.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  std::FILE* inp = fmemopen(text.data(), size > 0 ? size : 1, "r");
  if (inp == nullptr) return 0;
  model::Parameters P{};
  if (model::ReadParametersFrom(inp, "input.txt", P)) {
    model::CheckGrids(P, true, true);
    model::RoundedColumnCount(P);
  }
  std::fclose(inp);
  return 0;
}
