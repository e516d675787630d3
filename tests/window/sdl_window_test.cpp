// The SDL window backend on SDL's dummy video driver: drawing, caret,
// magnifier and the queue checked through the backend's pixels and
// messages, with no display needed.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/sdl_window_internal.h"

namespace lamina::platform {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};

SDL_Event keyEvent(Uint32 type, SDL_Keycode sym, Uint16 mod) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.sym = sym;
  e.key.keysym.mod = mod;
  return e;
}

SDL_Event textEvent(const char* utf8) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
  return e;
}

std::deque<Message> translate(std::initializer_list<SDL_Event> events) {
  std::deque<Message> out;
  std::uint16_t mods = 0;
  for (const auto& e : events) translateKeyEvent(e, mods, out);
  return out;
}

::testing::AssertionResult isMessage(const Message& m, MessageType type, std::uint32_t code,
                                     bool shift, bool ctrl, bool alt) {
  if (m.type == type && m.code == code && m.mods.shift == shift && m.mods.ctrl == ctrl &&
      m.mods.alt == alt) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "type " << int(m.type) << " code " << m.code << " shift " << m.mods.shift << " ctrl "
         << m.mods.ctrl << " alt " << m.mods.alt;
}

TEST(SdlKeyTranslation, ExtendedKeysCarryTheirModifiers) {
  auto out = translate({keyEvent(SDL_KEYDOWN, SDLK_F1, 0)});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(isMessage(out[0], MessageType::KeyDown, vk::F1, false, false, false));

  out = translate({keyEvent(SDL_KEYDOWN, SDLK_UP, KMOD_LCTRL)});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(isMessage(out[0], MessageType::KeyDown, vk::Up, false, true, false));

  out = translate({keyEvent(SDL_KEYDOWN, SDLK_INSERT, KMOD_LSHIFT)});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(isMessage(out[0], MessageType::KeyDown, vk::Insert, true, false, false));

  out = translate({keyEvent(SDL_KEYUP, SDLK_F12, 0)});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(isMessage(out[0], MessageType::KeyUp, vk::F12, false, false, false));
}

TEST(SdlKeyTranslation, SystemKeysAreAltAloneAndF10) {
  auto out = translate({keyEvent(SDL_KEYDOWN, SDLK_a, KMOD_LALT), textEvent("a")});
  ASSERT_EQ(out.size(), 1u) << "Alt+A must bring no character";
  EXPECT_TRUE(isMessage(out[0], MessageType::SysKeyDown, 'A', false, false, true));

  out = translate({keyEvent(SDL_KEYDOWN, SDLK_F10, 0)});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].type, MessageType::SysKeyDown);

  out = translate({keyEvent(SDL_KEYDOWN, SDLK_0, KMOD_LCTRL | KMOD_LALT), textEvent("0")});
  ASSERT_EQ(out.size(), 1u) << "Ctrl+Alt+0 must bring no character";
  EXPECT_TRUE(isMessage(out[0], MessageType::KeyDown, '0', false, true, true));
}

TEST(SdlKeyTranslation, ControlCharactersAreSynthesised) {
  auto out = translate({keyEvent(SDL_KEYDOWN, SDLK_RETURN, 0)});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(isMessage(out[1], MessageType::Char, 13, false, false, false));

  out = translate({keyEvent(SDL_KEYDOWN, SDLK_RETURN, KMOD_RCTRL)});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(isMessage(out[1], MessageType::Char, 13, false, true, false));

  out = translate({keyEvent(SDL_KEYDOWN, SDLK_BACKSPACE, KMOD_LCTRL)});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(isMessage(out[1], MessageType::Char, 8, false, true, false));

  out = translate({keyEvent(SDL_KEYDOWN, SDLK_ESCAPE, 0), keyEvent(SDL_KEYDOWN, SDLK_TAB, 0)});
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[1].code, 27u);
  EXPECT_EQ(out[3].code, 9u);

  out = translate({keyEvent(SDL_KEYDOWN, SDLK_c, KMOD_LCTRL), textEvent("c")});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(isMessage(out[0], MessageType::KeyDown, 'C', false, true, false));
  EXPECT_TRUE(isMessage(out[1], MessageType::Char, 3, false, true, false));

  out = translate({keyEvent(SDL_KEYDOWN, SDLK_a, KMOD_LCTRL | KMOD_LALT)});
  ASSERT_EQ(out.size(), 1u) << "Ctrl+Alt+letter is no control character";
}

