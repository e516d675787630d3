#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "platform/cp1252.h"
#include "platform/log.h"
#include "platform/sdl_server_copy_internal.h"
#include "platform/sdl_window_internal.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LAMINA_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define LAMINA_ASAN 1
#endif

#ifdef LAMINA_ASAN
// fontconfig keeps what it allocates while parsing its configuration files
// until the process ends; that is the library's, not a leak of ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
#endif

namespace lamina::platform {

namespace sdl_detail {
void SurfaceDeleter::operator()(SDL_Surface* s) const {
  SDL_FreeSurface(s);
}
void WindowDeleter::operator()(SDL_Window* w) const {
  SDL_DestroyWindow(w);
}
}  // namespace sdl_detail

namespace {

using sdl_detail::SurfacePtr;

// Cells beyond these sizes would only make surfaces no screen can show; a
// broken ORALIS.INI must not be able to ask for gigabytes.
constexpr int kMaxCellWidth = 128;
constexpr int kMaxCellHeight = 256;
// The platform's fixed system font, used when no face is configured.
constexpr int kSystemCellWidth = 8;
constexpr int kSystemCellHeight = 16;
constexpr const char* kFallbackFace = "DejaVu Sans Mono";

void logSdlError(const std::string& what) {
  logError("sdl", what + ": " + SDL_GetError());
}

SurfacePtr makeCanvas(int w, int h) {
  SurfacePtr canvas(SDL_CreateRGBSurfaceWithFormat(0, std::max(1, w), std::max(1, h), 32,
                                                   SDL_PIXELFORMAT_RGB888));
  if (!canvas)
    logSdlError("cannot make a picture of " + std::to_string(w) + "x" + std::to_string(h));
  return canvas;
}

std::uint32_t packRgb(Rgb c) {
  return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | std::uint32_t{c.b};
}

std::uint32_t* rowOf(SDL_Surface* s, int y) {
  return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) +
                                          static_cast<std::ptrdiff_t>(y) * s->pitch);
}

Rgb readPixel(SDL_Surface* s, int x, int y) {
  if (s == nullptr || x < 0 || y < 0 || x >= s->w || y >= s->h) return {};
  if (SDL_LockSurface(s) != 0) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(s->pixels) +
                      static_cast<std::ptrdiff_t>(y) * s->pitch +
                      static_cast<std::ptrdiff_t>(x) * s->format->BytesPerPixel;
  std::uint32_t raw = 0;
  std::memcpy(&raw, bytes, std::min<std::size_t>(sizeof raw, s->format->BytesPerPixel));
  Rgb c;
  SDL_GetRGB(raw, s->format, &c.r, &c.g, &c.b);
  SDL_UnlockSurface(s);
  return c;
}

bool sameNameNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

struct FaceFile {
  std::string file;
  int index = 0;
};

// fontconfig always answers with its best match; a match of another family
// means the face is not installed, and the caller falls back.
std::optional<FaceFile> findFace(const std::string& familyUtf8, bool bold) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return std::nullopt;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(familyUtf8.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return std::nullopt;
  std::optional<FaceFile> found;
  bool familyMatches = false;
  FcChar8* family = nullptr;
  for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
    if (sameNameNoCase(reinterpret_cast<const char*>(family), familyUtf8)) familyMatches = true;
  }
  FcChar8* file = nullptr;
  if (familyMatches && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    FaceFile face{reinterpret_cast<const char*>(file), 0};
    FcPatternGetInteger(match, FC_INDEX, 0, &face.index);
    found = face;
  }
  FcPatternDestroy(match);
  return found;
}

struct TtfFontDeleter {
  void operator()(TTF_Font* f) const { TTF_CloseFont(f); }
};
using TtfFontPtr = std::unique_ptr<TTF_Font, TtfFontDeleter>;

int faceHeight(TTF_Font* font) {
  return TTF_FontAscent(font) - TTF_FontDescent(font);
}

// Opens the face at the size whose ascent + descent fills the cell height,
// as the platform's font mapper does for a positive height.
TtfFontPtr openSized(const FaceFile& face, int cellHeight) {
  TtfFontPtr font(TTF_OpenFontIndex(face.file.c_str(), cellHeight, face.index));
  if (!font) {
    logSdlError("cannot open the face " + face.file);
    return font;
  }
  int size = cellHeight;
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int h = faceHeight(font.get());
    if (h <= 0 || h == cellHeight) break;
    const int next = std::max(1, static_cast<int>(std::lround(double(size) * cellHeight / h)));
    if (next == size) break;
    size = next;
    if (TTF_SetFontSize(font.get(), size) != 0) break;
  }
  return font;
}

