#include "converter/convert.h"

#include "platform/cp1252.h"

namespace lamina::converter {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// Groups nest only a few levels in real files; a reader that claims more is
// broken, and the walk must not follow it into the stack's end.
constexpr int kMaxDepth = 64;

ConvertResult fromOpenResult(presentation::OpenResult result) {
  switch (result) {
    case presentation::OpenResult::ok:
      return ConvertResult::ok;
    case presentation::OpenResult::notPresentation:
      return ConvertResult::notPresentation;
    case presentation::OpenResult::corrupt:
      return ConvertResult::corrupt;
    case presentation::OpenResult::encrypted:
      return ConvertResult::encrypted;
    case presentation::OpenResult::oldFormat:
      return ConvertResult::oldFormat;
  }
  return ConvertResult::corrupt;
}

// True when writeShapeText would write at least one line for text.
bool yieldsLine(std::string_view text) {
  for (char c : text) {
    if (c != '\r' && c != '\n') return true;
  }
  return false;
}

bool writeLine(OutputSink& output, std::string_view line) {
  bool ok = output.write(line);
  return output.write(kLineEnd) && ok;
}

}  // namespace

std::string_view resultText(ConvertResult result) {
  switch (result) {
    case ConvertResult::ok:
      return "convertido";
    case ConvertResult::notPresentation:
      return "n\xC3\xA3o \xC3\xA9 uma apresenta\xC3\xA7\xC3\xA3o leg\xC3\xADvel";
    case ConvertResult::corrupt:
      return "apresenta\xC3\xA7\xC3\xA3o danificada";
    case ConvertResult::encrypted:
      return "apresenta\xC3\xA7\xC3\xA3o protegida por senha";
    case ConvertResult::oldFormat:
      return "formato antigo (PowerPoint 95 ou anterior) n\xC3\xA3o suportado";
    case ConvertResult::writeError:
      return "erro ao gravar o arquivo de sa\xC3\xAD"
             "da";
  }
  return "erro";
}

presentation::OpenResult Converter::openPresentation(std::string_view fileName) {
  if (!reader_.create()) return presentation::OpenResult::notPresentation;
  applicationOpen_ = true;
  reader_.setVisible(true);
  if (!reader_.presentations()) return presentation::OpenResult::notPresentation;
  return reader_.open(fileName, false, false, true);
}

ConvertResult Converter::convertPresentation(std::string_view inputName, OutputSink& output,
                                             std::string_view fileName) {
  inputName_ = std::string(inputName);
  const std::string systemName =
      fileName.empty() ? cp1252::toUtf8(inputName) : std::string(fileName);
  const presentation::OpenResult opened = openPresentation(systemName);
  if (opened != presentation::OpenResult::ok) {
    closePresentation();
    return fromOpenResult(opened);
  }
  slideCount_ = reader_.slideCount();

  if (!writeLine(output, "Apresenta\xE7\xE3o: " + inputName_) ||
      !writeLine(output, "N\xFAmero de slides: " + std::to_string(slideCount_))) {
    closePresentation();
    return ConvertResult::writeError;
  }
  console_.emptyLine();

  // A failed write past the header would leave a silently shortened text;
  // the walk goes on as the program always did, but the result says so.
  bool written = true;
  for (int n = 1; n <= slideCount_; ++n) {
    written = writeLine(output, "---- Slide " + std::to_string(n) + " ----") && written;
    const int shapes = reader_.shapeCount(n);
    for (int i = 1; i <= shapes; ++i) {
      written = writeShape(reader_.shapeItem(n, i), output) && written;
    }
  }
  closePresentation();
  return written ? ConvertResult::ok : ConvertResult::writeError;
}

bool Converter::writeShape(presentation::ShapeId shape, OutputSink& output) {
  std::vector<std::string> blocks;
  shapeBlocks(shape, 0, blocks);
  bool written = true;
  for (const std::string& block : blocks) {
    written = writeShapeText(block, output) && written;
    written = output.write(kLineEnd) && written;
  }
  if (blocks.empty()) written = output.write(kLineEnd) && written;
  return written;
}

void Converter::shapeBlocks(presentation::ShapeId shape, int depth,
                            std::vector<std::string>& blocks) {
  if (reader_.hasTextFrame(shape)) {
    std::string text = cp1252::fromUtf16(reader_.text(shape));
    if (yieldsLine(text)) blocks.push_back(std::move(text));
  } else {
    const std::u16string alternative = reader_.alternativeText(shape);
    if (!alternative.empty()) blocks.push_back("ALT: " + cp1252::fromUtf16(alternative));
  }
  if (depth >= kMaxDepth) return;
  const int members = reader_.memberCount(shape);
  for (int m = 1; m <= members; ++m) {
    shapeBlocks(reader_.memberItem(shape, m), depth + 1, blocks);
  }
}

bool Converter::writeShapeText(std::string_view text, OutputSink& output) {
  if (text.empty()) return true;
  bool written = true;
  std::string line;
  auto take = [&](char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\t') {
      line += "    ";
    } else if (c == '\n') {
      // dropped
    } else if (c == '\r') {
      if (!line.empty()) {
        written = writeLine(output, line) && written;
        line.clear();
      }
    } else if (byte < 32) {
      line += " \xB0 ";
    } else {
      line += c;
    }
  };
  for (char c : text) take(c);
  take('\r');
  return written;
}

void Converter::closePresentation() {
  if (!applicationOpen_) return;
  reader_.close();
  reader_.quit();
  applicationOpen_ = false;
}

void Converter::releaseState() {
  closePresentation();
  inputName_.clear();
  slideCount_ = 0;
}

}  // namespace lamina::converter
