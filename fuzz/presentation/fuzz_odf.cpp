#include <cstddef>
#include <cstdint>

#include "fuzz/presentation/entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!lamina::presentation::fuzzing::readOdf({data, size})) __builtin_trap();
  return 0;
}
