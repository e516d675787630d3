// Office Open XML packages straight from bytes: zip, relationships, slides.
#include <cstddef>
#include <cstdint>

#include "presentation/ooxml_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto outcome = lamina::presentation::readOoxmlMemory({data, size});
  for (const auto& shape : outcome.document.shapes) {
    for (auto member : shape.members) {
      if (member >= outcome.document.shapes.size()) __builtin_trap();
    }
  }
  return 0;
}
