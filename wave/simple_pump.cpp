#include "wave/simple_pump.h"

#include <chrono>
#include <thread>

namespace lamina::wave {

bool SimplePump::keyPressed() {
  pumpMessages();
  std::lock_guard lock(mutex_);
  return !keys_.empty();
}

void SimplePump::pumpMessages() {
  // Messages posted while dispatching are handled in the same call, as a
  // peek-and-dispatch loop would.
  for (;;) {
    Posted m{};
    {
      std::lock_guard lock(mutex_);
      keyArrived_ = false;
      if (messages_.empty()) return;
      m = messages_.front();
      messages_.pop_front();
    }
    if (m.id == platform::kMsgWaveDone && handler_) handler_(m.param1, m.param2);
  }
}

void SimplePump::waitMessage() {
  if (idleHook_) {
    bool empty = false;
    {
      std::lock_guard lock(mutex_);
      empty = messages_.empty() && !keyArrived_;
    }
    if (empty) idleHook_();
  } else {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !messages_.empty() || keyArrived_; });
  }
  pumpMessages();
}

void SimplePump::sleepPumping(unsigned ms) {
  if (idleHook_) {
    virtualSleptMs_ += ms;
    idleHook_();
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  pumpMessages();
}

void SimplePump::setWaveDoneHandler(WaveDoneHandler handler) {
  handler_ = std::move(handler);
}

void SimplePump::postMessage(std::uint32_t id, std::uintptr_t param1, std::uintptr_t param2) {
  {
    std::lock_guard lock(mutex_);
    messages_.push_back({id, param1, param2});
  }
  wake_.notify_all();
}

void SimplePump::pushKey(std::uint8_t key) {
  {
    std::lock_guard lock(mutex_);
    keys_.push_back(key);
    keyArrived_ = true;
  }
  wake_.notify_all();
}

std::uint8_t SimplePump::takeKey() {
  std::lock_guard lock(mutex_);
  if (keys_.empty()) return 0;
  const std::uint8_t k = keys_.front();
  keys_.pop_front();
  return k;
}

std::size_t SimplePump::keyCount() {
  std::lock_guard lock(mutex_);
  return keys_.size();
}

}  // namespace lamina::wave
