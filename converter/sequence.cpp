#include "converter/sequence.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#include "chooser/chooser.h"
#include "converter/batch.h"
#include "converter/output_file.h"
#include "platform/cp1252.h"
#include "speech/text_speaker.h"

namespace lamina::converter {

namespace fs = std::filesystem;

namespace {

// The converter's empty line after the header goes to the console.
class ConsoleLines final : public ConsoleOutput {
 public:
  explicit ConsoleLines(console::Console& c) : console_(c) {}
  void emptyLine() override { console_.writeLine(""); }

 private:
  console::Console& console_;
};

// A name that is not valid UTF-8 was most likely written in code page 1252.
std::string displayName(std::string_view systemName) {
  return validUtf8(systemName) ? cp1252::fromUtf8(systemName) : std::string(systemName);
}

// Whether a new file can be made beside target: a file of that kind is
// created and removed at once, so nothing is left and an existing target is
// untouched until the conversion has succeeded.
bool canCreateBeside(const fs::path& target) {
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  if (fs::exists(status) && !fs::is_regular_file(status)) return false;
  if (target.filename().empty()) return false;
  std::random_device random;
  const fs::path probe = target.parent_path() / (".lamina." + std::to_string(random()) + ".probe");
  std::FILE* file = std::fopen(probe.c_str(), "wbx");
  if (file == nullptr) return false;
  std::fclose(file);
  fs::remove(probe, error);
  return true;
}

bool sameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  if (fs::equivalent(a, b, error) && !error) return true;
  const fs::path ca = fs::weakly_canonical(a, error);
  if (error) return false;
  const fs::path cb = fs::weakly_canonical(b, error);
  return !error && ca == cb;
}

}  // namespace

std::string outputNameFor(std::string_view typed) {
  static constexpr std::array<std::string_view, 11> kPresentations{
      ".PPT", ".PPS", ".PPTX", ".PPSX", ".PPTM", ".PPSM", ".POTX", ".POT", ".ODP", ".OTP", ".FODP"};
  const std::string upper = speech::upperText(typed);
  for (std::string_view ending : kPresentations) {
    if (upper.ends_with(ending)) return std::string(typed) + ".TXT";
  }
  return std::string(typed);
}

ProgramSequence::ProgramSequence(SequenceParts parts)
    : parts_(std::move(parts)), prompts_(parts_.console, parts_.speech) {}

bool ProgramSequence::fail(std::string_view key, int lineEnds) {
  prompts_.sayFailure(key, lineEnds);
  return false;
}

bool ProgramSequence::prepareFiles(std::string_view commandLineName) {
  console::Console& c = parts_.console;
  c.setBackColor(1);
  c.write("LAMINA - v1.0 alfa");
  c.setBackColor(0);
  c.writeLine("");
  c.writeLine("");

  std::string name(commandLineName);
  if (name.empty()) {
    prompts_.sayPrompt("LMNOMARQ", 1);
    if (parts_.chooseFile) name = parts_.chooseFile(10, chooser::kPresentationMask);
    c.writeLine(displayName(name));
    if (name.empty()) return fail("LMDESIST", 1);
  }
  input_ = completeInputName(name, parts_.currentDirectory);
  // Only an ordinary file is a presentation: a directory, a FIFO (which
  // would hang the read) or a broken link is reported as missing.
  std::error_code error;
  if (!fs::is_regular_file(input_, error)) return fail("LMARQNAO", 2);

  prompts_.sayPrompt("LMNOMSAI", 1);
  std::string typed;
  const int end = parts_.editor.editLine(typed, 1, c.cursorRow(), 255, 80, true);
  c.writeLine("");
  if (end != 13) return fail("LMDESIST", 1);

  // The empty answer names the presentation itself, as the file system
  // spells it, so a name without a cp1252 form still finds its file.
  std::string system;
  if (typed.empty()) {
    system = outputNameFor(input_);
  } else {
    system = cp1252::toUtf8(outputNameFor(typed));
  }
  output_ = fs::path(system);
  if (output_.is_relative()) output_ = parts_.currentDirectory / output_;
  if (sameFile(input_, output_) || !canCreateBeside(output_)) return fail("LMERRCRI", 1);
  return true;
}

bool ProgramSequence::convertAndAnnounce() {
  ConsoleLines lines(parts_.console);
  Converter converter(parts_.reader, lines);
  const ConvertResult result =
      convertToFile(converter, displayName(input_), output_, false, input_);
  converter.releaseState();
  switch (result) {
    case ConvertResult::damagedSlides:
      // The file is written, but the user must know which slides are empty
      // in it: announced like a failure, before the closing message.
      for (int i = 0; i < 3; ++i) parts_.speech.recorded().beepTone();
      prompts_.sayLine(damagedSlidesText(converter.damagedSlides()));
      [[fallthrough]];
    case ConvertResult::ok:
      prompts_.sayPrompt("LMFIMAPR", 1);
      return true;
    case ConvertResult::encrypted:
      return fail("LMAPRSEN", 1);
    case ConvertResult::writeError:
      return fail("LMERRGRA", 1);
    case ConvertResult::notPresentation:
    case ConvertResult::corrupt:
    case ConvertResult::oldFormat:
    case ConvertResult::tooLarge:
      break;
  }
  return fail("LMERRAPR", 1);
}

bool ProgramSequence::run(std::string_view commandLineName) {
  return prepareFiles(commandLineName) && convertAndAnnounce();
}

}  // namespace lamina::converter