// Coverage of one glyph over [0, srcW) x [0, srcH) pen-relative pixels.
std::vector<std::uint8_t> glyphCoverage(TTF_Font* font, char32_t cp, int nominalAdvance, int& srcW,
                                        int& srcH) {
  srcH = std::max(1, faceHeight(font));
  srcW = std::max(1, nominalAdvance);
  std::vector<std::uint8_t> cover;
  int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
  if (cp < 0x21 || (cp >= 0x7F && cp < 0xA0) || !TTF_GlyphIsProvided32(font, cp) ||
      TTF_GlyphMetrics32(font, cp, &minx, &maxx, &miny, &maxy, &advance) != 0) {
    cover.assign(static_cast<std::size_t>(srcW) * srcH, 0);
    return cover;
  }
  // A glyph wider than the face's usual advance keeps its own width; a
  // narrower one is centred in the usual advance.
  srcW = std::max(srcW, advance);
  const int shift = (srcW - advance) / 2;
  cover.assign(static_cast<std::size_t>(srcW) * srcH, 0);
  SurfacePtr glyph(TTF_RenderGlyph32_Blended(font, cp, SDL_Color{255, 255, 255, 255}));
  if (!glyph) return cover;
  SurfacePtr argb(SDL_ConvertSurfaceFormat(glyph.get(), SDL_PIXELFORMAT_ARGB8888, 0));
  if (!argb || SDL_LockSurface(argb.get()) != 0) return cover;
  // The rendered picture starts at the leftmost ink when that lies left of
  // the pen, and at the pen otherwise.
  const int penX = std::max(0, -minx);
  for (int y = 0; y < std::min(srcH, argb->h); ++y) {
    const std::uint32_t* row = rowOf(argb.get(), y);
    for (int x = 0; x < advance; ++x) {
      const int sx = x + penX;
      if (sx < 0 || sx >= argb->w) continue;
      cover[static_cast<std::size_t>(y) * srcW + (x + shift)] =
          static_cast<std::uint8_t>(row[sx] >> 24);
    }
  }
  SDL_UnlockSurface(argb.get());
  return cover;
}

Message messageOf(MessageType type) {
  Message m;
  m.type = type;
  return m;
}

}  // namespace

std::vector<std::uint8_t> resampleCoverage(std::span<const std::uint8_t> src, int srcW, int srcH,
                                           int dstW, int dstH) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(std::max(0, dstW)) * std::max(0, dstH), 0);
  if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0 ||
      src.size() < static_cast<std::size_t>(srcW) * srcH) {
    return out;
  }
  // Each destination pixel averages the source area it covers, weighting
  // the partly covered source pixels by their share.
  auto weights = [](int from, int to) {
    std::vector<std::vector<std::pair<int, double>>> w(static_cast<std::size_t>(to));
    const double scale = double(from) / to;
    for (int i = 0; i < to; ++i) {
      const double a = i * scale;
      const double b = (i + 1) * scale;
      for (int k = static_cast<int>(a); k < from && k < b; ++k) {
        const double share = std::min(b, double(k + 1)) - std::max(a, double(k));
        if (share > 0) w[static_cast<std::size_t>(i)].emplace_back(k, share / scale);
      }
    }
    return w;
  };
  const auto wx = weights(srcW, dstW);
  const auto wy = weights(srcH, dstH);
  std::vector<double> horizontal(static_cast<std::size_t>(dstW) * srcH, 0.0);
  for (int y = 0; y < srcH; ++y) {
    for (int x = 0; x < dstW; ++x) {
      double sum = 0;
      for (const auto& [k, w] : wx[static_cast<std::size_t>(x)]) {
        sum += w * src[static_cast<std::size_t>(y) * srcW + k];
      }
      horizontal[static_cast<std::size_t>(y) * dstW + x] = sum;
    }
  }
  for (int y = 0; y < dstH; ++y) {
    for (int x = 0; x < dstW; ++x) {
      double sum = 0;
      for (const auto& [k, w] : wy[static_cast<std::size_t>(y)]) {
        sum += w * horizontal[static_cast<std::size_t>(k) * dstW + x];
      }
      out[static_cast<std::size_t>(y) * dstW + x] =
          static_cast<std::uint8_t>(std::clamp(std::lround(sum), 0L, 255L));
    }
  }
  return out;
}

