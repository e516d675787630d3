#pragma once
// A message pump without a window, for tools and tests: a thread-safe queue
// of user messages and of keys. Message 957 goes to the wave-done handler;
// other messages only wake a waiting loop.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/message_pump.h"

namespace lamina::wave {

class SimplePump final : public platform::MessagePump {
 public:
  bool keyPressed() override;
  void pumpMessages() override;
  void waitMessage() override;
  void sleepPumping(unsigned ms) override;
  void setWaveDoneHandler(WaveDoneHandler handler) override;
  void postMessage(std::uint32_t id, std::uintptr_t param1, std::uintptr_t param2) override;

  // Keys; pushKey may be called from any thread and wakes a waiting loop.
  void pushKey(std::uint8_t key);
  // Takes the oldest key; 0 when none is queued.
  std::uint8_t takeKey();
  std::size_t keyCount();

  // Tests: when set, the pump never blocks or sleeps. Instead of blocking on
  // an empty queue, and instead of each sleep, it calls the hook (which may
  // complete blocks, push keys...), then pumps. Time slept is only counted.
  void setIdleHook(std::function<void()> hook) { idleHook_ = std::move(hook); }
  std::uint64_t virtualSleptMs() const { return virtualSleptMs_; }

 private:
  struct Posted {
    std::uint32_t id;
    std::uintptr_t param1;
    std::uintptr_t param2;
  };

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Posted> messages_;
  std::deque<std::uint8_t> keys_;
  bool keyArrived_ = false;
  WaveDoneHandler handler_;
  std::function<void()> idleHook_;
  std::uint64_t virtualSleptMs_ = 0;
};

}  // namespace lamina::wave