TEST(SdlKeyTranslation, CtrlPauseIsBreak) {
  auto out = translate({keyEvent(SDL_KEYDOWN, SDLK_PAUSE, KMOD_LCTRL)});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].code, vk::Cancel);
  out = translate({keyEvent(SDL_KEYDOWN, SDLK_PAUSE, 0)});
  EXPECT_NE(out[0].code, vk::Cancel);
}

TEST(SdlKeyTranslation, TextBecomesCp1252Bytes) {
  auto out = translate({keyEvent(SDL_KEYDOWN, SDLK_a, 0), textEvent("\xC3\xA3")});  // ã
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(isMessage(out[1], MessageType::Char, 0xE3, false, false, false));

  out = translate({textEvent("\xC3\xA7\xE2\x82\xAC\xE2\x9C\x93")});  // ç € ✓
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].code, 0xE7u);
  EXPECT_EQ(out[1].code, 0x80u);
  EXPECT_EQ(out[2].code, static_cast<std::uint32_t>('?'));

  // Shifted letters keep the Shift state of their key.
  out = translate({keyEvent(SDL_KEYDOWN, SDLK_e, KMOD_LSHIFT), textEvent("\xC3\x89")});  // É
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(isMessage(out[1], MessageType::Char, 0xC9, true, false, false));

  // AltGr text (right Alt on the Brazilian layout) passes, as Ctrl+Alt.
  out = translate({keyEvent(SDL_KEYDOWN, SDLK_q, KMOD_RALT), textEvent("/")});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].type, MessageType::KeyDown);
  EXPECT_TRUE(isMessage(out[1], MessageType::Char, '/', false, true, true));

  // On a layout where right Alt is a second Alt (US), Alt+A is the
  // system's: a system key-down with Alt alone, and no character.
  std::uint16_t last = 0;
  out.clear();
  translateKeyEvent(keyEvent(SDL_KEYDOWN, SDLK_a, KMOD_RALT), last, out, false);
  translateKeyEvent(textEvent("a"), last, out, false);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(isMessage(out[0], MessageType::SysKeyDown, 'A', false, false, true));
}

TEST(SdlKeyTranslation, KeypadFollowsNumLock) {
  EXPECT_EQ(virtualKeyOf(SDLK_KP_8, false), vk::Up);
  EXPECT_EQ(virtualKeyOf(SDLK_KP_3, false), vk::Next);
  EXPECT_EQ(virtualKeyOf(SDLK_KP_0, false), vk::Insert);
  EXPECT_EQ(virtualKeyOf(SDLK_KP_PERIOD, false), vk::Delete);
  EXPECT_EQ(virtualKeyOf(SDLK_KP_8, true), 0x68u);
  EXPECT_EQ(virtualKeyOf(SDLK_KP_ENTER, true), vk::Return);
  EXPECT_EQ(virtualKeyOf(SDLK_z, false), static_cast<std::uint32_t>('Z'));
  EXPECT_EQ(virtualKeyOf(SDLK_9, false), static_cast<std::uint32_t>('9'));
}

TEST(CoverageResample, AveragesAreas) {
  const std::vector<std::uint8_t> half{0, 255, 0, 255};
  EXPECT_EQ(resampleCoverage(half, 2, 2, 1, 1), std::vector<std::uint8_t>{128});
  const std::vector<std::uint8_t> full(12 * 20, 255);
  for (auto v : resampleCoverage(full, 12, 20, 9, 22)) ASSERT_EQ(v, 255);
  // A column of ink scaled down keeps its total ink.
  std::vector<std::uint8_t> column(4 * 1, 0);
  column[1] = 255;
  const auto scaled = resampleCoverage(column, 4, 1, 3, 1);
  int sum = 0;
  for (auto v : scaled) sum += v;
  EXPECT_NEAR(sum, 255 * 3 / 4, 2);
  EXPECT_EQ(resampleCoverage(full, 0, 20, 9, 22), std::vector<std::uint8_t>(9 * 22, 0));
  EXPECT_EQ(resampleCoverage(std::vector<std::uint8_t>(3), 12, 20, 2, 2),
            std::vector<std::uint8_t>(4, 0));
}

TEST(SdlWindowCreate, NoDisplayMeansNoWindow) {
  // With no display to reach, SDL would pick a driver that shows nothing;
  // the backend must say it has no window so the caller goes headless.
  const char* saved = SDL_getenv("DISPLAY");
  const std::string display = saved != nullptr ? saved : "";
  SDL_setenv("DISPLAY", "", 1);
  SDL_setenv("WAYLAND_DISPLAY", "lamina-no-such-display", 1);
  SDL_ResetHint(SDL_HINT_VIDEODRIVER);
  auto backend = SdlWindowBackend::create();
  const std::string driver =
      SDL_GetCurrentVideoDriver() != nullptr ? SDL_GetCurrentVideoDriver() : "";
  backend.reset();
  SDL_setenv("DISPLAY", display.c_str(), 1);
  if (!driver.empty() && driver != "offscreen" && driver != "dummy") {
    GTEST_SKIP() << "this machine has a screen of its own: " << driver;
  }
  EXPECT_TRUE(driver.empty()) << driver;
}

class SdlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    backend = SdlWindowBackend::create();
    ASSERT_NE(backend, nullptr) << SDL_GetError();
  }

  void openWindow(int cellW = 9, int cellH = 22) {
    metrics = backend->openFont(FontRequest{"Lucida Console", cellW, cellH, 700});
    WindowSpec spec;
    spec.caption = "Lamina \xE7\xE3o";
    spec.width = 80 * metrics.maximumWidth;
    spec.height = 25 * metrics.height;
    ASSERT_TRUE(backend->createWindow(spec));
  }

  // Drains the queue so a test sees only what it caused.
  void drain() {
    Message m;
    while (backend->peekMessage(m)) {
    }
  }

  int countCanvas(int x, int y, int w, int h, Rgb colour) const {
    int n = 0;
    for (int py = y; py < y + h; ++py) {
      for (int px = x; px < x + w; ++px) n += backend->canvasPixel(px, py) == colour;
    }
    return n;
  }

  std::unique_ptr<SdlWindowBackend> backend;
  FontMetrics metrics;
};

TEST_F(SdlWindowTest, FontFillsTheRequestedCell) {
  metrics = backend->openFont(FontRequest{"Lucida Console", 9, 22, 700});
  EXPECT_EQ(metrics.averageWidth, 9);
  EXPECT_EQ(metrics.maximumWidth, 9);
  EXPECT_EQ(metrics.height, 22);
  EXPECT_EQ(metrics.externalLeading, 0);
  EXPECT_EQ(metrics.overhang, 0);
  EXPECT_GT(metrics.ascent, 11);
  EXPECT_LT(metrics.ascent, 22);
  // No such face here: the fallback, bold because of the weight.
  EXPECT_NE(backend->fontFile().find("Bold"), std::string::npos) << backend->fontFile();

  backend->openFont(FontRequest{"DejaVu Sans Mono", 12, 18, 400});
  EXPECT_EQ(backend->fontFile().find("Bold"), std::string::npos) << backend->fontFile();

  metrics = backend->openFont(FontRequest{"", 9, 22, 700});
  EXPECT_EQ(metrics.averageWidth, 8);
  EXPECT_EQ(metrics.height, 16);

  // Sizes a broken configuration may give: no crash, a usable cell.
  metrics = backend->openFont(FontRequest{"\xFF\x01garbage", -3, 0, -7});
  EXPECT_GT(metrics.averageWidth, 0);
  EXPECT_GT(metrics.height, 0);
  metrics = backend->openFont(FontRequest{"Lucida Console", 100000, 100000, 100000});
  EXPECT_LE(metrics.averageWidth, 128);
  EXPECT_LE(metrics.height, 256);
}

TEST_F(SdlWindowTest, WindowHasTheComputedClientSize) {
  openWindow();
  const FrameMetrics frame = backend->frameMetrics();
  EXPECT_EQ(frame.frameWidth, 0);
  EXPECT_EQ(frame.captionHeight, 0);
  EXPECT_EQ(backend->clientWidth(), 720);
  EXPECT_EQ(backend->clientHeight(), 550);
  EXPECT_GE(backend->windowBottom(), 550);
  backend->destroyWindow();
  EXPECT_EQ(backend->clientWidth(), 0);
}

TEST_F(SdlWindowTest, EveryGlyphStaysInItsCell) {
  openWindow();
  std::string all;
  for (int b = 32; b < 256; ++b) all.push_back(static_cast<char>(b));
  // Row by row, each glyph in a cell surrounded by red: not one pixel of
  // ink may leave its cell, and every visible character leaves some ink.
  for (std::size_t i = 0; i < all.size(); i += 40) {
    backend->fillRect(0, 0, 720, 550, kRed);
    const std::string part = all.substr(i, 40);
    for (std::size_t k = 0; k < part.size(); ++k) {
      backend->drawText(static_cast<int>(2 * k) * 9, 44, part.substr(k, 1), kWhite, kBlack);
    }
    EXPECT_EQ(countCanvas(0, 0, 720, 44, kRed), 720 * 44);
    EXPECT_EQ(countCanvas(0, 66, 720, 22, kRed), 720 * 22);
    for (std::size_t k = 0; k < part.size(); ++k) {
      const int x = static_cast<int>(2 * k) * 9;
      const auto ch = static_cast<unsigned char>(part[k]);
      EXPECT_EQ(countCanvas(x + 9, 44, 9, 22, kRed), 9 * 22) << "byte " << int(ch);
      const int blank = countCanvas(x, 44, 9, 22, kBlack);
      if (ch == ' ' || ch == 0xA0 || ch == 0x81 || ch == 0x8D || ch == 0x8F || ch == 0x90 ||
          ch == 0x9D || ch == 0x7F || ch == 0xAD) {
        continue;
      }
      EXPECT_LT(blank, 9 * 22) << "byte " << int(ch) << " drew nothing";
    }
  }
}

