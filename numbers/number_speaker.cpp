#include "numbers/number_speaker.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <vector>

#include "numbers/number_words.h"
#include "platform/paths.h"
#include "wave/wave_player.h"

namespace lamina::numbers {
namespace {

constexpr std::array<std::string_view, 7> kWeekDayNames = {"Domingo", "Segunda", "Terca", "Quarta",
                                                           "Quinta",  "Sexta",   "Sabado"};
constexpr std::array<std::string_view, 13> kMonthNames = {
    "",      "Janeiro", "Fevereiro", "Marco",   "Abril",    "Maio",    "Junho",
    "Julho", "Agosto",  "Setembro",  "Outubro", "Novembro", "Dezembro"};

constexpr std::size_t kHeader = wave::kWaveHeaderSize;

}  // namespace

std::string wordKey(std::string_view word, bool feminine) {
  std::string w(word);
  for (char& c : w) {
    if (c == '\xE3') c = 'a';
    if (c == '\xF5') c = 'o';
  }
  if (w == "dezessete") w = "dezeset";
  std::string key = "_" + w;
  if (key.size() > 8) key.resize(8);
  if (feminine && key == "_um") key = "_uma";
  if (feminine && key == "_dois") key = "_duas";
  return key;
}

NumberSpeaker::NumberSpeaker(RecordedVoice& voice, Clock clock)
    : voice_(voice), clock_(std::move(clock)) {}

void NumberSpeaker::playBatch(std::span<std::uint8_t> image, std::size_t fill) {
  if (fill == 0) return;
  wave::makeWaveHeader(image, static_cast<std::uint32_t>(fill), 11025, 8, 1);
  voice_.playWaveImage(image.first(kHeader + fill));
}

void NumberSpeaker::speakNumberWords(std::string_view text, bool feminine) {
  std::vector<std::uint8_t> buffer(kHeader + kWordBatchBytes);
  const std::span<std::uint8_t> image(buffer);
  std::size_t fill = 0;
  const std::filesystem::path dir = voice_.lettersDirectory();

  std::size_t at = 0;
  for (;;) {
    while (at < text.size() && text[at] == ' ') ++at;
    if (at >= text.size()) break;
    std::size_t end = at;
    while (end < text.size() && text[end] != ' ') ++end;
    const std::string_view word = text.substr(at, end - at);
    at = end;
    const bool last = text.find_first_not_of(' ', end) == std::string_view::npos;
    if (voice_.keyPending()) return;  // a key cuts what is left

    const std::string key = wordKey(word, feminine && last);
    if (trace_) trace_("word " + key);
    std::ifstream file(paths::findNoCase(dir, key + ".wav"), std::ios::binary | std::ios::ate);
    if (!file) continue;
    const std::streamoff size = file.tellg();
    if (size <= static_cast<std::streamoff>(kHeader)) continue;
    auto length = static_cast<std::size_t>(size) - kHeader;
    file.seekg(static_cast<std::streamoff>(kHeader));
    if (fill + length > kWordBatchBytes) {
      playBatch(image, fill);
      fill = 0;
    }
    // A recording longer than a whole batch is played alone, in pieces,
    // so none of it is lost.
    while (length > kWordBatchBytes && file) {
      file.read(reinterpret_cast<char*>(buffer.data() + kHeader),
                static_cast<std::streamsize>(kWordBatchBytes));
      const auto got = static_cast<std::size_t>(file.gcount());
      playBatch(image, got);
      length -= got;
      if (voice_.keyPending()) return;
    }
    file.read(reinterpret_cast<char*>(buffer.data() + kHeader + fill),
              static_cast<std::streamsize>(length));
    fill += static_cast<std::size_t>(file.gcount());
  }
  playBatch(image, fill);
}

void NumberSpeaker::speakNumber(std::int32_t value, bool feminine) {
  speakNumberWords(numberToWords(value), feminine);
}

void NumberSpeaker::message(std::string_view key) {
  if (trace_) trace_("key " + std::string(key));
  voice_.speakMessage(key);
}

void NumberSpeaker::speakDate(std::uint16_t day, std::uint16_t month, std::uint16_t year) {
  message("_" +
          std::string(kWeekDayNames[static_cast<std::size_t>(weekDayIndex(day, month, year))]));
  if (day == 1) {
    message("_primeir");
  } else {
    speakNumber(day, false);
  }
  message("_de");
  // A month outside 1..12 has no name to say.
  if (month >= 1 && month <= 12) message("_" + std::string(kMonthNames[month].substr(0, 7)));
  message("_de");
  if (year >= 2000) speakNumber(2000, false);
  if (year > 2000) message("_e");
  if (year % 100 != 0) speakNumber(year % 100, false);
}

void NumberSpeaker::speakTime(std::uint16_t hour, std::uint16_t minute) {
  speakNumber(hour, true);
  message(hour <= 1 ? "_hora" : "_horas");
  if (minute != 0) {
    speakNumber(minute, false);
    message(minute == 1 ? "_minuto" : "_minutos");
  }
}

void NumberSpeaker::speakCurrentDate() {
  const platform::LocalTime now = clock_();
  speakDate(static_cast<std::uint16_t>(now.day), static_cast<std::uint16_t>(now.month),
            static_cast<std::uint16_t>(now.year));
}

void NumberSpeaker::speakCurrentTime() {
  const platform::LocalTime now = clock_();
  speakTime(static_cast<std::uint16_t>(now.hour), static_cast<std::uint16_t>(now.minute));
}

int weekDayIndex(int day, int month, int year) {
  // Sakamoto's method; months outside 1..12 are folded in rather than
  // indexing past the table.
  static constexpr std::array<int, 12> kOffset = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  const int m = ((month - 1) % 12 + 12) % 12;
  long y = year;
  if (m < 2) --y;
  const long sum = y + y / 4 - y / 100 + y / 400 + kOffset[static_cast<std::size_t>(m)] + day;
  return static_cast<int>(((sum % 7) + 7) % 7);
}

}  // namespace lamina::numbers
