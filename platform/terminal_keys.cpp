#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>

#include "platform/cp1252.h"
#include "platform/key_script.h"
#include "platform/terminal_keys_internal.h"

namespace lamina::platform {

namespace {

constexpr std::uint8_t kEsc = 0x1B;
// Longer than any key a terminal sends; what is still open by then is a
// reply or noise, not a key.
constexpr std::size_t kLongestSequence = 32;

bool isLetter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A key given as its character: what it sends plainly, or the code point an
// extended-key report (CSI u, modifyOtherKeys) names with its modifiers.
// The characters follow the window's keyboard translation: none with Alt
// alone or with Ctrl and Alt, control codes for Ctrl+letter.
void keyOfCodepoint(char32_t cp, Modifiers mods, std::vector<Message>& out) {
  const bool noText = mods.alt;
  auto put = [&](std::uint32_t vk, int character) {
    for (const Message& m : keyMessages(vk, mods, noText ? -1 : character)) out.push_back(m);
  };
  switch (cp) {
    case 13:
      return put(vk::Return, 13);
    case 9:
      return put(vk::Tab, mods.ctrl ? -1 : 9);
    case 8:
    case 127:
      return put(vk::Back, 8);
    case 27:
      return put(vk::Escape, 27);
    case 32:
      return put(vk::Space, mods.ctrl ? -1 : 32);
    default:
      break;
  }
  if (isLetter(cp)) {
    const auto upper = static_cast<std::uint32_t>(cp >= 'a' ? cp - 32 : cp);
    if (cp < 'a') mods.shift = true;
    const int character = mods.ctrl ? static_cast<int>(upper - 'A' + 1) : static_cast<int>(cp);
    return put(upper, character);
  }
  if (cp >= '0' && cp <= '9') return put(static_cast<std::uint32_t>(cp), mods.ctrl ? -1 : int(cp));
  if (cp < 0x20 || cp == 0x7F) return;
  const auto byte = static_cast<unsigned char>(cp1252::fromUnicode(cp));
  if (mods.ctrl || mods.alt) return put(0, -1);
  Message m;
  m.type = MessageType::Char;
  m.code = byte;
  m.mods = mods;
  out.push_back(m);
}

struct Sequence {
  std::vector<int> params;  // -1: left out
  char final = 0;
  bool privateMarker = false;
};

int param(const Sequence& s, std::size_t i, int fallback) {
  return i < s.params.size() && s.params[i] >= 0 ? s.params[i] : fallback;
}

std::uint32_t letterKey(char final) {
  switch (final) {
    case 'A':
      return vk::Up;
    case 'B':
      return vk::Down;
    case 'C':
      return vk::Right;
    case 'D':
      return vk::Left;
    case 'H':
      return vk::Home;
    case 'F':
      return vk::End;
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
      return vk::F1 + static_cast<std::uint32_t>(final - 'P');
    default:
      return 0;
  }
}

// The number of a "CSI n ~" key.
std::uint32_t tildeKey(int n) {
  switch (n) {
    case 1:
    case 7:
      return vk::Home;
    case 2:
      return vk::Insert;
    case 3:
      return vk::Delete;
    case 4:
    case 8:
      return vk::End;
    case 5:
      return vk::Prior;
    case 6:
      return vk::Next;
    case 23:
      return vk::F11;
    case 24:
      return vk::F12;
    default:
      break;
  }
  if (n >= 11 && n <= 15) return vk::F1 + static_cast<std::uint32_t>(n - 11);
  if (n >= 17 && n <= 21) return vk::F1 + 5 + static_cast<std::uint32_t>(n - 17);
  return 0;
}

void putKey(std::uint32_t key, Modifiers mods, std::vector<Message>& out) {
  if (key == 0) return;
  for (const Message& m : keyMessages(key, mods, -1)) out.push_back(m);
}

void decodeSequence(const Sequence& s, bool alt, std::vector<Message>& out) {
  if (s.privateMarker) return;  // replies and mouse reports, never keys
  Modifiers mods = modifiersOfParameter(param(s, 1, 1));
  mods.alt = mods.alt || alt;
  switch (s.final) {
    case '~':
    case '^':
    case '$':
    case '@': {
      const int n = param(s, 0, 0);
      if (n == 27) {
        // xterm's modifyOtherKeys: CSI 27 ; modifiers ; code ~
        Modifiers other = modifiersOfParameter(param(s, 1, 1));
        other.alt = other.alt || alt;
        keyOfCodepoint(static_cast<char32_t>(param(s, 2, 0)), other, out);
        return;
      }
      // rxvt marks Ctrl with "^", Shift with "$" and both with "@".
      if (s.final == '^' || s.final == '@') mods.ctrl = true;
      if (s.final == '$' || s.final == '@') mods.shift = true;
      return putKey(tildeKey(n), mods, out);
    }
    case 'u': {
      Modifiers other = modifiersOfParameter(param(s, 1, 1));
      other.alt = other.alt || alt;
      return keyOfCodepoint(static_cast<char32_t>(param(s, 0, 0)), other, out);
    }
    case 'Z':
      mods.shift = true;
      for (const Message& m : keyMessages(vk::Tab, mods, mods.alt ? -1 : 9)) out.push_back(m);
      return;
    case 'a':
    case 'b':
    case 'c':
    case 'd':
      // rxvt's Shift+cursor keys.
      mods.shift = true;
      return putKey(letterKey(static_cast<char>(s.final - 'a' + 'A')), mods, out);
    default:
      return putKey(letterKey(s.final), mods, out);
  }
}

}  // namespace

Modifiers modifiersOfParameter(int parameter) {
  const int bits = std::max(0, parameter - 1);
  Modifiers m;
  m.shift = (bits & 1) != 0;
  m.alt = (bits & 2) != 0 || (bits & 8) != 0;
  m.ctrl = (bits & 4) != 0;
  return m;
}

void TerminalKeyDecoder::feed(std::string_view bytes, std::vector<Message>& out) {
  held_.append(bytes);
  while (!held_.empty()) {
    const std::size_t used = decodeOne(out, false);
    if (used == 0) break;
    held_.erase(0, used);
  }
}

void TerminalKeyDecoder::flush(std::vector<Message>& out) {
  while (!held_.empty()) held_.erase(0, std::max<std::size_t>(1, decodeOne(out, true)));
}

void TerminalKeyDecoder::emitByte(std::uint8_t byte, bool alt, std::vector<Message>& out) const {
  Modifiers mods;
  mods.alt = alt;
  if (byte == erase_) return keyOfCodepoint(8, mods, out);
  if (byte == 8 || byte == 127) {
    mods.ctrl = true;
    return keyOfCodepoint(8, mods, out);
  }
  if (byte == 13 || byte == 9 || byte == kEsc) return keyOfCodepoint(byte, mods, out);
  if (byte == 0) {
    mods.ctrl = true;
    return putKey(vk::Space, mods, out);
  }
  if (byte < 0x20) {
    mods.ctrl = true;
    if (byte <= 26) return keyOfCodepoint(static_cast<char32_t>('a' + byte - 1), mods, out);
    // Ctrl+\ ] ^ _ bring their control codes and no key of the tables.
    for (const Message& m : keyMessages(0, mods, alt ? -1 : byte)) {
      if (m.type == MessageType::Char || m.type == MessageType::SysKeyDown) out.push_back(m);
    }
    return;
  }
  keyOfCodepoint(byte, mods, out);
}

std::size_t TerminalKeyDecoder::decodeOne(std::vector<Message>& out, bool final) {
  const auto first = static_cast<std::uint8_t>(held_[0]);
  if (first == kEsc) return decodeEscape(out, final);
  if (first < 0x80) {
    emitByte(first, false, out);
    return 1;
  }
  const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  if (held_.size() < length && !final) return 0;
  std::size_t pos = 0;
  const std::string_view text(held_.data(), std::min(length, held_.size()));
  const char32_t cp = cp1252::decodeUtf8(text, pos);
  keyOfCodepoint(cp, {}, out);
  return std::max<std::size_t>(1, pos);
}

std::size_t TerminalKeyDecoder::decodeEscape(std::vector<Message>& out, bool final) {
  // An ESC before a key is Alt held with it; ESC ESC is Alt with a
  // sequence, or two Escs once nothing follows.
  std::size_t start = 0;
  bool alt = false;
  if (held_.size() >= 2 && static_cast<std::uint8_t>(held_[1]) == kEsc &&
      (held_.size() > 2 || !final)) {
    if (held_.size() == 2) return 0;
    if (held_[2] == '[' || held_[2] == 'O') {
      start = 1;
      alt = true;
    }
  }
  const std::size_t size = held_.size();
  if (size == start + 1) {
    if (!final) return 0;
    emitByte(kEsc, alt, out);
    return size;
  }
  const char kind = held_[start + 1];
  if (kind != '[' && kind != 'O') {
    // Alt with the next key.
    const auto next = static_cast<std::uint8_t>(kind);
    if (next == kEsc) {
      emitByte(kEsc, false, out);
      return 1;
    }
    if (next < 0x80) {
      emitByte(next, true, out);
      return 2;
    }
    const std::size_t length = next >= 0xF0 ? 4 : next >= 0xE0 ? 3 : next >= 0xC0 ? 2 : 1;
    if (size < 1 + length && !final) return 0;
    std::size_t pos = 1;
    const std::string_view text(held_.data(), std::min(size, 1 + length));
    Modifiers mods;
    mods.alt = true;
    keyOfCodepoint(cp1252::decodeUtf8(text, pos), mods, out);
    return pos;
  }

  Sequence s;
  std::size_t i = start + 2;
  if (kind == 'O') {
    // SS3: an optional modifier digit, then the key's letter.
    int digits = -1;
    while (i < size && held_[i] >= '0' && held_[i] <= '9') {
      digits = std::max(0, digits) * 10 + (held_[i] - '0');
      ++i;
    }
    if (i >= size) {
      if (!final) return 0;
      // ESC O alone is Alt+Shift+O.
      emitByte('O', true, out);
      return start + 2;
    }
    s.final = held_[i];
    if (digits >= 0) s.params = {1, digits};
    if (s.final >= 'a' && s.final <= 'd') {
      // rxvt's Ctrl+cursor keys.
      Modifiers mods;
      mods.ctrl = true;
      mods.alt = alt;
      putKey(letterKey(static_cast<char>(s.final - 'a' + 'A')), mods, out);
      return i + 1;
    }
    decodeSequence(s, alt, out);
    return i + 1;
  }

  // The Linux console's F1..F5: ESC [ [ A .. ESC [ [ E.
  if (i < size && held_[i] == '[') {
    if (i + 1 >= size) return final ? i + 1 : 0;
    const char c = held_[i + 1];
    Modifiers mods;
    mods.alt = alt;
    if (c >= 'A' && c <= 'E') putKey(vk::F1 + static_cast<std::uint32_t>(c - 'A'), mods, out);
    return i + 2;
  }
  int current = -1;
  for (; i < size; ++i) {
    const auto c = static_cast<std::uint8_t>(held_[i]);
    if (c >= '0' && c <= '9') {
      current = std::min(std::max(0, current) * 10 + (c - '0'), 0x10FFFF);
    } else if (c == ';' || c == ':') {
      s.params.push_back(current);
      current = -1;
    } else if (c >= 0x3C && c <= 0x3F) {
      s.privateMarker = true;
    } else if (c >= 0x20 && c <= 0x2F) {
      s.privateMarker = true;  // intermediate bytes: nothing a key sends
    } else if (c >= 0x40 && c <= 0x7E) {
      s.params.push_back(current);
      s.final = static_cast<char>(c);
      decodeSequence(s, alt, out);
      return i + 1;
    } else {
      // Not part of a sequence: what came so far is dropped, the byte is
      // read again as a key of its own.
      return i;
    }
    if (i - start > kLongestSequence) return i + 1;
  }
  return final ? size : 0;
}

namespace {

// The colours the console draws with, and the ANSI colour of each where the
// terminal has only the first 16 (the console's order is blue before red,
// ANSI's red before blue).
constexpr std::array<Rgb, 16> kConsoleColours = {{
    {0, 0, 0},
    {0, 0, 255},
    {0, 255, 0},
    {0, 255, 255},
    {255, 0, 0},
    {142, 0, 142},
    {68, 34, 34},
    {192, 192, 192},
    {128, 128, 128},
    {128, 128, 255},
    {128, 255, 128},
    {128, 255, 255},
    {255, 128, 128},
    {255, 128, 255},
    {255, 255, 0},
    {255, 255, 255},
}};
constexpr std::array<int, 16> kAnsiOfConsole = {0, 4,  2,  6,  1, 5,  3,  7,
                                                8, 12, 10, 14, 9, 13, 11, 15};

long distance(Rgb a, Rgb b) {
  const long dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr + dg * dg + db * db;
}

Rgb paletteColour(int index) {
  if (index >= 232) {
    const auto level = static_cast<std::uint8_t>(8 + 10 * (index - 232));
    return {level, level, level};
  }
  static constexpr std::array<std::uint8_t, 6> kLevels = {0, 95, 135, 175, 215, 255};
  const int cube = index - 16;
  return {kLevels[static_cast<std::size_t>(cube / 36)],
          kLevels[static_cast<std::size_t>(cube / 6 % 6)],
          kLevels[static_cast<std::size_t>(cube % 6)]};
}

}  // namespace

int terminalColourOf(Rgb colour, int colours) {
  if (colours >= 256) {
    // Only the cube and the grey ramp: terminals let the user theme the
    // first 16, so those would not show the console's colours.
    int best = 16;
    long bestDistance = LONG_MAX;
    for (int index = 16; index < 256; ++index) {
      const long d = distance(colour, paletteColour(index));
      if (d < bestDistance) {
        bestDistance = d;
        best = index;
      }
    }
    return best;
  }
  std::size_t nearest = 0;
  for (std::size_t i = 1; i < kConsoleColours.size(); ++i) {
    if (distance(colour, kConsoleColours[i]) < distance(colour, kConsoleColours[nearest]))
      nearest = i;
  }
  return kAnsiOfConsole[nearest];
}

std::string smallTerminalNotice(int columns, int rows) {
  return "Terminal pequeno (" + std::to_string(columns) + " x " + std::to_string(rows) +
         "): o console precisa de 80 x 25";
}

}  // namespace lamina::platform