std::uint32_t virtualKeyOf(std::int32_t sdlKey, bool numLock) {
  if (sdlKey >= SDLK_a && sdlKey <= SDLK_z)
    return static_cast<std::uint32_t>(sdlKey - SDLK_a + 'A');
  if (sdlKey >= SDLK_0 && sdlKey <= SDLK_9) return static_cast<std::uint32_t>(sdlKey);
  if (sdlKey >= SDLK_F1 && sdlKey <= SDLK_F12)
    return vk::F1 + static_cast<std::uint32_t>(sdlKey - SDLK_F1);
  if (sdlKey >= SDLK_KP_1 && sdlKey <= SDLK_KP_9 && numLock) {
    return 0x61 + static_cast<std::uint32_t>(sdlKey - SDLK_KP_1);  // VK_NUMPAD1..9
  }
  switch (sdlKey) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return vk::Return;
    case SDLK_ESCAPE:
      return vk::Escape;
    case SDLK_BACKSPACE:
      return vk::Back;
    case SDLK_TAB:
      return vk::Tab;
    case SDLK_SPACE:
      return vk::Space;
    case SDLK_PAGEUP:
      return vk::Prior;
    case SDLK_PAGEDOWN:
      return vk::Next;
    case SDLK_END:
      return vk::End;
    case SDLK_HOME:
      return vk::Home;
    case SDLK_LEFT:
      return vk::Left;
    case SDLK_UP:
      return vk::Up;
    case SDLK_RIGHT:
      return vk::Right;
    case SDLK_DOWN:
      return vk::Down;
    case SDLK_INSERT:
      return vk::Insert;
    case SDLK_DELETE:
      return vk::Delete;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return vk::Shift;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return vk::Control;
    case SDLK_LALT:
    case SDLK_RALT:
    case SDLK_MODE:
      return vk::Menu;
    case SDLK_PAUSE:
      return 0x13;
    case SDLK_CAPSLOCK:
      return 0x14;
    case SDLK_NUMLOCKCLEAR:
      return 0x90;
    case SDLK_SCROLLLOCK:
      return 0x91;
    case SDLK_PRINTSCREEN:
      return 0x2C;
    case SDLK_LGUI:
      return 0x5B;
    case SDLK_RGUI:
      return 0x5C;
    case SDLK_APPLICATION:
      return 0x5D;
    case SDLK_KP_MULTIPLY:
      return 0x6A;
    case SDLK_KP_PLUS:
      return 0x6B;
    case SDLK_KP_MINUS:
      return 0x6D;
    case SDLK_KP_DIVIDE:
      return 0x6F;
    case SDLK_SEMICOLON:
      return 0xBA;
    case SDLK_EQUALS:
      return 0xBB;
    case SDLK_COMMA:
      return 0xBC;
    case SDLK_MINUS:
      return 0xBD;
    case SDLK_PERIOD:
      return 0xBE;
    case SDLK_SLASH:
      return 0xBF;
    case SDLK_BACKQUOTE:
      return 0xC0;
    case SDLK_LEFTBRACKET:
      return 0xDB;
    case SDLK_BACKSLASH:
      return 0xDC;
    case SDLK_RIGHTBRACKET:
      return 0xDD;
    case SDLK_QUOTE:
      return 0xDE;
    default:
      break;
  }
  // The keypad without Num Lock is a second set of cursor keys.
  switch (sdlKey) {
    case SDLK_KP_0:
      return numLock ? 0x60 : vk::Insert;
    case SDLK_KP_PERIOD:
      return numLock ? 0x6E : vk::Delete;
    case SDLK_KP_1:
      return vk::End;
    case SDLK_KP_2:
      return vk::Down;
    case SDLK_KP_3:
      return vk::Next;
    case SDLK_KP_4:
      return vk::Left;
    case SDLK_KP_5:
      return 0x0C;  // Clear
    case SDLK_KP_6:
      return vk::Right;
    case SDLK_KP_7:
      return vk::Home;
    case SDLK_KP_8:
      return vk::Up;
    case SDLK_KP_9:
      return vk::Prior;
    default:
      return 0;
  }
}

namespace {

bool altGrHeld(std::uint16_t sdlMods, bool rightAltIsAltGr) {
  return (sdlMods & KMOD_MODE) != 0 || (rightAltIsAltGr && (sdlMods & KMOD_RALT) != 0);
}

bool plainAltHeld(std::uint16_t sdlMods, bool rightAltIsAltGr) {
  return (sdlMods & KMOD_LALT) != 0 || (!rightAltIsAltGr && (sdlMods & KMOD_RALT) != 0);
}

}  // namespace

Modifiers modifiersOf(std::uint16_t sdlMods, bool rightAltIsAltGr) {
  const bool altGr = altGrHeld(sdlMods, rightAltIsAltGr);
  Modifiers m;
  m.shift = (sdlMods & KMOD_SHIFT) != 0;
  m.ctrl = (sdlMods & KMOD_CTRL) != 0 || altGr;
  m.alt = plainAltHeld(sdlMods, rightAltIsAltGr) || altGr;
  return m;
}

