#pragma once
// The user messages that cross subsystems through the console window's queue.
// Each number is defined here and nowhere else.
#include <cstdint>

namespace lamina::platform {

// A wave-output block is done: param1 = device id, param2 = the block's
// address; the console hands it to the wave player.
inline constexpr std::uint32_t kMsgWaveDone = 957;
// Posted when speech is stopped, only to wake loops that wait for it.
inline constexpr std::uint32_t kMsgSpeechWake = 1123;
// Posted by a speech engine while it is still speaking; wakes waiting loops
// the same way.
inline constexpr std::uint32_t kMsgEngineBusy = 2980;

}  // namespace lamina::platform
