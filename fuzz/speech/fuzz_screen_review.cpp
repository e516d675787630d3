// Screen review driven by random keys over a random screen. The input's
// first bytes give the starting cursor, whether an outside engine counts as
// active and how many keys follow; then the keys (every byte value, 0 being
// the lead of an extended key); the rest fills the screen's characters and
// attributes. When the keys run out, Esc is typed until the review leaves.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "platform/recording_wave_out.h"
#include "speech/screen_review.h"
#include "speech/speech_front.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace {

using namespace lamina;

class NoConsole final : public speech::StartConsole {
 public:
  void writeLine(std::string_view) override {}
  void readLine() override {}
  void closeConsole() override {}
};

class FuzzScreen final : public speech::ReviewConsole {
 public:
  explicit FuzzScreen(wave::SimplePump& pump) : pump_(pump) {}
  std::uint8_t screenCharAt(int x, int y) override {
    return inside(x, y) ? chars[index(x, y)] : ' ';
  }
  std::uint8_t screenAttrAt(int x, int y) override { return inside(x, y) ? attrs[index(x, y)] : 0; }
  int cursorColumn() override { return x_; }
  int cursorRow() override { return y_; }
  void moveCursor(int x, int y) override {
    // The review may only ever put the cursor on the screen or just after
    // a row's end.
    if (x < 1 || x > 81 || y < 1 || y > 25) __builtin_trap();
    x_ = x;
    y_ = y;
  }
  std::uint8_t readKey() override { return pump_.keyPressed() ? pump_.takeKey() : 27; }
  bool keyPressed() override { return pump_.keyPressed(); }

  std::array<std::uint8_t, 2000> chars{};
  std::array<std::uint8_t, 2000> attrs{};

 private:
  static bool inside(int x, int y) { return x >= 1 && x <= 80 && y >= 1 && y <= 25; }
  static std::size_t index(int x, int y) { return static_cast<std::size_t>((y - 1) * 80 + x - 1); }
  wave::SimplePump& pump_;
  int x_ = 1;
  int y_ = 1;
};

struct Reviewer {
  Reviewer() {
    device.setAutoComplete(true);
    pump.setIdleHook([] {});
  }
  platform::RecordingWaveOut device;
  wave::SimplePump pump;
  wave::WavePlayer player{device, pump};
  speech::PumpKeys keys{pump};
  NoConsole console;
  diphone::LetterRules rules;
  diphone::DiphoneDatabase database{rules, {"", "", ""}};
  speech::SpeechFront front{{player, pump, keys, console, rules, database, {"", ""}, {}, [] {
                               return platform::LocalTime{2026, 12, 7, 1, 14, 30, 0, 0};
                             }}};
  FuzzScreen screen{pump};
  speech::ScreenReview review{screen, front.recorded(), front.text()};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Reviewer reviewer;
  if (size < 3) return 0;
  while (reviewer.pump.keyPressed()) reviewer.pump.takeKey();
  reviewer.screen.moveCursor(data[0] % 81 + 1, data[1] % 25 + 1);
  reviewer.front.state().engineActive = (data[2] & 0x80) != 0;
  std::size_t at = 3;
  const std::size_t keyCount = data[2] & 0x7F;
  for (std::size_t i = 0; i < keyCount && at < size; ++i) reviewer.pump.pushKey(data[at++]);
  for (std::size_t i = 0; i < 2000; ++i) {
    const bool given = at + i < size;
    reviewer.screen.chars[i] = given ? data[at + i] : ' ';
    reviewer.screen.attrs[i] = given ? static_cast<std::uint8_t>(data[at + i] >> 4) : 7;
  }
  const int x = reviewer.screen.cursorColumn();
  const int y = reviewer.screen.cursorRow();
  reviewer.device.clearSubmissions();
  reviewer.review.screenReview();
  if (reviewer.screen.cursorColumn() != x || reviewer.screen.cursorRow() != y) __builtin_trap();
  const int row = reviewer.review.reviewRow();
  const int column = reviewer.review.reviewColumn();
  if (row < 1 || row > 25 || column < 1 || column > 81) __builtin_trap();
  return 0;
}
