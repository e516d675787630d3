#pragma once
// Pixel copies done by the display server inside an SDL window, so that a
// scrolled picture need not be sent to the server again. Only where the
// window lives on an X server; elsewhere available() is false and the
// caller copies and sends the pixels itself.
struct SDL_Window;

namespace lamina::platform::sdl_detail {

class ServerCopy {
 public:
  explicit ServerCopy(SDL_Window* window);
  ~ServerCopy();
  ServerCopy(const ServerCopy&) = delete;
  ServerCopy& operator=(const ServerCopy&) = delete;

  bool available() const { return gc_ != nullptr; }
  // Copies the window's pixel block (x, y, w, h) to (toX, toY).
  void copy(int x, int y, int w, int h, int toX, int toY);

 private:
  void* display_ = nullptr;
  unsigned long window_ = 0;
  void* gc_ = nullptr;
};

// Whether the key in the place of the right Alt is AltGr on the window's
// current keyboard layout (it shifts to the third level, as on the Brazilian
// layout) rather than a second Alt (as on the US layout). True where the
// layout cannot be asked: the key tables' platform treats it so.
bool rightAltIsAltGr(SDL_Window* window);

}  // namespace lamina::platform::sdl_detail
