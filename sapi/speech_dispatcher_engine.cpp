#include "sapi/speech_dispatcher_engine.h"

#include <libspeechd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>

#include "platform/cp1252.h"
#include "platform/messages.h"
#include "platform/socket_probe.h"
#include "sapi/espeak_engine.h"

namespace lamina::sapi {

namespace {

// While texts are out, the connection is checked this often, so a daemon
// that dies in the middle of speech cannot leave the program waiting for ever.
constexpr auto kProbeEvery = std::chrono::milliseconds(500);
// The speaking test waits this long for the last end notice before it answers
// "still speaking", so a loop polling it does not spin.
constexpr auto kBusyWait = std::chrono::milliseconds(20);
// Texts are sent in pieces of at most this many bytes.
constexpr std::size_t kPiece = 32000;
constexpr int kListAttempts = 20;
constexpr unsigned kListRetryMs = 150;

std::string toUtf8Text(std::string_view text) {
  std::string clean(text);
  for (char& c : clean) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 32 || b == 127) c = ' ';
  }
  return cp1252::toUtf8(clean);
}

bool isPortuguese(std::string_view language) {
  if (language.size() < 2) return false;
  const auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
  return lower(language[0]) == 'p' && lower(language[1]) == 't' &&
         (language.size() == 2 || language[2] == '-' || language[2] == '_');
}

bool isBrazilian(std::string_view language) {
  if (!isPortuguese(language) || language.size() != 5) return false;
  return (language[3] == 'B' || language[3] == 'b') && (language[4] == 'R' || language[4] == 'r');
}

}  // namespace

int chooseVoice(const std::vector<VoiceInfo>& voices, int number) {
  const int count = static_cast<int>(voices.size());
  if (count == 0) return -1;
  if (number >= 1 && number <= count) return number - 1;
  for (int i = 0; i < count; ++i) {
    if (voices[i].name.find("Raquel") != std::string::npos) return i;
  }
  for (int i = 0; i < count; ++i) {
    if (isBrazilian(voices[i].language)) return i;
  }
  for (int i = 0; i < count; ++i) {
    if (isPortuguese(voices[i].language)) return i;
  }
  return 0;
}

int dispatcherRate(int rate) {
  return std::clamp(rate, -10, 10) * 10;
}

// The connection and the texts it has out. The daemon's notices arrive on
// libspeechd's own thread and carry no pointer of ours, so the one live
// connection is found through `current`.
struct SpeechDispatcherEngine::Connection {
  SPDConnection* spd = nullptr;
  std::mutex mutex;
  std::condition_variable finished;  // `out` has become empty
  std::set<std::size_t> out;         // messages sent and not ended or cancelled
  std::set<std::size_t> early;       // ended before spd_say returned their number
  std::size_t lastSent = 0;
  bool dead = false;
  int begun = 0;
  int ended = 0;
  int cancelled = 0;
  std::chrono::steady_clock::time_point lastProbe;

  static inline std::mutex currentMutex;
  static inline Connection* current = nullptr;

  static void onFinished(std::size_t id, std::size_t, SPDNotificationType type) {
    std::lock_guard guard(currentMutex);
    if (current == nullptr) return;
    std::lock_guard lock(current->mutex);
    ++(type == SPD_EVENT_CANCEL ? current->cancelled : current->ended);
    if (current->out.erase(id) == 0 && id > current->lastSent) current->early.insert(id);
    if (current->out.empty()) current->finished.notify_all();
  }
  static void onBegin(std::size_t, std::size_t, SPDNotificationType) {
    std::lock_guard guard(currentMutex);
    if (current == nullptr) return;
    std::lock_guard lock(current->mutex);
    ++current->begun;
  }

  // libspeechd does not survive a request on a connection whose daemon has
  // gone, so every request asks first; a lost daemon stays lost.
  bool alive() {
    if (dead) return false;
    if (!platform::socketPeerClosed(spd->socket)) return true;
    std::lock_guard lock(mutex);
    dead = true;
    out.clear();
    early.clear();
    return false;
  }

  ~Connection() {
    {
      std::lock_guard guard(currentMutex);
      if (current == this) current = nullptr;
    }
    // Closing says goodbye to the daemon: only when it is still there.
    if (spd != nullptr) spd_close(spd);
  }
};

SpeechDispatcherEngine::SpeechDispatcherEngine(platform::MessagePump& pump, std::string address)
    : pump_(pump), address_(std::move(address)) {}

SpeechDispatcherEngine::~SpeechDispatcherEngine() {
  stop();
}

