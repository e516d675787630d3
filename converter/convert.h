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
};

// The one-line message (UTF-8) that the batch mode prints for a result.
std::string_view resultText(ConvertResult result);

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

  // inputName: cp1252, written in the header line. fileName: the name to open
  // in the file system; empty means inputName converted to UTF-8.
  ConvertResult convertPresentation(std::string_view inputName, OutputSink& output,
                                    std::string_view fileName = {});
  presentation::OpenResult openPresentation(std::string_view fileName);
  // Writes one shape's text as lines; false when a write failed.
  bool writeShapeText(std::string_view text, OutputSink& output);
  void closePresentation();
  void releaseState();

  const std::string& inputName() const { return inputName_; }

 private:
  // Each block is a shape's text (or "ALT: " and its alternative text) in
  // cp1252 that yields at least one line.
  void shapeBlocks(presentation::ShapeId shape, int depth, std::vector<std::string>& blocks);
  bool writeShape(presentation::ShapeId shape, OutputSink& output);

  presentation::PresentationReader& reader_;
  ConsoleOutput& console_;
  std::string inputName_;
  int slideCount_ = 0;
  bool applicationOpen_ = false;
};

}  // namespace lamina::converter