void translateKeyEvent(const SDL_Event& event, std::uint16_t& lastKeyMods, std::deque<Message>& out,
                       bool rightAltIsAltGr) {
  if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
    const SDL_Keysym& key = event.key.keysym;
    lastKeyMods = key.mod;
    const Modifiers mods = modifiersOf(key.mod, rightAltIsAltGr);
    std::uint32_t code = virtualKeyOf(key.sym, (key.mod & KMOD_NUM) != 0);
    if (event.type == SDL_KEYUP) {
      Message up = messageOf(MessageType::KeyUp);
      up.code = code;
      up.mods = mods;
      out.push_back(up);
      return;
    }
    // Ctrl+Pause is the Break key.
    if (key.sym == SDLK_PAUSE && mods.ctrl) code = vk::Cancel;
    Message down = messageOf((mods.alt && !mods.ctrl) || code == vk::F10 ? MessageType::SysKeyDown
                                                                         : MessageType::KeyDown);
    down.code = code;
    down.mods = mods;
    out.push_back(down);
    // The control characters that keyboard translation makes of keys which
    // bring no text of their own. With Alt they would be system characters,
    // which never reach the console.
    if (mods.alt) return;
    std::uint32_t ch = 0;
    const bool physicalCtrl = (key.mod & KMOD_CTRL) != 0;
    if (code == vk::Return) {
      ch = 13;
    } else if (code == vk::Back) {
      ch = 8;
    } else if (code == vk::Tab && !physicalCtrl) {
      ch = 9;
    } else if (code == vk::Escape) {
      ch = 27;
    } else if (physicalCtrl && code >= 'A' && code <= 'Z') {
      ch = code - 'A' + 1;
    }
    if (ch != 0) {
      Message c = messageOf(MessageType::Char);
      c.code = ch;
      c.mods = mods;
      out.push_back(c);
    }
    return;
  }
  if (event.type != SDL_TEXTINPUT) return;
  // A key with Ctrl, or with the left Alt alone, gives no text on the
  // platform the key tables come from (Ctrl+digit, Alt+letter); X still
  // sends the plain character, so it is dropped here. AltGr text passes.
  const bool ctrl = (lastKeyMods & KMOD_CTRL) != 0;
  const bool altAlone =
      plainAltHeld(lastKeyMods, rightAltIsAltGr) && !altGrHeld(lastKeyMods, rightAltIsAltGr);
  if (ctrl || altAlone) return;
  const Modifiers mods = modifiersOf(lastKeyMods, rightAltIsAltGr);
  const std::string_view text(event.text.text, strnlen(event.text.text, sizeof event.text.text));
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char32_t cp = cp1252::decodeUtf8(text, pos);
    if (cp < 0x20 || cp == 0x7F) continue;
    Message c = messageOf(MessageType::Char);
    c.code = static_cast<unsigned char>(cp1252::fromUnicode(cp));
    c.mods = mods;
    out.push_back(c);
  }
}

std::unique_ptr<WindowBackend> createSdlWindowBackend() {
  return SdlWindowBackend::create();
}

