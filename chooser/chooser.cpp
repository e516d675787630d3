#include "chooser/chooser.h"

#include <algorithm>
#include <array>

#include "platform/cp1252.h"
#include "platform/directory.h"

namespace lamina::chooser {

namespace {

constexpr int kWhite = 15;
constexpr int kYellow = 14;
constexpr int kGreen = 2;
constexpr int kListBack = 6;
constexpr int kEnter = 13;
constexpr int kEsc = 27;

constexpr std::array<std::uint8_t, 256> makeFoldTable() {
  std::array<std::uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = c < 128 ? static_cast<std::uint8_t>(c) : 254;
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<std::uint8_t>(c - 32);
  auto set = [&t](int from, int to, char v) {
    for (int c = from; c <= to; ++c) t[c] = static_cast<std::uint8_t>(v);
  };
  // Code page 1252 letters.
  set(192, 197, 'A');
  set(224, 229, 'A');
  set(199, 199, 'C');
  set(231, 231, 'C');
  set(200, 203, 'E');
  set(232, 235, 'E');
  set(204, 207, 'I');
  set(236, 239, 'I');
  set(209, 209, 'N');
  set(241, 241, 'N');
  set(210, 214, 'O');
  set(242, 246, 'O');
  set(217, 220, 'U');
  set(249, 252, 'U');
  set(221, 221, 'Y');
  set(253, 253, 'Y');
  set(215, 215, 'X');
  set(247, 247, 'X');
  t[198] = t[230] = 145;
  // Names written in the DOS code page fold the same way.
  set(128, 128, 'C');
  set(129, 129, 'U');
  set(130, 130, 'E');
  set(131, 134, 'A');
  set(135, 135, 'C');
  set(136, 138, 'E');
  set(139, 141, 'I');
  set(142, 143, 'A');
  set(144, 144, 'E');
  set(147, 149, 'O');
  set(150, 151, 'U');
  set(152, 152, 'Y');
  set(153, 153, 'O');
  set(154, 154, 'U');
  set(160, 160, 'A');
  set(161, 161, 'I');
  set(162, 162, 'O');
  set(163, 163, 'U');
  set(164, 165, 'N');
  return t;
}

constexpr std::array<std::uint8_t, 256> kFold = makeFoldTable();

// The typed text up to and including its last "/".
std::string_view directoryPart(std::string_view text) {
  const auto slash = text.rfind('/');
  return slash == std::string_view::npos ? std::string_view{} : text.substr(0, slash + 1);
}

std::vector<std::string> patterns(std::string_view filePart) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= filePart.size()) {
    const auto end = std::min(filePart.find(';', start), filePart.size());
    std::string p(filePart.substr(start, end - start));
    // "*" after the typed part lists every name that begins with it; a name
    // without a dot (which "*.*" would need) is listed too.
    p += '*';
    out.push_back(cp1252::toUtf8(p));
    start = end + 1;
  }
  return out;
}

}  // namespace

std::uint8_t foldByte(std::uint8_t c) {
  return kFold[c];
}

bool foldedLess(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return kFold[static_cast<std::uint8_t>(x)] < kFold[static_cast<std::uint8_t>(y)];
  });
}

std::string shortName(std::string_view longName) {
  const auto dot = longName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::string(longName.substr(0, 8));
  return std::string(longName.substr(0, std::min<std::size_t>(dot, 8))) + "." +
         std::string(longName.substr(dot + 1, 3));
}

// One run of the list over the entries in a rectangle of the console.
class ListRun {
 public:
  ListRun(FileChooser& chooser, std::vector<ListEntry>& entries, int left, int top, int right,
          int bottom)
      : console_(chooser.console_),
        recorded_(chooser.speech_.recorded()),
        text_(chooser.speech_.text()),
        entries_(entries),
        count_(static_cast<int>(entries.size())),
        left_(left),
        top_(top),
        right_(right),
        bottom_(bottom),
        width_(right - left + 1),
        prefix_(bottom > top ? " " : ""),
        lastVisible_(bottom - top) {}

