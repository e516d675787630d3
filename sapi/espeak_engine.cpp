#include "sapi/espeak_engine.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "platform/cp1252.h"
#include "platform/messages.h"
#include "platform/riff.h"

namespace lamina::sapi {

namespace {

constexpr int kRateMin = 80;
constexpr int kRateMax = 450;
constexpr int kPitchLowHz = 50;
constexpr int kPitchHighHz = 300;
// Each callback of the synthesizer carries this much sound: short enough for
// a quick first sample and a quick cut.
constexpr int kCallbackMs = 30;
// Below this backlog the player only gets samples when it has none queued,
// so it is not fed with a stream of tiny blocks.
constexpr std::size_t kFeedBytes = 8192;
// The synthesizer waits while this much sound is ready and not yet played,
// so a long text does not fill the memory ahead of the loudspeaker.
constexpr std::size_t kMaxBacklog = 4u * 1024 * 1024;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A sentence ends at . ! ? or a line end followed by a blank.
bool sentenceEndAt(std::string_view text, std::size_t i) {
  const char c = text[i];
  if (c == '\n') return true;
  if (c != '.' && c != '!' && c != '?') return false;
  return i + 1 >= text.size() || isBlank(text[i + 1]);
}

// cp1252 to UTF-8 for the synthesizer; control bytes (a zero byte would end
// the text early) become blanks.
std::string toSynthText(std::string_view text) {
  std::string clean(text);
  for (char& c : clean) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 32 || b == 127) c = ' ';
  }
  return cp1252::toUtf8(clean);
}

// eSpeak NG is one per process and does not survive being ended and started
// again: it is started once, on the first engine start, and kept to the end.
// Every use of it holds this lock.
std::mutex& libraryMutex() {
  static std::mutex m;
  return m;
}

// The sample rate, or 0 when eSpeak NG cannot be started.
int libraryRate() {
  static const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kCallbackMs, nullptr, 0);
  return rate > 0 ? rate : 0;
}

}  // namespace

std::string prepareText(std::string_view text) {
  std::size_t from = 0;
  std::size_t to = text.size();
  while (from < to && isBlank(text[from])) ++from;
  while (to > from && isBlank(text[to - 1])) --to;
  std::string out(text.substr(from, to - from));
  if (out.size() == 1 && out[0] >= '0' && out[0] <= '9') out += '.';
  return out;
}

std::vector<std::string> splitText(std::string_view text, std::size_t limit) {
  std::vector<std::string> pieces;
  if (limit == 0) limit = 1;
  while (!text.empty()) {
    std::size_t cut = text.size();
    if (cut > limit) {
      cut = 0;
      for (std::size_t i = limit; i-- > 0;) {
        if (sentenceEndAt(text, i)) {
          cut = i + 1;
          break;
        }
      }
      if (cut == 0) {
        for (std::size_t i = limit; i-- > 1;) {
          if (isBlank(text[i])) {
            cut = i;
            break;
          }
        }
      }
      if (cut == 0) cut = limit;
    }
    pieces.emplace_back(text.substr(0, cut));
    text.remove_prefix(cut);
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  }
  return pieces;
}

int espeakRate(int speed) {
  if (speed == 0) return 0;
  return std::clamp(speed, kRateMin, kRateMax);
}

int espeakPitch(int pitch) {
  if (pitch == 0) return 0;
  const int hz = static_cast<std::uint16_t>(pitch);
  const int mapped = (hz - kPitchLowHz) * 100 / (kPitchHighHz - kPitchLowHz);
  // 0 would mean "untouched": the lowest mapped pitch is 1.
  return std::clamp(mapped, 1, 100);
}

// The thread that owns eSpeak NG, and what it shares with the program's
// thread (everything below the mutex is guarded by it).
struct EspeakEngine::Worker {
  struct Job {
    std::string text;  // UTF-8
    std::uint64_t generation;
  };

  platform::MessagePump& pump;
  std::thread thread;

  // Set before the thread starts, read only by it.
  int voice = 1;
  int rate = 0;
  int pitch = 0;
  std::string outputFile;

  // Set by the thread before it reports the start.
  int sampleRate = 22050;
  std::vector<std::string> voiceNames;
  std::string voiceName;

  std::mutex mutex;
  std::condition_variable wakeWorker;
  std::condition_variable roomForSound;
  std::deque<Job> jobs;
  std::vector<std::uint8_t> sound;  // synthesized, not yet handed on
  std::uint64_t generation = 0;     // raised by every cut: older work is dropped
  int pending = 0;
  bool quit = false;
  bool synthesizing = false;

  // The output file, written by the thread only.
  std::ofstream file;
  std::uint64_t fileBytes = 0;
  std::uint64_t jobGeneration = 0;

  explicit Worker(platform::MessagePump& p) : pump(p) {}

