#pragma once
// What the readers make of a presentation file: slides in presentation order,
// each with its top-level shapes; groups and tables hold their members.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "presentation/reader.h"

namespace lamina::presentation {

struct Shape {
  bool textFrame = false;
  std::u16string text;
  std::u16string alternativeText;
  std::vector<ShapeId> members;
};

struct Document {
  std::vector<Shape> shapes;                 // every shape, indexed by ShapeId
  std::vector<std::vector<ShapeId>> slides;  // top-level shapes of each slide

  ShapeId add(Shape shape) {
    shapes.push_back(std::move(shape));
    return static_cast<ShapeId>(shapes.size() - 1);
  }
};

// Limits for untrusted input, shared by the readers.
inline constexpr int kMaxNesting = 32;
inline constexpr std::size_t kMaxShapes = 1u << 20;
inline constexpr std::size_t kMaxSlides = 1u << 16;

struct ReadOutcome {
  OpenResult result = OpenResult::notPresentation;
  Document document;
};

// Which container a file's first bytes announce.
enum class Container : std::uint8_t { unknown, compoundFile, zip };
inline Container sniffContainer(std::span<const std::uint8_t> head) {
  static constexpr std::uint8_t kCompound[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (head.size() >= 8 && std::equal(head.begin(), head.begin() + 8, kCompound)) {
    return Container::compoundFile;
  }
  if (head.size() >= 4 && head[0] == 'P' && head[1] == 'K' && head[2] == 3 && head[3] == 4) {
    return Container::zip;
  }
  return Container::unknown;
}

}  // namespace lamina::presentation
