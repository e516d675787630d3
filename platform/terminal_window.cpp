#include "platform/terminal_window.h"

#include <curses.h>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/cp1252.h"
#include "platform/log.h"
#include "platform/terminal_keys_internal.h"

namespace lamina::platform {

namespace {

constexpr int kColumns = 80;
constexpr int kRows = 25;
// How long an ESC waits for the rest of a key. Terminals send a key's
// sequence in one write; a person cannot type ESC and "[" this fast.
constexpr auto kEscapeTime = std::chrono::milliseconds(60);

// Asks xterm, tmux (with extended-keys) and their kin to report keys such as
// Ctrl+Alt+digit or Ctrl+Enter that have no byte of their own; terminals
// that do not know it ignore it.
constexpr std::string_view kKeysReportOn = "\033[>4;1m";
constexpr std::string_view kKeysReportOff = "\033[>4m";

// What a signal handler may touch to give the terminal back: a reset text
// written once, ready, and the terminal modes as they were found.
struct SavedTerminal {
  volatile sig_atomic_t active = 0;
  int fd = -1;
  termios modes{};
  std::array<char, 256> reset{};
  std::size_t resetLength = 0;
};
SavedTerminal saved;
volatile sig_atomic_t resized = 0;
volatile sig_atomic_t wakeFd = -1;

void restoreFromHandler() {
  if (saved.active == 0) return;
  saved.active = 0;
  (void)!::write(saved.fd, saved.reset.data(), saved.resetLength);
  ::tcsetattr(saved.fd, TCSANOW, &saved.modes);
}

extern "C" void onCrashSignal(int signal) {
  restoreFromHandler();
  // The handler was reset on entry: the signal ends the program as it
  // would have, core dump included.
  ::raise(signal);
}

extern "C" void onResizeSignal(int) {
  const int savedErrno = errno;
  resized = 1;
  const char byte = 0;
  if (wakeFd >= 0) (void)!::write(wakeFd, &byte, 1);
  errno = savedErrno;
}

constexpr std::array<int, 6> kCrashSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGQUIT};

void appendReset(std::string_view text) {
  const std::size_t room = saved.reset.size() - saved.resetLength;
  const std::size_t n = std::min(room, text.size());
  std::memcpy(saved.reset.data() + saved.resetLength, text.data(), n);
  saved.resetLength += n;
}

void appendCapability(const char* name) {
  const char* value = tigetstr(const_cast<char*>(name));
  if (value != nullptr && value != reinterpret_cast<const char*>(-1)) appendReset(value);
}

// Whether the locale can write the cells' characters: ncurses writes wide
// characters in the locale's encoding.
void chooseUtf8Locale() {
  std::setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  if (codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0) return;
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) {
    logWarning("terminal", "no UTF-8 locale; letters outside ASCII may show wrongly");
  }
}

struct Cell {
  unsigned char ch = ' ';
  Rgb fg{192, 192, 192};
  Rgb bg{};
};

