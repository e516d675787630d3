#include "speech/speech_front.h"

#include <algorithm>

#include "platform/paths.h"
#include "platform/profile.h"

namespace lamina::speech {
namespace {

// Bounds of the numeric keys: a typing slip must not ask for an endless
// pause or a unit cut of absurd size.
constexpr int kMaxPauseMs = 5000;
constexpr int kMaxCutBytes = 65535;
constexpr int kMaxEngineValue = 1000;

std::string withSeparator(std::string dir) {
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

std::string keyFor(std::string_view key, int speed) {
  return std::string(key) + std::to_string(speed);
}

}  // namespace

SpeedSettings readSpeedSettings(const ConfigReader& config, int speed) {
  SpeedSettings s;
  auto value = [&](std::string_view key) {
    return config.readConfigValue("SINTETIZADOR", keyFor(key, speed));
  };
  s.databaseName = value("DIFONES").substr(0, diphone::kMaxUnitName);
  auto number = [&](std::string_view key, int& out, bool& set) {
    long v = 0;
    set = profile::parseInt(value(key), v);
    out = set ? static_cast<int>(std::clamp<long>(v, -kMaxCutBytes, kMaxCutBytes)) : 0;
  };
  number("CORTEFON", s.cutLength, s.cutLengthSet);
  number("SOBRAFON", s.keepLength, s.keepLengthSet);
  number("INTERPAL", s.wordPause, s.wordPauseSet);
  s.compress = configFlag(value("CORTAFALA"));
  s.fast = configFlag(value("RAPIDINHO"));
  s.fullStopPause = configNumber(value("PAUSAPONTO"), 250, 0, kMaxPauseMs);
  s.commaPause = configNumber(value("PAUSAVIRG"), 150, 0, kMaxPauseMs);
  s.colonPause = configNumber(value("PAUSADOISPONTOS"), 200, 0, kMaxPauseMs);
  return s;
}

SpeechFront::SpeechFront(SpeechParts parts)
    : player_(parts.player),
      pump_(parts.pump),
      console_(parts.console),
      database_(parts.database),
      config_(std::move(parts.places)),
      engines_(parts.pump, parts.engines),
      recorded_(parts.player, parts.pump, parts.keys, engines_, state_),
      numbers_(recorded_, std::move(parts.clock)),
      synthesizer_(parts.database, recorded_),
      text_(recorded_, numbers_, synthesizer_, parts.rules, engines_) {
  state_.synthLettersDir = database_.lettersDir();
}

void SpeechFront::setTrace(std::function<void(std::string_view)> trace) {
  state_.trace = trace;
  numbers_.setTrace(std::move(trace));
}

void SpeechFront::applySpeedSettings(int speed) {
  const SpeedSettings s = readSpeedSettings(config_, speed);
  if (!s.databaseName.empty()) database_.setBaseName(s.databaseName);
  // A key left out keeps the synthesizer's own tuning.
  const diphone::SynthesisSettings& current = database_.settings();
  database_.setSynthesisCuts(s.cutLengthSet ? s.cutLength : current.cutLength,
                             s.keepLengthSet ? s.keepLength : current.keepLength,
                             s.wordPauseSet ? s.wordPause : current.wordPause);
  player_.setWaveCompress(s.compress);
  player_.setWaveFast(s.fast);
  state_.fullStopPause = s.fullStopPause;
  state_.commaPause = s.commaPause;
  state_.colonPause = s.colonPause;
}

bool SpeechFront::speechStart(int speed, std::string_view soundDirectory) {
  if (speed < 1) speed = configNumber(config_.readConfigValue("TRADUTOR", "VELOCIDADE"), 0, -1, 99);
  if (speed < 1 || speed > 5) speed = 3;
  state_.speed = speed;
  applySpeedSettings(speed);

  if (const diphone::StartResult error = database_.diphoneStart();
      error != diphone::StartResult::ready) {
    console_.writeLine("Erro de inicializa\xE7\xE3o: " + std::to_string(static_cast<int>(error)));
    console_.writeLine("Banco de dados de voz: " + database_.settings().baseName);
    database_.diphoneStop();
    console_.readLine();
    console_.closeConsole();
    return false;
  }
  state_.synthLettersDir = database_.lettersDir();
  state_.soundDir = withSeparator(std::string(soundDirectory));
  const std::string defaultLetters = (paths::dataDirectory() / "letras").string();
  state_.lettersDir =
      withSeparator(config_.readWindowsValue("TRADUTOR", "DIRLETRAS", defaultLetters));
  applySpeedSettings(speed);

  state_.engineActive = false;
  if (configFlag(config_.readConfigValue("TRADUTOR", "SAPI"))) {
    auto number = [&](std::string_view key) {
      return configNumber(config_.readConfigValue("SERVFALA", key), 0, -kMaxEngineValue,
                          kMaxEngineValue);
    };
    const int voice = number("VOZ");
    int engineSpeed = number("VELOCIDADE");
    const int pitch = number("TOM");
    const int type = number("TIPOSAPI");
    if (type != 4 && engineSpeed > 10) engineSpeed = 0;
    state_.engineActive = engines_.engineStart(voice, engineSpeed, pitch, "", type);
    state_.engineType = type;
  }
  return true;
}

void SpeechFront::speechStop() {
  while (recorded_.isSpeaking()) pump_.waitMessage();
  recorded_.stopSpeech();
  if (state_.engineActive) {
    engines_.engineStop();
    state_.engineActive = false;
  }
  database_.diphoneStop();
}

}  // namespace lamina::speech