  static int onSound(short* wav, int count, espeak_EVENT* events) {
    auto* self = events != nullptr ? static_cast<Worker*>(events->user_data) : nullptr;
    if (self == nullptr) return 0;
    return self->take(wav, count) ? 0 : 1;
  }

  // False to abort the synthesis (cut or stop).
  bool take(const short* wav, int count) {
    const std::size_t bytes = wav != nullptr && count > 0 ? static_cast<std::size_t>(count) * 2 : 0;
    const auto* data = reinterpret_cast<const std::uint8_t*>(wav);
    if (file.is_open()) {
      std::lock_guard lock(mutex);
      if (quit || generation != jobGeneration) return false;
      if (bytes > 0) {
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(bytes));
        fileBytes += bytes;
      }
      return true;
    }
    std::unique_lock lock(mutex);
    roomForSound.wait(
        lock, [&] { return quit || generation != jobGeneration || sound.size() < kMaxBacklog; });
    if (quit || generation != jobGeneration) return false;
    if (bytes == 0) return true;
    const bool wasShort = sound.size() < kFeedBytes;
    sound.insert(sound.end(), data, data + bytes);
    lock.unlock();
    // Wakes a loop waiting for messages, so the player gets the sound.
    if (wasShort) pump.postMessage(platform::kMsgEngineBusy, 0, 0);
    return true;
  }

  bool initialise() {
    std::lock_guard library(libraryMutex());
    sampleRate = libraryRate();
    if (sampleRate <= 0) return false;
    espeak_SetSynthCallback(&Worker::onSound);
    espeak_VOICE spec{};
    spec.languages = "pt";
    std::vector<std::string> brazilian;
    std::vector<std::string> others;
    const espeak_VOICE** list = espeak_ListVoices(&spec);
    for (; list != nullptr && *list != nullptr; ++list) {
      const espeak_VOICE* v = *list;
      // MBROLA voices need the MBROLA program, which is an engine of its own.
      if (v->identifier == nullptr || std::strncmp(v->identifier, "mb/", 3) == 0) continue;
      // languages: a priority byte, a name, a zero, ... ended by an empty name.
      bool pt = false;
      bool br = false;
      for (const char* l = v->languages; l != nullptr && *l != 0;) {
        const std::string_view lang(l + 1);
        if (lang == "pt" || lang.starts_with("pt-")) pt = true;
        if (lang == "pt-br") br = true;
        l += lang.size() + 2;
      }
      if (!pt) continue;
      (br ? brazilian : others).emplace_back(v->name);
    }
    voiceNames = brazilian;
    voiceNames.insert(voiceNames.end(), others.begin(), others.end());
    const std::size_t index =
        voiceNames.empty() ? 0 : std::min<std::size_t>(std::max(voice, 1), voiceNames.size()) - 1;
    bool set = !voiceNames.empty() && espeak_SetVoiceByName(voiceNames[index].c_str()) == EE_OK;
    if (set) {
      voiceName = voiceNames[index];
    } else if (espeak_SetVoiceByName("pt-br") == EE_OK) {
      voiceName = "pt-br";
      set = true;
    }
    if (!set) return false;
    // 0 keeps eSpeak NG's own value, whatever an earlier start set.
    espeak_SetParameter(espeakRATE, rate != 0 ? rate : espeak_GetParameter(espeakRATE, 0), 0);
    espeak_SetParameter(espeakPITCH, pitch != 0 ? pitch : espeak_GetParameter(espeakPITCH, 0), 0);
    if (!outputFile.empty()) {
      file.open(outputFile, std::ios::binary | std::ios::trunc);
      std::vector<char> header(riff::kWaveHeaderSize, 0);
      file.write(header.data(), static_cast<std::streamsize>(header.size()));
      if (!file) return false;
    }
    return true;
  }

  void run(std::promise<bool> started) {
    const bool ok = initialise();
    started.set_value(ok);
    if (!ok) return;
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex);
        wakeWorker.wait(lock, [&] { return quit || !jobs.empty(); });
        if (quit) break;
        job = std::move(jobs.front());
        jobs.pop_front();
        if (job.generation != generation) continue;
        jobGeneration = job.generation;
        ++pending;
        synthesizing = true;
      }
      {
        std::lock_guard library(libraryMutex());
        espeak_SetSynthCallback(&Worker::onSound);
        espeak_Synth(job.text.c_str(), job.text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                     nullptr, this);
      }
      {
        std::lock_guard lock(mutex);
        synthesizing = false;
        if (job.generation == generation && pending > 0) --pending;
      }
      pump.postMessage(platform::kMsgEngineBusy, 0, 0);
    }
    if (file.is_open()) finishFile();
  }

  void finishFile() {
    std::vector<std::uint8_t> header(riff::kWaveHeaderSize);
    const auto length = static_cast<std::uint32_t>(std::min<std::uint64_t>(fileBytes, 0xFFFFFFD3u));
    riff::writeWaveHeader(header, length, static_cast<std::uint32_t>(sampleRate), 16, 1);
    file.seekp(0);
    file.write(reinterpret_cast<const char*>(header.data()),
               static_cast<std::streamsize>(header.size()));
    file.close();
  }

  // Drops everything queued, synthesizing or ready; the counters start again.
  void cutAll() {
    {
      std::lock_guard lock(mutex);
      ++generation;
      jobs.clear();
      sound.clear();
      pending = 0;
    }
    roomForSound.notify_all();
  }
};

