// A window of the SDL backend driven from outside (xdotool) under a virtual
// display: draws a known picture, logs every message it receives, runs the
// right-button magnifier as the console does, scrolls three lines on F5 and
// draws its picture again on F6, and ends on Esc or Close.
//
//   window_probe LOG_FILE
//
// Log lines: "Size W H" once the picture is shown, then one line per
// message: "NAME code shift ctrl alt x y".
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/sdl_window.h"

namespace {

using lamina::platform::Message;
using lamina::platform::MessageType;
using lamina::platform::Rgb;
using lamina::platform::WindowBackend;

const char* nameOf(MessageType type) {
  switch (type) {
    case MessageType::None:
      return "None";
    case MessageType::KeyDown:
      return "KeyDown";
    case MessageType::SysKeyDown:
      return "SysKeyDown";
    case MessageType::KeyUp:
      return "KeyUp";
    case MessageType::Char:
      return "Char";
    case MessageType::Paint:
      return "Paint";
    case MessageType::Close:
      return "Close";
    case MessageType::SetFocus:
      return "SetFocus";
    case MessageType::KillFocus:
      return "KillFocus";
    case MessageType::RightDown:
      return "RightDown";
    case MessageType::RightUp:
      return "RightUp";
    case MessageType::MouseMove:
      return "MouseMove";
    case MessageType::User:
      return "User";
    case MessageType::Quit:
      return "Quit";
  }
  return "?";
}

constexpr int kCellW = 9;
constexpr int kCellH = 22;

// Row 1 holds the banner in yellow on blue from column 2; cell (10, 5) is
// red; the rest is black.
void drawPicture(WindowBackend& window) {
  window.fillRect(0, 0, 80 * kCellW, 25 * kCellH, Rgb{0, 0, 0});
  window.drawText(kCellW, 0, " LAMINA - console de demonstra\xE7\xE3o ", Rgb{255, 255, 0},
                  Rgb{0, 0, 255});
  window.fillRect(10 * kCellW, 5 * kCellH, kCellW, kCellH, Rgb{255, 0, 0});
  window.present();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: window_probe LOG_FILE\n");
    return 2;
  }
  std::ofstream log(argv[1]);
  auto window = lamina::platform::createSdlWindowBackend();
  if (!window) {
    std::fprintf(stderr, "window_probe: no display\n");
    return 3;
  }
  window->openFont({"Lucida Console", kCellW, kCellH, 700});
  lamina::platform::WindowSpec spec;
  spec.caption = "lamina window probe";
  spec.width = 80 * kCellW;
  spec.height = 25 * kCellH;
  if (!window->createWindow(spec)) return 4;
  drawPicture(*window);
  log << "Size " << window->clientWidth() << ' ' << window->clientHeight() << std::endl;

  bool magnifier = false;
  for (;;) {
    window->waitMessage();
    Message m;
    while (window->peekMessage(m)) {
      if (m.type != MessageType::MouseMove) {
        log << nameOf(m.type) << ' ' << m.code << ' ' << m.mods.shift << ' ' << m.mods.ctrl << ' '
            << m.mods.alt << ' ' << m.x << ' ' << m.y << std::endl;
      }
      const int w = window->clientWidth(), h = window->clientHeight();
      switch (m.type) {
        case MessageType::Paint:
          drawPicture(*window);
          break;
        case MessageType::RightDown:
          magnifier = true;
          window->takeSnapshot();
          [[fallthrough]];
        case MessageType::MouseMove:
          if (magnifier) window->drawSnapshot(m.x - m.x / 2, m.y - m.y / 2, w / 2, h / 2);
          break;
        case MessageType::RightUp:
          magnifier = false;
          window->releaseSnapshot();
          drawPicture(*window);
          break;
        case MessageType::KeyDown:
          if (m.code == lamina::platform::vk::F1 + 4) {
            // F5: three lines of scrolling, as the console does with LENTO.
            for (int i = 0; i < 3; ++i) {
              window->scrollUp(0, kCellH, 80 * kCellW, 24 * kCellH, kCellH);
              window->fillRect(0, 24 * kCellH, 80 * kCellW, kCellH, Rgb{0, 0, 0});
              window->present();
            }
          } else if (m.code == lamina::platform::vk::F1 + 5) {
            drawPicture(*window);  // F6: back to the start
          }
          if (m.code != lamina::platform::vk::Escape) break;
          [[fallthrough]];
        case MessageType::Close:
        case MessageType::Quit:
          return 0;
        default:
          break;
      }
    }
  }
}
