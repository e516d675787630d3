#include "speech/line_editor.h"

#include <algorithm>
#include <array>
#include <vector>

#include "speech/text_speaker.h"

namespace lamina::speech {

namespace {

constexpr int kSelectionBackground = 8;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
// A letter of a word: A..Z, a..z and every code from 128 up.
bool isWordLetter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || u >= 128;
}
bool isConsonant(char c) {
  return std::string_view("BCDFGHJKLMNPQRSTVXZ").find(c) != std::string_view::npos;
}
bool isPlainLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
// Control bytes would move the console's cursor; they are shown as blanks.
std::string shown(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  return out;
}

}  // namespace

// The state of one editLine call.
class EditSession {
 public:
  EditSession(LineEditor& editor, std::string_view text, int x, int y, int fieldLength, int width,
              bool editable)
      : editor_(editor),
        console_(editor.parts_.console),
        speech_(editor.parts_.speech),
        recorded_(speech_.recorded()),
        editable_(editable) {
    length_ = std::clamp(fieldLength, 0, kMaxFieldLength);
    x_ = std::clamp(x, 1, console::kColumns);
    y_ = std::clamp(y, 1, console::kRows);
    // The field never reaches past the row's last cell; on the last row it
    // stops one short of it, so that writing it cannot scroll the screen.
    width_ = std::clamp(width, 0, length_);
    width_ = std::min(width_, console::kColumns - x_ + 1);
    if (y_ == console::kRows && console::kColumns < x_ + width_) width_ = std::max(0, width_ - 1);
    work_ = std::string(text.substr(0, static_cast<std::size_t>(length_)));
    work_.resize(static_cast<std::size_t>(length_), ' ');
    saved_ = work_;
  }

  int run(std::string& text) {
    const int result = loop();
    console_.moveCursor(x_, y_);
    console_.write(shown(std::string_view(work_).substr(0, static_cast<std::size_t>(width_))));
    console_.moveCursor(x_, y_);
    const std::size_t last = work_.find_last_not_of(' ');
    text = last == std::string::npos ? std::string() : work_.substr(0, last + 1);
    return result;
  }

 private:
  // The character at a 1-based position; blank outside the field.
  char at(int p) const {
    return p >= 1 && p <= length_ ? work_[static_cast<std::size_t>(p - 1)] : ' ';
  }
  // An empty selection counts as none: copying it would empty the clipboard.
  bool fullSelection() const { return selStart_ != 0 && selEnd_ != 0 && selStart_ != selEnd_; }
  int afterLastNonBlank() const {
    const std::size_t last = work_.find_last_not_of(' ');
    return last == std::string::npos ? 1 : static_cast<int>(last) + 2;
  }

  int loop() {
    for (;;) {
      if (cursor_ < scroll_) scroll_ = cursor_;
      if (scroll_ + width_ < cursor_) scroll_ = cursor_ - width_;
      draw();
      console_.moveCursor(std::min(x_ + cursor_ - scroll_, console::kColumns), y_);

      int k = console_.readKey();
      recorded_.stopSpeech();
      bool extended = false;
      int e = 0;
      if (k == 0) {
        e = console_.readKey();
        extended = true;
        if (e >= 16 && e <= 18) {
          const int next = console_.readKey();
          if (next == 0) {
            // The second key's code byte is taken too, so that no half key
            // is left in the queue for the caller.
            console_.readKey();
            return e;
          }
          k = next;
          extended = false;
        }
      }
      const platform::Modifiers mods = console_.keyState();

      if (!extended) {
        if (k != 3 && k != 22 && k != 222 && k != 223) selStart_ = selEnd_ = 0;
      } else if (!mods.shift) {
        if (e != 254 && e != 255) selStart_ = selEnd_ = 0;
      } else if (selStart_ == 0) {
        selStart_ = cursor_;
      }

      const int result = extended ? extendedKey(e, mods) : plainKey(k);
      if (result >= 0) return result;
      if (extended && mods.shift) selEnd_ = cursor_;
      first_ = false;
    }
  }

