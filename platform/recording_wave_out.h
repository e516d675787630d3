#pragma once
// A wave-output device for tests and for recording to a file: it keeps every
// format opened and every byte written, and reports blocks done only when
// told (or at once, in auto-complete mode), so playback is exact and instant.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/wave_out.h"

namespace lamina::platform {

class RecordingWaveOut final : public WaveOutDevice {
 public:
  struct Submission {
    PcmFormat format;
    std::vector<std::uint8_t> bytes;
    std::uintptr_t user = 0;
  };

  WaveResult open(const PcmFormat& format, MessagePump& notify) override;
  WaveResult prepare(WaveBlock& block) override;
  WaveResult write(WaveBlock& block) override;
  WaveResult unprepare(WaveBlock& block) override;
  WaveResult reset() override;
  WaveResult close() override;

  // Test controls.
  // Each write is reported done at once (posted, so it runs when pumped).
  void setAutoComplete(bool on) { autoComplete_ = on; }
  // Results of the next open attempts, in order; after them opens succeed.
  void scriptOpenResults(std::vector<WaveResult> results);
  void setPrepareResult(WaveResult result) { prepareResult_ = result; }
  void setWriteResult(WaveResult result) { writeResult_ = result; }
  // Forced result of unprepare for blocks that are done (ok = normal).
  void setUnprepareResult(WaveResult result) { unprepareResult_ = result; }
  // Reports the oldest queued block done; false when none is queued.
  bool completeNext();
  // Posts a done notice for the oldest queued block but keeps playing it,
  // as a device that reports too early; false when none is queued.
  bool noticeEarly();
  std::size_t completeAll();

  bool isOpen() const { return open_; }
  std::size_t queuedBlocks() const { return queue_.size(); }
  int openAttempts() const { return openAttempts_; }
  int resets() const { return resets_; }
  int closes() const { return closes_; }
  // Formats of the successful opens, in order.
  const std::vector<PcmFormat>& opens() const { return opens_; }
  const std::vector<Submission>& submissions() const { return submissions_; }
  // Blocks whose bytes changed, or that were written again, while the
  // device still held them: the owner reused memory it had lent.
  int reusedWhileQueued() const { return reusedWhileQueued_; }
  void clearSubmissions() { submissions_.clear(); }

 private:
  void post(WaveBlock* block);

  MessagePump* notify_ = nullptr;
  PcmFormat format_;
  bool open_ = false;
  bool autoComplete_ = false;
  std::deque<WaveResult> openResults_;
  WaveResult prepareResult_ = WaveResult::ok;
  WaveResult writeResult_ = WaveResult::ok;
  WaveResult unprepareResult_ = WaveResult::ok;
  struct Queued {
    WaveBlock* block;
    std::vector<std::uint8_t> bytes;  // as written
  };
  bool holds(const WaveBlock& block) const;

  std::deque<Queued> queue_;
  int reusedWhileQueued_ = 0;
  int openAttempts_ = 0;
  int resets_ = 0;
  int closes_ = 0;
  std::vector<PcmFormat> opens_;
  std::vector<Submission> submissions_;
};

}  // namespace lamina::platform
