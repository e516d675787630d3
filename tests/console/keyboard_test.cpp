#include "console/keyboard.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/key_script.h"

using lamina::console::Keyboard;
using lamina::console::KeyDownResult;
using lamina::platform::Message;
using lamina::platform::MessageType;
namespace vk = lamina::platform::vk;

namespace {

// Feeds the messages of a key script into the keyboard as the window
// procedure would, and returns what was queued.
class KeyboardHarness {
 public:
  KeyboardHarness() : keyboard([this](int hertz) { tones.push_back(hertz); }) {}

  std::vector<int> type(std::string_view script) {
    for (const auto& step : lamina::platform::parseKeyScript(script)) {
      for (const Message& m : step.messages) deliver(m);
    }
    std::vector<int> bytes;
    while (!keyboard.empty()) bytes.push_back(keyboard.pop());
    return bytes;
  }
  void deliver(const Message& m) {
    switch (m.type) {
      case MessageType::KeyDown:
        keyboard.onKeyDown(m.code, m.mods);
        break;
      case MessageType::SysKeyDown:
        keyboard.onSysKeyDown(m.code, m.mods);
        break;
      case MessageType::KeyUp:
        keyboard.onKeyUp(m.code, m.mods);
        break;
      case MessageType::Char:
        keyboard.onChar(static_cast<std::uint8_t>(m.code), m.mods);
        break;
      default:
        break;
    }
  }
  void fill(int count) {
    for (int i = 0; i < count; ++i) keyboard.push('x');
  }

  std::vector<int> tones;
  Keyboard keyboard;
};

using Bytes = std::vector<int>;

}  // namespace

TEST(KeyTable, FunctionAndCursorKeysWithAndWithoutCtrl) {
  KeyboardHarness h;
  EXPECT_EQ(h.type("{F1}"), (Bytes{0, 59}));
  EXPECT_EQ(h.type("{Ctrl+F1}"), (Bytes{0, 94}));
  EXPECT_EQ(h.type("{F11}{F12}{Ctrl+F12}"), (Bytes{0, 69, 0, 70, 0, 105}));
  EXPECT_EQ(h.type("{Shift+Ins}"), (Bytes{0, 254}));
  EXPECT_EQ(h.type("{Ctrl+Shift+Ins}"), (Bytes{0, 255}));
  EXPECT_EQ(h.type("{Ins}{Del}{Ctrl+Del}"), (Bytes{0, 82, 0, 83, 0, 83}));
  EXPECT_EQ(h.type("{Ctrl+Up}{Ctrl+Down}{Ctrl+Left}{Ctrl+Right}"),
            (Bytes{0, 113, 0, 114, 0, 115, 0, 116}));
  EXPECT_EQ(h.type("{Home}{End}{PgUp}{PgDn}{Ctrl+Home}{Ctrl+End}{Ctrl+PgUp}{Ctrl+PgDn}"),
            (Bytes{0, 71, 0, 79, 0, 73, 0, 81, 0, 119, 0, 117, 0, 132, 0, 118}));
}

TEST(KeyTable, CharactersAndTheirCtrlForms) {
  KeyboardHarness h;
  EXPECT_EQ(h.type("aÇ\n"), (Bytes{'a', 0xC7, 13}));
  EXPECT_EQ(h.type("{Ctrl+Enter}"), (Bytes{10}));
  EXPECT_EQ(h.type("{Ctrl+Backspace}{Backspace}"), (Bytes{127, 8}));
  EXPECT_EQ(h.type("{Ctrl+C}{Esc}{Tab}"), (Bytes{3, 27, 9}));
}

TEST(KeyTable, AltCodesNeedCtrlAndAltAloneNeverQueues) {
  KeyboardHarness h;
  EXPECT_EQ(h.type("{Alt+A}{Alt+F4}"), Bytes{});
  EXPECT_EQ(h.type("{Ctrl+Alt+A}{Ctrl+Alt+Z}{Ctrl+Alt+0}{Ctrl+Alt+1}{Ctrl+Alt+9}"),
            (Bytes{0, 30, 0, 44, 0, 129, 0, 120, 0, 128}));
  // Alt with Left and Right is still a cursor key.
  EXPECT_EQ(h.type("{Alt+Left}{Alt+Right}"), (Bytes{0, 75, 0, 77}));
  // F10 belongs to the system.
  EXPECT_EQ(h.type("{F10}"), Bytes{});
}

