// The record layer without the compound file, which the fuzzer cannot see
// into: the input is a 2-byte length, the current user stream, then the
// document stream.
#include <cstddef>
#include <cstdint>

#include "presentation/ppt_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t userSize = static_cast<std::size_t>(data[0] | (data[1] << 8));
  if (userSize > size - 2) return 0;
  lamina::presentation::MemorySource user({data + 2, userSize});
  lamina::presentation::MemorySource document({data + 2 + userSize, size - 2 - userSize});
  const auto outcome = lamina::presentation::readPptStreams(document, &user);
  for (const auto& shape : outcome.document.shapes) {
    for (auto member : shape.members) {
      if (member >= outcome.document.shapes.size()) __builtin_trap();
    }
  }
  return 0;
}
