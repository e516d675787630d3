#pragma once
// The terminal backend's own header, for its .cpp files and its tests: the
// decoding of what a text terminal sends for a key (UTF-8 text, control
// bytes, ESC-prefixed Alt forms and the xterm family's escape sequences with
// their modifier parameter) into the messages a window's keyboard would
// produce, and the choice of terminal colours for the console's RGB
// colours. Neither needs a terminal.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window.h"

namespace lamina::platform {

class TerminalKeyDecoder {
 public:
  // eraseByte: what the terminal's Backspace key sends (its VERASE
  // character, 127 on most terminals, 8 on some); the other of 8 and 127
  // is Ctrl+Backspace.
  explicit TerminalKeyDecoder(std::uint8_t eraseByte = 127) : erase_(eraseByte) {}

  // Decodes every complete key of the bytes read so far, appending its
  // messages. A lone ESC or a sequence cut short by the read stays held.
  void feed(std::string_view bytes, std::vector<Message>& out);
  // Bytes are held that may still begin a longer key.
  bool pending() const { return !held_.empty(); }
  // Nothing more came within the terminal's escape time: what is held is
  // taken as the keys it stands for on its own (a lone ESC is Esc).
  void flush(std::vector<Message>& out);

 private:
  // Decodes one key at the front of held_; returns the bytes it took, or 0
  // when the key is not complete yet (final: it never will be).
  std::size_t decodeOne(std::vector<Message>& out, bool final);
  std::size_t decodeEscape(std::vector<Message>& out, bool final);
  void emitByte(std::uint8_t byte, bool alt, std::vector<Message>& out) const;

  std::uint8_t erase_;
  std::string held_;
};

// The xterm modifier parameter (1 + Shift 1 + Alt 2 + Ctrl 4 + Meta 8) as
// key state; Meta counts as Alt.
Modifiers modifiersOfParameter(int parameter);

// The terminal colour that shows an RGB colour best among the first
// `colours` colours of the xterm palette (8, 16, 88 or 256; the 256
// palette's cube and grey ramp are fixed, the first 16 only nearly so).
// With 8 colours a bright colour comes back as 8..15: the caller shows it
// as the dark one in bold when it is a foreground.
int terminalColourOf(Rgb colour, int colours);

// The notice shown, and rung, when the terminal is smaller than the
// console: cp1252.
std::string smallTerminalNotice(int columns, int rows);

}  // namespace lamina::platform
