#include "console/console.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/log.h"
#include "platform/riff.h"

namespace lamina::console {

using platform::Message;
using platform::MessageType;

namespace {

constexpr std::array<platform::Rgb, 16> kColours = {{
    {0, 0, 0},
    {0, 0, 255},
    {0, 255, 0},
    {0, 255, 255},
    {255, 0, 0},
    {142, 0, 142},
    {68, 34, 34},
    {192, 192, 192},
    {128, 128, 128},
    {128, 128, 255},
    {128, 255, 128},
    {128, 255, 255},
    {255, 128, 128},
    {255, 128, 255},
    {255, 255, 0},
    {255, 255, 255},
}};

// The sizes a settings file may ask for are kept within what a screen can
// show, so that a mistyped number cannot make a window of no or huge size.
int clampSize(int value, int low, int high, std::string_view key) {
  const int kept = std::max(low, std::min(value, high));
  if (kept != value) {
    platform::logWarning("console", "[VIDEO] " + std::string(key) + "=" + std::to_string(value) +
                                        " is out of " + std::to_string(low) + ".." +
                                        std::to_string(high) + "; " + std::to_string(kept) +
                                        " is used");
  }
  return kept;
}

}  // namespace

Console::Console(platform::WindowBackend& backend, platform::ToneSound& tones,
                 ConsoleOptions options)
    : backend_(&backend),
      tones_(tones),
      options_(std::move(options)),
      screen_(7),
      keyboard_([this](int hertz) {
        startTone(hertz);
        sleepPumping(200);
        stopTone();
      }) {
  if (!options_.terminate) options_.terminate = [](int code) { std::exit(code); };
}

Console::~Console() {
  if (toneOn_) tones_.stopLoop();
}

platform::Rgb Console::colour(int index) const {
  const std::uint8_t mapped = settings_.colourMap[static_cast<std::size_t>(index & 15)];
  return mapped < kColours.size() ? kColours[mapped] : platform::Rgb{0, 0, 0};
}

void Console::ensureConsole() {
  if (created_ || everCreated_) return;
  settings_ = consoleSettings(options_.iniFile);

  platform::FontRequest font;
  if (settings_.hasFont) {
    font.face = settings_.fontFace;
    font.width = clampSize(settings_.fontWidth, 4, 128, "LARGURALETRA");
    font.height = clampSize(settings_.fontHeight, 6, 256, "ALTURALETRA");
    font.weight = settings_.fontWeight;
  } else {
    font.face.clear();
    font.width = 8;
    font.height = 16;
    font.weight = 400;
  }
  platform::WindowSpec spec;
  spec.caption = options_.caption.substr(0, 79);
  spec.maximised = settings_.maximised;
  platform::FrameMetrics frame;
  for (;;) {
    metrics_ = backend_->openFont(font);
    cellWidth_ = std::max(1, metrics_.averageWidth);
    cellHeight_ = std::max(1, metrics_.height + metrics_.externalLeading);
    frame = backend_->frameMetrics();
    windowWidth_ = 2 * frame.frameWidth + kColumns * metrics_.maximumWidth;
    windowHeight_ = 2 * frame.frameHeight + cellHeight_ * kRows + frame.captionHeight;
    spec.width = windowWidth_;
    spec.height = windowHeight_;
    if (backend_->createWindow(spec)) break;
    // Without a window readKey would wait for keys nobody can type: the
    // console goes on without one when it can, and ends otherwise.
    platform::WindowBackend* fallback =
        options_.fallbackWindow ? options_.fallbackWindow() : nullptr;
    if (fallback == nullptr || fallback == backend_) {
      platform::logError("console", "the window cannot be created; the program ends");
      options_.terminate(kNoWindowExitCode);
      return;
    }
    platform::logError("console", "the window cannot be created; going on without a window");
    backend_ = fallback;
  }

  screen_ = Screen(settings_.initialAttribute);
  screen_.setColoursChangeable(settings_.coloursChangeable);
  screen_.attach(this);
  created_ = true;
  everCreated_ = true;

  backend_->setSizeLimits(2 * frame.frameWidth + 16 * cellWidth_,
                          2 * frame.frameHeight + 4 * cellHeight_ + frame.captionHeight,
                          std::min(kColumns * cellWidth_, frame.screenWidth) + 2 * frame.frameWidth,
                          std::min(frame.captionHeight + kRows * cellHeight_, frame.screenHeight) +
                              2 * frame.frameHeight);
  repaintAll();
  setBrailleMode(settings_.brailleMode);
}

void Console::repaintRow(int row, int first, int last) {
  if (!created_ || last <= first) return;
  int column = first;
  std::string run;
  while (column < last) {
    const std::uint8_t attribute = screen_.attrAt(column, row);
    const int start = column;
    run.clear();
    while (column < last && screen_.attrAt(column, row) == attribute) {
      run.push_back(static_cast<char>(screen_.charAt(column, row)));
      ++column;
    }
    backend_->drawText(start * cellWidth_ + metrics_.overhang, row * cellHeight_, run,
                       colour(attribute & 15), colour(attribute >> 4));
  }
}

void Console::repaintAll() {
  for (int row = 0; row < kRows; ++row) repaintRow(row, 0, kColumns);
  backend_->present();
}

void Console::scrolled() {
  if (!created_) return;
  const platform::FrameMetrics frame = backend_->frameMetrics();
  if (settings_.slowScroll && backend_->isActive() &&
      backend_->windowBottom() < frame.screenHeight - 32) {
    backend_->scrollUp(0, cellHeight_, kColumns * cellWidth_, (kRows - 1) * cellHeight_,
                       cellHeight_);
    backend_->fillRect(0, (kRows - 1) * cellHeight_, kColumns * cellWidth_, cellHeight_,
                       colour(screen_.attribute() >> 4));
    backend_->present();
  } else {
    repaintAll();
  }
}

void Console::bell() {
  tones_.beep();
}

void Console::write(std::string_view text) {
  if (text.empty()) return;
  ensureConsole();
  screen_.writeChars(text);
  backend_->present();
  keyPressed();
}

void Console::writeLine(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  write(line);
}

std::string Console::readLineBytes(std::size_t bufferSize) {
  ensureConsole();
  std::string held;
  for (;;) {
    const std::uint8_t key = readKey();
    if (key == 8) {
      if (!held.empty()) {
        held.pop_back();
        write("\b");
      }
    } else if (key == 13) {
      held += "\r\n";
      write("\r\n");
      return held;
    } else if (key >= 32) {
      if (held.size() + 2 < bufferSize) {
        held.push_back(static_cast<char>(key));
        write(std::string_view(reinterpret_cast<const char*>(&key), 1));
      }
    }
  }
}

std::string Console::readLine() {
  std::string line = readLineBytes(128);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

void Console::moveCursor(int x, int y) {
  ensureConsole();
  screen_.moveCursor(x, y);
}
int Console::cursorColumn() {
  ensureConsole();
  return screen_.cursorColumn();
}
int Console::cursorRow() {
  ensureConsole();
  return screen_.cursorRow();
}
void Console::clearToLineEnd() {
  ensureConsole();
  screen_.clearToLineEnd();
  backend_->present();
}
void Console::clearScreen() {
  ensureConsole();
  screen_.clearScreen();
  backend_->present();
}
void Console::setTextColor(int k) {
  ensureConsole();
  screen_.setTextColor(k);
}
void Console::setBackColor(int k) {
  ensureConsole();
  screen_.setBackColor(k);
}
std::uint8_t Console::textAttribute() {
  ensureConsole();
  return screen_.attribute();
}
std::uint8_t Console::screenCharAt(int x, int y) {
  ensureConsole();
  return screen_.screenCharAt(x, y);
}
std::uint8_t Console::screenAttrAt(int x, int y) {
  ensureConsole();
  return screen_.screenAttrAt(x, y);
}

// ---- keyboard and messages ----

std::uint8_t Console::readKey() {
  ensureConsole();
  if (keyboard_.empty()) {
    reading_ = true;
    backend_->setAwaitingKey(true);
    if (focused_) showCaret();
    // A key whose messages queue nothing (Alt+letter, a held dot key) leaves
    // the wait going; the backend is told again that a key is awaited.
    while (!keyPressed()) {
      backend_->setAwaitingKey(true);
      backend_->waitMessage();
    }
    if (focused_) hideCaret();
    backend_->setAwaitingKey(false);
    reading_ = false;
  }
  return keyboard_.pop();
}

bool Console::keyPressed() {
  ensureConsole();
  pumpMessages();
  return !keyboard_.empty();
}

void Console::pumpMessages() {
  Message message;
  while (backend_->peekMessage(message)) dispatch(message);
}

void Console::waitMessage() {
  ensureConsole();
  backend_->waitMessage();
  pumpMessages();
}

void Console::sleepPumping(unsigned ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms & 0xFFFF));
  pumpMessages();
}

