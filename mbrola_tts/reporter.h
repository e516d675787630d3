#pragma once
// Where the front-end's loaders send the messages the user must confirm.
// The program prints, speaks and waits for Enter; callers without a console
// (tools, tests) use StderrReporter.
#include <string>
#include <string_view>
#include <vector>

namespace lamina::mbrola_tts {

class MessageReporter {
 public:
  virtual ~MessageReporter() = default;
  // The message in code page 1252; returns once the user has confirmed it.
  virtual void showMessage(std::string_view message) = 0;
};

// Writes each message as one UTF-8 line on standard error.
class StderrReporter final : public MessageReporter {
 public:
  void showMessage(std::string_view message) override;
};

// Drops the messages (fuzzers, where nobody is there to read them).
class SilentReporter final : public MessageReporter {
 public:
  void showMessage(std::string_view) override {}
};

// Keeps the messages (for tests and for callers that report later).
class CollectingReporter final : public MessageReporter {
 public:
  void showMessage(std::string_view message) override { messages.emplace_back(message); }
  std::vector<std::string> messages;
};

}  // namespace lamina::mbrola_tts
