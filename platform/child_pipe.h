#pragma once
// A helper program run as our child with its standard input and output
// joined to us: started from an argument vector (never through a shell),
// every wait bounded by a timeout, so a child that hangs, dies or floods us
// can never hold the program. Its standard error goes to the null device.
// Closing kills and reaps it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lamina::platform {

// The program a name stands for: a name holding "/" is taken as it is, a
// bare name is looked up in PATH. Empty when it is no executable file.
std::filesystem::path findProgram(std::string_view name);

class ChildPipe {
 public:
  enum class Io {
    ok,       // bytes went (or came)
    timeout,  // nothing moved for the whole wait
    closed,   // the child has ended or closed its side
  };

  ChildPipe() = default;
  ~ChildPipe() { stop(); }
  ChildPipe(const ChildPipe&) = delete;
  ChildPipe& operator=(const ChildPipe&) = delete;

  // argv[0] is the program's path. False when it could not be started.
  bool start(std::span<const std::string> argv);
  bool running() const { return pid_ > 0; }

  // Hands every byte to the child. While its input is full, what it writes
  // is taken into `received` (up to `maxReceived` bytes in all), so a child
  // that answers as it reads cannot block both of us. timeout when no byte
  // could be sent for `timeoutMs`.
  Io send(std::string_view bytes, std::vector<std::uint8_t>& received, std::size_t maxReceived,
          int timeoutMs);
  // Appends what the child has written, waiting up to `timeoutMs` for the
  // first byte (0: no wait), until `received` holds `maxReceived` bytes.
  Io receive(std::vector<std::uint8_t>& received, std::size_t maxReceived, int timeoutMs);

  // Kills the child and waits for its end; nothing when none runs.
  void stop();

 private:
  // ok when bytes came, closed at the end of the child's output.
  Io drain(std::vector<std::uint8_t>& received, std::size_t maxReceived);

  int pid_ = -1;  // a process id
  int in_ = -1;   // the child's standard input, our end
  int out_ = -1;  // the child's standard output, our end
};

}  // namespace lamina::platform
