#include "wave/simple_pump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace lamina::wave {
namespace {

TEST(SimplePump, DispatchesWaveDoneAndDropsOtherMessages) {
  SimplePump pump;
  std::vector<std::pair<std::uintptr_t, std::uintptr_t>> seen;
  pump.setWaveDoneHandler([&](std::uintptr_t d, std::uintptr_t b) { seen.emplace_back(d, b); });
  pump.postMessage(platform::kMsgSpeechWake, 1, 2);
  pump.postMessage(platform::kMsgWaveDone, 3, 4);
  pump.postMessage(platform::kMsgEngineBusy, 5, 6);
  pump.postMessage(platform::kMsgWaveDone, 7, 8);
  EXPECT_TRUE(seen.empty()) << "nothing runs before the pump";
  pump.pumpMessages();
  EXPECT_EQ(seen, (std::vector<std::pair<std::uintptr_t, std::uintptr_t>>{{3, 4}, {7, 8}}));
}

TEST(SimplePump, MessagesPostedWhileDispatchingRunInTheSamePump) {
  SimplePump pump;
  int calls = 0;
  pump.setWaveDoneHandler([&](std::uintptr_t, std::uintptr_t b) {
    ++calls;
    if (b < 3) pump.postMessage(platform::kMsgWaveDone, 0, b + 1);
  });
  pump.postMessage(platform::kMsgWaveDone, 0, 0);
  pump.pumpMessages();
  EXPECT_EQ(calls, 4);
}

TEST(SimplePump, OtherThreadsWakeAWaitingLoop) {
  SimplePump pump;
  bool done = false;
  pump.setWaveDoneHandler([&](std::uintptr_t, std::uintptr_t) { done = true; });
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pump.postMessage(platform::kMsgWaveDone, 0, 1);
  });
  pump.waitMessage();
  poster.join();
  EXPECT_TRUE(done);

  std::thread typist([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pump.pushKey('a');
  });
  pump.waitMessage();
  typist.join();
  EXPECT_TRUE(pump.keyPressed());
}

TEST(SimplePump, KeysComeOutInOrderAndStayUntilTaken) {
  SimplePump pump;
  EXPECT_FALSE(pump.keyPressed());
  EXPECT_EQ(pump.takeKey(), 0);
  pump.pushKey(0);
  pump.pushKey(59);
  EXPECT_TRUE(pump.keyPressed());
  EXPECT_TRUE(pump.keyPressed());
  EXPECT_EQ(pump.keyCount(), 2u);
  EXPECT_EQ(pump.takeKey(), 0);
  EXPECT_EQ(pump.takeKey(), 59);
  EXPECT_FALSE(pump.keyPressed());
}

TEST(SimplePump, IdleHookReplacesBlockingAndSleeping) {
  SimplePump pump;
  int idle = 0;
  pump.setIdleHook([&] { ++idle; });
  pump.sleepPumping(100);
  pump.sleepPumping(50);
  pump.waitMessage();
  EXPECT_EQ(pump.virtualSleptMs(), 150u);
  EXPECT_EQ(idle, 3);
  pump.postMessage(platform::kMsgWaveDone, 0, 0);
  pump.waitMessage();  // a message is pending: no idle call
  EXPECT_EQ(idle, 3);
}

}  // namespace
}  // namespace lamina::wave
