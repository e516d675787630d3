#pragma once
// eSpeak NG inside the program as an outside engine: a worker thread that
// alone owns the library synthesizes the texts in order, and the program's
// thread hands the samples to the wave player whenever it asks whether the
// engine is busy, so a key cuts this voice like every other sound. With an
// output file the samples go into that wave file instead.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_pump.h"
#include "speech/engine.h"
#include "wave/wave_player.h"

namespace lamina::sapi {

// The longest text handed to the synthesizer at once, terminator included.
inline constexpr std::size_t kTextBuffer = 64000;

// Trims blanks at both ends and gives a lone digit a full stop, so that it is
// read as a number on its own; empty when nothing is left to say.
std::string prepareText(std::string_view text);

// Cuts a text into pieces of at most `limit` bytes, each ending at a sentence
// end when one lies in reach, else at a word end, else at the limit.
std::vector<std::string> splitText(std::string_view text, std::size_t limit = kTextBuffer - 1);

// The engine speed in words per minute, clamped to what eSpeak NG accepts
// (80..450); 0 leaves eSpeak NG's own rate.
int espeakRate(int speed);
// The engine pitch in hertz (read as an unsigned 16-bit value) mapped from
// 50..300 Hz onto eSpeak NG's 0..100; 0 leaves eSpeak NG's own pitch.
int espeakPitch(int pitch);

class EspeakEngine final : public speech::SpeechEngine {
 public:
  EspeakEngine(wave::WavePlayer& player, platform::MessagePump& pump);
  ~EspeakEngine() override;
  EspeakEngine(const EspeakEngine&) = delete;
  EspeakEngine& operator=(const EspeakEngine&) = delete;

  // voice: 1-based number in the list of Portuguese voices (Brazilian
  // first); 0 means 1, beyond the last the last.
  bool start(int voice, int speed, int pitch, std::string_view outputFile) override;
  void stop() override;
  void speak(std::string_view text) override;
  bool busy(bool strict) override;
  void cut() override;

  // What start chose and found (empty before a start).
  std::string voiceName() const;
  std::vector<std::string> voices() const;
  // Texts handed to the synthesizer since the start, as cp1252 pieces.
  std::size_t piecesSent() const;
  // Buffers the synthesizer has started and not finished.
  int pendingBuffers() const;
  bool audioActive() const;

 private:
  struct Worker;
  void feed();

  wave::WavePlayer& player_;
  platform::MessagePump& pump_;
  std::unique_ptr<Worker> worker_;
  bool audioActive_ = false;
  std::size_t piecesSent_ = 0;
};

}  // namespace lamina::sapi
