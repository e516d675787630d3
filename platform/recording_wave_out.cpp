#include "platform/recording_wave_out.h"

#include <algorithm>

namespace lamina::platform {

int RecordingWaveOut::open(const PcmFormat& format, MessagePump& notify) {
  ++openAttempts_;
  if (!openResults_.empty()) {
    const int scripted = openResults_.front();
    openResults_.pop_front();
    if (scripted != waveresult::Ok) return scripted;
  }
  if (open_) return waveresult::Allocated;
  if (const int check = checkPcmFormat(format); check != waveresult::Ok) return check;
  notify_ = &notify;
  format_ = format;
  open_ = true;
  opens_.push_back(format);
  return waveresult::Ok;
}

int RecordingWaveOut::prepare(WaveBlock& block) {
  if (!open_) return waveresult::InvalidHandle;
  if (prepareResult_ != waveresult::Ok) return prepareResult_;
  block.flags = waveflags::Prepared;
  return waveresult::Ok;
}

int RecordingWaveOut::write(WaveBlock& block) {
  if (!open_) return waveresult::InvalidHandle;
  if (writeResult_ != waveresult::Ok) return writeResult_;
  if ((block.flags & waveflags::Prepared) == 0) return waveresult::Error;
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
    queue_.push_back(&block);
  }
  return waveresult::Ok;
}

int RecordingWaveOut::unprepare(WaveBlock& block) {
  if (!open_) return waveresult::InvalidHandle;
  if (std::find(queue_.begin(), queue_.end(), &block) != queue_.end()) {
    return waveresult::StillPlaying;
  }
  if (unprepareResult_ != waveresult::Ok) return unprepareResult_;
  block.flags &= ~waveflags::Prepared;
  return waveresult::Ok;
}

int RecordingWaveOut::reset() {
  if (!open_) return waveresult::InvalidHandle;
  ++resets_;
  completeAll();
  return waveresult::Ok;
}

int RecordingWaveOut::close() {
  if (!open_) return waveresult::InvalidHandle;
  if (!queue_.empty()) return waveresult::StillPlaying;
  ++closes_;
  open_ = false;
  return waveresult::Ok;
}

void RecordingWaveOut::scriptOpenResults(std::vector<int> results) {
  openResults_.assign(results.begin(), results.end());
}

bool RecordingWaveOut::completeNext() {
  if (queue_.empty()) return false;
  WaveBlock* block = queue_.front();
  queue_.pop_front();
  block->flags = (block->flags & ~waveflags::InQueue) | waveflags::Done;
  post(block);
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
