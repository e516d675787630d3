#pragma once
// The talking console: the window that stands in for the program's standard
// input and output. It owns the screen buffer, the keyboard queue and the
// window, runs the window procedure while messages are pumped, and ends the
// program in order.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/keyboard.h"
#include "console/screen.h"
#include "console/settings.h"
#include "platform/message_pump.h"
#include "platform/sound.h"
#include "platform/window.h"

namespace lamina::console {

struct ConsoleOptions {
  std::filesystem::path iniFile;  // ORALIS.INI; empty: every default
  std::string caption;            // cp1252
  // Ends the program with the given exit code. Tests replace it.
  std::function<void(int)> terminate;
  // When set, the final screen is written here as the program ends.
  std::filesystem::path screenDump;
  // A backend to go on with when the window cannot be created; without it
  // (or when it fails too) the program ends with kNoWindowExitCode.
  std::function<platform::WindowBackend*()> fallbackWindow;
};

// Exit code of a program ended by Ctrl+Break or a quit message.
inline constexpr int kBreakExitCode = 255;
// Exit code of a program that could not show its console at all.
inline constexpr int kNoWindowExitCode = 3;

class Console final : public platform::MessagePump, private ScreenView {
 public:
  Console(platform::WindowBackend& backend, platform::ToneSound& tones, ConsoleOptions options);
  ~Console() override;
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Creates the window on first use.
  void ensureConsole();
  bool created() const { return created_; }
  // Ends the program in order with exit code 0.
  void closeConsole();

  // The output stream: the text is on the screen when the call returns, and
  // pending messages have been pumped.
  void write(std::string_view text);
  void writeLine(std::string_view text);
  // The input stream: one line typed with echo, at most 126 characters,
  // without its line end.
  std::string readLine();
  // The same with the stream's raw result: the characters, then CR LF.
  std::string readLineBytes(std::size_t bufferSize = 128);

  void moveCursor(int x, int y);
  int cursorColumn();
  int cursorRow();
  void clearToLineEnd();
  void clearScreen();
  void setTextColor(int k);
  void setBackColor(int k);
  std::uint8_t textAttribute();
  std::uint8_t screenCharAt(int x, int y);
  std::uint8_t screenAttrAt(int x, int y);

  std::uint8_t readKey();
  bool keyPressed() override;
  void pumpMessages() override;
  void waitMessage() override;
  void sleepPumping(unsigned ms) override;
  void setWaveDoneHandler(WaveDoneHandler handler) override;
  void postMessage(std::uint32_t id, std::uintptr_t param1, std::uintptr_t param2) override;

  // Modifier keys as they were for the message being handled.
  platform::Modifiers keyState() const { return keyState_; }

  void setBrailleMode(int mode);
  int brailleMode() const { return keyboard_.brailleMode(); }

  void startTone(int hertz);
  void stopTone();
  // The 11071-byte looping block of a tone; empty for frequencies below 1 Hz.
  static std::vector<std::uint8_t> toneBlock(int hertz);

  void copyToClipboard(std::string_view text);
  void pasteFromClipboard(std::span<char> buffer);

  const ConsoleSettings& settings() const { return settings_; }
  const platform::FontMetrics& metrics() const { return metrics_; }
  int windowWidth() const { return windowWidth_; }
  int windowHeight() const { return windowHeight_; }
  bool magnifierOn() const { return magnifierOn_; }
  bool reading() const { return reading_; }
  bool focused() const { return focused_; }
  const Screen& screen() const { return screen_; }

  // The 25 lines as UTF-8 (trailing blanks kept), then 25 lines of
  // attributes as two hex digits per cell.
  std::string screenDumpText() const;

  // Runs one message through the window procedure.
  void dispatch(const platform::Message& message);

 private:
  void repaintRow(int row, int first, int last) override;
  void scrolled() override;
  void bell() override;
  void repaintAll();
  void paint(const platform::Message& message);
  void showCaret();
  void hideCaret();
  void drawMagnifier(int x, int y);
  platform::Rgb colour(int index) const;
  void endProgram(int code);
  void writeScreenDump();

  platform::WindowBackend* backend_;
  platform::ToneSound& tones_;
  ConsoleOptions options_;
  ConsoleSettings settings_;
  Screen screen_;
  Keyboard keyboard_;
  platform::FontMetrics metrics_;
  platform::Modifiers keyState_;
  WaveDoneHandler waveDone_;
  bool created_ = false;
  bool everCreated_ = false;
  bool focused_ = false;
  bool reading_ = false;
  bool caretShown_ = false;
  bool closing_ = false;
  bool magnifierOn_ = false;
  bool toneOn_ = false;
  int cellWidth_ = 8;
  int cellHeight_ = 16;
  int windowWidth_ = 0;
  int windowHeight_ = 0;
};

struct DateParts {
  int year, month, day, dayOfWeek;  // 0 = Sunday
};
struct TimeParts {
  int hour, minute, second, hundredths;
};
DateParts todayParts();
TimeParts timeParts();

}  // namespace lamina::console