  // The index chosen, or -1 when the list was cancelled.
  int run() {
    int index = 0;
    int key = 0;
    do {
      key = step(index);
    } while (key != kEnter && key != kEsc);
    return key == kEnter && index >= 0 && index < count_ ? index : -1;
  }

 private:
  bool onList(int index) const { return index >= 0 && index < count_; }

  void setColours(int text) {
    console_.setTextColor(text);
    console_.setBackColor(kListBack);
  }
  std::string shownName(int index) const {
    const auto room =
        static_cast<std::size_t>(std::max(0, width_ - static_cast<int>(prefix_.size())));
    return prefix_ + entries_[static_cast<std::size_t>(index)].longName.substr(0, room);
  }
  void drawRow(int index) {
    console_.moveCursor(left_, top_ + index - firstVisible_);
    setColours(entries_[static_cast<std::size_t>(index)].marked ? kGreen : kWhite);
    std::string text = shownName(index);
    text.resize(static_cast<std::size_t>(std::max(0, width_)), ' ');
    console_.write(text);
  }
  void drawAll() {
    for (int i = firstVisible_; i <= std::min(lastVisible_, count_ - 1); ++i) drawRow(i);
  }
  void drawPlain(int index) {
    console_.moveCursor(left_, top_ + index - firstVisible_);
    setColours(entries_[static_cast<std::size_t>(index)].marked ? kGreen : kWhite);
    console_.write(shownName(index));
  }
  void drawHighlighted(int index) {
    const int row = top_ + index - firstVisible_;
    console_.moveCursor(left_, row);
    setColours(kYellow);
    console_.write(shownName(index));
    console_.moveCursor(left_, row);
  }
  void scrollTo(int index, bool redraw) {
    bool moved = false;
    while (index < firstVisible_ && firstVisible_ > 0) {
      --firstVisible_;
      --lastVisible_;
      moved = true;
    }
    while (lastVisible_ < index && lastVisible_ < count_ - 1) {
      ++firstVisible_;
      ++lastVisible_;
      moved = true;
    }
    if (moved || redraw) drawAll();
  }
  void moveToEntry(int index) { console_.moveCursor(left_, top_ + index - firstVisible_); }

  ListEntry& at(int index) { return entries_[static_cast<std::size_t>(index)]; }
  void mark(int index, bool on) {
    if (onList(index)) at(index).marked = on;
  }
  void markRange(int from, int to, bool on) {
    for (int i = std::max(from, 0); i <= std::min(to, count_ - 1); ++i) at(i).marked = on;
  }

  void down(int& index, bool shift) {
    if (shift && onList(index)) {
      if (!at(index).marked) recorded_.beepTone();
      at(index).marked = true;
      mark(index + 1, true);
    }
    ++index;
  }
  void up(int& index, bool shift) {
    if (shift && onList(index)) {
      if (at(index).marked) recorded_.clickSound();
      at(index).marked = false;
    }
    --index;
  }
  void search(int& index) {
    const unsigned char wanted = cp1252::toUpper(searchLetter_);
    int i = std::max(index + 1, 0);
    while (i < count_) {
      const std::string& name = at(i).longName;
      if (!name.empty() && searchLetter_ != 0 &&
          cp1252::toUpper(static_cast<unsigned char>(name[0])) == wanted)
        break;
      ++i;
    }
    index = i;
  }

  enum class Spoken { name, longSpelled, shortSpelled };