TEST(KeyTable, CtrlBreakAsksToEndTheProgram) {
  KeyboardHarness h;
  EXPECT_EQ(h.keyboard.onKeyDown(vk::Cancel, {false, true, false}), KeyDownResult::breakProgram);
  EXPECT_EQ(h.keyboard.onKeyDown('C', {false, true, false}), KeyDownResult::consumed);
}

TEST(KeyQueue, NeverHoldsMoreThanSixtyFourBytes) {
  KeyboardHarness h;
  h.fill(63);
  h.type("");  // empties
  h.fill(63);
  for (const auto& step : lamina::platform::parseKeyScript("{F1}z")) {
    for (const Message& m : step.messages) h.deliver(m);
  }
  // The extended key needs two free bytes and is dropped; the character fits.
  EXPECT_EQ(h.keyboard.count(), 64);
  std::vector<int> bytes;
  while (!h.keyboard.empty()) bytes.push_back(h.keyboard.pop());
  EXPECT_EQ(bytes.back(), 'z');
  EXPECT_EQ(bytes[62], 'x');

  h.fill(64);
  h.type("q");
  EXPECT_EQ(h.keyboard.count(), 0);  // type() drained the 64; q was dropped
  h.fill(62);
  for (const auto& step : lamina::platform::parseKeyScript("{Ctrl+Alt+A}")) {
    for (const Message& m : step.messages) h.deliver(m);
  }
  EXPECT_EQ(h.keyboard.count(), 64);
  h.type("");
  h.fill(63);
  for (const auto& step : lamina::platform::parseKeyScript("{Ctrl+Alt+A}")) {
    for (const Message& m : step.messages) h.deliver(m);
  }
  EXPECT_EQ(h.keyboard.count(), 63);
}

TEST(Braille, ModeOneChords) {
  KeyboardHarness h;
  h.keyboard.setBrailleMode(1);
  EXPECT_EQ(h.tones, (std::vector<int>{800, 1600}));
  EXPECT_EQ(h.type("{chord FD}"), (Bytes{'b'}));
  EXPECT_EQ(h.type("{chord FDSJKL}"), (Bytes{0xE9}));
  EXPECT_EQ(h.type("{chord  }"), (Bytes{' '}));
  EXPECT_EQ(h.type("{chord F }"), (Bytes{1}));
  // Letters typed as characters are dropped; a released non-chord letter
  // completes an empty chord: a space.
  EXPECT_EQ(h.type("q"), (Bytes{' '}));
  // Digits and other characters still pass.
  EXPECT_EQ(h.type("5,"), (Bytes{'5', ','}));
  // With Ctrl the keys are not dots.
  EXPECT_EQ(h.type("{Ctrl+F}"), (Bytes{6}));
}

TEST(Braille, ModeTwoSigns) {
  KeyboardHarness h;
  h.keyboard.setBrailleMode(2);
  EXPECT_EQ(h.tones, (std::vector<int>{800, 400}));
  // Capital sign (dots 4 6) then a.
  EXPECT_EQ(h.type("{chord JL}{chord F}{chord F}"), (Bytes{'A', 'a'}));
  // Two capital signs lock capitals until a space.
  EXPECT_EQ(h.type("{chord JL}{chord JL}{chord F}{chord FD}{chord  }{chord F}"),
            (Bytes{'A', 'B', ' ', 'a'}));
  // Number sign (dots 3 4 5 6) then a, b, j; the sign itself queues nothing.
  EXPECT_EQ(h.type("{chord SJKL}"), Bytes{});
  EXPECT_EQ(h.type("{chord F}{chord FD}{chord DJK}"), (Bytes{'1', '2', '0'}));
  // Apostrophe (dot 3) is the decimal point; dot 5 ends number mode.
  EXPECT_EQ(h.type("{chord S}{chord K}{chord F}"), (Bytes{'.', '~', 'a'}));
  // A non-chord key clears the number mode.
  EXPECT_EQ(h.type("{chord SJKL}{F1}{chord F}"), (Bytes{0, 59, 'a'}));
}

