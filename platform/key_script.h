#pragma once
// Key scripts drive the headless console: UTF-8 text in which a character is
// typed as itself, a line end is Enter, {NAME} is a special key with
// modifiers joined by "+" ({F1}, {Ctrl+F1}, {Shift+Insert}, {Ctrl+Alt+A}),
// {{ is a literal "{", {pause MS} waits and {chord FDS} presses Braille dot
// keys together. Each key becomes the messages a keyboard would produce.
#include <string_view>
#include <vector>

#include "platform/window.h"

namespace lamina::platform {

struct ScriptStep {
  std::vector<Message> messages;  // one key: key-down, character, key-up
  int pauseMs = 0;                // a pause step has no messages
  bool valid = true;              // false: an unknown {NAME}, typed as nothing
};

std::vector<ScriptStep> parseKeyScript(std::string_view utf8);

// The messages of one key press, as a keyboard and the platform's key
// translation would deliver them.
std::vector<Message> keyMessages(std::uint32_t vk, Modifiers mods, int character);

}  // namespace lamina::platform
