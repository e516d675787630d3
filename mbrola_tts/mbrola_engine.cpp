#include "mbrola_tts/mbrola_engine.h"

#include <algorithm>
#include <system_error>

#include "mbrola_tts/pho_synth.h"
#include "mbrola_tts/program_backend.h"
#include "platform/child_pipe.h"
#include "platform/cp1252.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/riff.h"

namespace lamina::mbrola_tts {

namespace {

constexpr unsigned kStopPollMs = 500;

bool blank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
  });
}

std::string orDefault(std::string value, std::string_view fallback) {
  return value.empty() ? std::string(fallback) : value;
}

}  // namespace

LanguageFiles MbrolaSettings::files() const {
  const std::string stem = directory + base;
  return {speech::configPath(stem + ".nrl"), speech::configPath(stem + ".exc"),
          speech::configPath(stem + ".abr"), speech::configPath(stem + ".pro"),
          speech::configPath(stem + ".dfn")};
}

MbrolaSettings mbrolaSettings(const speech::ConfigReader& config) {
  MbrolaSettings s;
  s.database = orDefault(config.readConfigValue("MARELTTS", "MBROLA_DB"), "br4");
  s.directory = orDefault(config.readConfigValue("MARELTTS", "DIR"),
                          (paths::dataDirectory() / "mbrola").string());
  if (s.directory.back() != '/' && s.directory.back() != '\\') s.directory += '/';
  s.base = orDefault(config.readConfigValue("MARELTTS", "BASE"), "portug");
  s.program = config.readConfigValue("MARELTTS", "MBROLA_PROG");
  return s;
}

std::unique_ptr<MbrolaBackend> chooseMbrolaBackend(const MbrolaSettings& settings) {
  const std::filesystem::path program =
      platform::findProgram(settings.program.empty() ? "mbrola" : settings.program);
  std::error_code ec;
  if (!program.empty() && std::filesystem::exists(speech::configPath(settings.database), ec)) {
    return std::make_unique<MbrolaProgram>(program);
  }
  return std::make_unique<PhoSynth>();
}

bool fillWaveHeader(std::span<std::uint8_t> header, std::uint32_t rate, std::uint16_t bits,
                    std::uint32_t dataSize, std::uint16_t channels) {
  if (header.size() < riff::kWaveHeaderSize) return false;
  const auto align = static_cast<std::uint16_t>(channels * bits / 8);
  const auto put = [&](std::size_t at, std::string_view id) {
    std::copy(id.begin(), id.end(), header.begin() + static_cast<std::ptrdiff_t>(at));
  };
  put(0, "RIFF");
  riff::put32(header, 4, dataSize + 36);
  put(8, "WAVE");
  put(12, "fmt ");
  riff::put32(header, 16, 16);
  riff::put16(header, 20, 1);
  riff::put16(header, 22, channels);
  riff::put32(header, 24, rate);
  riff::put32(header, 28, rate * align);
  riff::put16(header, 32, align);
  riff::put16(header, 34, bits);
  put(36, "data");
  riff::put32(header, 40, dataSize);
  return true;
}

MbrolaEngine::MbrolaEngine(wave::WavePlayer& player, platform::MessagePump& pump,
                           MbrolaSettings settings, MessageReporter& reporter,
                           BackendFactory factory)
    : player_(player),
      pump_(pump),
      settings_(std::move(settings)),
      reporter_(reporter),
      factory_(std::move(factory)) {}

MbrolaEngine::~MbrolaEngine() {
  if (backend_) stopMbrolaEngine();
}

bool MbrolaEngine::mbrolaStart(int, int speed, int pitch, std::string_view outputFile) {
  if (backend_) stopMbrolaEngine();
  outputFile_ = std::string(outputFile);
  const bool started = startMbrolaEngine();
  speedFactor_ = 0.8 - speed / 15.0;
  pitchFactor_ = (pitch + 11) / 11.0;
  return started;
}

void MbrolaEngine::mbrolaStop() {
  while (mbrolaBusy()) pump_.sleepPumping(kStopPollMs);
  mbrolaCut();
  stopMbrolaEngine();
}

void MbrolaEngine::mbrolaSpeak(std::string_view text) {
  speakMbrola(text);
  pump_.postMessage(platform::kMsgEngineBusy, 0, 0);
}

bool MbrolaEngine::mbrolaBusy() {
  bool busy = fileMode_ ? false : player_.wavePlaying();
  if (pump_.keyPressed()) {
    mbrolaCut();
    busy = false;
  }
  pump_.postMessage(platform::kMsgEngineBusy, 0, 0);
  return busy;
}

void MbrolaEngine::mbrolaCut() {
  if (!fileMode_) player_.waveStop();
  pump_.postMessage(platform::kMsgEngineBusy, 0, 0);
}

