#include "platform/recording_wave_out.h"

#include <algorithm>

namespace lamina::platform {

WaveResult RecordingWaveOut::open(const PcmFormat& format, MessagePump& notify) {
  ++openAttempts_;
  if (!openResults_.empty()) {
    const WaveResult scripted = openResults_.front();
    openResults_.pop_front();
    if (scripted != WaveResult::ok) return scripted;
  }
  if (open_) return WaveResult::allocated;
  if (const WaveResult check = checkPcmFormat(format); check != WaveResult::ok) return check;
  notify_ = &notify;
  format_ = format;
  open_ = true;
  opens_.push_back(format);
  return WaveResult::ok;
}

bool RecordingWaveOut::holds(const WaveBlock& block) const {
  return std::any_of(queue_.begin(), queue_.end(),
                     [&](const Queued& q) { return q.block == &block; });
}

WaveResult RecordingWaveOut::prepare(WaveBlock& block) {
  if (!open_) return WaveResult::invalidHandle;
  if (holds(block)) {
    ++reusedWhileQueued_;
    return WaveResult::stillPlaying;
  }
  if (prepareResult_ != WaveResult::ok) return prepareResult_;
  block.flags = waveflags::Prepared;
  return WaveResult::ok;
}

WaveResult RecordingWaveOut::write(WaveBlock& block) {
  if (!open_) return WaveResult::invalidHandle;
  if (writeResult_ != WaveResult::ok) return writeResult_;
  if ((block.flags & waveflags::Prepared) == 0) return WaveResult::error;
  if (holds(block)) {
    ++reusedWhileQueued_;
    return WaveResult::stillPlaying;
  }
  block.flags = (block.flags | waveflags::InQueue) & ~waveflags::Done;
  Submission s;
  s.format = format_;
  s.bytes.assign(block.data, block.data + block.length);
  s.user = block.user;
  submissions_.push_back(std::move(s));
  if (autoComplete_) {
    block.flags = (block.flags & ~waveflags::InQueue) | waveflags::Done;
    post(&block);
  } else {
    queue_.push_back({&block, submissions_.back().bytes});
  }
  return WaveResult::ok;
}

WaveResult RecordingWaveOut::unprepare(WaveBlock& block) {
  if (!open_) return WaveResult::invalidHandle;
  if (holds(block)) return WaveResult::stillPlaying;
  if (unprepareResult_ != WaveResult::ok) return unprepareResult_;
  block.flags &= ~waveflags::Prepared;
  return WaveResult::ok;
}

WaveResult RecordingWaveOut::reset() {
  if (!open_) return WaveResult::invalidHandle;
  ++resets_;
  completeAll();
  return WaveResult::ok;
}

WaveResult RecordingWaveOut::close() {
  if (!open_) return WaveResult::invalidHandle;
  if (!queue_.empty()) return WaveResult::stillPlaying;
  ++closes_;
  open_ = false;
  return WaveResult::ok;
}

void RecordingWaveOut::scriptOpenResults(std::vector<WaveResult> results) {
  openResults_.assign(results.begin(), results.end());
}

bool RecordingWaveOut::completeNext() {
  if (queue_.empty()) return false;
  WaveBlock* block = queue_.front().block;
  // What the device plays is what the block holds at the end, not at the
  // write.
  if (block->length != queue_.front().bytes.size() ||
      !std::equal(block->data, block->data + block->length, queue_.front().bytes.begin())) {
    ++reusedWhileQueued_;
  }
  queue_.pop_front();
  block->flags = (block->flags & ~waveflags::InQueue) | waveflags::Done;
  post(block);
  return true;
}

bool RecordingWaveOut::noticeEarly() {
  if (queue_.empty()) return false;
  post(queue_.front().block);
  return true;
}

std::size_t RecordingWaveOut::completeAll() {
  std::size_t n = 0;
  while (completeNext()) ++n;
  return n;
}

void RecordingWaveOut::post(WaveBlock* block) {
  if (notify_ == nullptr) return;
  notify_->postMessage(kMsgWaveDone, reinterpret_cast<std::uintptr_t>(this),
                       reinterpret_cast<std::uintptr_t>(block));
}

}  // namespace lamina::platform
