#pragma once
// The presentation reader of this system: answers the converter's automation
// calls from the file itself, for the binary format, Office Open XML and
// OpenDocument.
#include <string_view>

#include "presentation/document.h"
#include "presentation/reader.h"

namespace lamina::presentation {

// Reads a presentation file; only the parts that hold text are read.
ReadOutcome readPresentationFile(std::string_view fileName);

// A line feed, alone or after a carriage return, ends a paragraph as a
// carriage return does; the walk knows only the latter.
std::u16string paragraphBreaks(std::u16string_view text);

class NativeReader final : public PresentationReader {
 public:
  bool create() override { return true; }
  void setVisible(bool) override {}
  bool presentations() override { return true; }
  OpenResult open(std::string_view fileName, bool readOnly, bool untitled,
                  bool withWindow) override;
  int slideCount() override { return static_cast<int>(document_.slides.size()); }
  std::vector<int> damagedSlides() override { return document_.damagedSlides; }
  int shapeCount(int slide) override;
  ShapeId shapeItem(int slide, int shape) override;
  bool hasTextFrame(ShapeId shape) override;
  std::u16string text(ShapeId shape) override;
  std::u16string alternativeText(ShapeId shape) override;
  int memberCount(ShapeId shape) override;
  ShapeId memberItem(ShapeId shape, int member) override;
  void close() override { document_ = {}; }
  void quit() override { document_ = {}; }

 private:
  const Shape* find(ShapeId shape) const;

  Document document_;
};

}  // namespace lamina::presentation