bool SpeechDispatcherEngine::start(int voice, int speed, int, std::string_view) {
  stop();
  // A daemon that dies leaves a broken socket; writing to it must fail, not
  // end the program.
  std::signal(SIGPIPE, SIG_IGN);
  SPDConnectionAddress own{};
  const SPDConnectionAddress* address = nullptr;
  std::string socketPath;
  std::string host;
  if (address_.starts_with("unix_socket:")) {
    socketPath = address_.substr(12);
    // No socket, no daemon: libspeechd is not even asked.
    std::error_code ec;
    if (!std::filesystem::exists(socketPath, ec)) return false;
    own.method = SPD_METHOD_UNIX_SOCKET;
    own.unix_socket_name = socketPath.data();
    address = &own;
  } else if (address_.starts_with("inet_socket:")) {
    const std::string rest = address_.substr(12);
    const auto colon = rest.rfind(':');
    host = rest.substr(0, colon);
    own.method = SPD_METHOD_INET_SOCKET;
    own.inet_socket_host = host.data();
    own.inet_socket_port = colon == std::string::npos ? 6560 : std::atoi(rest.c_str() + colon + 1);
    address = &own;
  }
  char* error = nullptr;
  // Only the session's own daemon is started on demand.
  SPDConnection* spd =
      spd_open2("lamina", "main", nullptr, SPD_MODE_THREADED, address, address == nullptr, &error);
  std::free(error);
  if (spd == nullptr) return false;
  auto connection = std::make_unique<Connection>();
  connection->spd = spd;

  // A daemon started a moment ago may still be loading its output modules:
  // its voice list is asked for again for a short while.
  voices_.clear();
  for (int attempt = 0; attempt < kListAttempts && voices_.empty(); ++attempt) {
    if (attempt > 0) pump_.sleepPumping(kListRetryMs);
    if (SPDVoice** list = spd_list_synthesis_voices(spd)) {
      for (SPDVoice** v = list; *v != nullptr; ++v) {
        voices_.push_back({(*v)->name ? (*v)->name : "", (*v)->language ? (*v)->language : ""});
      }
      free_spd_voices(list);
    }
  }
  const int index = chooseVoice(voices_, voice);
  if (index < 0 || spd_set_synthesis_voice(spd, voices_[index].name.c_str()) != 0) {
    voices_.clear();
    return false;
  }
  voiceName_ = voices_[index].name;
  rate_ = dispatcherRate(speed);
  spd_set_voice_rate(spd, rate_);  // a refused rate is ignored
  spd_set_data_mode(spd, SPD_DATA_TEXT);
  spd->callback_begin = &Connection::onBegin;
  spd->callback_end = &Connection::onFinished;
  spd->callback_cancel = &Connection::onFinished;
  spd_set_notification_on(spd, SPD_BEGIN);
  spd_set_notification_on(spd, SPD_END);
  spd_set_notification_on(spd, SPD_CANCEL);
  {
    std::lock_guard guard(Connection::currentMutex);
    Connection::current = connection.get();
  }
  connection_ = std::move(connection);
  return true;
}

void SpeechDispatcherEngine::stop() {
  if (!connection_) return;
  // Speech still going on is waited for (pumping), as long as the daemon
  // answers.
  while (busy(false)) pump_.sleepPumping(50);
  connection_.reset();
}

void SpeechDispatcherEngine::speak(std::string_view text) {
  if (!connection_ || !connection_->alive()) return;
  // An empty text is spoken as one blank, so the speaking test stays in step.
  std::vector<std::string> pieces = splitText(toUtf8Text(text), kPiece);
  if (pieces.empty()) pieces.emplace_back(" ");
  for (const std::string& piece : pieces) {
    if (!connection_->alive()) return;
    const int id = spd_say(connection_->spd, SPD_MESSAGE, piece.c_str());
    if (id < 0) continue;
    std::lock_guard lock(connection_->mutex);
    const auto n = static_cast<std::size_t>(id);
    connection_->lastSent = std::max(connection_->lastSent, n);
    if (connection_->early.erase(n) == 0) connection_->out.insert(n);
  }
}

bool SpeechDispatcherEngine::busy(bool) {
  if (!connection_ || connection_->dead) return false;
  {
    std::unique_lock lock(connection_->mutex);
    if (connection_->finished.wait_for(lock, kBusyWait, [&] { return connection_->out.empty(); }))
      return false;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - connection_->lastProbe >= kProbeEvery) {
    connection_->lastProbe = now;
    if (!connection_->alive()) return false;
  }
  pump_.postMessage(platform::kMsgEngineBusy, 0, 0);
  return true;
}

void SpeechDispatcherEngine::cut() {
  if (!connection_ || !connection_->alive()) return;
  spd_cancel(connection_->spd);
  std::lock_guard lock(connection_->mutex);
  connection_->out.clear();
  connection_->early.clear();
}

}  // namespace lamina::sapi

namespace lamina::sapi {

int SpeechDispatcherEngine::notices(bool cancelled) const {
  if (!connection_) return 0;
  std::lock_guard lock(connection_->mutex);
  return cancelled ? connection_->cancelled : connection_->ended;
}

int SpeechDispatcherEngine::begun() const {
  if (!connection_) return 0;
  std::lock_guard lock(connection_->mutex);
  return connection_->begun;
}

bool SpeechDispatcherEngine::connectionLost() const {
  return connection_ && connection_->dead;
}

}  // namespace lamina::sapi