  void draw() {
    console_.moveCursor(x_, y_);
    const std::string part = shown(std::string_view(work_).substr(
        static_cast<std::size_t>(scroll_ - 1), static_cast<std::size_t>(width_)));
    const int n = static_cast<int>(part.size());
    int a = 0;
    int b = 0;
    if (fullSelection()) {
      a = std::clamp(std::min(selStart_, selEnd_) - scroll_, 0, n);
      b = std::clamp(std::max(selStart_, selEnd_) - scroll_, 0, n);
    }
    if (a < b) {
      const std::uint8_t attribute = console_.textAttribute();
      console_.write(part.substr(0, static_cast<std::size_t>(a)));
      console_.setBackColor(kSelectionBackground);
      console_.write(part.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)));
      console_.setTextColor(attribute & 15);
      console_.setBackColor(attribute >> 4);
      console_.write(part.substr(static_cast<std::size_t>(b)));
    } else {
      console_.write(part);
    }
    // Cells after the field are cleared; a field that ends in the row's
    // last cell leaves nothing to clear.
    if (n < console::kColumns && x_ + n <= console::kColumns) console_.clearToLineEnd();
  }

  // -1: go on editing; otherwise the result of the call.
  int plainKey(int k) {
    switch (k) {
      case 3:
        copy();
        return -1;
      case 4:
        if (editable_) {
          std::fill(work_.begin() + std::min(cursor_ - 1, length_), work_.end(), ' ');
          recorded_.speakMessage("_APFCPO");
        }
        return -1;
      case 8:
        if (cursor_ <= 1) {
          recorded_.beepTone();
        } else {
          --cursor_;
          deleteAtCursor(true);
        }
        return -1;
      case 9:
      case 10:
      case 13:
      case 27:
        return k;
      case 11:
        speech_.text().speakText(std::to_string(cursor_));
        return -1;
      case 19:
        if (editable_) {
          work_.erase(0, static_cast<std::size_t>(std::min(cursor_ - 1, length_)));
          work_.resize(static_cast<std::size_t>(length_), ' ');
          cursor_ = 1;
          recorded_.speakMessage("_APICPO");
        }
        return -1;
      case 21:
        if (editable_) {
          work_ = saved_;
          cursor_ = 1;
          for (int i = 0; i < 3; ++i) recorded_.beepTone();
        }
        return -1;
      case 22:
        paste();
        return -1;
      case 25:
        if (editable_) {
          std::fill(work_.begin(), work_.end(), ' ');
          recorded_.speakMessage("_CPOAPA");
          cursor_ = 1;
        }
        return -1;
      case 28:
        recorded_.playDtmf(work_);
        return -1;
      case 127:
        deleteWord();
        return -1;
      case 222:
        recorded_.waitWhileSpeaking();
        speech_.text().speakText(work_);
        return -1;
      case 223:
        return -1;
      default:
        type(k);
        return -1;
    }
  }

  void type(int k) {
    if (first_) {
      bool restFilled = false;
      for (int p = cursor_; p <= length_; ++p) restFilled = restFilled || at(p) != ' ';
      if (restFilled) {
        recorded_.clickSound();
        recorded_.clickSound();
        if (k >= 32 && editable_) std::fill(work_.begin(), work_.end(), ' ');
      }
    }
    if (k < 32 || !editable_) return;
    if (cursor_ > length_) {
      recorded_.beepTone();
      return;
    }
    work_.insert(work_.begin() + (cursor_ - 1), static_cast<char>(k));
    work_.pop_back();
    // The echo goes to the cursor's cell only while that cell is part of
    // the field; otherwise the next redraw shows it.
    if (cursor_ - scroll_ < width_) {
      console_.moveCursor(x_ + cursor_ - scroll_, y_);
      console_.write(shown(std::string(1, static_cast<char>(k))));
    }
    if (editor_.speakTyped_) recorded_.speakChar(static_cast<std::uint8_t>(k));
    ++cursor_;
  }

  int extendedKey(int e, platform::Modifiers mods) {
    switch (e) {
      case 59:
        if (mods.alt) return 104;
        nextItem();
        return -1;
      case 62:
        editor_.speakTyped_ = !editor_.speakTyped_;
        recorded_.speakMessage(editor_.speakTyped_ ? "_FALACI" : "_FALDLG");
        return -1;
      case 66:
        speech_.numbers().speakCurrentTime();
        return -1;
      case 70:
        openWord();
        return -1;
      case 71:
        cursor_ = 1;
        return -1;
      case 75:
        if (cursor_ <= 1) {
          recorded_.beepTone();
        } else {
          --cursor_;
          recorded_.speakChar(static_cast<std::uint8_t>(at(cursor_)));
        }
        return -1;
      case 77:
        if (cursor_ >= length_) {
          recorded_.beepTone();
        } else {
          const char c = at(cursor_);
          if (isPlainLetter(c) && mods.alt) {
            recorded_.speakMessage("_FON" + std::to_string(static_cast<int>(c)));
          } else {
            recorded_.speakChar(static_cast<std::uint8_t>(c));
          }
          ++cursor_;
        }
        return -1;
      case 79:
        cursor_ = afterLastNonBlank();
        return -1;
      case 83:
        deleteKey();
        return -1;
      case 94:
        speech_.text().speakText(work_);
        return -1;
      case 97:
        changeSpeed();
        return -1;
      case 101:
        speech_.numbers().speakCurrentDate();
        return -1;
      case 102:
        if (!mods.alt) return 102;
        if (editor_.parts_.screenReview) editor_.parts_.screenReview();
        return -1;
      case 115:
        wordLeft(true);
        return -1;
      case 116:
        wordRight(true);
        return -1;
      case 254:
        paste();
        return -1;
      case 255:
        copy();
        return -1;
      default:
        if (e >= 120 && e <= 129) return -1;
        return e;
    }
  }

  // Removes the character at the cursor; blanks fill the field's end.
  void deleteAtCursor(bool sayDelete) {
    if (!editable_ || cursor_ > length_) return;
    const char removed = at(cursor_);
    work_.erase(static_cast<std::size_t>(cursor_ - 1), 1);
    work_.push_back(' ');
    draw();
    if (sayDelete) recorded_.speakMessage("_DEL");
    recorded_.speakChar(static_cast<std::uint8_t>(removed));
  }

  void deleteKey() {
    if (!fullSelection()) {
      if (cursor_ > length_) {
        recorded_.beepTone();
        return;
      }
      deleteAtCursor(true);
      return;
    }
    const int a = std::min(selStart_, selEnd_);
    const int b = std::max(selStart_, selEnd_);
    cursor_ = a;
    if (!editable_) return;
    recorded_.speakMessage("_DEL");
    for (int i = a; i < b; ++i) deleteAtCursor(false);
    selEnd_ = a;
  }

  void deleteWord() {
    if (cursor_ > 1 && at(cursor_ - 1) != ' ') wordLeft(true);
    const int start = cursor_;
    wordRight(true);
    const int end = cursor_;
    wordLeft(true);
    cursor_ = start;
    for (int i = start; i < end; ++i) deleteAtCursor(i == start);
  }

  // With the guards " @" after the field.
  char guardedRight(int p) const {
    if (p == length_ + 1) return ' ';
    if (p > length_ + 1) return '@';
    return at(p);
  }
  // With the guards "@ " before the field (position 0 a blank).
  char guardedLeft(int p) const {
    if (p == 0) return ' ';
    if (p < 0) return '@';
    return at(p);
  }

  void wordRight(bool sound) {
    int c = cursor_;
    if (guardedRight(c) != ' ') {
      if (isDigit(guardedRight(c))) {
        while (isDigit(guardedRight(c))) ++c;
      } else {
        ++c;
        while (isWordLetter(guardedRight(c))) ++c;
      }
    }
    while (guardedRight(c) == ' ') ++c;
    if (c > length_ + 1) {
      cursor_ = afterLastNonBlank();
      if (sound) recorded_.beepTone();
    } else {
      cursor_ = c;
      if (sound) recorded_.clickSound();
    }
  }

  void wordLeft(bool sound) {
    int c = cursor_;
    while (guardedLeft(c - 1) == ' ') --c;
    if (isDigit(guardedLeft(c - 1))) {
      while (isDigit(guardedLeft(c - 1))) --c;
    } else {
      --c;
      while (isWordLetter(guardedLeft(c - 1))) --c;
    }
    if (c < 1) {
      cursor_ = 1;
      if (sound) recorded_.beepTone();
    } else {
      cursor_ = c;
      if (sound) recorded_.clickSound();
    }
  }

  void nextItem() {
    int p = cursor_;
    while (p <= length_ && at(p) == ' ') ++p;
    if (p > length_) {
      recorded_.beepTone();
      return;
    }
    const char c = upperText(std::string(1, at(p)))[0];
    int q = p + 1;
    std::string item;
    if (isDigit(c) || c == '-') {
      while (q <= length_ && isDigit(at(q))) ++q;
      item = work_.substr(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(q - p));
      speech_.text().speakText(item);
    } else if (isWordLetter(c)) {
      while (q <= length_ && isWordLetter(at(q))) ++q;
      item = work_.substr(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(q - p));
      const std::string upper = upperText(item);
      if (std::all_of(upper.begin(), upper.end(), isConsonant)) {
        recorded_.spellText(item);
      } else {
        speech_.text().speakText(item);
      }
    } else {
      recorded_.spellText(std::string(1, at(p)));
    }
    cursor_ = q;
  }

  void openWord() {
    int s = std::min(cursor_, length_ + 1);
    while (s > 1 && at(s - 1) != ' ') --s;
    int e = s;
    while (e <= length_ && (e < cursor_ || at(e) != ' ')) ++e;
    std::string word =
        work_.substr(static_cast<std::size_t>(s - 1), static_cast<std::size_t>(e - s));
    constexpr std::string_view strip = " (*-.<=>[_{\"";
    const std::size_t b = word.find_first_not_of(strip);
    if (b == std::string::npos) {
      recorded_.beepTone();
      return;
    }
    word = word.substr(b, word.find_last_not_of(strip) - b + 1);
    if (editor_.parts_.openHelpTarget) editor_.parts_.openHelpTarget(word);
  }

  void copy() {
    std::string text;
    if (!fullSelection()) {
      const std::size_t last = work_.find_last_not_of(' ');
      if (last != std::string::npos) text = work_.substr(0, last + 1);
      text += "\r\n";
    } else {
      const int a = std::min(selStart_, selEnd_);
      const int b = std::min(std::max(selStart_, selEnd_), length_ + 1);
      if (a < b)
        text = work_.substr(static_cast<std::size_t>(a - 1), static_cast<std::size_t>(b - a));
    }
    console_.copyToClipboard(text);
  }

  void paste() {
    std::vector<char> buffer(static_cast<std::size_t>(length_) + 1, 0);
    console_.pasteFromClipboard(buffer);
    std::string text(buffer.data());
    text = text.substr(0, text.find_first_of("\r\n"));
    // Other control characters of the pasted text become blanks.
    for (char& c : text)
      if (static_cast<unsigned char>(c) < 32) c = ' ';
    if (first_) {
      recorded_.clickSound();
      recorded_.clickSound();
      std::fill(work_.begin(), work_.end(), ' ');
    }
    if (!fullSelection()) {
      selStart_ = selEnd_ = cursor_;
    }
    const int a = std::min(selStart_, selEnd_);
    const int b = std::max(selStart_, selEnd_);
    cursor_ = a;
    std::string next = work_.substr(0, static_cast<std::size_t>(std::min(a - 1, length_)));
    next += text;
    if (b - 1 < length_) next += work_.substr(static_cast<std::size_t>(b - 1));
    next.resize(static_cast<std::size_t>(length_), ' ');
    work_ = std::move(next);
    selStart_ = a;
    selEnd_ = std::min(a + static_cast<int>(text.size()), length_ + 1);
  }

  void changeSpeed() {
    recorded_.speakMessage("_VELOC");
    int k = 0;
    do {
      k = recorded_.readKeySpoken();
    } while (console_.keyPressed());
    if (k == 27 || k == 13) return;
    const std::string soundDir = speech_.state().soundDir;
    speech_.speechStop();
    speech_.speechStart(k - 48, soundDir);
  }

  LineEditor& editor_;
  console::Console& console_;
  SpeechFront& speech_;
  RecordedSpeech& recorded_;
  bool editable_;
  int length_ = 0;
  int width_ = 0;
  int x_ = 1;
  int y_ = 1;
  std::string work_;
  std::string saved_;
  int cursor_ = 1;
  int scroll_ = 1;
  int selStart_ = 0;
  int selEnd_ = 0;
  bool first_ = true;
};

LineEditor::LineEditor(LineEditorParts parts) : parts_(std::move(parts)) {}

int LineEditor::editLine(std::string& text, int x, int y, int fieldLength, int width,
                         bool editable) {
  EditSession session(*this, text, x, y, fieldLength, width, editable);
  return session.run(text);
}

int LineEditor::editLineToEnd(std::string& text, int x, int y, int fieldLength, bool editable) {
  return editLine(text, x, y, fieldLength, console::kColumns - x - 1, editable);
}

}  // namespace lamina::speech
