#pragma once
// The presentation walk: opens a presentation through a presentation
// reader and writes the text of every shape, slide by slide, as cp1252
// lines ended by CR LF.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "presentation/reader.h"

namespace lamina::converter {

enum class ConvertResult : std::uint8_t {
  ok = 0,
  notPresentation = 1,
  corrupt = 2,
  encrypted = 3,
  oldFormat = 4,
  writeError = 5,
  // Written, but some slides could not be read: each has its heading and no
  // text (damagedSlides() names them).
  damagedSlides = 6,
  tooLarge = 7,  // refused: more text than a presentation may give
};

// True when the result leaves a finished output text.
inline bool written(ConvertResult result) {
  return result == ConvertResult::ok || result == ConvertResult::damagedSlides;
}

// True when text is well-formed UTF-8.
bool validUtf8(std::string_view text);

// The one-line message (UTF-8) that the batch mode prints for a result.
std::string_view resultText(ConvertResult result);

// "slide 2 danificado; o texto dos demais foi gravado" (or "slides 2, 5
// danificados; ..."): what the user is told of the slides that could not be
// read, in batch mode and in the talking conversion alike.
std::string damagedSlidesText(const std::vector<int>& slides);

// Where the text goes. A failed write is remembered by the sink.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual bool write(std::string_view bytes) = 0;
};

// The console's standard output; the walk writes one empty line to it.
class ConsoleOutput {
 public:
  virtual ~ConsoleOutput() = default;
  virtual void emptyLine() = 0;
};

// A console output that shows nothing (batch mode).
class SilentConsole final : public ConsoleOutput {
 public:
  void emptyLine() override {}
};

class Converter {
 public:
  Converter(presentation::PresentationReader& reader, ConsoleOutput& console)
      : reader_(reader), console_(console) {}

  // Text goes out as UTF-8 instead of cp1252, every character kept.
  void setUtf8(bool utf8) { utf8_ = utf8; }

  // inputName: cp1252, written in the header line (in UTF-8 output, fileName
  // is written when given). fileName: the name to open in the file system;
  // empty means inputName converted to UTF-8.
  ConvertResult convertPresentation(std::string_view inputName, OutputSink& output,
                                    std::string_view fileName = {});
  presentation::OpenResult openPresentation(std::string_view fileName);
  // Writes one shape's text as lines; false when a write failed.
  bool writeShapeText(std::string_view text, OutputSink& output);
  void closePresentation();
  void releaseState();

  const std::string& inputName() const { return inputName_; }
  // The slides (from 1) that the last conversion could not read.
  const std::vector<int>& damagedSlides() const { return damagedSlides_; }

 private:
  // Each block is a shape's text (or "ALT: " and its alternative text), in
  // the output encoding, that yields at least one line.
  void shapeBlocks(presentation::ShapeId shape, int depth, std::vector<std::string>& blocks);
  bool writeShape(presentation::ShapeId shape, OutputSink& output);
  // Reader text and the walk's own cp1252 texts in the output encoding.
  std::string encode(std::u16string_view text) const;
  std::string literal(std::string_view cp1252Text) const;

  presentation::PresentationReader& reader_;
  ConsoleOutput& console_;

  std::string inputName_;
  std::vector<int> damagedSlides_;
  bool utf8_ = false;
  int slideCount_ = 0;
  bool applicationOpen_ = false;
};

}  // namespace lamina::converter
