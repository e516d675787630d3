#pragma once
// Speaks number words, dates and times from recorded words: the words of a
// number are joined without gaps into one sound image (at most 30000 bytes of
// samples at a time); fixed words are recorded messages played one by one.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace lamina::numbers {

// What number speaking needs of recorded speech.
class RecordedVoice {
 public:
  virtual ~RecordedVoice() = default;
  // Plays a RIFF image and returns when it has ended or a key cut it.
  virtual void playWaveImage(std::span<const std::uint8_t> image) = 0;
  // Plays the recording of a message key ("_de", "_Janeiro"); silent when
  // it is missing.
  virtual void speakMessage(std::string_view key) = 0;
  // Directory of the recorded words.
  virtual std::filesystem::path lettersDirectory() const = 0;
  // A key waits in the keyboard queue (it will cut what follows).
  virtual bool keyPending() = 0;
};

// Sample bytes of one batch of joined words.
inline constexpr std::size_t kWordBatchBytes = 30000;

// The recording key of a number word ("_" + word cut to 8 characters, with
// the feminine and "dezessete" rules).
std::string wordKey(std::string_view word, bool feminine);

class NumberSpeaker {
 public:
  using Clock = std::function<platform::LocalTime()>;
  using Trace = std::function<void(std::string_view)>;

  NumberSpeaker(RecordedVoice& voice, Clock clock);

  // Words separated by blanks; with `feminine`, a last word "um"/"dois" is
  // played as "uma"/"duas". Returns when the last batch has been played.
  void speakNumberWords(std::string_view text, bool feminine);

  void speakDate(std::uint16_t day, std::uint16_t month, std::uint16_t year);
  void speakTime(std::uint16_t hour, std::uint16_t minute);
  void speakCurrentDate();
  void speakCurrentTime();

  // Told of every word key and message key as it is looked up.
  void setTrace(Trace trace) { trace_ = std::move(trace); }

 private:
  void speakNumber(std::int32_t value, bool feminine);
  void message(std::string_view key);
  void playBatch(std::span<std::uint8_t> image, std::size_t fill);

  RecordedVoice& voice_;
  Clock clock_;
  Trace trace_;
};

// Day of the week of a Gregorian date, 0 = Sunday .. 6 = Saturday.
int weekDayIndex(int day, int month, int year);

}  // namespace lamina::numbers
