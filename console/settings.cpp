#include "console/settings.h"

#include "platform/cp1252.h"
#include "platform/profile.h"

namespace lamina::console {
namespace {

constexpr std::size_t kValueSize = 80;

// A number setting: absent gives the default text, present but empty gives
// the fallback, and text that is not a number also gives the fallback.
long numberSetting(const std::filesystem::path& ini, std::string_view key,
                   std::string_view defaultText, long fallback) {
  const std::string text = profile::readString(ini, "VIDEO", key, defaultText, kValueSize);
  long value = fallback;
  if (!text.empty() && profile::parseInt(text, value)) return value;
  return fallback;
}

// First character upper-cased, 0 when the value is empty.
unsigned char flagSetting(const std::filesystem::path& ini, std::string_view section,
                          std::string_view key, std::string_view defaultText) {
  const std::string text = profile::readString(ini, section, key, defaultText, kValueSize);
  return text.empty() ? 0 : cp1252::toUpper(static_cast<unsigned char>(text[0]));
}

}  // namespace

std::array<std::uint8_t, 16> parseColourMap(std::string_view text) {
  std::array<std::uint8_t, 16> map{};
  for (std::size_t i = 0; i < map.size(); ++i) map[i] = static_cast<std::uint8_t>(i);
  std::string rest(text);
  rest += ',';
  for (std::size_t slot = 0; slot < map.size(); ++slot) {
    const std::size_t comma = rest.find(',');
    if (comma == std::string::npos) break;
    long value = 0;
    if (!profile::parseInt(std::string_view(rest).substr(0, comma), value)) break;
    map[slot] = static_cast<std::uint8_t>(value & 0xFF);
    rest.erase(0, comma + 1);
  }
  return map;
}

ConsoleSettings consoleSettings(const std::filesystem::path& ini) {
  ConsoleSettings s;
  s.initialAttribute = 7;

  const std::string colours = profile::readString(
      ini, "VIDEO", "TABCORES", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15", kValueSize);
  s.colourMap = parseColourMap(colours);

  s.coloursChangeable = flagSetting(ini, "VIDEO", "CORESFIXAS", "N") != 'S';
  s.slowScroll = flagSetting(ini, "VIDEO", "LENTO", "N") == 'S';
  const long background = numberSetting(ini, "CORFUNDO", "0", 0);
  const long foreground = numberSetting(ini, "CORLETRA", "15", 7);
  // Kept in one byte without masking: a foreground above 15 spills into
  // the background bits, as configurations written for this rely on.
  s.initialAttribute = static_cast<std::uint8_t>((background * 16) | foreground);

  const std::string mode = profile::readString(ini, "BRAILLE", "MODO", "0", kValueSize);
  s.brailleMode = mode.empty() ? 0 : (static_cast<unsigned char>(mode[0]) & 3);

  const std::string amplif = profile::readString(ini, "VIDEO", "AMPLIF", "2", 2);
  s.magnification = amplif.empty() ? 2 : (static_cast<unsigned char>(amplif[0]) & 7);
  if (s.magnification == 0) s.magnification = 2;

  s.fontFace = profile::readString(ini, "VIDEO", "FONTE", "Lucida Console", kValueSize);
  s.hasFont = !s.fontFace.empty();
  if (s.hasFont) {
    s.fontWidth = static_cast<int>(numberSetting(ini, "LARGURALETRA", "9", 12));
    s.fontHeight = static_cast<int>(numberSetting(ini, "ALTURALETRA", "22", 18));
    s.fontWeight = static_cast<int>(numberSetting(ini, "PESOLETRA", "700", 700));
    const unsigned char corner = flagSetting(ini, "VIDEO", "CANTOTELA", "SIM");
    s.maximised = corner != 0 && corner != 'S';
  }
  return s;
}

}  // namespace lamina::console