std::unique_ptr<SdlWindowBackend> SdlWindowBackend::create() {
  // The Close button must reach the console as a Close message; SDL would
  // otherwise add a quit event when the last window is asked to close.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // The canvas is already the picture: the window's own frame buffer is the
  // cheapest way to show it, where an accelerated one would re-create the
  // window and pass every frame through a texture.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Ctrl+C and SIGTERM are the program's (QuitSignals), not SDL's.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Before SDL's video starts: SDL chains its X error handler to the one it
  // finds, and puts that one back as it closes its connections.
  sdl_detail::ignoreWakeupsOfDestroyedWindows();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    logSdlError("no video");
    return nullptr;
  }
  // With no display SDL settles on a driver that shows nothing; a window
  // nobody can see must not pass for one, unless that driver was asked for.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  const bool invisible = driver != nullptr && (std::strcmp(driver, "offscreen") == 0 ||
                                               std::strcmp(driver, "dummy") == 0);
  if (invisible && (asked == nullptr || *asked == '\0')) {
    logWarning("sdl", std::string("no display; the video driver is ") + driver);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  if (TTF_Init() != 0) {
    logSdlError("no font rendering");
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  const Uint32 type = SDL_RegisterEvents(1);
  if (type == static_cast<Uint32>(-1)) {
    logSdlError("no user event type");
    TTF_Quit();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  return std::make_unique<SdlWindowBackend>(Key{}, type);
}

SdlWindowBackend::SdlWindowBackend(Key, std::uint32_t userEventType)
    : userEventType_(userEventType) {}

SdlWindowBackend::~SdlWindowBackend() {
  destroyWindow();
  TTF_Quit();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

FontMetrics SdlWindowBackend::openFont(const FontRequest& request) {
  const bool systemFont = request.face.empty();
  cellW_ = systemFont ? kSystemCellWidth : request.width;
  cellH_ = systemFont ? kSystemCellHeight : request.height;
  // A zero or negative size from a broken configuration takes the system
  // font's; the rest is capped.
  if (cellW_ <= 0) cellW_ = kSystemCellWidth;
  if (cellH_ <= 0) cellH_ = kSystemCellHeight;
  cellW_ = std::min(cellW_, kMaxCellWidth);
  cellH_ = std::min(cellH_, kMaxCellHeight);
  const bool bold = !systemFont && request.weight >= 600;

  std::optional<FaceFile> face;
  if (!systemFont) face = findFace(cp1252::toUtf8(request.face), bold);
  if (!face) face = findFace(kFallbackFace, bold);
  if (!face) face = findFace("monospace", bold);

  const std::size_t cellSize = static_cast<std::size_t>(cellW_) * cellH_;
  glyphs_.assign(cellSize * 256, 0);
  blended_.clear();
  fontFile_.clear();
  FontMetrics metrics;
  metrics.averageWidth = metrics.maximumWidth = cellW_;
  metrics.height = cellH_;
  metrics.externalLeading = 0;
  metrics.overhang = 0;
  metrics.ascent = cellH_ * 4 / 5;

  TtfFontPtr font = face ? openSized(*face, cellH_) : TtfFontPtr{};
  if (!font) return metrics;
  fontFile_ = face->file;
  const int natural = faceHeight(font.get());
  if (natural > 0) {
    metrics.ascent =
        static_cast<int>(std::lround(double(TTF_FontAscent(font.get())) * cellH_ / natural));
  }
  int nominal = 0;
  if (TTF_GlyphMetrics32(font.get(), U'0', nullptr, nullptr, nullptr, nullptr, &nominal) != 0) {
    nominal = cellW_;
  }
  for (int b = 0; b < 256; ++b) {
    int srcW = 0, srcH = 0;
    const auto cover = glyphCoverage(font.get(), cp1252::toUnicode(static_cast<unsigned char>(b)),
                                     nominal, srcW, srcH);
    const auto cell = resampleCoverage(cover, srcW, srcH, cellW_, cellH_);
    std::copy(cell.begin(), cell.end(),
              glyphs_.begin() + static_cast<std::ptrdiff_t>(cellSize) * b);
  }
  return metrics;
}

FrameMetrics SdlWindowBackend::frameMetrics() const {
  // SDL windows carry their decorations outside the client area.
  FrameMetrics frame;
  SDL_DisplayMode mode;
  const int display = window_ ? std::max(0, SDL_GetWindowDisplayIndex(window_.get())) : 0;
  if (SDL_GetDesktopDisplayMode(display, &mode) == 0 && mode.w > 0 && mode.h > 0) {
    frame.screenWidth = mode.w;
    frame.screenHeight = mode.h;
  }
  return frame;
}

bool SdlWindowBackend::createWindow(const WindowSpec& spec) {
  if (window_) return true;
  const FrameMetrics frame = frameMetrics();
  const int w = std::clamp(spec.width, 1, frame.screenWidth);
  const int h = std::clamp(spec.height, 1, frame.screenHeight);
  Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN;
  if (spec.maximised) flags |= SDL_WINDOW_MAXIMIZED;
  window_.reset(SDL_CreateWindow(cp1252::toUtf8(spec.caption).c_str(), SDL_WINDOWPOS_UNDEFINED,
                                 SDL_WINDOWPOS_UNDEFINED, w, h, flags));
  if (!window_) {
    logSdlError("cannot create the window");
    return false;
  }
  // Until the console sets its own limits: 16 x 4 cells at least, 80 x 25
  // cells (or the screen) at most.
  setSizeLimits(16 * cellW_, 4 * cellH_, std::min(80 * cellW_, frame.screenWidth),
                std::min(25 * cellH_, frame.screenHeight));
  ensureCanvas(clientWidth(), clientHeight());
  rightAltIsAltGr_ = sdl_detail::rightAltIsAltGr(window_.get());
  // A newly shown window is the active one, as on the platform the console
  // comes from; without a window manager nobody else would give it focus.
  SDL_RaiseWindow(window_.get());
  SDL_SetWindowInputFocus(window_.get());
  SDL_StartTextInput();
  invalidateAll();
  return true;
}

void SdlWindowBackend::destroyWindow() {
  caretShown_ = false;
  snapshot_.reset();
  magnified_.reset();
  canvas_.reset();
  dirty_ = false;
  serverCopy_.reset();
  window_.reset();
  lastSurface_ = nullptr;
  minW_ = minH_ = maxW_ = maxH_ = 0;
  invalid_ = false;
}

void SdlWindowBackend::setCaption(std::string_view cp1252) {
  if (window_) SDL_SetWindowTitle(window_.get(), cp1252::toUtf8(cp1252).c_str());
}

void SdlWindowBackend::setSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight) {
  minW_ = std::max(1, minWidth);
  minH_ = std::max(1, minHeight);
  maxW_ = std::max(minW_, maxWidth);
  maxH_ = std::max(minH_, maxHeight);
  applySizeLimits();
}

void SdlWindowBackend::applySizeLimits() {
  if (!window_ || minW_ == 0) return;
  SDL_SetWindowMinimumSize(window_.get(), minW_, minH_);
  SDL_SetWindowMaximumSize(window_.get(), maxW_, maxH_);
}

SDL_Surface* SdlWindowBackend::windowSurface() {
  SDL_Surface* surface = SDL_GetWindowSurface(window_.get());
  // Making the window's frame buffer rewrites its X size hints without the
  // limits; they are given again each time a new one is made.
  if (surface != nullptr && surface != lastSurface_) {
    lastSurface_ = surface;
    applySizeLimits();
    serverCopy_ = std::make_unique<sdl_detail::ServerCopy>(window_.get());
    if (canvas_) markDirty(0, 0, canvas_->w, canvas_->h);
  }
  return surface;
}

int SdlWindowBackend::clientWidth() const {
  if (!window_) return 0;
  int w = 0, h = 0;
  SDL_GetWindowSize(window_.get(), &w, &h);
  return w;
}

int SdlWindowBackend::clientHeight() const {
  if (!window_) return 0;
  int w = 0, h = 0;
  SDL_GetWindowSize(window_.get(), &w, &h);
  return h;
}

bool SdlWindowBackend::isActive() const {
  return window_ && (SDL_GetWindowFlags(window_.get()) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

int SdlWindowBackend::windowBottom() const {
  if (!window_) return 0;
  int x = 0, y = 0;
  SDL_GetWindowPosition(window_.get(), &x, &y);
  return y + clientHeight();
}

void SdlWindowBackend::ensureCanvas(int w, int h) {
  w = std::max(1, w);
  h = std::max(1, h);
  if (canvas_ && canvas_->w >= w && canvas_->h >= h) return;
  // The canvas only grows, so a window shrunk and enlarged again keeps its
  // picture until the console repaints it.
  SurfacePtr bigger =
      makeCanvas(std::max(w, canvas_ ? canvas_->w : 0), std::max(h, canvas_ ? canvas_->h : 0));
  if (!bigger) return;
  SDL_FillRect(bigger.get(), nullptr, 0);
  if (canvas_) SDL_BlitSurface(canvas_.get(), nullptr, bigger.get(), nullptr);
  canvas_ = std::move(bigger);
  markDirty(0, 0, canvas_->w, canvas_->h);
}

void SdlWindowBackend::markDirty(int x, int y, int w, int h) {
  if (!canvas_) return;
  SDL_Rect r{x, y, w, h};
  const SDL_Rect all{0, 0, canvas_->w, canvas_->h};
  if (SDL_IntersectRect(&r, &all, &r) != SDL_TRUE) return;
  if (dirty_) {
    SDL_Rect old{dirtyRect_.x, dirtyRect_.y, dirtyRect_.w, dirtyRect_.h};
    SDL_UnionRect(&old, &r, &r);
  }
  dirtyRect_ = {r.x, r.y, r.w, r.h};
  dirty_ = true;
}

void SdlWindowBackend::addInvalid(int x, int y, int x2, int y2) {
  if (x2 <= x || y2 <= y) return;
  if (!invalid_) {
    invX_ = x, invY_ = y, invX2_ = x2, invY2_ = y2;
    invalid_ = true;
    return;
  }
  invX_ = std::min(invX_, x);
  invY_ = std::min(invY_, y);
  invX2_ = std::max(invX2_, x2);
  invY2_ = std::max(invY2_, y2);
}

void SdlWindowBackend::translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTINPUT:
      translateKeyEvent(event, lastKeyMods_, pending_, rightAltIsAltGr_);
      return;
    case SDL_KEYMAPCHANGED:
      rightAltIsAltGr_ = sdl_detail::rightAltIsAltGr(window_.get());
      return;
    case SDL_QUIT:
      pending_.push_back(messageOf(MessageType::Quit));
      return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      if (event.button.button != SDL_BUTTON_RIGHT) return;
      Message m = messageOf(event.type == SDL_MOUSEBUTTONDOWN ? MessageType::RightDown
                                                              : MessageType::RightUp);
      m.x = event.button.x;
      m.y = event.button.y;
      m.mods = modifiersOf(static_cast<std::uint16_t>(SDL_GetModState()), rightAltIsAltGr_);
      pending_.push_back(m);
      return;
    }
    case SDL_MOUSEMOTION: {
      Message m = messageOf(MessageType::MouseMove);
      m.x = event.motion.x;
      m.y = event.motion.y;
      pending_.push_back(m);
      return;
    }
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          pending_.push_back(messageOf(MessageType::Close));
          return;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          pending_.push_back(messageOf(MessageType::SetFocus));
          return;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          pending_.push_back(messageOf(MessageType::KillFocus));
          return;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          ensureCanvas(clientWidth(), clientHeight());
          invalidateAll();
          return;
        case SDL_WINDOWEVENT_EXPOSED:
          // The canvas still holds the picture: show it at once, and let the
          // console repaint as it would after any exposure.
          if (canvas_) markDirty(0, 0, canvas_->w, canvas_->h);
          if (magnified_) {
            showMagnified();
          } else {
            present();
          }
          invalidateAll();
          return;
        default:
          return;
      }
    default:
      if (event.type == userEventType_) {
        const std::lock_guard lock(postedMutex_);
        if (!posted_.empty()) {
          pending_.push_back(posted_.front());
          posted_.pop_front();
        }
      }
      return;
  }
}

