#pragma once
// What the readers make of a presentation file: slides in presentation order,
// each with its top-level shapes; groups and tables hold their members.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "presentation/reader.h"

namespace lamina::presentation {

struct Shape {
  bool textFrame = false;
  std::u16string text;
  // Text that several shapes show (the binary format's slide list) is held
  // once; when set it stands in for text.
  std::shared_ptr<const std::u16string> sharedText;
  std::u16string alternativeText;
  std::vector<ShapeId> members;

  std::u16string_view textView() const { return sharedText ? *sharedText : text; }
};

// Limits for untrusted input, shared by the readers.
inline constexpr int kMaxNesting = 32;
inline constexpr std::size_t kMaxShapes = 1u << 20;
inline constexpr std::size_t kMaxSlides = 1u << 16;
// Characters of text and alternative text a presentation may give in all,
// counting shared text once per shape that shows it: the bound of what the
// output can hold, whatever tricks the file plays.
inline constexpr std::size_t kMaxTextUnits = 32u << 20;

struct Document {
  std::vector<Shape> shapes;                 // every shape, indexed by ShapeId
  std::vector<std::vector<ShapeId>> slides;  // top-level shapes of each slide
  // Slides (numbered from 1) that the file lists but whose contents cannot
  // be read; each is kept in slides, empty, so later slides keep their place.
  std::vector<int> damagedSlides;
  std::size_t textUnits = 0;

  ShapeId add(Shape shape) {
    textUnits += shape.textView().size() + shape.alternativeText.size();
    shapes.push_back(std::move(shape));
    return static_cast<ShapeId>(shapes.size() - 1);
  }
  bool overTextBound() const { return textUnits > kMaxTextUnits; }
  void addDamagedSlide() {
    slides.emplace_back();
    damagedSlides.push_back(static_cast<int>(slides.size()));
  }
};

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
