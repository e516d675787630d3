// The headless window's standard-input reader: keys read on its own thread
// are typed while the console waits, and the window may go while the reader
// still waits for input.
#include "platform/headless_window.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <istream>
#include <memory>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <string>

namespace lamina::platform {
namespace {

// A stream whose reads wait until the test hands it text or closes it.
class GateBuf final : public std::streambuf {
 public:
  void feed(std::string text) {
    std::lock_guard lock(mutex_);
    pending_ += text;
    changed_.notify_all();
  }
  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }
  void waitForReader() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return readerWaiting_; });
  }
  bool drained() {
    std::lock_guard lock(mutex_);
    return pending_.empty() && gptr() == egptr();
  }

 protected:
  int_type underflow() override {
    std::unique_lock lock(mutex_);
    readerWaiting_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !pending_.empty() || closed_; });
    readerWaiting_ = false;
    if (pending_.empty()) return traits_type::eof();
    current_ = std::move(pending_);
    pending_.clear();
    setg(current_.data(), current_.data(), current_.data() + current_.size());
    return traits_type::to_int_type(current_[0]);
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string pending_, current_;
  bool closed_ = false;
  bool readerWaiting_ = false;
};

TEST(HeadlessScriptReader, TypesTheLinesReadThenCloses) {
  HeadlessWindow window;
  std::istringstream in("a{F1}\n");
  window.startScriptReader(in).join();
  std::string got;
  Message m;
  for (int keys = 0; keys < 4; ++keys) {
    window.setAwaitingKey(true);
    while (window.peekMessage(m)) {
      if (m.type == MessageType::Char) got += "c" + std::to_string(m.code) + " ";
      if (m.type == MessageType::KeyDown && m.code == vk::F1) got += "F1 ";
      if (m.type == MessageType::Close) got += "close";
    }
  }
  EXPECT_EQ(got, "c97 F1 c13 close");
}

TEST(HeadlessScriptReader, WindowMayGoWhileTheReaderWaits) {
  GateBuf gate;
  std::istream in(&gate);
  auto window = std::make_unique<HeadlessWindow>();
  std::thread reader = window->startScriptReader(in);
  gate.waitForReader();
  window.reset();
  // The reader wakes after its window is gone and must not touch it.
  gate.feed("late keys\n");
  gate.close();
  reader.join();
  EXPECT_TRUE(gate.drained());
}

}  // namespace
}  // namespace lamina::platform
