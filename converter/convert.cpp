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
    case presentation::OpenResult::tooLarge:
      return ConvertResult::tooLarge;
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

void appendUtf8(std::string& out, std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    cp1252::appendUtf8(out, cp);
  }
}

}  // namespace

bool validUtf8(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t at = pos;
    if (cp1252::decodeUtf8(text, pos) == 0xFFFD && text.substr(at, 3) != "\xEF\xBF\xBD") {
      return false;
    }
  }
  return true;
}

std::string damagedSlidesText(const std::vector<int>& slides) {
  std::string out = slides.size() == 1 ? "slide " : "slides ";
  for (std::size_t i = 0; i < slides.size(); ++i) {
    out += (i ? ", " : "") + std::to_string(slides[i]);
  }
  return out + (slides.size() == 1 ? " danificado" : " danificados") +
         "; o texto dos demais foi gravado";
}

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
    case ConvertResult::damagedSlides:
      return "slides danificados; o texto dos demais foi gravado";
    case ConvertResult::tooLarge:
      return "apresenta\xC3\xA7\xC3\xA3o com texto demais (mais de 32 milh\xC3\xB5"
             "es de caracteres)";
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
  damagedSlides_.clear();
  const std::string systemName =
      fileName.empty() ? cp1252::toUtf8(inputName) : std::string(fileName);
  const presentation::OpenResult opened = openPresentation(systemName);
  if (opened != presentation::OpenResult::ok) {
    closePresentation();
    return fromOpenResult(opened);
  }
  slideCount_ = reader_.slideCount();

  const std::string headerName =
      utf8_ && !fileName.empty() && validUtf8(systemName) ? systemName : literal(inputName_);
  if (!writeLine(output, literal("Apresenta\xE7\xE3o: ") + headerName) ||
      !writeLine(output, literal("N\xFAmero de slides: ") + std::to_string(slideCount_))) {
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
  damagedSlides_ = reader_.damagedSlides();
  closePresentation();
  if (!written) return ConvertResult::writeError;
  return damagedSlides_.empty() ? ConvertResult::ok : ConvertResult::damagedSlides;
}

std::string Converter::encode(std::u16string_view text) const {
  if (!utf8_) return cp1252::fromUtf16(text);
  std::string out;
  appendUtf8(out, text);
  return out;
}

std::string Converter::literal(std::string_view cp1252Text) const {
  return utf8_ ? cp1252::toUtf8(cp1252Text) : std::string(cp1252Text);
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
    std::string text = encode(reader_.text(shape));
    if (yieldsLine(text)) blocks.push_back(std::move(text));
  } else {
    const std::u16string alternative = reader_.alternativeText(shape);
    if (!alternative.empty()) blocks.push_back("ALT: " + encode(alternative));
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
      line += utf8_ ? " \xC2\xB0 " : " \xB0 ";
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