  // Acts on one key; true when the key ends the step.
  bool handle(int key, int code, int& index, Spoken& spoken, bool& redraw) {
    const bool shift = console_.keyState().shift;
    if (key != 0) {
      switch (key) {
        case ' ':
          if (onList(index)) at(index).marked = !at(index).marked;
          return false;
        case '+':
          mark(index, true);
          return false;
        case '-':
          mark(index, false);
          return false;
        case '*':
          markRange(0, count_ - 1, true);
          redraw = true;
          return false;
        case '/':
          markRange(0, count_ - 1, false);
          redraw = true;
          return false;
        default:
          return true;
      }
    }
    switch (code) {
      case 80:
        down(index, shift);
        return false;
      case 72:
        up(index, shift);
        return false;
      case 81:
        for (int i = 0; i < 10; ++i) down(index, shift);
        return false;
      case 73:
        for (int i = 0; i < 10; ++i) up(index, shift);
        return false;
      case 71:
      case 132:
        if (shift) {
          markRange(0, index, false);
          recorded_.beepTone();
          redraw = true;
        }
        index = 0;
        return false;
      case 79:
      case 118:
        if (shift) {
          markRange(index, count_ - 1, true);
          recorded_.beepTone();
          redraw = true;
        }
        index = count_ - 1;
        return false;
      case 63: {
        std::uint8_t letter = console_.readKey();
        if (letter == 0) {
          console_.readKey();
        }
        searchLetter_ = letter;
        search(index);
        return false;
      }
      case 98:
        search(index);
        return false;
      case 77:
        spoken = Spoken::longSpelled;
        return false;
      case 75:
        spoken = Spoken::shortSpelled;
        return false;
      default:
        return true;
    }
  }

  // One list step from `index`; returns the key that ended it.
  int step(int& index) {
    index = std::clamp(index, 0, count_ - 1);
    searchLetter_ = ' ';
    scrollTo(index, true);
    moveToEntry(index);
    int key = -1;
    int code = 0;
    for (;;) {
      Spoken spoken = Spoken::name;
      bool redraw = false;
      const int left = index;
      const bool ends = key >= 0 && handle(key, code, index, spoken, redraw);
      // The entry left is drawn after the key, so that a mark the key set
      // on it shows at once.
      if (onList(left)) drawPlain(left);
      if (index < 0) index = -1;
      if (index >= count_) index = count_;
      if (!onList(index)) {
        recorded_.beepTone();
        scrollTo(index, redraw);
        console_.moveCursor(right_, bottom_);
      } else {
        scrollTo(index, redraw);
        if (!ends) {
          drawHighlighted(index);
          speak(at(index), spoken);
        }
      }
      if (ends) break;
      while (recorded_.isSpeaking() && !console_.keyPressed()) console_.waitMessage();
      key = console_.readKey();
      code = key == 0 ? console_.readKey() : 0;
    }
    if (!onList(index) || key == kEsc) {
      if (!onList(index)) return key == kEnter ? kEsc : key;
      return key;
    }
    drawHighlighted(index);
    console_.setTextColor(kWhite);
    return key;
  }

  void speak(const ListEntry& entry, Spoken spoken) {
    switch (spoken) {
      case Spoken::longSpelled:
        recorded_.spellText(entry.longName);
        break;
      case Spoken::shortSpelled:
        recorded_.spellText(entry.shortName);
        break;
      case Spoken::name:
        if (entry.marked) recorded_.beepTone();
        text_.speakText(entry.longName);
        break;
    }
  }

  console::Console& console_;
  speech::RecordedSpeech& recorded_;
  speech::TextSpeaker& text_;
  std::vector<ListEntry>& entries_;
  int count_;
  int left_;
  int top_;
  int right_;
  int bottom_;
  int width_;
  std::string prefix_;
  int firstVisible_ = 0;
  int lastVisible_;
  std::uint8_t searchLetter_ = ' ';
};

FileChooser::FileChooser(console::Console& console, speech::SpeechFront& speech,
                         speech::LineEditor& editor)
    : console_(console), speech_(speech), editor_(editor) {}