bool SdlWindowBackend::peekMessage(Message& message) {
  SDL_Event event;
  while (pending_.empty() && SDL_PollEvent(&event) == 1) translate(event);
  if (!pending_.empty()) {
    message = pending_.front();
    pending_.pop_front();
    return true;
  }
  // Like the platform's paint message, a Paint comes only when nothing else
  // is waiting, and covers everything invalidated since the last one.
  if (invalid_) {
    invalid_ = false;
    message = messageOf(MessageType::Paint);
    message.x = invX_, message.y = invY_, message.x2 = invX2_, message.y2 = invY2_;
    return true;
  }
  return false;
}

void SdlWindowBackend::setAwaitingKey(bool) {
  // Keys come from the user whenever they are pressed.
}

void SdlWindowBackend::waitMessage() {
  if (!pending_.empty() || invalid_) return;
  // With no event structure SDL leaves the event in the queue.
  SDL_WaitEvent(nullptr);
}

void SdlWindowBackend::postMessage(const Message& message) {
  {
    const std::lock_guard lock(postedMutex_);
    posted_.push_back(message);
  }
  SDL_Event event{};
  event.type = userEventType_;
  event.user.code = static_cast<Sint32>(message.code);
  if (SDL_PushEvent(&event) != 1) {
    // Filtered or the queue is full: drop the message rather than leave it
    // to be delivered in the place of a later one.
    const std::lock_guard lock(postedMutex_);
    if (!posted_.empty()) posted_.pop_back();
  }
}

