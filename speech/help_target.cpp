#include "speech/help_target.h"

#include <filesystem>
#include <system_error>

#include "platform/cp1252.h"
#include "speech/text_speaker.h"

namespace lamina::speech {

namespace {

bool isAbsolute(std::string_view t) {
  if (t.empty()) return false;
  if (t[0] == '\\' || t[0] == '/') return true;
  const char c = t[0];
  const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  return letter && t.size() > 1 && t[1] == ':';
}

}  // namespace

HelpRequest helpRequest(std::string_view target, const ConfigReader& config,
                        std::string_view currentDirectory) {
  target = target.substr(0, kMaxHelpTarget);
  HelpRequest request;
  if (target.empty()) return request;
  auto withOpener = [&](std::string program) {
    request.argv.push_back(program.empty() ? std::string(kDesktopOpener) : std::move(program));
    request.argv.emplace_back(target);
  };
  if (target.starts_with("http://") || target.starts_with("www.")) {
    withOpener(config.readConfigValue("ORALIS", "PROG.HTM"));
    return request;
  }
  const std::size_t dot = target.find('.');
  const std::string_view ext =
      dot == std::string_view::npos ? target.substr(0, 3) : target.substr(dot + 1, 3);
  const std::string upper = upperText(ext);
  if (upper == "EXE" || upper == "COM") {
    request.program = true;
    if (isAbsolute(target)) {
      request.argv.emplace_back(target);
    } else {
      std::string file(currentDirectory);
      if (!file.empty() && file.back() != '/' && file.back() != '\\') file += '/';
      request.argv.push_back(file + std::string(target));
    }
    return request;
  }
  withOpener(config.readConfigValue("ORALIS", "PROG." + upper));
  return request;
}

HelpTargets::HelpTargets(const ConfigReader& config, RecordedSpeech& recorded,
                         platform::ProgramStarter& starter)
    : config_(config), recorded_(recorded), starter_(starter) {}

void HelpTargets::openHelpTarget(std::string_view target) {
  std::error_code ec;
  const std::string current = cp1252::fromUtf8(std::filesystem::current_path(ec).string());
  HelpRequest request = helpRequest(target, config_, current);
  if (request.argv.empty()) return;
  std::vector<std::string> argv;
  for (const std::string& a : request.argv) argv.push_back(cp1252::toUtf8(a));
  // Configured programs are written with either separator.
  argv[0] = cp1252::toUtf8(configPath(request.argv[0]).string());
  recorded_.waitWhileSpeaking();
  if (request.program && !starter_.isExecutableFile(argv[0])) return;
  starter_.startDetached(argv);
  recorded_.waitWhileSpeaking();
}

}  // namespace lamina::speech
