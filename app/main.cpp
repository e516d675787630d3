// lamina: converts a presentation into a plain text file, talking.
#include <cstdio>
#include <string>
#include <string_view>

#include "app/help_text.h"
#include "app/program.h"
#include "converter/batch.h"
#include "platform/cp1252.h"
#include "platform/log.h"

int main(int argc, char** argv) {
  lamina::platform::configureProcessLog({});
  if (argc > 1 && std::string_view(argv[1]) == "--batch") {
    return lamina::converter::runBatch(argc, argv);
  }
  const lamina::app::Options options = lamina::app::parseOptions(argc, argv);
  if (options.help || options.version) {
    const std::string text = options.help ? lamina::app::helpText() : lamina::app::versionText();
    std::fputs(lamina::cp1252::toUtf8(text).c_str(), stdout);
    return 0;
  }
  if (!options.error.empty()) {
    std::fprintf(stderr, "lamina: %s\n", options.error.c_str());
    return 2;
  }
  if (!options.logFile.empty()) lamina::platform::configureProcessLog(options.logFile);
  lamina::app::Program program(options);
  if (options.demo) {
    lamina::app::runConsoleDemo(program.console(), program.player(), options.keyLog);
  } else {
    lamina::app::runConversion(program, options);
  }
  return 0;
}
