// Kept apart from the window backend: the X headers define names (None,
// Status, Bool) that clash with the console's own.
#include <SDL.h>
#include <SDL_syswm.h>

#include <cstring>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/XKBlib.h>
#include <X11/Xproto.h>
#include <X11/keysym.h>
#endif

#include "platform/sdl_server_copy_internal.h"

namespace lamina::platform::sdl_detail {

ServerCopy::ServerCopy(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE ||
      info.subsystem != SDL_SYSWM_X11) {
    return;
  }
  Display* display = info.info.x11.display;
  XGCValues values{};
  // No exposure events for parts of the source that are not on screen: the
  // window is repainted whole when it is exposed again.
  values.graphics_exposures = False;
  GC gc = XCreateGC(display, info.info.x11.window, GCGraphicsExposures, &values);
  if (gc == nullptr) return;
  display_ = display;
  window_ = info.info.x11.window;
  gc_ = gc;
#else
  (void)window;
#endif
}

ServerCopy::~ServerCopy() {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (gc_ != nullptr) XFreeGC(static_cast<Display*>(display_), static_cast<GC>(gc_));
#endif
}

void ServerCopy::copy(int x, int y, int w, int h, int toX, int toY) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (gc_ == nullptr || w <= 0 || h <= 0) return;
  auto* display = static_cast<Display*>(display_);
  XCopyArea(display, window_, window_, static_cast<GC>(gc_), x, y, static_cast<unsigned>(w),
            static_cast<unsigned>(h), toX, toY);
  XFlush(display);
#else
  (void)x, (void)y, (void)w, (void)h, (void)toX, (void)toY;
#endif
}

bool rightAltIsAltGr(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE ||
      info.subsystem != SDL_SYSWM_X11) {
    return true;
  }
  Display* display = info.info.x11.display;
  XkbDescPtr keyboard = XkbGetMap(display, 0, XkbUseCoreKbd);
  if (keyboard == nullptr) return true;
  bool altGr = true;
  XkbStateRec state{};
  const int group = XkbGetState(display, XkbUseCoreKbd, &state) == Success ? state.group : 0;
  // The key is found by its XKB name, whatever its key code on this server.
  if (XkbGetNames(display, XkbKeyNamesMask, keyboard) == Success && keyboard->names != nullptr &&
      keyboard->names->keys != nullptr) {
    for (int code = keyboard->min_key_code; code <= keyboard->max_key_code; ++code) {
      if (std::strncmp(keyboard->names->keys[code].name, "RALT", XkbKeyNameLength) != 0) continue;
      const KeySym sym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(code), group, 0);
      altGr = sym == XK_ISO_Level3_Shift || sym == XK_Mode_switch;
      break;
    }
  }
  XkbFreeKeyboard(keyboard, 0, True);
  return altGr;
#else
  (void)window;
  return true;
#endif
}

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {

XErrorHandler previousErrorHandler = nullptr;

int errorHandler(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
  return previousErrorHandler != nullptr ? previousErrorHandler(display, error) : 0;
}

}  // namespace
#endif

void ignoreWakeupsOfDestroyedWindows() {
#if defined(SDL_VIDEO_DRIVER_X11)
  // Each start of the backend asks again; the handler is installed once.
  const XErrorHandler current = XSetErrorHandler(&errorHandler);
  if (current != &errorHandler) previousErrorHandler = current;
#endif
}

}  // namespace lamina::platform::sdl_detail