void Console::setWaveDoneHandler(WaveDoneHandler handler) {
  waveDone_ = std::move(handler);
}

void Console::postMessage(std::uint32_t id, std::uintptr_t param1, std::uintptr_t param2) {
  Message message;
  message.type = MessageType::User;
  message.code = id;
  message.param1 = param1;
  message.param2 = param2;
  backend_->postMessage(message);
}

void Console::dispatch(const Message& message) {
  switch (message.type) {
    case MessageType::KeyDown:
      keyState_ = message.mods;
      if (keyboard_.onKeyDown(message.code, message.mods) == KeyDownResult::breakProgram) {
        endProgram(kBreakExitCode);
      }
      break;
    case MessageType::SysKeyDown:
      keyState_ = message.mods;
      keyboard_.onSysKeyDown(message.code, message.mods);
      break;
    case MessageType::KeyUp:
      keyState_ = message.mods;
      keyboard_.onKeyUp(message.code, message.mods);
      break;
    case MessageType::Char:
      keyState_ = message.mods;
      keyboard_.onChar(static_cast<std::uint8_t>(message.code), message.mods);
      break;
    case MessageType::Paint:
      paint(message);
      break;
    case MessageType::Close:
      if (!closing_) closeConsole();
      break;
    case MessageType::SetFocus:
      focused_ = true;
      if (reading_) showCaret();
      break;
    case MessageType::KillFocus:
      if (reading_) hideCaret();
      focused_ = false;
      // Key releases go to the window that has the focus now.
      keyboard_.clearChord();
      break;
    case MessageType::RightDown:
      if (!magnifierOn_) {
        magnifierOn_ = true;
        backend_->takeSnapshot();
        drawMagnifier(message.x, message.y);
      }
      break;
    case MessageType::MouseMove:
      if (magnifierOn_) drawMagnifier(message.x, message.y);
      break;
    case MessageType::RightUp:
      if (magnifierOn_) {
        magnifierOn_ = false;
        backend_->releaseSnapshot();
        repaintAll();
      }
      break;
    case MessageType::User:
      if (message.code == platform::kMsgWaveDone && waveDone_) {
        waveDone_(message.param1, message.param2);
      }
      break;
    case MessageType::Quit:
      endProgram(kBreakExitCode);
      break;
    case MessageType::None:
      break;
  }
}