EspeakEngine::EspeakEngine(wave::WavePlayer& player, platform::MessagePump& pump)
    : player_(player), pump_(pump) {}

EspeakEngine::~EspeakEngine() {
  stop();
}

bool EspeakEngine::start(int voice, int speed, int pitch, std::string_view outputFile) {
  stop();
  auto worker = std::make_unique<Worker>(pump_);
  worker->voice = voice;
  worker->rate = espeakRate(speed);
  worker->pitch = espeakPitch(pitch);
  worker->outputFile = std::string(outputFile);
  std::promise<bool> started;
  std::future<bool> result = started.get_future();
  Worker* w = worker.get();
  worker->thread = std::thread([w, p = std::move(started)]() mutable { w->run(std::move(p)); });
  if (!result.get()) {
    worker->thread.join();
    return false;
  }
  worker_ = std::move(worker);
  piecesSent_ = 0;
  audioActive_ = false;
  return true;
}

void EspeakEngine::stop() {
  if (!worker_) return;
  {
    std::lock_guard lock(worker_->mutex);
    worker_->quit = true;
  }
  worker_->wakeWorker.notify_all();
  worker_->roomForSound.notify_all();
  worker_->thread.join();
  if (audioActive_) player_.waveStop();
  audioActive_ = false;
  worker_.reset();
}

void EspeakEngine::speak(std::string_view text) {
  const std::string said = prepareText(text);
  if (said.empty() || !worker_) return;
  if (player_.waveStopOnKey() && pump_.keyPressed()) return;
  {
    std::lock_guard lock(worker_->mutex);
    for (const std::string& piece : splitText(said)) {
      worker_->jobs.push_back({toSynthText(piece), worker_->generation});
      ++piecesSent_;
    }
  }
  worker_->wakeWorker.notify_one();
  feed();
}

void EspeakEngine::feed() {
  if (!worker_ || !worker_->outputFile.empty()) return;
  if (player_.waveStopOnKey() && pump_.keyPressed()) {
    cut();
    return;
  }
  std::vector<std::uint8_t> block;
  for (;;) {
    if (player_.queuedBlocks() >= static_cast<int>(wave::kSlotCount)) break;
    {
      std::lock_guard lock(worker_->mutex);
      const std::size_t ready = worker_->sound.size();
      const bool flowing = worker_->synthesizing || !worker_->jobs.empty();
      if (ready == 0 || (ready < kFeedBytes && flowing && player_.queuedBlocks() > 0)) break;
      const std::size_t n = std::min(ready, wave::kBlockSize) & ~std::size_t{1};
      if (n == 0) break;
      block.assign(worker_->sound.begin(), worker_->sound.begin() + static_cast<std::ptrdiff_t>(n));
      worker_->sound.erase(worker_->sound.begin(),
                           worker_->sound.begin() + static_cast<std::ptrdiff_t>(n));
    }
    worker_->roomForSound.notify_all();
    audioActive_ = true;
    player_.playSamples(block, static_cast<std::uint32_t>(worker_->sampleRate), 16, 1);
  }
  if (audioActive_ && !player_.wavePlaying()) {
    std::lock_guard lock(worker_->mutex);
    if (worker_->sound.empty()) audioActive_ = false;
  }
}

bool EspeakEngine::busy(bool strict) {
  if (!worker_) return false;
  feed();
  if (!worker_) return false;
  std::lock_guard lock(worker_->mutex);
  const bool texts = worker_->pending > 0 || !worker_->jobs.empty();
  if (strict) return texts;
  return texts || audioActive_ || !worker_->sound.empty();
}

void EspeakEngine::cut() {
  if (!worker_) return;
  worker_->cutAll();
  if (audioActive_) player_.waveStop();
  audioActive_ = false;
}

std::string EspeakEngine::voiceName() const {
  return worker_ ? worker_->voiceName : std::string();
}

std::vector<std::string> EspeakEngine::voices() const {
  return worker_ ? worker_->voiceNames : std::vector<std::string>();
}

std::size_t EspeakEngine::piecesSent() const {
  return piecesSent_;
}

int EspeakEngine::pendingBuffers() const {
  if (!worker_) return 0;
  std::lock_guard lock(worker_->mutex);
  return worker_->pending;
}

bool EspeakEngine::audioActive() const {
  return audioActive_;
}

}  // namespace lamina::sapi
