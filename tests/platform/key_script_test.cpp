#include "platform/key_script.h"

#include <gtest/gtest.h>

using lamina::platform::Message;
using lamina::platform::MessageType;
using lamina::platform::parseKeyScript;
namespace vk = lamina::platform::vk;

TEST(KeyScript, CharactersLineEndsAndLiteralBrace) {
  const auto steps = parseKeyScript("ã{{\n");
  ASSERT_EQ(steps.size(), 3u);
  ASSERT_EQ(steps[0].messages.size(), 1u);
  EXPECT_EQ(steps[0].messages[0].type, MessageType::Char);
  EXPECT_EQ(steps[0].messages[0].code, 0xE3u);
  EXPECT_EQ(steps[1].messages[0].code, static_cast<unsigned>('{'));
  EXPECT_EQ(steps[2].messages[0].code, vk::Return);
  EXPECT_EQ(steps[2].messages[1].code, 13u);
}

TEST(KeyScript, ModifiersInAnyOrderAndTheStateTravelsWithTheKey) {
  const auto a = parseKeyScript("{Alt+Ctrl+a}");
  const auto b = parseKeyScript("{ctrl+alt+A}");
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(a[0].messages.size(), b[0].messages.size());
  const Message& down = a[0].messages[0];
  EXPECT_EQ(down.type, MessageType::KeyDown);
  EXPECT_EQ(down.code, static_cast<unsigned>('A'));
  EXPECT_TRUE(down.mods.ctrl);
  EXPECT_TRUE(down.mods.alt);
  EXPECT_FALSE(down.mods.shift);
  const auto shift = parseKeyScript("{Shift+Down}");
  EXPECT_TRUE(shift[0].messages[0].mods.shift);
}

TEST(KeyScript, PausesAndUnknownNames) {
  const auto steps = parseKeyScript("{pause 250}{Nonsense}{F13}x{");
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[0].pauseMs, 250);
  EXPECT_TRUE(steps[0].messages.empty());
  EXPECT_FALSE(steps[1].valid);
  EXPECT_FALSE(steps[2].valid);
  EXPECT_EQ(steps[3].messages[1].code, static_cast<unsigned>('x'));
  EXPECT_EQ(steps[4].messages[0].code, static_cast<unsigned>('{'));
}