class TerminalWindow final : public WindowBackend {
 public:
  TerminalWindow() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
      wakeRead_ = ends[0];
      wakeWrite_ = ends[1];
    } else {
      logError("terminal", std::string("no pipe to wake the key wait: ") + std::strerror(errno));
    }
  }
  ~TerminalWindow() override {
    destroyWindow();
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
  }
  TerminalWindow(const TerminalWindow&) = delete;
  TerminalWindow& operator=(const TerminalWindow&) = delete;

  // One cell is one pixel, so the console's pixel positions are cells.
  FontMetrics openFont(const FontRequest&) override {
    FontMetrics m;
    m.averageWidth = m.maximumWidth = 1;
    m.height = 1;
    m.externalLeading = 0;
    m.ascent = 0;
    m.overhang = 0;
    return m;
  }
  FrameMetrics frameMetrics() const override {
    FrameMetrics f;
    f.screenWidth = kColumns;
    f.screenHeight = kRows;
    return f;
  }

  bool createWindow(const WindowSpec& window) override;
  void destroyWindow() override;
  void setCaption(std::string_view cp1252) override { caption_ = std::string(cp1252); }
  int clientWidth() const override { return kColumns; }
  int clientHeight() const override { return kRows; }
  bool isActive() const override { return screen_ != nullptr; }
  int windowBottom() const override { return kRows; }

  bool peekMessage(Message& message) override;
  void waitMessage() override;
  void postMessage(const Message& message) override;
  void setAwaitingKey(bool) override {}

  void drawText(int x, int y, std::string_view cp1252, Rgb fg, Rgb bg) override;
  void fillRect(int x, int y, int w, int h, Rgb colour) override;
  void scrollUp(int x, int y, int w, int h, int dy) override;
  void present() override;
  void showCaret(int x, int y, int, int) override {
    caretShown_ = true;
    caretColumn_ = std::clamp(x, 0, kColumns - 1);
    caretRow_ = std::clamp(y, 0, kRows - 1);
    caretMoved_ = true;
  }
  void hideCaret() override {
    caretShown_ = false;
    caretMoved_ = true;
  }
  // A terminal reports no mouse buttons held, so the magnifier never starts.
  void takeSnapshot() override {}
  void drawSnapshot(int, int, int, int) override {}
  void releaseSnapshot() override {}
  // The desktop's clipboard is out of a terminal's reach; copy and paste
  // work within the program.
  bool getClipboard(std::string& text, bool& hasText) override {
    text = clipboard_;
    hasText = hasClipboard_;
    return true;
  }
  bool setClipboard(std::string_view cp1252) override {
    clipboard_ = std::string(cp1252);
    hasClipboard_ = true;
    return true;
  }
  // The console's bell is the tone player's, as in the window.
  void beep() override {}

 private:
  void readInput(bool final);
  void takeResize();
  void drawAll();
  void drawCell(int column, int row);
  int pairOf(Rgb fg, Rgb bg, attr_t& attributes);
  bool anyPending();
  int escapeWaitMs() const;

  SCREEN* screen_ = nullptr;
  int colours_ = 0;
  std::array<Cell, kColumns * kRows> cells_{};
  std::array<bool, kColumns * kRows> dirty_{};
  bool anyDirty_ = false;
  bool caretShown_ = false;
  bool caretMoved_ = false;
  int caretColumn_ = 0, caretRow_ = 0;
  // The first console row shown when the terminal has fewer rows.
  int viewTop_ = 0;
  bool small_ = false;
  std::string caption_;
  std::string clipboard_;
  bool hasClipboard_ = false;

  TerminalKeyDecoder decoder_;
  std::chrono::steady_clock::time_point lastInput_{};
  bool inputEnded_ = false;
  std::deque<Message> pending_;
  std::mutex postedMutex_;
  std::deque<Message> posted_;
  int wakeRead_ = -1, wakeWrite_ = -1;
};

void restoreAtExit() {
  if (saved.active == 0) return;
  saved.active = 0;
  (void)!::write(STDOUT_FILENO, kKeysReportOff.data(), kKeysReportOff.size());
  curs_set(1);
  endwin();
  ::tcsetattr(saved.fd, TCSANOW, &saved.modes);
}