void Console::paint(const Message& message) {
  if (!created_) return;
  const int firstColumn = std::max(0, message.x / cellWidth_);
  const int endColumn = std::min(kColumns, (message.x2 + cellWidth_ - 1) / cellWidth_);
  const int firstRow = std::max(0, message.y / cellHeight_);
  const int endRow = std::min(kRows, (message.y2 + cellHeight_ - 1) / cellHeight_);
  for (int row = firstRow; row < endRow; ++row) repaintRow(row, firstColumn, endColumn);
  if (caretShown_) showCaret();
  backend_->present();
}

void Console::showCaret() {
  backend_->showCaret(screen_.cursorX() * cellWidth_,
                      screen_.cursorY() * cellHeight_ + metrics_.ascent, cellWidth_, 2);
  backend_->present();
  caretShown_ = true;
}

void Console::hideCaret() {
  if (!caretShown_) return;
  backend_->hideCaret();
  backend_->present();
  caretShown_ = false;
}

void Console::drawMagnifier(int x, int y) {
  const int f = std::max(1, settings_.magnification);
  const int width = backend_->clientWidth();
  const int height = backend_->clientHeight();
  // With the button held the mouse is still followed outside the window,
  // where positions are negative or past the edge; 16-bit client positions
  // would wrap to the far corner. The magnifier stops at the window's edge.
  x = std::clamp(static_cast<int>(static_cast<std::int16_t>(x & 0xFFFF)), 0,
                 std::max(0, width - 1));
  y = std::clamp(static_cast<int>(static_cast<std::int16_t>(y & 0xFFFF)), 0,
                 std::max(0, height - 1));
  const int sourceX = std::max(0, x - x / f);
  const int sourceY = std::max(0, y - y / f);
  backend_->drawSnapshot(sourceX, sourceY, width / f, height / f);
}

