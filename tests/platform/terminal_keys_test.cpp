#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/key_script.h"
#include "platform/terminal_keys_internal.h"

namespace lamina::platform {
namespace {

std::string describe(const std::vector<Message>& messages) {
  std::string text;
  for (const Message& m : messages) {
    const char* type = m.type == MessageType::KeyDown      ? "down"
                       : m.type == MessageType::SysKeyDown ? "sys"
                       : m.type == MessageType::KeyUp      ? "up"
                       : m.type == MessageType::Char       ? "char"
                                                           : "other";
    text += std::string(type) + " " + std::to_string(m.code) + " " + (m.mods.shift ? "S" : "") +
            (m.mods.ctrl ? "C" : "") + (m.mods.alt ? "A" : "") + "|";
  }
  return text;
}

std::string decoded(std::string_view bytes, std::uint8_t erase = 127) {
  TerminalKeyDecoder decoder(erase);
  std::vector<Message> out;
  decoder.feed(bytes, out);
  decoder.flush(out);
  return describe(out);
}

std::string scripted(std::string_view script) {
  std::vector<Message> out;
  for (const ScriptStep& step : parseKeyScript(script))
    out.insert(out.end(), step.messages.begin(), step.messages.end());
  return describe(out);
}

// What a terminal sends for a key must reach the console as the messages
// the window's keyboard gives for it (the key script speaks for the window).
TEST(TerminalKeys, SequencesGiveTheWindowsMessages) {
  const struct {
    std::string_view bytes;
    std::string_view key;
  } cases[] = {
      {"\033OP", "{F1}"},
      {"\033[11~", "{F1}"},
      {"\033[[A", "{F1}"},
      {"\033[1;5P", "{Ctrl+F1}"},
      {"\033[15~", "{F5}"},
      {"\033[21~", "{F10}"},
      {"\033[24;5~", "{Ctrl+F12}"},
      {"\033[23;6~", "{Ctrl+Shift+F11}"},
      {"\033[A", "{Up}"},
      {"\033OA", "{Up}"},
      {"\033[1;5A", "{Ctrl+Up}"},
      {"\033Oa", "{Ctrl+Up}"},
      {"\033[1;2D", "{Shift+Left}"},
      {"\033[1;3C", "{Alt+Right}"},
      {"\033\033[C", "{Alt+Right}"},
      {"\033[H", "{Home}"},
      {"\033[1~", "{Home}"},
      {"\033[F", "{End}"},
      {"\033[5;5~", "{Ctrl+PgUp}"},
      {"\033[6^", "{Ctrl+PgDn}"},
      {"\033[2;2~", "{Shift+Ins}"},
      {"\033[2;5~", "{Ctrl+Ins}"},
      {"\033[3~", "{Del}"},
      {"\033[Z", "{Shift+Tab}"},
      {"\r", "{Enter}"},
      {"\t", "{Tab}"},
      {"\x7f", "{Backspace}"},
      {"\b", "{Ctrl+Backspace}"},
      {"\033", "{Esc}"},
      {"\x03", "{Ctrl+C}"},
      {"\x01", "{Ctrl+A}"},
      {"\033\x01", "{Ctrl+Alt+A}"},
      {"\033a", "{Alt+A}"},
      {"\033[27;7;48~", "{Ctrl+Alt+0}"},
      {"\033[48;7u", "{Ctrl+Alt+0}"},
      {"\033[13;5u", "{Ctrl+Enter}"},
      {"a", "a"},
      {"Z", "Z"},
      {"7", "7"},
      {" ", " "},
      {"\xc3\xa3", "ã"},
      {"\xe2\x82\xac", "€"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decoded(c.bytes), scripted(c.key)) << c.key;
  }
}

TEST(TerminalKeys, HeldBytesWaitForTheRestOfTheKey) {
  TerminalKeyDecoder decoder;
  std::vector<Message> out;
  // A sequence and a UTF-8 letter cut by the read complete with the next.
  decoder.feed("\033[1;", out);
  decoder.feed("5", out);
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(decoder.pending());
  decoder.feed("Ax\xc3", out);
  decoder.feed("\xa3", out);
  EXPECT_EQ(describe(out), scripted("{Ctrl+Up}xã"));
  EXPECT_FALSE(decoder.pending());
  // Two Escs typed apart, and keys after replies the program never asked for.
  out.clear();
  decoder.feed("\033\033", out);
  EXPECT_TRUE(out.empty());
  decoder.flush(out);
  decoder.feed("\033[?1;2c\033[<0;3;4Mq", out);
  EXPECT_EQ(describe(out), scripted("{Esc}{Esc}q"));
}

TEST(TerminalKeys, EraseByteOfTheTerminalIsBackspace) {
  EXPECT_EQ(decoded("\b", 8), scripted("{Backspace}"));
  EXPECT_EQ(decoded("\x7f", 8), scripted("{Ctrl+Backspace}"));
}

TEST(TerminalColours, ConsoleColoursKeepTheirPlaceInEachPalette) {
  const struct {
    Rgb rgb;
    int in256, in16;
  } cases[] = {
      {{0, 0, 0}, 16, 0},         {{0, 0, 255}, 21, 4},       {{0, 255, 0}, 46, 2},
      {{255, 0, 0}, 196, 1},      {{192, 192, 192}, 250, 7},  {{128, 128, 128}, 244, 8},
      {{128, 255, 128}, 120, 10}, {{255, 255, 0}, 226, 11},   {{255, 255, 255}, 231, 15},
      {{68, 34, 34}, 236, 3},     {{128, 128, 255}, 105, 12}, {{142, 0, 142}, 90, 5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(terminalColourOf(c.rgb, 256), c.in256) << int(c.rgb.r) << "," << int(c.rgb.g);
    EXPECT_EQ(terminalColourOf(c.rgb, 16), c.in16) << int(c.rgb.r) << "," << int(c.rgb.g);
    EXPECT_EQ(terminalColourOf(c.rgb, 8), c.in16) << int(c.rgb.r) << "," << int(c.rgb.g);
  }
}

}  // namespace
}  // namespace lamina::platform
