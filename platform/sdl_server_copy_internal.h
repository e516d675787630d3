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

// SDL wakes its own wait for events by sending an event to the window over
// a second connection to the X server. When the window is destroyed before
// the server has read that request, the server answers BadWindow, and
// Xlib's default handler ends the program with exit code 1 as SDL closes
// the connection. Those answers, and only those, are ignored from now on;
// every other error goes to the handler installed before. Called before
// SDL's video starts, so that SDL keeps it under its own handler and puts it
// back when it closes its connections.
void ignoreWakeupsOfDestroyedWindows();

}  // namespace lamina::platform::sdl_detail
