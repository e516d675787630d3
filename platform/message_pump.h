#pragma once
// What the console's message pump offers to the rest of the program: every
// wait of the system is a loop that pumps the console window's messages, and
// wave-output completions arrive as kMsgWaveDone dispatched to a handler.
#include <cstdint>
#include <functional>

#include "platform/messages.h"

namespace lamina::platform {

class MessagePump {
 public:
  using WaveDoneHandler = std::function<void(std::uintptr_t device, std::uintptr_t block)>;

  virtual ~MessagePump() = default;
  // Pumps pending messages; true when a key is queued.
  virtual bool keyPressed() = 0;
  virtual void pumpMessages() = 0;
  // Waits for the next message to arrive, then pumps.
  virtual void waitMessage() = 0;
  virtual void sleepPumping(unsigned ms) = 0;
  // kMsgWaveDone is handed to this handler while messages are pumped.
  virtual void setWaveDoneHandler(WaveDoneHandler handler) = 0;
  // Posts a user message (one of platform/messages.h) to the console window;
  // may be called from any thread.
  virtual void postMessage(std::uint32_t id, std::uintptr_t param1, std::uintptr_t param2) = 0;
};

}  // namespace lamina::platform