const std::uint32_t* SdlWindowBackend::cellPixels(unsigned char ch, Rgb fg, Rgb bg) {
  const std::uint64_t key = (std::uint64_t{packRgb(fg)} << 24) | packRgb(bg);
  const std::size_t cellSize = static_cast<std::size_t>(cellW_) * cellH_;
  // A console shows few colour pairs at a time; each keeps its cells blended
  // once, so drawing a cell is a copy of its rows.
  auto it = std::find_if(blended_.begin(), blended_.end(),
                         [key](const BlendedCells& b) { return b.key == key; });
  if (it == blended_.end()) {
    if (blended_.size() >= kBlendedPairs) blended_.erase(blended_.begin());
    blended_.push_back(BlendedCells{key, std::vector<std::uint32_t>(cellSize * 256),
                                    std::vector<bool>(256, false)});
    it = blended_.end() - 1;
  }
  std::uint32_t* pixels = it->pixels.data() + cellSize * ch;
  if (!it->ready[ch]) {
    const std::uint8_t* mask = glyphs_.data() + cellSize * ch;
    for (std::size_t i = 0; i < cellSize; ++i) {
      const unsigned a = mask[i];
      const auto mix = [a](unsigned f, unsigned b) {
        return static_cast<std::uint8_t>((f * a + b * (255 - a) + 127) / 255);
      };
      pixels[i] = packRgb(Rgb{mix(fg.r, bg.r), mix(fg.g, bg.g), mix(fg.b, bg.b)});
    }
    it->ready[ch] = true;
  }
  return pixels;
}

void SdlWindowBackend::drawCell(int x, int y, unsigned char ch, Rgb fg, Rgb bg) {
  SDL_Surface* s = canvas_.get();
  const int x0 = std::max(0, x), y0 = std::max(0, y);
  const int x1 = std::min(s->w, x + cellW_), y1 = std::min(s->h, y + cellH_);
  if (x0 >= x1 || y0 >= y1) return;
  const std::uint32_t* cell = cellPixels(ch, fg, bg);
  const std::size_t bytes = static_cast<std::size_t>(x1 - x0) * sizeof(std::uint32_t);
  for (int py = y0; py < y1; ++py) {
    std::memcpy(rowOf(s, py) + x0, cell + static_cast<std::size_t>(py - y) * cellW_ + (x0 - x),
                bytes);
  }
}

void SdlWindowBackend::drawText(int x, int y, std::string_view cp1252, Rgb fg, Rgb bg) {
  if (!canvas_ || glyphs_.empty()) return;
  if (SDL_LockSurface(canvas_.get()) != 0) return;
  for (std::size_t i = 0; i < cp1252.size(); ++i) {
    const int cx = x + static_cast<int>(i) * cellW_;
    if (cx >= canvas_->w) break;
    drawCell(cx, y, static_cast<unsigned char>(cp1252[i]), fg, bg);
  }
  SDL_UnlockSurface(canvas_.get());
  markDirty(x, y, static_cast<int>(std::min<std::size_t>(cp1252.size(), 1024)) * cellW_, cellH_);
}

void SdlWindowBackend::fillRect(int x, int y, int w, int h, Rgb colour) {
  if (!canvas_ || w <= 0 || h <= 0) return;
  const SDL_Rect r{x, y, w, h};
  SDL_FillRect(canvas_.get(), &r, packRgb(colour));
  markDirty(x, y, w, h);
}

void SdlWindowBackend::scrollUp(int x, int y, int w, int h, int dy) {
  if (!canvas_ || w <= 0 || h <= 0 || dy == 0) return;
  SDL_Surface* s = canvas_.get();
  const int x0 = std::max(0, x), x1 = std::min(s->w, x + w);
  // The rows that have a source and a destination inside the canvas.
  const int first = std::max({0, -y, dy - y}), end = std::min({h, s->h - y, s->h - y + dy});
  if (x0 >= x1 || first >= end) return;
  // Where the display server can copy inside the window, the window is
  // brought up to date and then scrolled in place: only the rows the
  // console fills afterwards travel to the server again. The caret and the
  // magnifier are on the window only, so they rule that out.
  const bool onServer = serverCopy_ && serverCopy_->available() && !caretShown_ && !magnified_;
  if (onServer) present();
  if (SDL_LockSurface(s) != 0) return;
  const std::size_t bytes = static_cast<std::size_t>(x1 - x0) * sizeof(std::uint32_t);
  // Rows move up when dy > 0: copy from the top so no source row is
  // overwritten before it is read; the other way round for dy < 0.
  for (int i = first; i < end; ++i) {
    const int row = dy > 0 ? i : end - 1 - (i - first);
    std::memmove(rowOf(s, y + row - dy) + x0, rowOf(s, y + row) + x0, bytes);
  }
  SDL_UnlockSurface(s);
  if (onServer && !dirty_) {
    serverCopy_->copy(x0, y + first, x1 - x0, end - first, x0, y + first - dy);
  } else {
    markDirty(x0, y + first - dy, x1 - x0, end - first);
  }
}

