#pragma once
// Starting another program for the user: by an argument vector only (never
// through a shell, so no text of the screen is ever read as a command),
// detached in a session of its own, with its standard streams on the null
// device, and not waited for. No child is left to reap.
#include <filesystem>
#include <span>
#include <string>

namespace lamina::platform {

class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;
  // argv[0] is the program: a path, or a name looked up in PATH. The
  // arguments are UTF-8. False when the program could not be handed to the
  // system (a program that then fails to run is not reported).
  virtual bool startDetached(std::span<const std::string> argv) = 0;
  // A regular file that this user may execute.
  virtual bool isExecutableFile(const std::filesystem::path& file) const = 0;
};

class PosixProgramStarter final : public ProgramStarter {
 public:
  bool startDetached(std::span<const std::string> argv) override;
  bool isExecutableFile(const std::filesystem::path& file) const override;
};

}  // namespace lamina::platform