bool TerminalWindow::createWindow(const WindowSpec& window) {
  caption_ = window.caption;
  if (screen_ != nullptr) return true;
  const int fd = STDIN_FILENO;
  termios found{};
  if (::tcgetattr(fd, &found) != 0) {
    logError("terminal", std::string("standard input is no terminal: ") + std::strerror(errno));
    return false;
  }
  chooseUtf8Locale();
  screen_ = newterm(nullptr, stdout, stdin);
  if (screen_ == nullptr) {
    const char* term = std::getenv("TERM");
    logError("terminal", std::string("ncurses does not know the terminal ") +
                             (term != nullptr ? term : "(TERM unset)"));
    return false;
  }
  set_term(screen_);
  // Without cursor addressing the cells cannot be put in their places.
  const char* address = tigetstr(const_cast<char*>("cup"));
  if (address == nullptr || address == reinterpret_cast<const char*>(-1)) {
    endwin();
    delscreen(screen_);
    screen_ = nullptr;
    ::tcsetattr(fd, TCSANOW, &found);
    logError("terminal", "the terminal cannot place the cursor");
    return false;
  }
  if (has_colors()) {
    start_color();
    colours_ = COLORS;
  }
  // Ctrl+C stays the terminal's interrupt, which ends the program as
  // Ctrl+Break does; every other control key reaches the program.
  cbreak();
  noecho();
  nonl();
  intrflush(stdscr, FALSE);
  keypad(stdscr, FALSE);
  leaveok(stdscr, FALSE);
  scrollok(stdscr, FALSE);
  termios modes{};
  ::tcgetattr(fd, &modes);
  modes.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR);
  modes.c_lflag &= ~static_cast<tcflag_t>(IEXTEN);
  modes.c_cc[VQUIT] = _POSIX_VDISABLE;
  modes.c_cc[VSUSP] = _POSIX_VDISABLE;
  ::tcsetattr(fd, TCSANOW, &modes);
  def_prog_mode();
  decoder_ = TerminalKeyDecoder(found.c_cc[VERASE] == 8 ? 8 : 127);

  // The way back, ready before anything can go wrong.
  saved.fd = fd;
  saved.modes = found;
  saved.resetLength = 0;
  appendReset(kKeysReportOff);
  appendCapability("sgr0");
  appendCapability("cnorm");
  appendCapability("rmcup");
  appendReset("\r\n");
  saved.active = 1;
  static bool exitHandlerSet = false;
  if (!exitHandlerSet) {
    exitHandlerSet = std::atexit(restoreAtExit) == 0;
  }
  struct sigaction crash {};
  crash.sa_handler = &onCrashSignal;
  crash.sa_flags = SA_RESETHAND;
  sigemptyset(&crash.sa_mask);
  for (int s : kCrashSignals) ::sigaction(s, &crash, nullptr);
  wakeFd = wakeWrite_;
  struct sigaction resize {};
  resize.sa_handler = &onResizeSignal;
  resize.sa_flags = SA_RESTART;
  sigemptyset(&resize.sa_mask);
  ::sigaction(SIGWINCH, &resize, nullptr);

  (void)!::write(STDOUT_FILENO, kKeysReportOn.data(), kKeysReportOn.size());
  curs_set(0);
  resized = 1;  // the size is measured as the first thing shown
  takeResize();
  // The window's focus: the terminal has the keyboard whenever it runs us.
  Message focus;
  focus.type = MessageType::SetFocus;
  pending_.push_back(focus);
  return true;
}

void TerminalWindow::destroyWindow() {
  if (screen_ == nullptr) return;
  wakeFd = -1;
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  ::sigaction(SIGWINCH, &plain, nullptr);
  restoreAtExit();
  for (int s : kCrashSignals) ::sigaction(s, &plain, nullptr);
  delscreen(screen_);
  screen_ = nullptr;
}

int TerminalWindow::pairOf(Rgb fg, Rgb bg, attr_t& attributes) {
  attributes = A_NORMAL;
  if (colours_ < 8) {
    // Without colours the text stands out from its background in reverse.
    const auto light = [](Rgb c) { return c.r + c.g + c.b; };
    if (light(bg) > light(fg)) attributes = A_REVERSE;
    return 0;
  }
  int f = terminalColourOf(fg, colours_);
  int b = terminalColourOf(bg, colours_);
  if (colours_ < 16) {
    if (f >= 8) {
      f -= 8;
      attributes = A_BOLD;
    }
    b &= 7;
  }
  const int pair = alloc_pair(f, b);
  return pair < 0 ? 0 : pair;
}