bool MbrolaEngine::startMbrolaEngine() {
  backend_ = factory_ ? factory_(settings_) : nullptr;
  if (!backend_) return false;
  // The database name is the one configured: a path for the MBROLA program,
  // or the name or path of our own voice.
  if (backend_->init(settings_.database) < 0) {
    backend_.reset();
    return false;
  }
  backend_->setNoError(1);
  frontEnd_ = std::make_unique<MbrolaFrontEnd>();
  const LoadResult loaded = frontEnd_->load(settings_.files(), reporter_);
  if (loaded != LoadResult::ok) {
    lastErrorText_ = loadFailureMessage(loaded).substr(0, kLastErrorLength);
    return false;
  }
  if (outputFile_.empty()) {
    fileMode_ = false;
    return true;
  }
  file_.open(speech::configPath(outputFile_), std::ios::binary | std::ios::trunc);
  if (!file_.is_open()) return false;
  std::array<std::uint8_t, riff::kWaveHeaderSize> header{};
  fillWaveHeader(header, kMbrolaSampleRate, 16, 0, 1);
  file_.write(reinterpret_cast<const char*>(header.data()), header.size());
  file_.flush();
  if (!file_) {
    lastErrorText_ = cp1252::fromUtf8("Arquivo de saída não pode ser criado");
    file_.close();
    return false;
  }
  fileMode_ = true;
  return true;
}

void MbrolaEngine::stopMbrolaEngine() {
  if (fileMode_) {
    file_.close();
    std::fstream again(speech::configPath(outputFile_),
                       std::ios::binary | std::ios::in | std::ios::out);
    again.seekg(0, std::ios::end);
    const auto size = static_cast<std::int64_t>(again.tellg());
    if (again && size >= static_cast<std::int64_t>(riff::kWaveHeaderSize)) {
      std::array<std::uint8_t, riff::kWaveHeaderSize> header{};
      const auto data = static_cast<std::uint32_t>(
          std::min<std::int64_t>(size - riff::kWaveHeaderSize, 0xFFFFFFFF - 36));
      fillWaveHeader(header, kMbrolaSampleRate, 16, data, 1);
      again.seekp(0);
      again.write(reinterpret_cast<const char*>(header.data()), header.size());
    }
    fileMode_ = false;
  }
  if (file_.is_open()) file_.close();
  frontEnd_.reset();
  if (backend_) backend_->close();
  backend_.reset();
}

void MbrolaEngine::playHeld() {
  fillWaveHeader(play_, kMbrolaSampleRate, 16, static_cast<std::uint32_t>(playBytes_), 1);
  player_.playWaveMemory(std::span(play_).first(riff::kWaveHeaderSize + playBytes_));
  playBytes_ = 0;
}

bool MbrolaEngine::speakMbrola(std::string_view text) {
  if (blank(text)) return true;
  if (!backend_ || !frontEnd_) return false;
  const std::vector<std::string> lines = frontEnd_->textToMbrola(text, pitchFactor_, speedFactor_);

  const bool fast = player_.waveFast();
  const bool compress = player_.waveCompress();
  player_.setWaveFast(false);
  player_.setWaveCompress(false);
  samples_.resize(kReadSamples);
  play_.assign(riff::kWaveHeaderSize + kPlayRoomBytes, 0);
  playBytes_ = 0;

  MbrolaBackend& mbrola = *backend_;
  mbrola.reset();
  bool result = true;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool last = i + 1 == lines.size();
    if (lines[i].empty() && !last) continue;
    mbrola.write(lines[i] + "\r\n");
    if (mbrola.lastError() != 0) {
      mbrola.reset();
      result = false;
    }
    if (last) mbrola.flush();
    for (;;) {
      // A read never holds more than the play buffer's room beside what it
      // keeps, so every block but the last reaches the player with at least
      // half a second of sound.
      const std::size_t room = fileMode_ ? kReadSamples : (kPlayRoomBytes - playBytes_) / 2;
      const int got = mbrola.read(std::span(samples_).first(std::min(room, kReadSamples)));
      if (mbrola.lastError() != 0) {
        mbrola.reset();
        result = false;
      }
      if (got <= 0) break;
      const auto bytes = static_cast<std::size_t>(got) * 2;
      if (fileMode_) {
        for (int k = 0; k < got; ++k) {
          const auto u = static_cast<std::uint16_t>(samples_[k]);
          const char pair[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
          file_.write(pair, 2);
        }
        if (!file_) {
          file_.clear();
          result = false;
        }
        continue;
      }
      std::uint8_t* to = play_.data() + riff::kWaveHeaderSize + playBytes_;
      for (int k = 0; k < got; ++k) {
        const auto u = static_cast<std::uint16_t>(samples_[k]);
        *to++ = static_cast<std::uint8_t>(u & 0xFF);
        *to++ = static_cast<std::uint8_t>(u >> 8);
      }
      playBytes_ += bytes;
      if (playBytes_ >= kPlayBlockBytes) playHeld();
    }
  }
  if (!fileMode_ && playBytes_ > 0) {
    // The tail is filled with silence: the device is not given a block too
    // short to be played.
    if (playBytes_ < kMinLastBlockBytes) {
      std::fill_n(play_.begin() + static_cast<std::ptrdiff_t>(riff::kWaveHeaderSize + playBytes_),
                  kMinLastBlockBytes - playBytes_, 0);
      playBytes_ = kMinLastBlockBytes;
    }
    playHeld();
  }
  player_.setWaveFast(fast);
  player_.setWaveCompress(compress);
  return result;
}

}  // namespace lamina::mbrola_tts
