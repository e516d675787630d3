#include "mbrola_tts/reporter.h"

#include <cstdio>

#include "platform/cp1252.h"

namespace lamina::mbrola_tts {

void StderrReporter::showMessage(std::string_view message) {
  const std::string line = cp1252::toUtf8(message) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace lamina::mbrola_tts
