#pragma once
// The reader behind the converter's presentation automation calls. The calls
// mirror the presentation program's automation object model (create, open,
// slides, shapes, quit), so a fake that answers them is all a test needs.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lamina::presentation {

// A shape of the open presentation; valid until close().
using ShapeId = std::uint32_t;

enum class OpenResult : std::uint8_t {
  ok = 0,
  notPresentation = 1,  // missing, unreadable, or not a presentation at all
  corrupt = 2,          // a presentation container whose contents cannot be read
  encrypted = 3,        // password-protected
  oldFormat = 4,        // PowerPoint 95 or older
  tooLarge = 5,         // more text than any presentation holds
};

// A short English text for logs.
std::string_view resultText(OpenResult result);

class PresentationReader {
 public:
  virtual ~PresentationReader() = default;

  // Application object: creation, visibility, its presentations collection.
  virtual bool create() = 0;
  virtual void setVisible(bool visible) = 0;
  virtual bool presentations() = 0;
  // Opens fileName (a name of the file system) as the active presentation.
  virtual OpenResult open(std::string_view fileName, bool readOnly, bool untitled,
                          bool withWindow) = 0;

  virtual int slideCount() = 0;
  // Slides (from 1) that the presentation lists but that could not be read;
  // each still counts in slideCount() and has no shapes.
  virtual std::vector<int> damagedSlides() { return {}; }
  // slide and shape numbers start at 1.
  virtual int shapeCount(int slide) = 0;
  virtual ShapeId shapeItem(int slide, int shape) = 0;

  virtual bool hasTextFrame(ShapeId shape) = 0;
  // Paragraphs separated by CR, line breaks as vertical tab (11), tabs as TAB.
  virtual std::u16string text(ShapeId shape) = 0;
  virtual std::u16string alternativeText(ShapeId shape) = 0;

  // Members of a group, or the cells of a table row by row (each merged
  // cell once); 0 for every other shape.
  virtual int memberCount(ShapeId shape) = 0;
  virtual ShapeId memberItem(ShapeId shape, int member) = 0;

  virtual void close() = 0;
  virtual void quit() = 0;
};

}  // namespace lamina::presentation
