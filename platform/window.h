#pragma once
// The console's window as the platform offers it: one window of character
// cells, its message queue, drawing of text runs, pixel copies, caret,
// magnifier snapshot and clipboard. Backends: SDL2 (a real window) and
// headless (no window; same queue semantics).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/messages.h"

namespace lamina::platform {

// Messages that the backends deliver to the console's window procedure.
enum class MessageType : std::uint8_t {
  None,
  KeyDown,     // code = virtual key
  SysKeyDown,  // a key pressed with Alt alone, or F10; code = virtual key
  KeyUp,       // code = virtual key
  Char,        // code = cp1252 byte produced by the layout (or a control code)
  Paint,       // x, y, x2, y2 = the invalid rectangle in client pixels
  Close,       // the window's Close button
  SetFocus,
  KillFocus,
  RightDown,  // x, y = client position
  RightUp,
  MouseMove,
  User,  // code = one of platform/messages.h; param1, param2
  Quit,
};

// Virtual key codes; the values of the platform the key tables come from.
namespace vk {
inline constexpr std::uint32_t Cancel = 0x03, Back = 0x08, Tab = 0x09, Return = 0x0D, Shift = 0x10,
                               Control = 0x11, Menu = 0x12, Escape = 0x1B, Space = 0x20,
                               Prior = 0x21, Next = 0x22, End = 0x23, Home = 0x24, Left = 0x25,
                               Up = 0x26, Right = 0x27, Down = 0x28, Insert = 0x2D, Delete = 0x2E,
                               F1 = 0x70, F10 = 0x79, F11 = 0x7A, F12 = 0x7B;
// Digits and letters are their ASCII upper-case codes: '0'..'9', 'A'..'Z'.
}  // namespace vk

struct Modifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

struct Message {
  MessageType type = MessageType::None;
  std::uint32_t code = 0;
  Modifiers mods;  // key state as it was when this message was produced
  int x = 0, y = 0, x2 = 0, y2 = 0;
  std::uintptr_t param1 = 0, param2 = 0;
};

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct FontRequest {
  std::string face;  // empty: the fixed system font
  int width = 9;     // cell width in pixels
  int height = 22;   // cell height in pixels
  int weight = 700;
};

struct FontMetrics {
  int averageWidth = 8;
  int maximumWidth = 8;
  int height = 16;
  int externalLeading = 0;
  int ascent = 13;
  int overhang = 0;
};

struct WindowSpec {
  std::string caption;  // cp1252
  int width = 0;        // outer size in pixels
  int height = 0;
  bool maximised = false;
};

// Frame and caption sizes the platform adds around the client area.
struct FrameMetrics {
  int frameWidth = 0;
  int frameHeight = 0;
  int captionHeight = 0;
  int screenWidth = 1920;
  int screenHeight = 1080;
};

class WindowBackend {
 public:
  virtual ~WindowBackend() = default;

  // Font and geometry, answered before the window exists.
  virtual FontMetrics openFont(const FontRequest& request) = 0;
  virtual FrameMetrics frameMetrics() const = 0;

  virtual bool createWindow(const WindowSpec& spec) = 0;
  virtual void destroyWindow() = 0;
  virtual void setCaption(std::string_view cp1252) = 0;
  // Outer size limits the user can resize the window within (the console's
  // minimum and maximum tracking sizes). Backends without a window ignore it.
  virtual void setSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight) {
    (void)minWidth, (void)minHeight, (void)maxWidth, (void)maxHeight;
  }
  // Client size in pixels.
  virtual int clientWidth() const = 0;
  virtual int clientHeight() const = 0;
  virtual bool isActive() const = 0;
  // Bottom edge of the window in screen pixels.
  virtual int windowBottom() const = 0;

  // The message queue. peek takes one pending message without waiting;
  // wait blocks until at least one is pending (it does not take it). post
  // may be called from any thread.
  virtual bool peekMessage(Message& message) = 0;
  virtual void waitMessage() = 0;
  virtual void postMessage(const Message& message) = 0;
  // The console tells when it waits for a key (readKey). A real window
  // ignores this; the headless backend types its next scripted key only
  // then, one key for each time it is told.
  virtual void setAwaitingKey(bool awaiting) = 0;

  // Drawing into the client area; shown by present().
  virtual void drawText(int x, int y, std::string_view cp1252, Rgb fg, Rgb bg) = 0;
  virtual void fillRect(int x, int y, int w, int h, Rgb colour) = 0;
  // Copies the pixel block (x, y, w, h) to (x, y - dy).
  virtual void scrollUp(int x, int y, int w, int h, int dy) = 0;
  virtual void present() = 0;

  virtual void showCaret(int x, int y, int w, int h) = 0;
  virtual void hideCaret() = 0;

  // Magnifier: a picture of the client area, stretched from (sx, sy, sw, sh)
  // over the whole client area until released.
  virtual void takeSnapshot() = 0;
  virtual void drawSnapshot(int sx, int sy, int sw, int sh) = 0;
  virtual void releaseSnapshot() = 0;

  // Clipboard as plain cp1252 text. get returns false when the clipboard
  // cannot be opened; hasText tells whether it held text.
  virtual bool getClipboard(std::string& text, bool& hasText) = 0;
  virtual bool setClipboard(std::string_view cp1252) = 0;

  virtual void beep() = 0;
};

}  // namespace lamina::platform
