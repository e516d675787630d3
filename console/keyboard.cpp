#include "console/keyboard.h"

namespace lamina::console {

namespace vk = platform::vk;

const std::array<std::uint8_t, 64> kBrailleCells = {
    32,  97,  44,  98,  39,  107, 59,  108,  // 0..7
    94,  99,  105, 102, 237, 109, 115, 112,  // 8..15
    126, 101, 58,  104, 42,  111, 33,  114,  // 16..23
    172, 100, 106, 103, 227, 110, 116, 113,  // 24..31
    253, 226, 63,  234, 45,  117, 34,  118,  // 32..39
    123, 238, 245, 224, 243, 120, 232, 231,  // 40..47
    36,  251, 255, 252, 125, 122, 61,  225,  // 48..55
    95,  244, 119, 239, 35,  121, 250, 233,  // 56..63
};

namespace {

constexpr std::uint8_t kCapitalSign = 123;
constexpr std::uint8_t kNumberSign = 35;

struct ExtendedKey {
  std::uint32_t vk;
  std::uint8_t plain;
  std::uint8_t withCtrl;
};

constexpr std::array<ExtendedKey, 22> kExtendedKeys = {{
    {vk::F1, 59, 94},      {vk::F1 + 1, 60, 95}, {vk::F1 + 2, 61, 96},  {vk::F1 + 3, 62, 97},
    {vk::F1 + 4, 63, 98},  {vk::F1 + 5, 64, 99}, {vk::F1 + 6, 65, 100}, {vk::F1 + 7, 66, 101},
    {vk::F1 + 8, 67, 102}, {vk::F10, 68, 103},   {vk::F11, 69, 104},    {vk::F12, 70, 105},
    {vk::Insert, 82, 255}, {vk::Delete, 83, 83}, {vk::Home, 71, 119},   {vk::End, 79, 117},
    {vk::Prior, 73, 132},  {vk::Next, 81, 118},  {vk::Up, 72, 113},     {vk::Down, 80, 114},
    {vk::Left, 75, 115},   {vk::Right, 77, 116},
}};

// PC scan codes of the letters A..Z.
constexpr std::array<std::uint8_t, 26> kLetterScanCodes = {30, 48, 46, 32, 18, 33, 34, 35, 23,
                                                           36, 37, 38, 50, 49, 24, 25, 16, 19,
                                                           31, 20, 22, 47, 17, 45, 21, 44};

std::uint8_t dotBit(std::uint32_t v) {
  switch (v) {
    case 'F':
      return 1;
    case 'D':
      return 2;
    case 'S':
      return 4;
    case 'J':
      return 8;
    case 'K':
      return 16;
    case 'L':
      return 32;
    case vk::Space:
      return 64;
    default:
      return 0;
  }
}

bool isLetterKey(std::uint32_t v) {
  return v >= 'A' && v <= 'Z';
}

}  // namespace

std::uint8_t extendedKeyCode(std::uint32_t v, platform::Modifiers mods) {
  for (const ExtendedKey& key : kExtendedKeys) {
    if (key.vk != v) continue;
    if (mods.ctrl) return key.withCtrl;
    if (v == vk::Insert && mods.shift) return 254;
    return key.plain;
  }
  return 0;
}

std::uint8_t altKeyCode(std::uint32_t v) {
  if (isLetterKey(v)) return kLetterScanCodes[v - 'A'];
  if (v >= '1' && v <= '9') return static_cast<std::uint8_t>(120 + (v - '1'));
  if (v == '0') return 129;
  return 0;
}

bool Keyboard::push(std::uint8_t byte) {
  if (count_ >= kKeyQueueSize) return false;
  queue_[static_cast<std::size_t>(count_++)] = byte;
  return true;
}

bool Keyboard::pushPair(std::uint8_t code) {
  if (count_ > kKeyQueueSize - 2) return false;
  push(0);
  push(code);
  return true;
}

std::uint8_t Keyboard::pop() {
  const std::uint8_t first = queue_[0];
  for (int i = 1; i < count_; ++i)
    queue_[static_cast<std::size_t>(i - 1)] = queue_[static_cast<std::size_t>(i)];
  --count_;
  return first;
}

void Keyboard::onChar(std::uint8_t byte, platform::Modifiers mods) {
  if (mode_ == 1 || mode_ == 2) {
    const bool letter = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
    if (byte == ' ' || letter) return;
  }
  if (count_ >= kKeyQueueSize) return;
  if (mods.ctrl && byte == 8) byte = 127;
  if (mods.ctrl && byte == 13) byte = 10;
  push(byte);
}

std::string_view resultText(KeyDownResult result) {
  switch (result) {
    case KeyDownResult::consumed:
      return "key consumed";
    case KeyDownResult::breakProgram:
      return "Ctrl+Break: the program ends";
  }
  return "unknown key-down result";
}

KeyDownResult Keyboard::onKeyDown(std::uint32_t v, platform::Modifiers mods) {
  if (v == vk::Cancel) return KeyDownResult::breakProgram;
  // Ctrl+Alt+F11/F12 switch virtual terminals on X servers and Wayland
  // desktops and never arrive there; Ctrl+Shift+F11/F12 do the same work.
  if (mods.ctrl && (mods.alt || mods.shift)) {
    if (v == vk::F12) {
      setBrailleMode(0);
      return KeyDownResult::consumed;
    }
    if (v == vk::F11) {
      setBrailleMode(mode_ + 1);
      return KeyDownResult::consumed;
    }
  }
  if (mods.alt) {
    if (const std::uint8_t code = altKeyCode(v); code != 0) {
      pushPair(code);
      return KeyDownResult::consumed;
    }
  }
  if (!mods.ctrl && mode_ != 0) {
    if (const std::uint8_t bit = dotBit(v); bit != 0) {
      dotsPressed_ |= bit;
      dotsHeld_ |= bit;
      return KeyDownResult::consumed;
    }
  }
  if (count_ > kKeyQueueSize - 2) return KeyDownResult::consumed;
  if (const std::uint8_t code = extendedKeyCode(v, mods); code != 0) pushPair(code);
  return KeyDownResult::consumed;
}

bool Keyboard::onSysKeyDown(std::uint32_t v, platform::Modifiers mods) {
  if (v != vk::Left && v != vk::Right) return false;
  onKeyDown(v, mods);
  return true;
}

void Keyboard::clearSigns() {
  capitalNext_ = false;
  capitalsLocked_ = false;
  numberMode_ = false;
}

std::uint8_t Keyboard::applySignRules(std::uint8_t x) {
  if (numberMode_) {
    if (x == '\'') {
      x = '.';
    } else if (x >= 'a' && x <= 'i') {
      x = static_cast<std::uint8_t>('1' + (x - 'a'));
    } else if (x == 'j') {
      x = '0';
    } else if (x == '~') {
      numberMode_ = false;
    }
  }
  if ((capitalNext_ || capitalsLocked_) && x >= 'a' && x <= 'z')
    x = static_cast<std::uint8_t>(x - 32);
  if (x == kNumberSign) {
    numberMode_ = true;
    return kNoCharacter;
  }
  if (x == kCapitalSign) {
    if (capitalNext_) capitalsLocked_ = true;
    capitalNext_ = true;
    return kNoCharacter;
  }
  capitalNext_ = false;
  return x;
}

bool Keyboard::onKeyUp(std::uint32_t v, platform::Modifiers mods) {
  if (mode_ != 1 && mode_ != 2) return false;
  const std::uint8_t bit = dotBit(v);
  if (mods.ctrl || (v != vk::Space && !isLetterKey(v))) {
    clearSigns();
    // A dot released with Ctrl is no longer held, and the chord it belonged
    // to is abandoned once no dot is held.
    if ((dotsHeld_ & bit) != 0) {
      dotsHeld_ = static_cast<std::uint8_t>(dotsHeld_ & ~bit);
      if (dotsHeld_ == 0) dotsPressed_ = 0;
    }
    return false;
  }
  // The press of this dot was forgotten (the chord was abandoned): its
  // release completes nothing.
  if ((dotsHeld_ & bit) != bit) return true;
  dotsHeld_ = static_cast<std::uint8_t>(dotsHeld_ & ~bit);
  if ((dotsHeld_ & 0x7F) != 0) return true;

  std::uint8_t result = kNoCharacter;
  if (dotsPressed_ < 64) {
    result = kBrailleCells[dotsPressed_];
    if (mode_ == 2) result = applySignRules(result);
  } else {
    clearSigns();
    const std::uint8_t dots = dotsPressed_ & 63;
    result = dots == 0 ? std::uint8_t{32} : static_cast<std::uint8_t>(kBrailleCells[dots] & 31);
  }
  if (result != kNoCharacter && count_ <= kKeyQueueSize - 1) push(result);
  dotsPressed_ = 0;
  return true;
}

void Keyboard::clearChord() {
  dotsPressed_ = 0;
  dotsHeld_ = 0;
  clearSigns();
}

void Keyboard::setBrailleMode(int mode) {
  if (mode > 2) mode = 1;
  // A chord begun in the other mode cannot complete in this one.
  clearChord();
  if (mode <= 0) {
    if (mode_ != 0 && tone_) tone_(100);
    mode_ = 0;
    return;
  }
  if (tone_) {
    tone_(800);
    tone_(mode == 1 ? 1600 : 400);
  }
  mode_ = mode;
}

}  // namespace lamina::console
