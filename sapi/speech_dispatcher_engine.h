#pragma once
// The system's voices through the Speech Dispatcher daemon: a connection
// opened at start, texts queued asynchronously, a cut that purges them, and a
// speaking test that follows the daemon's begin, end and cancel notices.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_pump.h"
#include "speech/engine.h"

namespace lamina::sapi {

struct VoiceInfo {
  std::string name;
  std::string language;
};

// The index of the voice to use, -1 when there is none: a number 1..count
// picks that voice; any other looks for a name holding "Raquel", then for the
// first Brazilian Portuguese voice, then any Portuguese one, then the first.
int chooseVoice(const std::vector<VoiceInfo>& voices, int number);

// The engine rate -10..10 as the daemon's -100..100.
int dispatcherRate(int rate);

class SpeechDispatcherEngine final : public speech::SpeechEngine {
 public:
  // address: the daemon's, as "unix_socket:PATH" or "inet_socket:HOST:PORT";
  // empty for the session's own daemon (started when it is not running).
  SpeechDispatcherEngine(platform::MessagePump& pump, std::string address = {});
  ~SpeechDispatcherEngine() override;
  SpeechDispatcherEngine(const SpeechDispatcherEngine&) = delete;
  SpeechDispatcherEngine& operator=(const SpeechDispatcherEngine&) = delete;

  // Fails when there is no daemon, no connection or no voice. The output
  // file is not used: the daemon speaks aloud.
  bool start(int voice, int speed, int pitch, std::string_view outputFile) override;
  void stop() override;
  void speak(std::string_view text) override;
  bool busy(bool strict) override;
  void cut() override;

  const std::vector<VoiceInfo>& voices() const { return voices_; }
  std::string voiceName() const { return voiceName_; }
  // The rate set at start (-100..100).
  int rate() const { return rate_; }
  // End (or, with true, cancel) notices received since the start.
  int notices(bool cancelled) const;
  int begun() const;
  // The daemon stopped answering in the middle of speech.
  bool connectionLost() const;

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
  platform::MessagePump& pump_;
  std::string address_;
  std::vector<VoiceInfo> voices_;
  std::string voiceName_;
  int rate_ = 0;
};

}  // namespace lamina::sapi
