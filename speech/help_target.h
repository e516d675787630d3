#pragma once
// Following a word of the screen: a web address with the program of
// PROG.HTM, a document with the program of PROG.<ext>, or a program itself.
// Without a configured program the desktop's opener (xdg-open) decides.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"
#include "speech/config.h"
#include "speech/recorded_speech.h"

namespace lamina::speech {

// Longer targets are cut to this many characters.
inline constexpr std::size_t kMaxHelpTarget = 255;
// The opener of documents and addresses when no program is configured.
inline constexpr std::string_view kDesktopOpener = "xdg-open";

// What a target asks for: the argument vector (cp1252, empty when nothing is
// to be started) and whether argv[0] must be an executable file first.
struct HelpRequest {
  std::vector<std::string> argv;
  bool program = false;
};

// The request for a target, given the current directory (cp1252).
HelpRequest helpRequest(std::string_view target, const ConfigReader& config,
                        std::string_view currentDirectory);

class HelpTargets {
 public:
  HelpTargets(const ConfigReader& config, RecordedSpeech& recorded,
              platform::ProgramStarter& starter);
  // Nothing is reported: a target that cannot be opened is silently dropped.
  void openHelpTarget(std::string_view target);

 private:
  const ConfigReader& config_;
  RecordedSpeech& recorded_;
  platform::ProgramStarter& starter_;
};

}  // namespace lamina::speech