TEST(Braille, CtrlAltF11AndF12SwitchModesWithTones) {
  KeyboardHarness h;
  h.type("{Ctrl+Alt+F11}");
  EXPECT_EQ(h.keyboard.brailleMode(), 1);
  h.type("{Ctrl+Alt+F11}");
  EXPECT_EQ(h.keyboard.brailleMode(), 2);
  h.type("{Ctrl+Alt+F11}");
  EXPECT_EQ(h.keyboard.brailleMode(), 1);
  h.type("{Ctrl+Alt+F12}");
  EXPECT_EQ(h.keyboard.brailleMode(), 0);
  EXPECT_EQ(h.tones, (std::vector<int>{800, 1600, 800, 400, 800, 1600, 100}));
  // Turning off an already-off mode is silent.
  h.type("{Ctrl+Alt+F12}");
  EXPECT_EQ(h.tones.size(), 7u);
  // Mode 3 from the settings acts as 1.
  h.keyboard.setBrailleMode(3);
  EXPECT_EQ(h.keyboard.brailleMode(), 1);
}

TEST(Braille, ChordsThatCannotCompleteAreForgotten) {
  KeyboardHarness h;
  h.keyboard.setBrailleMode(1);
  const auto deliver = [&](lamina::platform::MessageType type, std::uint32_t key, bool ctrl) {
    Message m;
    m.type = type;
    m.code = key;
    m.mods.ctrl = ctrl;
    h.deliver(m);
  };
  // F pressed alone, released with Ctrl held: the next chord is D alone.
  deliver(MessageType::KeyDown, 'F', false);
  deliver(MessageType::KeyUp, 'F', true);
  EXPECT_EQ(h.type("{chord D}"), (Bytes{','}));
  // F and D held while the mode changes: their releases queue nothing, and
  // the next chord stands alone.
  deliver(MessageType::KeyDown, 'F', false);
  deliver(MessageType::KeyDown, 'D', false);
  h.type("{Ctrl+Alt+F11}");
  ASSERT_EQ(h.keyboard.brailleMode(), 2);
  deliver(MessageType::KeyUp, 'F', false);
  deliver(MessageType::KeyUp, 'D', false);
  EXPECT_EQ(h.type("{chord S}"), (Bytes{'\''}));
  // Focus lost with a dot held: the release after the clear completes nothing.
  deliver(MessageType::KeyDown, 'K', false);
  h.keyboard.clearChord();
  deliver(MessageType::KeyUp, 'K', false);
  EXPECT_EQ(h.type("{chord F}"), (Bytes{'a'}));
}

TEST(Braille, CtrlShiftF11AndF12AreASecondPairOfModeKeys) {
  KeyboardHarness h;
  h.type("{Ctrl+Shift+F11}");
  EXPECT_EQ(h.keyboard.brailleMode(), 1);
  h.type("{Ctrl+Shift+F11}");
  EXPECT_EQ(h.keyboard.brailleMode(), 2);
  h.type("{Ctrl+Shift+F12}");
  EXPECT_EQ(h.keyboard.brailleMode(), 0);
  EXPECT_EQ(h.tones, (std::vector<int>{800, 1600, 800, 400, 100}));
  // Ctrl with F11 alone keeps its code.
  EXPECT_EQ(h.type("{Ctrl+F11}"), (Bytes{0, 104}));
}

TEST(Braille, EveryCellOfTheTableIsReachable) {
  KeyboardHarness h;
  h.keyboard.setBrailleMode(1);
  const char* dots = "FDSJKL";
  for (int pattern = 1; pattern < 64; ++pattern) {
    std::string keys;
    for (int bit = 0; bit < 6; ++bit) {
      if ((pattern & (1 << bit)) != 0) keys.push_back(dots[bit]);
    }
    const auto bytes = h.type("{chord " + keys + "}");
    ASSERT_EQ(bytes.size(), 1u) << pattern;
    EXPECT_EQ(bytes[0], lamina::console::kBrailleCells[static_cast<std::size_t>(pattern)]);
  }
}
