#include "presentation/native_reader.h"

#include <fstream>

#include "presentation/odf_reader.h"
#include "presentation/ooxml_reader.h"
#include "presentation/ppt_reader.h"

namespace lamina::presentation {

ReadOutcome readPresentationFile(std::string_view fileName) {
  std::uint8_t head[64] = {};
  std::size_t got = 0;
  {
    std::ifstream in{std::string(fileName), std::ios::binary};
    if (!in) return {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    got = static_cast<std::size_t>(in.gcount());
    if (got < 8) return {};
  }
  switch (sniffContainer({head, got})) {
    case Container::compoundFile:
      return readPptFile(fileName);
    case Container::zip: {
      // A package that is no Office Open XML may still be OpenDocument
      // written without its mimetype first.
      ReadOutcome outcome = readOoxmlFile(fileName);
      if (outcome.result != OpenResult::notPresentation) return outcome;
      return readOdfFile(fileName);
    }
    case Container::odfPackage:
    case Container::xml:
      return readOdfFile(fileName);
    case Container::unknown:
      break;
  }
  return {};
}

std::u16string paragraphBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n') {
      if (i == 0 || text[i - 1] != u'\r') out += u'\r';
    } else {
      out += text[i];
    }
  }
  return out;
}

OpenResult NativeReader::open(std::string_view fileName, bool, bool, bool) {
  ReadOutcome outcome = readPresentationFile(fileName);
  document_ = std::move(outcome.document);
  if (outcome.result != OpenResult::ok) document_ = {};
  return outcome.result;
}

int NativeReader::shapeCount(int slide) {
  if (slide < 1 || static_cast<std::size_t>(slide) > document_.slides.size()) return 0;
  return static_cast<int>(document_.slides[static_cast<std::size_t>(slide - 1)].size());
}

ShapeId NativeReader::shapeItem(int slide, int shape) {
  if (shape < 1 || shape > shapeCount(slide)) return ShapeId(-1);
  return document_.slides[static_cast<std::size_t>(slide - 1)][static_cast<std::size_t>(shape - 1)];
}

const Shape* NativeReader::find(ShapeId shape) const {
  return shape < document_.shapes.size() ? &document_.shapes[shape] : nullptr;
}

bool NativeReader::hasTextFrame(ShapeId shape) {
  const Shape* s = find(shape);
  return s && s->textFrame;
}

std::u16string NativeReader::text(ShapeId shape) {
  const Shape* s = find(shape);
  return s ? paragraphBreaks(s->textView()) : std::u16string();
}

std::u16string NativeReader::alternativeText(ShapeId shape) {
  const Shape* s = find(shape);
  return s ? paragraphBreaks(s->alternativeText) : std::u16string();
}

int NativeReader::memberCount(ShapeId shape) {
  const Shape* s = find(shape);
  return s ? static_cast<int>(s->members.size()) : 0;
}

ShapeId NativeReader::memberItem(ShapeId shape, int member) {
  const Shape* s = find(shape);
  if (!s || member < 1 || static_cast<std::size_t>(member) > s->members.size()) {
    return ShapeId(-1);
  }
  return s->members[static_cast<std::size_t>(member - 1)];
}

}  // namespace lamina::presentation
