// The line editor driven by random keys over a random screen: the first
// bytes choose the field (x, y, length, width, editable) and the clipboard,
// the next 80 the screen row's text, the rest are the keys, delivered as
// keyboard messages of the headless console with random modifiers. The
// field's row may change; no other row may, and nothing may crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "console/console.h"
#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "platform/headless_window.h"
#include "platform/recording_wave_out.h"
#include "platform/sound.h"
#include "speech/line_editor.h"
#include "speech/speech_front.h"
#include "wave/wave_player.h"

namespace {

using namespace lamina;

struct Ended {};

class NoTones final : public platform::ToneSound {
 public:
  bool playLoop(std::span<const std::uint8_t>) override { return true; }
  void stopLoop() override {}
  void beep() override {}
};

class NoConsole final : public speech::StartConsole {
 public:
  void writeLine(std::string_view) override {}
  void readLine() override {}
  void closeConsole() override {}
};

constexpr std::uint32_t kKeys[] = {platform::vk::F1,
                                   platform::vk::F1 + 3,
                                   platform::vk::F1 + 8,
                                   platform::vk::F12,
                                   platform::vk::Home,
                                   platform::vk::End,
                                   platform::vk::Left,
                                   platform::vk::Right,
                                   platform::vk::Delete,
                                   platform::vk::Insert,
                                   platform::vk::Back,
                                   platform::vk::Up,
                                   'Q',
                                   'E',
                                   '1'};

std::unique_ptr<console::Console> makeConsole(platform::HeadlessWindow& window,
                                              platform::ToneSound& tones) {
  console::ConsoleOptions options;
  options.terminate = [](int) { throw Ended{}; };
  auto c = std::make_unique<console::Console>(window, tones, options);
  c->ensureConsole();
  return c;
}

struct Editor {
  Editor() { device.setAutoComplete(true); }
  platform::HeadlessWindow window;
  NoTones tones;
  std::unique_ptr<console::Console> console = makeConsole(window, tones);
  platform::RecordingWaveOut device;
  wave::WavePlayer player{device, *console};
  speech::ConsoleKeys keys{*console};
  NoConsole startConsole;
  diphone::LetterRules rules;
  diphone::DiphoneDatabase database{rules, {"", "", ""}};
  speech::SpeechFront front{
      {player, *console, keys, startConsole, rules, database, {"", ""}, {}, [] {
         return platform::LocalTime{2026, 12, 7, 1, 14, 30, 0, 0};
       }}};
  speech::LineEditor editor{{*console, front, [](std::string_view) {}, [] {}}};
};

std::uint8_t take(std::string_view& in) {
  if (in.empty()) return 0;
  const auto b = static_cast<std::uint8_t>(in[0]);
  in.remove_prefix(1);
  return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Editor e;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const int x = take(in) % 90 - 5;
  const int y = take(in) % 30 - 2;
  const int length = take(in) * 12 - 40;
  const int width = take(in) * 2 - 10;
  const bool editable = take(in) % 2 == 0;
  const std::size_t clipLength = take(in) * 16;
  e.window.setClipboardState(true, true,
                             std::string(in.substr(0, std::min(clipLength, in.size()))));

  e.console->clearScreen();
  const int row = std::clamp(y, 1, console::kRows);
  for (int r = 1; r <= console::kRows; ++r) {
    e.console->moveCursor(1, r);
    e.console->write(std::string(r == console::kRows ? 79 : 80, r == row ? '.' : '#'));
  }
  std::string text(in.substr(0, std::min<std::size_t>(80, in.size())));
  in.remove_prefix(text.size());

  while (!in.empty()) {
    const std::uint8_t kind = take(in);
    platform::Message m;
    m.mods = {(kind & 1) != 0, (kind & 2) != 0, (kind & 4) != 0};
    if ((kind & 8) != 0) {
      m.type = platform::MessageType::Char;
      m.code = take(in);
    } else {
      m.type = platform::MessageType::KeyDown;
      m.code = kKeys[take(in) % std::size(kKeys)];
    }
    e.window.postMessage(m);
  }
  // An editor still waiting for a key once they are all read sees the
  // window closed, which ends the program (here: the call).
  platform::Message esc;
  esc.type = platform::MessageType::Char;
  esc.code = 27;
  e.window.postMessage(esc);
  e.window.endScript();
  try {
    e.editor.editLine(text, x, y, length, width, editable);
  } catch (const Ended&) {
  }
  for (int r = 1; r <= console::kRows; ++r) {
    if (r == row) continue;
    for (int c = 1; c <= 79; ++c)
      if (e.console->screenCharAt(c, r) != '#') __builtin_trap();
  }
  return 0;
}