TEST_F(SdlWindowTest, TextTakesItsColours) {
  openWindow();
  backend->fillRect(0, 0, 720, 550, kBlack);
  backend->drawText(9, 0, " LAMINA", kYellow, kBlue);
  EXPECT_EQ(countCanvas(9, 0, 9, 22, kBlue), 9 * 22);    // the blank
  EXPECT_GT(countCanvas(18, 0, 9, 22, kYellow), 8);      // the L
  EXPECT_EQ(countCanvas(0, 0, 9, 22, kBlack), 9 * 22);   // untouched
  EXPECT_EQ(countCanvas(72, 0, 9, 22, kBlack), 9 * 22);  // past the run
  // Text running off the right edge is clipped, not written past it.
  backend->drawText(711, 528, "XYZ", kWhite, kRed);
  EXPECT_EQ(backend->canvasPixel(719, 549), kRed);
}

TEST_F(SdlWindowTest, ScrollCopiesPixelsUp) {
  openWindow();
  const Rgb rowColour[3] = {kRed, kBlue, kYellow};
  for (int row = 0; row < 25; ++row) backend->fillRect(0, row * 22, 720, 22, rowColour[row % 3]);
  backend->scrollUp(0, 22, 720, 24 * 22, 22);
  for (int row = 0; row < 24; ++row) {
    EXPECT_EQ(backend->canvasPixel(5, row * 22 + 3), rowColour[(row + 1) % 3]) << row;
    EXPECT_EQ(backend->canvasPixel(715, row * 22 + 21), rowColour[(row + 1) % 3]) << row;
  }
  // The bottom row is the console's to fill; the copy leaves it alone.
  EXPECT_EQ(backend->canvasPixel(5, 24 * 22), rowColour[24 % 3]);
  // Blocks reaching outside the canvas are clipped.
  backend->scrollUp(-50, -50, 5000, 5000, 22);
  backend->scrollUp(0, 0, 720, 550, -22);
}

TEST_F(SdlWindowTest, CaretShowsOnlyOnTheWindow) {
  openWindow();
  backend->fillRect(0, 0, 720, 550, kBlack);
  backend->present();
  const int y = 2 * 22 + metrics.ascent;
  backend->showCaret(9, y, 9, 2);
  backend->present();
  EXPECT_EQ(backend->shownPixel(9, y), kWhite);
  EXPECT_EQ(backend->shownPixel(17, y + 1), kWhite);
  EXPECT_EQ(backend->shownPixel(18, y), kBlack);
  EXPECT_EQ(backend->shownPixel(9, y + 2), kBlack);
  EXPECT_EQ(backend->canvasPixel(9, y), kBlack);
  // Text drawn under the caret stays right when the caret goes.
  backend->fillRect(9, 44, 9, 22, kBlue);
  backend->present();
  EXPECT_EQ(backend->shownPixel(9, y), kYellow);  // inverted blue
  backend->hideCaret();
  backend->present();
  EXPECT_EQ(backend->shownPixel(9, y), kBlue);
}

TEST_F(SdlWindowTest, MagnifierStretchesTheSnapshotAndRestores) {
  openWindow();
  backend->fillRect(0, 0, 360, 550, kRed);
  backend->fillRect(360, 0, 360, 550, kBlue);
  backend->present();
  EXPECT_EQ(backend->shownPixel(700, 10), kBlue);
  backend->takeSnapshot();
  backend->drawSnapshot(0, 0, 360, 275);
  EXPECT_EQ(backend->shownPixel(700, 10), kRed);
  EXPECT_EQ(backend->shownPixel(700, 540), kRed);
  // Output while the button is held reaches the canvas but not the window.
  backend->fillRect(0, 0, 720, 550, kYellow);
  backend->present();
  EXPECT_EQ(backend->shownPixel(5, 5), kRed);
  // A source rectangle reaching past the picture is kept inside it.
  backend->drawSnapshot(600, 500, 360, 275);
  EXPECT_EQ(backend->shownPixel(0, 0), kBlue);
  backend->releaseSnapshot();
  backend->present();
  EXPECT_EQ(backend->shownPixel(5, 5), kYellow);
  // Without a snapshot nothing is magnified.
  backend->drawSnapshot(0, 0, 10, 10);
  EXPECT_EQ(backend->shownPixel(700, 10), kYellow);
}

