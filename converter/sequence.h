#pragma once
// The program body: the banner, the presentation's name (command line or
// chooser), the output's name in the spoken editor, the conversion and the
// closing message. Every failure ends with three beeps and a spoken
// message; the caller then stops speech and closes the console.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "console/console.h"
#include "converter/convert.h"
#include "converter/prompts.h"
#include "presentation/reader.h"
#include "speech/line_editor.h"
#include "speech/speech_front.h"

namespace lamina::converter {

// The file chooser: a list rows high at the cursor over the names matching
// mask. Returns the chosen file's name as the file system spells it, empty
// when none was chosen.
using ChooseFile = std::function<std::string(int rows, std::string_view mask)>;

struct SequenceParts {
  console::Console& console;
  speech::SpeechFront& speech;
  speech::LineEditor& editor;
  presentation::PresentationReader& reader;
  ChooseFile chooseFile;  // unset: nothing can be chosen
  std::filesystem::path currentDirectory;
};

// The output's name for the name typed (cp1252, already the input's name
// when the answer was empty): names of presentations get ".TXT" appended,
// every other name is kept as typed.
std::string outputNameFor(std::string_view typed);

class ProgramSequence {
 public:
  explicit ProgramSequence(SequenceParts parts);

  // commandLineName: the first argument as the file system spells it (empty:
  // the chooser asks). True when the output can be written and the
  // conversion may run; false after a failure message has been spoken.
  bool prepareFiles(std::string_view commandLineName);
  // Converts into the output prepared and announces the end (or the
  // failure). True when the output file was written.
  bool convertAndAnnounce();
  // Both, as the program runs them.
  bool run(std::string_view commandLineName);

  // The presentation (file system name) and output prepared.
  const std::string& inputName() const { return input_; }
  const std::filesystem::path& outputPath() const { return output_; }
  Prompts& prompts() { return prompts_; }

 private:
  bool fail(std::string_view key, int lineEnds);

  SequenceParts parts_;
  Prompts prompts_;
  std::string input_;
  std::filesystem::path output_;
};

}  // namespace lamina::converter