void TerminalWindow::drawCell(int column, int row) {
  const Cell& cell = cells_[static_cast<std::size_t>(row * kColumns + column)];
  char32_t cp = cp1252::toUnicode(cell.ch);
  if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) cp = '?';
  attr_t attributes = A_NORMAL;
  int pair = pairOf(cell.fg, cell.bg, attributes);
  wchar_t text[2] = {static_cast<wchar_t>(cp), 0};
  cchar_t c{};
  setcchar(&c, text, attributes, 0, &pair);
  mvadd_wch(row - viewTop_, column, &c);
}

void TerminalWindow::drawAll() {
  std::fill(dirty_.begin(), dirty_.end(), true);
  anyDirty_ = true;
  caretMoved_ = true;
  clearok(curscr, TRUE);
  present();
}

void TerminalWindow::present() {
  if (screen_ == nullptr) return;
  const int rows = std::min(LINES - (small_ ? 1 : 0), kRows);
  const int columns = std::min(COLS, kColumns);
  // A terminal too low for the console shows the rows around the caret.
  if (caretShown_ && rows > 0) {
    const int before = viewTop_;
    if (caretRow_ >= viewTop_ + rows) viewTop_ = caretRow_ - rows + 1;
    if (caretRow_ < viewTop_) viewTop_ = caretRow_;
    viewTop_ = std::clamp(viewTop_, 0, kRows - std::max(1, rows));
    if (viewTop_ != before) {
      std::fill(dirty_.begin(), dirty_.end(), true);
      anyDirty_ = true;
    }
  }
  if (!anyDirty_ && !caretMoved_) return;
  for (int row = viewTop_; row < viewTop_ + rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const auto i = static_cast<std::size_t>(row * kColumns + column);
      if (!dirty_[i]) continue;
      drawCell(column, row);
      dirty_[i] = false;
    }
  }
  anyDirty_ = false;
  caretMoved_ = false;
  if (small_) {
    const std::string notice = cp1252::toUtf8(smallTerminalNotice(COLS, LINES));
    attrset(A_REVERSE);
    mvaddnstr(LINES - 1, 0, notice.c_str(), std::min<int>(COLS, static_cast<int>(notice.size())));
    attrset(A_NORMAL);
  }
  const bool caretInView =
      caretShown_ && caretRow_ >= viewTop_ && caretRow_ < viewTop_ + rows && caretColumn_ < columns;
  if (caretInView) move(caretRow_ - viewTop_, caretColumn_);
  curs_set(caretInView ? 1 : 0);
  refresh();
}

void TerminalWindow::takeResize() {
  if (resized == 0 || screen_ == nullptr) return;
  resized = 0;
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
    resizeterm(size.ws_row, size.ws_col);
  }
  const bool small = LINES < kRows || COLS < kColumns;
  if (small && !small_) {
    logInfo("terminal", cp1252::toUtf8(smallTerminalNotice(COLS, LINES)));
    ::beep();
  }
  small_ = small;
  if (!small_) viewTop_ = 0;
  erase();
  drawAll();
}

void TerminalWindow::drawText(int x, int y, std::string_view cp1252, Rgb fg, Rgb bg) {
  if (y < 0 || y >= kRows) return;
  for (std::size_t i = 0; i < cp1252.size(); ++i) {
    const int column = x + static_cast<int>(i);
    if (column < 0) continue;
    if (column >= kColumns) break;
    const auto index = static_cast<std::size_t>(y * kColumns + column);
    cells_[index] = Cell{static_cast<unsigned char>(cp1252[i]), fg, bg};
    dirty_[index] = true;
  }
  anyDirty_ = true;
}