// ---- ending ----

std::string Console::screenDumpText() const {
  std::string text;
  for (int row = 0; row < kRows; ++row) {
    std::string line;
    for (int column = 0; column < kColumns; ++column) {
      line.push_back(static_cast<char>(screen_.charAt(column, row)));
    }
    text += cp1252::toUtf8(line);
    text += '\n';
  }
  static constexpr char kHex[] = "0123456789abcdef";
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      const std::uint8_t a = screen_.attrAt(column, row);
      text.push_back(kHex[a >> 4]);
      text.push_back(kHex[a & 15]);
    }
    text += '\n';
  }
  return text;
}

void Console::endProgram(int code) {
  if (code == kBreakExitCode && created_) {
    if (reading_ && focused_) hideCaret();
    backend_->setCaption("Programa terminado");
  }
  writeScreenDump();
  options_.terminate(code);
}

void Console::writeScreenDump() {
  if (options_.screenDump.empty()) return;
  std::ofstream out(options_.screenDump, std::ios::binary);
  out << screenDumpText();
  out.close();
  if (!out)
    platform::logError("console", "cannot write the screen dump " + options_.screenDump.string());
  options_.screenDump.clear();
}

void Console::closeConsole() {
  if (closing_) return;
  closing_ = true;
  if (created_) {
    while (keyPressed()) keyboard_.pop();
    stopTone();
  }
  // The dump is written before the window goes, while the buffers exist.
  writeScreenDump();
  if (created_) {
    backend_->destroyWindow();
    created_ = false;
  }
  options_.terminate(0);
}

// ---- tones ----

std::vector<std::uint8_t> Console::toneBlock(int f) {
  if (f < 1) return {};
  constexpr std::size_t kBlock = 11071;
  std::vector<std::uint8_t> b(kBlock, 0);
  const int p = 11025 / f;
  const int half = p / 2;
  long k = 0;
  long start = 44;
  do {
    std::fill_n(b.begin() + start, std::min<long>(half + 1, static_cast<long>(kBlock) - start), 96);
    const long second = start + half;
    std::fill_n(b.begin() + second,
                std::max<long>(0, std::min<long>(p - half + 1, static_cast<long>(kBlock) - second)),
                160);
    ++k;
    start = 44 + (k * 11025) / f;
  } while (start <= 11025 - p);
  b[static_cast<std::size_t>(start - 1)] = 128;
  const auto dataLength = static_cast<std::uint32_t>(start - 44);
  riff::writeWaveHeader(b, dataLength);
  return b;
}

void Console::startTone(int hertz) {
  stopTone();
  const std::vector<std::uint8_t> block = toneBlock(hertz);
  if (block.empty()) return;
  toneOn_ = tones_.playLoop(block);
}

void Console::stopTone() {
  if (!toneOn_) return;
  tones_.stopLoop();
  toneOn_ = false;
}

void Console::setBrailleMode(int mode) {
  keyboard_.setBrailleMode(mode);
}

// ---- clipboard ----

void Console::copyToClipboard(std::string_view text) {
  const std::size_t end = text.find('\0');
  backend_->setClipboard(text.substr(0, end));
}

void Console::pasteFromClipboard(std::span<char> buffer) {
  if (buffer.empty()) return;
  std::string text;
  bool hasText = false;
  if (!backend_->getClipboard(text, hasText)) return;
  if (!hasText) {
    buffer[0] = 0;
    return;
  }
  const std::size_t end = text.find('\0');
  if (end != std::string::npos) text.resize(end);
  const std::size_t n = std::min(text.size() + 1, buffer.size());
  std::copy_n(text.begin(), n - 1, buffer.begin());
  buffer[n - 1] = 0;
}

// ---- clock ----

DateParts todayParts() {
  const platform::LocalTime now = platform::localTime();
  return {now.year, now.month, now.day, now.dayOfWeek};
}

TimeParts timeParts() {
  const platform::LocalTime now = platform::localTime();
  return {now.hour, now.minute, now.second, now.millisecond / 10};
}

}  // namespace lamina::console
