#include "mbrola_tts/program_backend.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "mbrola_tts/pho_synth.h"
#include "platform/log.h"

namespace lamina::mbrola_tts {

namespace {

using Io = platform::ChildPipe::Io;
using std::chrono::steady_clock;

constexpr int kSamplesPerMs = kMbrolaSampleRate / 1000;
// A child that refuses its database ends at once; one still there after
// this long is taken as started.
constexpr int kStartCheckMs = 100;
// Beyond twice what the lines ask for, and two seconds more, the output is
// no longer the text's sound.
constexpr std::int64_t kSlackSamples = 2 * kMbrolaSampleRate;
// What is taken from the child at one time, so a flood cannot fill memory.
constexpr std::size_t kPullBytes = 1 << 20;

}  // namespace

MbrolaProgram::MbrolaProgram(std::filesystem::path program, ProgramTimeouts timeouts)
    : program_(std::move(program)), timeouts_(timeouts) {}

bool MbrolaProgram::startChild() {
  const std::string args[] = {program_.string(), "-e", database_, "-", "-.raw"};
  ++starts_;
  return child_.start(args);
}

int MbrolaProgram::init(std::string_view databasePath) {
  close();
  std::error_code ec;
  if (databasePath.empty() ||
      !std::filesystem::exists(std::filesystem::path(std::string(databasePath)), ec)) {
    return -1;
  }
  database_ = std::string(databasePath);
  starts_ = 0;
  if (!startChild()) {
    close();
    return -1;
  }
  bytes_.clear();
  readPos_ = 0;
  if (child_.receive(bytes_, kPullBytes, kStartCheckMs) == Io::closed) {
    platform::logWarning("mbrola", "the program " + program_.string() + " refused " + database_);
    close();
    return -1;
  }
  bytes_.clear();
  error_ = kProgramNoError;
  return 0;
}

void MbrolaProgram::close() {
  child_.stop();
  database_.clear();
  error_ = kProgramNotRunning;
  inText_ = false;
  flushed_ = false;
  bytes_.clear();
  readPos_ = 0;
}

void MbrolaProgram::fail(int code) {
  if (error_ == kProgramNoError) error_ = code;
  // Stopped at once, so a flood or a hang costs nothing more while the
  // driver finishes the text.
  child_.stop();
}

void MbrolaProgram::reset() {
  if (database_.empty()) return;
  // Samples still owed by a living child would be heard with the next
  // text: only a fresh child is sure to hold nothing.
  if (error_ != kProgramNoError || inText_ || !child_.running()) {
    child_.stop();
    error_ = startChild() ? kProgramNoError : kProgramNotRunning;
  }
  inText_ = false;
  flushed_ = false;
  owedSamples_ = 0;
  receivedSamples_ = 0;
  bytes_.clear();
  readPos_ = 0;
}

Io MbrolaProgram::pull(int waitMs) {
  if (readPos_ == bytes_.size()) {
    bytes_.clear();
    readPos_ = 0;
  } else if (readPos_ >= kPullBytes) {
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(readPos_));
    readPos_ = 0;
  }
  const std::size_t before = bytes_.size();
  const Io io = child_.receive(bytes_, before + kPullBytes, waitMs);
  countNew(before);
  return io;
}

void MbrolaProgram::countNew(std::size_t before) {
  receivedSamples_ += static_cast<std::int64_t>((bytes_.size() - readPos_) / 2) -
                      static_cast<std::int64_t>((before - readPos_) / 2);
}

bool MbrolaProgram::tooMuch() const {
  return receivedSamples_ > 2 * owedSamples_ + kSlackSamples;
}

int MbrolaProgram::write(std::string_view line) {
  if (error_ != kProgramNoError) return -1;
  if (!child_.running()) {
    fail(kProgramNotRunning);
    return -1;
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  const PhoLine parsed = parsePhoLine(line);
  if (parsed.kind == PhoLine::Kind::phoneme) {
    owedSamples_ += std::llround(parsed.durationMs * kSamplesPerMs);
  }
  std::string sent(line);
  sent += '\n';
  inText_ = true;
  const std::size_t before = bytes_.size();
  const Io io = child_.send(sent, bytes_, readPos_ + kPullBytes, timeouts_.silentMs);
  countNew(before);
  if (io == Io::closed) fail(kProgramEnded);
  if (io == Io::timeout) fail(kProgramHung);
  if (error_ == kProgramNoError && tooMuch()) fail(kProgramGarbage);
  return error_ == kProgramNoError ? 0 : -1;
}

void MbrolaProgram::flush() {
  if (error_ != kProgramNoError || !child_.running()) return;
  inText_ = true;
  flushed_ = true;
  deadline_ = steady_clock::now() + std::chrono::milliseconds(timeouts_.silentMs) +
              std::chrono::milliseconds(owedSamples_ / kSamplesPerMs);
  const std::size_t before = bytes_.size();
  const Io io = child_.send("#\n", bytes_, readPos_ + kPullBytes, timeouts_.silentMs);
  countNew(before);
  if (io == Io::closed) fail(kProgramEnded);
  if (io == Io::timeout) fail(kProgramHung);
}

int MbrolaProgram::waitAfterFlush() const {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - steady_clock::now());
  int wait = timeouts_.silentMs;
  if (receivedSamples_ >= owedSamples_) {
    wait = timeouts_.settledMs;
  } else if (2 * receivedSamples_ >= owedSamples_) {
    wait = timeouts_.quietMs;
  }
  return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, wait));
}

int MbrolaProgram::read(std::span<std::int16_t> samples) {
  if (error_ != kProgramNoError || !child_.running()) return 0;
  auto ready = [&] { return (bytes_.size() - readPos_) / 2; };
  if (ready() < samples.size() && pull(0) == Io::closed) {
    fail(kProgramEnded);
    return 0;
  }
  while (flushed_ && ready() == 0) {
    const int wait = waitAfterFlush();
    const Io io = wait > 0 ? pull(wait) : Io::timeout;
    if (io == Io::closed) {
      fail(kProgramEnded);
      return 0;
    }
    if (io == Io::ok) continue;
    // Nothing more came: the text is over, if enough of it did.
    if (2 * receivedSamples_ < owedSamples_) {
      fail(kProgramHung);
      return 0;
    }
    if (bytes_.size() - readPos_ == 1) {
      fail(kProgramGarbage);
      return 0;
    }
    flushed_ = false;
    // A child that fell silent before the end may be hung: the next text
    // gets a fresh one rather than waiting for it.
    inText_ = 10 * receivedSamples_ < 9 * owedSamples_;
  }
  if (tooMuch()) {
    fail(kProgramGarbage);
    return 0;
  }
  const std::size_t n = std::min(samples.size(), ready());
  for (std::size_t i = 0; i < n; ++i) {
    const auto lo = bytes_[readPos_ + 2 * i];
    const auto hi = bytes_[readPos_ + 2 * i + 1];
    samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
  }
  readPos_ += 2 * n;
  return static_cast<int>(n);
}

}  // namespace lamina::mbrola_tts