ChosenFile FileChooser::chooseFile(int rows, std::string_view mask) {
  std::string text;
  const int x = console_.cursorColumn();
  const int y = console_.cursorRow();
  const int ended = editor_.editLineToEnd(text, x, y, 255, true);
  if (ended == kEsc || (ended == kEnter && text.empty())) return {};
  const std::string directory(directoryPart(text));
  if (text.empty()) text = std::string(mask);
  ChosenFile chosen{text, cp1252::toUtf8(text)};
  if (ended != kEnter || text.find('*') != std::string::npos) {
    chosen = pickFile(console_.cursorColumn(), console_.cursorRow(), console::kColumns,
                      console_.cursorRow() + rows - 1, text);
  }
  if (chosen.name.find('/') != std::string::npos) return chosen;
  return {directory + chosen.name, cp1252::toUtf8(directory) + chosen.systemName};
}

ChosenFile FileChooser::pickFile(int left, int top, int right, int bottom, std::string_view mask) {
  const platform::WorkingDirectoryGuard remembered;
  const std::string_view dirPart = directoryPart(mask);
  const std::string_view filePart = mask.substr(dirPart.size());
  if (!dirPart.empty() && !platform::changeDirectory(cp1252::toUtf8(dirPart))) return {};
  const bool elsewhere = !remembered.unchanged();
  const std::string directory = platform::currentDirectory();

  const auto files = platform::listFiles();
  if (!files) return {};
  const std::vector<std::string> wanted = patterns(filePart);
  std::vector<ListEntry> entries;
  for (const platform::FileEntry& f : *files) {
    ListEntry e;
    e.longName = cp1252::fromUtf8(f.name);
    e.shortName = shortName(e.longName);
    const std::string shortSystem = cp1252::toUtf8(e.shortName);
    const bool matches = std::any_of(wanted.begin(), wanted.end(), [&](const std::string& p) {
      return platform::wildcardMatch(p, f.name) || platform::wildcardMatch(p, shortSystem);
    });
    if (!matches) continue;
    e.systemName = f.name;
    e.size = f.size;
    e.modified = f.modified;
    entries.push_back(std::move(e));
  }
  if (entries.empty()) return {};
  std::sort(entries.begin(), entries.end(), [](const ListEntry& a, const ListEntry& b) {
    return foldedLess(a.longName, b.longName);
  });

  // A list reaching below the screen is cut at its last row, and the last
  // cell of the screen is never written (it would scroll the screen).
  bottom = std::max(std::min(bottom, console::kRows), top);
  right = std::min(right, console::kColumns);
  if (right == console::kColumns && bottom == console::kRows) right = console::kColumns - 1;

  struct Cell {
    std::uint8_t ch;
    std::uint8_t attr;
  };
  std::vector<Cell> saved;
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x)
      saved.push_back({console_.screenCharAt(x, y), console_.screenAttrAt(x, y)});
  const std::uint8_t attribute = console_.textAttribute();
  const int cursorX = console_.cursorColumn();
  const int cursorY = console_.cursorRow();

  ListRun list(*this, entries, left, top, right, bottom);
  const int index = list.run();
  ChosenFile chosen;
  if (index >= 0) {
    const ListEntry& e = entries[static_cast<std::size_t>(index)];
    if (elsewhere) {
      const std::string systemDir = directory.ends_with('/') ? directory : directory + "/";
      chosen = {cp1252::fromUtf8(systemDir) + e.longName, systemDir + e.systemName};
    } else {
      chosen = {e.longName, e.systemName};
    }
  }

  std::size_t i = 0;
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x, ++i) {
      console_.moveCursor(x, y);
      console_.setTextColor(saved[i].attr & 15);
      console_.setBackColor(saved[i].attr >> 4);
      console_.write(std::string(1, static_cast<char>(saved[i].ch)));
    }
  }
  console_.setTextColor(attribute & 15);
  console_.setBackColor(attribute >> 4);
  console_.moveCursor(cursorX, cursorY);
  return chosen;
}

}  // namespace lamina::chooser
