#pragma once
// The console's look and behaviour per machine: sections [VIDEO] and
// [BRAILLE] of ORALIS.INI, read once when the window is created.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace lamina::console {

struct ConsoleSettings {
  std::array<std::uint8_t, 16> colourMap{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  bool coloursChangeable = true;
  bool slowScroll = false;  // LENTO
  std::uint8_t initialAttribute = 15;
  int magnification = 2;
  int brailleMode = 0;
  bool hasFont = true;  // false: the fixed system font
  std::string fontFace = "Lucida Console";
  int fontWidth = 9;
  int fontHeight = 22;
  int fontWeight = 700;
  bool maximised = false;
};

// Reads the settings from the given ORALIS.INI (absent file: every default).
ConsoleSettings consoleSettings(const std::filesystem::path& iniFile);

// The colour map as TABCORES gives it: up to 16 comma-separated decimal
// numbers; slots not given keep their identity value; the first piece that
// is not a number ends the list.
std::array<std::uint8_t, 16> parseColourMap(std::string_view text);

}  // namespace lamina::console