TEST_F(SdlWindowTest, PaintComesLastAndCoalesced) {
  openWindow();
  drain();
  // Two exposures ask for a whole-window paint each; the paints are joined.
  SDL_Event exposed{};
  exposed.type = SDL_WINDOWEVENT;
  exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
  ASSERT_EQ(SDL_PushEvent(&exposed), 1);
  ASSERT_EQ(SDL_PushEvent(&exposed), 1);
  SDL_Event key = keyEvent(SDL_KEYDOWN, SDLK_F1, 0);
  ASSERT_EQ(SDL_PushEvent(&key), 1);
  Message m;
  ASSERT_TRUE(backend->peekMessage(m));
  EXPECT_EQ(m.type, MessageType::KeyDown);
  EXPECT_EQ(m.code, vk::F1);
  ASSERT_TRUE(backend->peekMessage(m));
  EXPECT_EQ(m.type, MessageType::Paint);
  EXPECT_EQ(m.x, 0);
  EXPECT_EQ(m.y, 0);
  EXPECT_EQ(m.x2, 720);
  EXPECT_EQ(m.y2, 550);
  EXPECT_FALSE(backend->peekMessage(m));
}

TEST_F(SdlWindowTest, WindowAndMouseEventsBecomeMessages) {
  openWindow();
  drain();
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&e);
  e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_PushEvent(&e);
  SDL_Event b{};
  b.type = SDL_MOUSEBUTTONDOWN;
  b.button.button = SDL_BUTTON_RIGHT;
  b.button.x = 700;
  b.button.y = 540;
  SDL_PushEvent(&b);
  b.button.button = SDL_BUTTON_LEFT;
  SDL_PushEvent(&b);
  SDL_Event q{};
  q.type = SDL_QUIT;
  SDL_PushEvent(&q);

  std::vector<Message> got;
  Message m;
  while (backend->peekMessage(m)) {
    if (m.type != MessageType::Paint && m.type != MessageType::MouseMove) got.push_back(m);
  }
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].type, MessageType::Close);
  EXPECT_EQ(got[1].type, MessageType::KillFocus);
  EXPECT_EQ(got[2].type, MessageType::RightDown);
  EXPECT_EQ(got[2].x, 700);
  EXPECT_EQ(got[2].y, 540);
  EXPECT_EQ(got[3].type, MessageType::Quit);
}

TEST_F(SdlWindowTest, PostedMessagesWakeTheWaiterInOrder) {
  openWindow();
  drain();
  std::thread poster([this] {
    for (std::uintptr_t i = 0; i < 50; ++i) {
      Message m;
      m.type = MessageType::User;
      m.code = kMsgWaveDone;
      m.param1 = i;
      m.param2 = i * 2;
      backend->postMessage(m);
    }
  });
  std::uintptr_t next = 0;
  while (next < 50) {
    backend->waitMessage();
    Message m;
    while (backend->peekMessage(m)) {
      if (m.type != MessageType::User) continue;
      EXPECT_EQ(m.code, kMsgWaveDone);
      EXPECT_EQ(m.param1, next);
      EXPECT_EQ(m.param2, next * 2);
      ++next;
    }
  }
  poster.join();
}

TEST_F(SdlWindowTest, ClipboardConvertsCodePage) {
  openWindow();
  ASSERT_TRUE(backend->setClipboard("a\xE7\xE3o \x80"));  // ação €
  std::string text;
  bool hasText = false;
  ASSERT_TRUE(backend->getClipboard(text, hasText));
  EXPECT_TRUE(hasText);
  EXPECT_EQ(text, "a\xE7\xE3o \x80");
  ASSERT_EQ(SDL_SetClipboardText("\xE2\x9C\x93ok"), 0);
  ASSERT_TRUE(backend->getClipboard(text, hasText));
  EXPECT_EQ(text, "?ok");
  ASSERT_EQ(SDL_SetClipboardText(""), 0);
  ASSERT_TRUE(backend->getClipboard(text, hasText));
  EXPECT_FALSE(hasText);
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace lamina::platform
