#pragma once
// The spoken line editor: one field of a console row, typed into and
// corrected with every action spoken, ending on the key that the caller
// reacts to (Enter, Esc, Tab, a function key).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "console/console.h"
#include "speech/front_state.h"
#include "speech/speech_front.h"

namespace lamina::speech {

inline constexpr int kMaxFieldLength = 2048;

// Keys of the console's queue for the speech front-end.
class ConsoleKeys final : public KeyInput {
 public:
  explicit ConsoleKeys(console::Console& console) : console_(console) {}
  std::uint8_t readKey() override { return console_.readKey(); }

 private:
  console::Console& console_;
};

struct LineEditorParts {
  console::Console& console;
  SpeechFront& speech;
  // F12: follows the word under the cursor; unset, nothing is opened.
  std::function<void(std::string_view)> openHelpTarget;
  // Ctrl+Alt+F9: reviews the screen and returns to the field.
  std::function<void()> screenReview;
};

class LineEditor {
 public:
  explicit LineEditor(LineEditorParts parts);

  // Edits `text` (cp1252) in the field at column x, row y (1-based) holding
  // at most `fieldLength` characters, `width` of them shown. Returns the
  // key that ended the editing; `text` then has no trailing blanks.
  int editLine(std::string& text, int x, int y, int fieldLength, int width, bool editable);
  // The same with the field reaching to the right edge of the window.
  int editLineToEnd(std::string& text, int x, int y, int fieldLength, bool editable);

  // Typed characters are echoed (F4 toggles); kept from call to call.
  bool speakTyped() const { return speakTyped_; }
  void setSpeakTyped(bool on) { speakTyped_ = on; }

 private:
  friend class EditSession;
  LineEditorParts parts_;
  bool speakTyped_ = true;
};

}  // namespace lamina::speech
