#pragma once
// What the readers make of a presentation file: slides in presentation order,
// each with its top-level shapes; groups and tables hold their members.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
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

// Which container a file's first bytes announce. An OpenDocument package
// stores its "mimetype" member first and uncompressed, so its name shows.
enum class Container : std::uint8_t { unknown, compoundFile, zip, odfPackage, xml };
inline Container sniffContainer(std::span<const std::uint8_t> head) {
  static constexpr std::uint8_t kCompound[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (head.size() >= 8 && std::equal(head.begin(), head.begin() + 8, kCompound)) {
    return Container::compoundFile;
  }
  if (head.size() >= 4 && head[0] == 'P' && head[1] == 'K' && head[2] == 3 && head[3] == 4) {
    static constexpr std::string_view kMimetype = "mimetype";
    if (head.size() >= 38 && head[26] == kMimetype.size() && head[27] == 0 &&
        std::equal(kMimetype.begin(), kMimetype.end(), head.begin() + 30)) {
      return Container::odfPackage;
    }
    return Container::zip;
  }
  std::size_t at = 0;
  if (head.size() >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) at = 3;
  while (at < head.size() &&
         (head[at] == ' ' || head[at] == '\t' || head[at] == '\r' || head[at] == '\n')) {
    ++at;
  }
  if (at < head.size() && head[at] == '<') return Container::xml;
  return Container::unknown;
}

}  // namespace lamina::presentation
