#pragma once
// The SDL2 window backend's own header, for its .cpp and its tests: one
// top-level window whose client area is drawn from an off-screen canvas, text
// rendered cell by cell with SDL_ttf glyphs scaled into the cell, and SDL's
// event queue as the message queue. The rest of the program uses
// platform/sdl_window.h.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/sdl_window.h"
#include "platform/window.h"

struct SDL_Window;
struct SDL_Surface;
union SDL_Event;

namespace lamina::platform {

namespace sdl_detail {

class ServerCopy;

struct SurfaceDeleter {
  void operator()(SDL_Surface* s) const;
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

struct WindowDeleter {
  void operator()(SDL_Window* w) const;
};
using WindowPtr = std::unique_ptr<SDL_Window, WindowDeleter>;

}  // namespace sdl_detail

// Windows virtual-key code of an SDL keycode; 0 for keys the console never
// looks at. numLock decides what the keypad's digit keys are.
std::uint32_t virtualKeyOf(std::int32_t sdlKey, bool numLock);

// The key state a message carries, from SDL's modifier bits. Where the
// layout makes the right Alt AltGr (the Brazilian layout) it counts as
// Ctrl+Alt, as it does on the platform the key tables come from; where it
// is a second Alt (the US layout) it is Alt.
Modifiers modifiersOf(std::uint16_t sdlMods, bool rightAltIsAltGr = true);

// Translates one keyboard or text event into the messages the platform the
// key tables come from would deliver: key-down/up with its virtual key, and
// the character messages its keyboard translation produces. lastKeyMods is
// SDL's modifier bits of the latest key event; text events carry none of
// their own, so they take it.
void translateKeyEvent(const SDL_Event& event, std::uint16_t& lastKeyMods, std::deque<Message>& out,
                       bool rightAltIsAltGr = true);

// Area-averaging resample of an 8-bit coverage image into another size;
// used to fit a face's glyphs into the console's cell.
std::vector<std::uint8_t> resampleCoverage(std::span<const std::uint8_t> src, int srcW, int srcH,
                                           int dstW, int dstH);

class SdlWindowBackend final : public WindowBackend {
 public:
  // Starts SDL's video subsystem; nullptr when no display can be opened
  // (the caller then falls back to the headless backend).
  static std::unique_ptr<SdlWindowBackend> create();
  ~SdlWindowBackend() override;
  SdlWindowBackend(const SdlWindowBackend&) = delete;
  SdlWindowBackend& operator=(const SdlWindowBackend&) = delete;

  FontMetrics openFont(const FontRequest& request) override;
  FrameMetrics frameMetrics() const override;

  bool createWindow(const WindowSpec& spec) override;
  void destroyWindow() override;
  void setCaption(std::string_view cp1252) override;
  void setSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight) override;
  int clientWidth() const override;
  int clientHeight() const override;
  bool isActive() const override;
  int windowBottom() const override;

  bool peekMessage(Message& message) override;
  void waitMessage() override;
  void postMessage(const Message& message) override;
  void setAwaitingKey(bool awaiting) override;

  void drawText(int x, int y, std::string_view cp1252, Rgb fg, Rgb bg) override;
  void fillRect(int x, int y, int w, int h, Rgb colour) override;
  void scrollUp(int x, int y, int w, int h, int dy) override;
  void present() override;

  void showCaret(int x, int y, int w, int h) override;
  void hideCaret() override;

  void takeSnapshot() override;
  void drawSnapshot(int sx, int sy, int sw, int sh) override;
  void releaseSnapshot() override;

  bool getClipboard(std::string& text, bool& hasText) override;
  bool setClipboard(std::string_view cp1252) override;

  void beep() override;

  // The off-screen picture of the client area, as last drawn (without the
  // caret and the magnifier, which live only on the window).
  Rgb canvasPixel(int x, int y) const;
  // The window's picture as last presented.
  Rgb shownPixel(int x, int y) const;
  // The face file the font lookup settled on.
  const std::string& fontFile() const { return fontFile_; }

 private:
  struct Key {
    explicit Key() = default;
  };

 public:
  SdlWindowBackend(Key, std::uint32_t userEventType);

 private:
  // Asks for a Paint message covering the whole client area (expose,
  // resize).
  void invalidateAll();
  void ensureCanvas(int w, int h);
  void addInvalid(int x, int y, int x2, int y2);
  void translate(const SDL_Event& event);
  void drawCell(int x, int y, unsigned char ch, Rgb fg, Rgb bg);
  const std::uint32_t* cellPixels(unsigned char ch, Rgb fg, Rgb bg);
  void markDirty(int x, int y, int w, int h);
  void showMagnified();
  void applySizeLimits();
  SDL_Surface* windowSurface();

  std::uint32_t userEventType_;
  sdl_detail::WindowPtr window_;
  SDL_Surface* lastSurface_ = nullptr;  // owned by SDL, not by us
  int minW_ = 0, minH_ = 0, maxW_ = 0, maxH_ = 0;
  sdl_detail::SurfacePtr canvas_;
  std::unique_ptr<sdl_detail::ServerCopy> serverCopy_;
  sdl_detail::SurfacePtr snapshot_;
  sdl_detail::SurfacePtr magnified_;

  // One coverage mask of cellW_ x cellH_ per cp1252 byte.
  int cellW_ = 8;
  int cellH_ = 16;
  std::vector<std::uint8_t> glyphs_;
  struct BlendedCells {
    std::uint64_t key = 0;
    std::vector<std::uint32_t> pixels;
    std::vector<bool> ready;
  };
  static constexpr std::size_t kBlendedPairs = 8;
  std::vector<BlendedCells> blended_;
  // The part of the canvas not yet copied to the window.
  bool dirty_ = false;
  struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
  };
  PixelRect dirtyRect_;
  std::string fontFile_;

  std::deque<Message> pending_;
  // Messages posted from any thread; an SDL user event marks each one's
  // place in the event queue.
  std::mutex postedMutex_;
  std::deque<Message> posted_;
  std::uint16_t lastKeyMods_ = 0;
  // Asked of the layout when the window is made and when the layout changes.
  bool rightAltIsAltGr_ = true;
  bool invalid_ = false;
  int invX_ = 0, invY_ = 0, invX2_ = 0, invY2_ = 0;

  bool caretShown_ = false;
  int caretX_ = 0, caretY_ = 0, caretW_ = 0, caretH_ = 0;
};

}  // namespace lamina::platform
