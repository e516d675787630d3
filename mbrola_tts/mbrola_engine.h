#pragma once
// The MBROLA engine, TIPOSAPI 3: the Portuguese front-end turns a text into
// MBROLA input lines, a synthesizer of those lines gives 16-bit samples at
// 16000 Hz, and the samples go to the wave player in blocks of about half a
// second (so playback runs while later lines are synthesized), or into a
// wave file. The synthesizer is the MBROLA program when the user has it and
// our own voice otherwise.
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mbrola_tts/front_end.h"
#include "mbrola_tts/mbrola_backend.h"
#include "mbrola_tts/reporter.h"
#include "platform/message_pump.h"
#include "speech/config.h"
#include "speech/engine.h"
#include "wave/wave_player.h"

namespace lamina::mbrola_tts {

// [MARELTTS] as read at program start (texts in cp1252).
struct MbrolaSettings {
  // MBROLA_DB: our voice's name, or the path of an MBROLA database.
  std::string database = "br4";
  // DIR: the folder of the language files, ending in "/" (or "\").
  std::string directory;
  // BASE: the language files' base name.
  std::string base = "portug";
  // MBROLA_PROG: the MBROLA program; empty means "mbrola" in PATH.
  std::string program;

  LanguageFiles files() const;
};

// Reads the four keys; an empty or missing DIR is the data directory's
// mbrola/ folder.
MbrolaSettings mbrolaSettings(const speech::ConfigReader& config);

// The MBROLA program when it is there and the database is a path that
// exists; our own synthesizer otherwise.
std::unique_ptr<MbrolaBackend> chooseMbrolaBackend(const MbrolaSettings& settings);

using BackendFactory = std::function<std::unique_ptr<MbrolaBackend>(const MbrolaSettings&)>;

// The 44-byte header of 16-bit PCM: block align and byte rate follow from
// the bits and channels. False, with nothing written, when header is short.
bool fillWaveHeader(std::span<std::uint8_t> header, std::uint32_t rate, std::uint16_t bits,
                    std::uint32_t dataSize, std::uint16_t channels);

inline constexpr std::size_t kReadSamples = 16000;
// A block goes to the player once it holds this much (half a second).
inline constexpr std::size_t kPlayBlockBytes = 16000;
inline constexpr std::size_t kPlayRoomBytes = 32000;
inline constexpr std::size_t kMinLastBlockBytes = 256;
inline constexpr std::size_t kLastErrorLength = 255;

class MbrolaEngine final : public speech::SpeechEngine {
 public:
  // Nothing is loaded until start.
  MbrolaEngine(wave::WavePlayer& player, platform::MessagePump& pump, MbrolaSettings settings,
               MessageReporter& reporter, BackendFactory factory = chooseMbrolaBackend);
  ~MbrolaEngine() override;
  MbrolaEngine(const MbrolaEngine&) = delete;
  MbrolaEngine& operator=(const MbrolaEngine&) = delete;

  bool start(int voice, int speed, int pitch, std::string_view outputFile) override {
    return mbrolaStart(voice, speed, pitch, outputFile);
  }
  void stop() override { mbrolaStop(); }
  void speak(std::string_view text) override { mbrolaSpeak(text); }
  bool busy(bool) override { return mbrolaBusy(); }
  void cut() override { mbrolaCut(); }

  bool mbrolaStart(int voice, int speed, int pitch, std::string_view outputFile);
  void mbrolaStop();
  void mbrolaSpeak(std::string_view text);
  bool mbrolaBusy();
  void mbrolaCut();

  bool startMbrolaEngine();
  void stopMbrolaEngine();
  // False when the synthesizer reported an error or the file could not be
  // written; the text was spoken to its end all the same.
  bool speakMbrola(std::string_view text);

  const std::string& lastErrorText() const { return lastErrorText_; }
  double speedFactor() const { return speedFactor_; }
  double pitchFactor() const { return pitchFactor_; }
  bool fileMode() const { return fileMode_; }
  const MbrolaSettings& settings() const { return settings_; }
  // The synthesizer in use (null before a start and after the stop).
  MbrolaBackend* backend() { return backend_.get(); }

 private:
  void playHeld();

  wave::WavePlayer& player_;
  platform::MessagePump& pump_;
  MbrolaSettings settings_;
  MessageReporter& reporter_;
  BackendFactory factory_;

  std::string outputFile_;
  bool fileMode_ = false;
  double speedFactor_ = 1.0;
  double pitchFactor_ = 1.0;
  std::string lastErrorText_;

  std::unique_ptr<MbrolaBackend> backend_;
  std::unique_ptr<MbrolaFrontEnd> frontEnd_;
  std::ofstream file_;
  std::vector<std::int16_t> samples_;
  // The header, then the samples held for the next block.
  std::vector<std::uint8_t> play_;
  std::size_t playBytes_ = 0;
};

}  // namespace lamina::mbrola_tts
