#pragma once
// The MBROLA program, when the user has it, as a synthesizer of input
// lines: run as our child, `PROGRAM -e DATABASE - -.raw`, it reads the lines
// on its standard input and writes 16-bit little-endian mono samples at
// 16000 Hz on its standard output; a line "#" makes it give out everything
// still held back. Nothing ever says that a text's samples are complete, so
// after the flush the samples are awaited until they have stopped coming:
// the durations written tell how many to expect. A child that dies, stops
// answering or writes what cannot be its samples is an error; the next
// reset starts a fresh one.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mbrola_tts/mbrola_backend.h"
#include "platform/child_pipe.h"

namespace lamina::mbrola_tts {

struct ProgramTimeouts {
  // The longest wait for samples that are still owed, and for room in the
  // child's input: past it the child counts as hung.
  int silentMs = 3000;
  // Once most of the owed samples are in, a pause this long ends the text.
  int quietMs = 300;
  // Once every owed sample is in, this short pause ends it.
  int settledMs = 30;
};

// lastError() codes.
enum ProgramError : int {
  kProgramNoError = 0,
  kProgramNotRunning = 1,  // no child (init failed, or it could not be restarted)
  kProgramEnded = 2,       // the child ended or closed its side
  kProgramHung = 3,        // no answer within silentMs
  kProgramGarbage = 4,     // far more samples than the text asks for, or half a sample
};

class MbrolaProgram final : public MbrolaBackend {
 public:
  explicit MbrolaProgram(std::filesystem::path program, ProgramTimeouts timeouts = {});

  // The database must be an existing path; the child is started at once,
  // and one that ends straight away (a database it refuses) is a failure.
  int init(std::string_view databasePath) override;
  void setNoError(int) override {}
  // After an error, or in the middle of a text, the child is replaced.
  void reset() override;
  int write(std::string_view line) override;
  int lastError() override { return error_; }
  void flush() override;
  int read(std::span<std::int16_t> samples) override;
  void close() override;

  // Children started since init (the first one included).
  int starts() const { return starts_; }

 private:
  bool startChild();
  void fail(int code);
  // Takes what the child has written, waiting up to waitMs.
  platform::ChildPipe::Io pull(int waitMs);
  // Counts the whole samples that came after bytes_ held `before` bytes.
  void countNew(std::size_t before);
  bool tooMuch() const;
  int waitAfterFlush() const;

  std::filesystem::path program_;
  ProgramTimeouts timeouts_;
  std::string database_;
  platform::ChildPipe child_;
  int error_ = kProgramNotRunning;
  int starts_ = 0;
  bool inText_ = false;   // lines sent since the text's samples were all taken
  bool flushed_ = false;  // the text's flush has been sent
  std::chrono::steady_clock::time_point deadline_;
  std::int64_t owedSamples_ = 0;      // the durations of the text's lines
  std::int64_t receivedSamples_ = 0;  // whole samples come for the text
  std::vector<std::uint8_t> bytes_;   // come and not yet read
  std::size_t readPos_ = 0;
};

}  // namespace lamina::mbrola_tts
