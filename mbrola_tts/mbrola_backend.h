#pragma once
// A synthesizer of MBROLA input lines: phoneme lines in, 16-bit mono
// samples at 16000 Hz out. The engine driver speaks through one of these,
// whether our own voice or an outside program, and relies on nothing else.
#include <cstdint>
#include <span>
#include <string_view>

namespace lamina::mbrola_tts {

inline constexpr int kMbrolaSampleRate = 16000;

class MbrolaBackend {
 public:
  virtual ~MbrolaBackend() = default;
  // Opens the voice database; a negative result is a failure.
  virtual int init(std::string_view databasePath) = 0;
  // 1: an error in the input is recorded in lastError() but synthesis goes
  // on with the next line instead of stopping.
  virtual void setNoError(int flag) = 0;
  // Drops pending input, pending samples and the recorded error.
  virtual void reset() = 0;
  // One input line, usually ending in CR LF ("a 145 80 253", "; word",
  // "_ 50"); the result is not relied on.
  virtual int write(std::string_view line) = 0;
  // Non-zero when an error has happened since the last reset().
  virtual int lastError() = 0;
  // After the last line of a text: produce every remaining sample.
  virtual void flush() = 0;
  // Copies up to samples.size() ready samples; 0 when nothing is ready.
  virtual int read(std::span<std::int16_t> samples) = 0;
  // Releases the database; init() may be called again afterwards.
  virtual void close() = 0;
};

}  // namespace lamina::mbrola_tts