void SdlWindowBackend::invalidateAll() {
  if (window_) addInvalid(0, 0, clientWidth(), clientHeight());
}

void SdlWindowBackend::present() {
  // While the magnifier is shown the window keeps its picture; what is drawn
  // meanwhile waits in the canvas until the magnifier is released.
  if (!window_ || !canvas_ || magnified_) return;
  SDL_Surface* target = windowSurface();
  if (target == nullptr || !dirty_) return;
  SDL_Rect area{dirtyRect_.x, dirtyRect_.y, dirtyRect_.w, dirtyRect_.h};
  const SDL_Rect shown{0, 0, target->w, target->h};
  dirty_ = false;
  if (SDL_IntersectRect(&area, &shown, &area) != SDL_TRUE) return;
  // The caret inverts the pixels under it, as the platform's caret does;
  // it is put on for the copy and taken off again, so the canvas never
  // holds it.
  SDL_Rect caret{caretX_, caretY_, caretW_, caretH_};
  const SDL_Rect all{0, 0, canvas_->w, canvas_->h};
  const bool withCaret = caretShown_ && SDL_IntersectRect(&caret, &all, &caret) == SDL_TRUE;
  auto invert = [&] {
    if (SDL_LockSurface(canvas_.get()) != 0) return;
    for (int py = caret.y; py < caret.y + caret.h; ++py) {
      std::uint32_t* row = rowOf(canvas_.get(), py);
      for (int px = caret.x; px < caret.x + caret.w; ++px) row[px] ^= 0x00FFFFFFu;
    }
    SDL_UnlockSurface(canvas_.get());
  };
  if (withCaret) invert();
  SDL_Rect to = area;
  SDL_BlitSurface(canvas_.get(), &area, target, &to);
  if (withCaret) invert();
  SDL_UpdateWindowSurfaceRects(window_.get(), &area, 1);
}

void SdlWindowBackend::showMagnified() {
  SDL_Surface* target = windowSurface();
  if (target == nullptr || !magnified_) return;
  SDL_BlitSurface(magnified_.get(), nullptr, target, nullptr);
  SDL_UpdateWindowSurface(window_.get());
}

void SdlWindowBackend::showCaret(int x, int y, int w, int h) {
  if (caretShown_) markDirty(caretX_, caretY_, caretW_, caretH_);
  caretShown_ = true;
  caretX_ = x, caretY_ = y, caretW_ = w, caretH_ = h;
  markDirty(x, y, w, h);
}

void SdlWindowBackend::hideCaret() {
  if (caretShown_) markDirty(caretX_, caretY_, caretW_, caretH_);
  caretShown_ = false;
}

void SdlWindowBackend::takeSnapshot() {
  if (!canvas_) return;
  snapshot_.reset(SDL_DuplicateSurface(canvas_.get()));
}

void SdlWindowBackend::drawSnapshot(int sx, int sy, int sw, int sh) {
  if (!snapshot_ || !window_ || sw <= 0 || sh <= 0) return;
  const int w = clientWidth(), h = clientHeight();
  if (!magnified_ || magnified_->w != w || magnified_->h != h) magnified_ = makeCanvas(w, h);
  if (!magnified_) return;
  // Keep the source inside the picture so the stretch never reads past it.
  sw = std::min(sw, snapshot_->w);
  sh = std::min(sh, snapshot_->h);
  sx = std::clamp(sx, 0, snapshot_->w - sw);
  sy = std::clamp(sy, 0, snapshot_->h - sh);
  SDL_Rect src{sx, sy, sw, sh};
  SDL_Rect dst{0, 0, w, h};
  SDL_BlitScaled(snapshot_.get(), &src, magnified_.get(), &dst);
  // The magnified picture lives only on the window, so it is shown here.
  showMagnified();
}

void SdlWindowBackend::releaseSnapshot() {
  if (magnified_ && canvas_) markDirty(0, 0, canvas_->w, canvas_->h);
  snapshot_.reset();
  magnified_.reset();
}

bool SdlWindowBackend::getClipboard(std::string& text, bool& hasText) {
  hasText = SDL_HasClipboardText() == SDL_TRUE;
  text.clear();
  if (!hasText) return true;
  char* utf8 = SDL_GetClipboardText();
  if (utf8 == nullptr) {
    logSdlError("cannot read the clipboard");
    hasText = false;
    return false;
  }
  text = cp1252::fromUtf8(utf8);
  SDL_free(utf8);
  return true;
}

bool SdlWindowBackend::setClipboard(std::string_view cp1252) {
  if (SDL_SetClipboardText(cp1252::toUtf8(cp1252).c_str()) == 0) return true;
  logSdlError("cannot set the clipboard");
  return false;
}

void SdlWindowBackend::beep() {
  // The bell is the tone player's (ToneSound::beep); a window has no sound.
}

Rgb SdlWindowBackend::canvasPixel(int x, int y) const {
  return readPixel(canvas_.get(), x, y);
}

Rgb SdlWindowBackend::shownPixel(int x, int y) const {
  if (!window_) return {};
  return readPixel(SDL_GetWindowSurface(window_.get()), x, y);
}

}  // namespace lamina::platform