void TerminalWindow::fillRect(int x, int y, int w, int h, Rgb colour) {
  for (int row = std::max(0, y); row < std::min(kRows, y + h); ++row) {
    for (int column = std::max(0, x); column < std::min(kColumns, x + w); ++column) {
      const auto index = static_cast<std::size_t>(row * kColumns + column);
      cells_[index] = Cell{' ', colour, colour};
      dirty_[index] = true;
    }
  }
  anyDirty_ = true;
}

void TerminalWindow::scrollUp(int x, int y, int w, int h, int dy) {
  const int x0 = std::max(0, x), x1 = std::min(kColumns, x + w);
  if (x0 >= x1 || dy == 0) return;
  std::array<Cell, kColumns* kRows> before = cells_;
  for (int row = y; row < y + h; ++row) {
    const int to = row - dy;
    if (row < 0 || row >= kRows || to < 0 || to >= kRows) continue;
    for (int column = x0; column < x1; ++column) {
      const auto index = static_cast<std::size_t>(to * kColumns + column);
      cells_[index] = before[static_cast<std::size_t>(row * kColumns + column)];
      dirty_[index] = true;
    }
  }
  anyDirty_ = true;
}

int TerminalWindow::escapeWaitMs() const {
  if (!decoder_.pending()) return -1;
  const auto left = kEscapeTime - (std::chrono::steady_clock::now() - lastInput_);
  return std::max(
      0, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
}

void TerminalWindow::readInput(bool final) {
  std::vector<Message> keys;
  while (!inputEnded_) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    if (::poll(&in, 1, 0) <= 0) break;
    std::array<char, 256> buffer{};
    const ssize_t got = ::read(STDIN_FILENO, buffer.data(), buffer.size());
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) {
      // The terminal is gone (hung up, or input closed): as the window's
      // Close button, the program ends in order.
      inputEnded_ = true;
      Message close;
      close.type = MessageType::Close;
      pending_.push_back(close);
      break;
    }
    decoder_.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)), keys);
    lastInput_ = std::chrono::steady_clock::now();
  }
  if (final || (decoder_.pending() && escapeWaitMs() == 0)) decoder_.flush(keys);
  for (const Message& m : keys) pending_.push_back(m);
}

bool TerminalWindow::anyPending() {
  std::lock_guard lock(postedMutex_);
  while (!posted_.empty()) {
    pending_.push_back(posted_.front());
    posted_.pop_front();
  }
  return !pending_.empty();
}

bool TerminalWindow::peekMessage(Message& message) {
  if (screen_ != nullptr) {
    takeResize();
    readInput(false);
  }
  if (!anyPending()) return false;
  message = pending_.front();
  pending_.pop_front();
  return true;
}

void TerminalWindow::waitMessage() {
  for (;;) {
    if (screen_ != nullptr) {
      takeResize();
      readInput(false);
    }
    if (anyPending()) return;
    std::array<pollfd, 2> fds{{{wakeRead_, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}}};
    const nfds_t count = screen_ != nullptr && !inputEnded_ ? 2 : 1;
    const int ready = ::poll(fds.data(), count, screen_ != nullptr ? escapeWaitMs() : -1);
    if (ready < 0 && errno != EINTR) return;
    if ((fds[0].revents & POLLIN) != 0) {
      std::array<char, 64> drain{};
      while (::read(wakeRead_, drain.data(), drain.size()) > 0) {
      }
    }
  }
}

void TerminalWindow::postMessage(const Message& message) {
  {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(message);
  }
  const char byte = 0;
  if (wakeWrite_ >= 0) (void)!::write(wakeWrite_, &byte, 1);
}

}  // namespace

bool standardStreamsAreTerminal() {
  return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
}

bool standardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

std::unique_ptr<WindowBackend> createTerminalWindowBackend() {
  if (!standardStreamsAreTerminal()) {
    logWarning("terminal", "standard input or output is no terminal");
    return nullptr;
  }
  return std::make_unique<TerminalWindow>();
}

}  // namespace lamina::platform
