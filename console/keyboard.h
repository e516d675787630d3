#pragma once
// The keyboard queue: key messages become bytes in the PC encoding (a
// character as one byte, a function or cursor key as 0 and a code), and in
// Braille mode six letter keys are the dots of a chorded cell.
#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/window.h"

namespace lamina::console {

inline constexpr int kKeyQueueSize = 64;
// The Braille table's no-character marker; never queued.
inline constexpr std::uint8_t kNoCharacter = 254;

// The byte of each Braille dot pattern (bit 0 = dot 1 ... bit 5 = dot 6).
extern const std::array<std::uint8_t, 64> kBrailleCells;

// What a key-down asks of the program.
enum class KeyDownResult {
  consumed = 0,
  breakProgram = 1,  // Ctrl+Break: end the program with kBreakExitCode
};

std::string_view resultText(KeyDownResult result);

class Keyboard {
 public:
  // Plays a tone of the given frequency for 200 ms.
  using ToneFunction = std::function<void(int hertz)>;

  explicit Keyboard(ToneFunction tone) : tone_(std::move(tone)) {}

  // A translated character; dropped when the queue is full or when Braille
  // mode types it as a chord.
  void onChar(std::uint8_t byte, platform::Modifiers mods);
  // A key-down; always consumed. breakProgram asks the program to end (code
  // 255).
  KeyDownResult onKeyDown(std::uint32_t vk, platform::Modifiers mods);
  // A key pressed with Alt alone, or F10: true when handled (Left, Right).
  bool onSysKeyDown(std::uint32_t vk, platform::Modifiers mods);
  // A key-up: true when consumed (Braille chords).
  bool onKeyUp(std::uint32_t vk, platform::Modifiers mods);

  void setBrailleMode(int mode);
  int brailleMode() const { return mode_; }
  // Forgets the chord being typed and the signs of mode 2; the keys still
  // held then complete nothing when released (focus lost, mode changed).
  void clearChord();

  int count() const { return count_; }
  bool empty() const { return count_ == 0; }
  // Oldest byte; the queue must not be empty.
  std::uint8_t pop();
  // Appends bytes when they all fit; false (nothing queued) otherwise.
  bool push(std::uint8_t byte);

 private:
  bool pushPair(std::uint8_t code);
  void clearSigns();
  std::uint8_t applySignRules(std::uint8_t x);

  ToneFunction tone_;
  std::array<std::uint8_t, kKeyQueueSize> queue_{};
  int count_ = 0;
  int mode_ = 0;
  std::uint8_t dotsPressed_ = 0;
  std::uint8_t dotsHeld_ = 0;
  bool capitalNext_ = false;
  bool capitalsLocked_ = false;
  bool numberMode_ = false;
};

// The extended-key code of a virtual key (0 when the key has none) for the
// given modifiers: the Ctrl code with Ctrl, 254 for Shift+Insert.
std::uint8_t extendedKeyCode(std::uint32_t vk, platform::Modifiers mods);

// The code queued after 0 for Ctrl+Alt+letter or digit (0 when none).
std::uint8_t altKeyCode(std::uint32_t vk);

}  // namespace lamina::console
