#pragma once
// What the readers make of a presentation file: slides in presentation order,
// each with its top-level shapes; groups and tables hold their members.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "presentation/server.h"

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
Container sniffContainer(std::span<const std::uint8_t> head);

}  // namespace lamina::presentation
