// Binary presentations straight from bytes: the compound file, then records.
#include <cstddef>
#include <cstdint>

#include "presentation/native_reader.h"
#include "presentation/ppt_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const lamina::presentation::ReadOutcome outcome =
      lamina::presentation::readPptMemory({data, size});
  // Every member a reader hands out must name a shape of the document.
  for (const auto& shape : outcome.document.shapes) {
    for (auto member : shape.members) {
      if (member >= outcome.document.shapes.size()) __builtin_trap();
    }
  }
  return 0;
}
