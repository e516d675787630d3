#include "platform/key_script.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

#include "platform/cp1252.h"

namespace lamina::platform {
namespace {

struct NamedKey {
  std::string_view name;
  std::uint32_t vk;
  int character;  // produced character, -1 for none
};

constexpr std::array<NamedKey, 18> kNamedKeys = {{
    {"UP", vk::Up, -1},
    {"DOWN", vk::Down, -1},
    {"LEFT", vk::Left, -1},
    {"RIGHT", vk::Right, -1},
    {"HOME", vk::Home, -1},
    {"END", vk::End, -1},
    {"PGUP", vk::Prior, -1},
    {"PGDN", vk::Next, -1},
    {"INS", vk::Insert, -1},
    {"INSERT", vk::Insert, -1},
    {"DEL", vk::Delete, -1},
    {"DELETE", vk::Delete, -1},
    {"ENTER", vk::Return, 13},
    {"ESC", vk::Escape, 27},
    {"TAB", vk::Tab, 9},
    {"BACKSPACE", vk::Back, 8},
    {"SPACE", vk::Space, 32},
    {"BREAK", vk::Cancel, -1},
}};

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

Message make(MessageType type, std::uint32_t code, Modifiers mods) {
  Message m;
  m.type = type;
  m.code = code;
  m.mods = mods;
  return m;
}

// A typed character: letters and digits come with their key's down and up.
ScriptStep typed(unsigned char byte) {
  ScriptStep step;
  Modifiers mods;
  std::uint32_t key = 0;
  if (byte >= 'a' && byte <= 'z') {
    key = byte - 32u;
  } else if (byte >= 'A' && byte <= 'Z') {
    key = byte;
    mods.shift = true;
  } else if (byte >= '0' && byte <= '9') {
    key = byte;
  } else if (byte == ' ') {
    key = vk::Space;
  }
  if (key != 0) {
    step.messages = keyMessages(key, mods, byte);
  } else {
    step.messages.push_back(make(MessageType::Char, byte, mods));
  }
  return step;
}

ScriptStep named(std::string_view body) {
  ScriptStep step;
  Modifiers mods;
  std::string rest = upper(body);
  for (;;) {
    const std::size_t plus = rest.find('+');
    if (plus == std::string::npos || plus + 1 == rest.size()) break;
    const std::string modifier = rest.substr(0, plus);
    if (modifier == "CTRL" || modifier == "CONTROL") {
      mods.ctrl = true;
    } else if (modifier == "ALT") {
      mods.alt = true;
    } else if (modifier == "SHIFT") {
      mods.shift = true;
    } else {
      step.valid = false;
      return step;
    }
    rest.erase(0, plus + 1);
  }
  if (rest.size() == 1 &&
      ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= '0' && rest[0] <= '9'))) {
    const auto key = static_cast<std::uint32_t>(rest[0]);
    int character = -1;
    if (!mods.alt || mods.ctrl) {
      if (key >= 'A' && key <= 'Z') {
        character = mods.ctrl ? static_cast<int>(key - 'A' + 1)
                              : static_cast<int>(mods.shift ? key : key + 32);
      } else if (!mods.ctrl) {
        character = static_cast<int>(key);
      }
      if (mods.ctrl && mods.alt) character = -1;
    }
    step.messages = keyMessages(key, mods, character);
    return step;
  }
  if (rest.size() >= 2 && rest[0] == 'F') {
    const int n = std::atoi(rest.c_str() + 1);
    if (n >= 1 && n <= 12 && rest.find_first_not_of("0123456789", 1) == std::string::npos) {
      step.messages = keyMessages(vk::F1 + static_cast<std::uint32_t>(n - 1), mods, -1);
      return step;
    }
  }
  for (const NamedKey& key : kNamedKeys) {
    if (key.name == rest) {
      const int character = (mods.alt && !mods.ctrl) ? -1 : key.character;
      step.messages = keyMessages(key.vk, mods, character);
      return step;
    }
  }
  step.valid = false;
  return step;
}

// {chord FDS}: the dot keys go down together and come up together.
ScriptStep chord(std::string_view keys) {
  ScriptStep step;
  const std::string names = upper(keys);
  auto vkOf = [](char c) { return c == ' ' ? vk::Space : static_cast<std::uint32_t>(c); };
  for (char c : names) step.messages.push_back(make(MessageType::KeyDown, vkOf(c), {}));
  for (char c : names) step.messages.push_back(make(MessageType::KeyUp, vkOf(c), {}));
  return step;
}

}  // namespace

std::vector<Message> keyMessages(std::uint32_t key, Modifiers mods, int character) {
  std::vector<Message> messages;
  // Alt without Ctrl, and F10, go to the system as the platform does.
  const bool system = (mods.alt && !mods.ctrl) || key == vk::F10;
  messages.push_back(make(system ? MessageType::SysKeyDown : MessageType::KeyDown, key, mods));
  if (character >= 0 && !system) {
    messages.push_back(make(MessageType::Char, static_cast<std::uint32_t>(character), mods));
  }
  if (!system) messages.push_back(make(MessageType::KeyUp, key, mods));
  return messages;
}

std::vector<ScriptStep> parseKeyScript(std::string_view utf8) {
  std::vector<ScriptStep> steps;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char c = utf8[pos];
    if (c == '\r') {
      ++pos;
      continue;
    }
    if (c == '\n') {
      steps.push_back(named("ENTER"));
      ++pos;
      continue;
    }
    if (c == '{') {
      if (pos + 1 < utf8.size() && utf8[pos + 1] == '{') {
        steps.push_back(typed('{'));
        pos += 2;
        continue;
      }
      const std::size_t close = utf8.find('}', pos);
      if (close == std::string_view::npos) {
        steps.push_back(typed('{'));
        ++pos;
        continue;
      }
      const std::string_view body = utf8.substr(pos + 1, close - pos - 1);
      pos = close + 1;
      const std::string head = upper(body.substr(0, body.find(' ')));
      if (head == "PAUSE") {
        ScriptStep step;
        step.pauseMs = std::max(0, std::atoi(std::string(body.substr(5)).c_str()));
        steps.push_back(step);
      } else if (head == "CHORD") {
        steps.push_back(chord(body.size() > 6 ? body.substr(6) : std::string_view{}));
      } else {
        steps.push_back(named(body));
      }
      continue;
    }
    const char32_t cp = cp1252::decodeUtf8(utf8, pos);
    steps.push_back(typed(static_cast<unsigned char>(cp1252::fromUnicode(cp))));
  }
  return steps;
}

}  // namespace lamina::platform
