#pragma once
// The file chooser: the user types a file name in the line editor, or ends
// the editor with another key and picks the file from a spoken list drawn
// below the cursor.
#include <cstdint>
#include <string>
#include <string_view>

#include "console/console.h"
#include "speech/line_editor.h"
#include "speech/speech_front.h"

namespace lamina::chooser {

// A mask may hold several patterns separated by ";". The converter's
// default lists the presentation program's own files and OpenDocument
// presentations.
inline constexpr std::string_view kPresentationMask = "*.pp*;*.odp;*.otp;*.fodp";

struct ChosenFile {
  std::string name;        // cp1252, as shown and spoken; empty: given up
  std::string systemName;  // the same file as the system names it
};

struct ListEntry {
  std::string longName;    // cp1252; "?" for characters it cannot hold
  std::string shortName;   // the long name cut to 8.3
  std::string systemName;  // the bytes of the name on disk
  std::int64_t size = 0;
  std::int64_t modified = 0;
  bool marked = false;
};

// Sort key of a name: letters upper-cased, accented letters to their base.
std::uint8_t foldByte(std::uint8_t c);
bool foldedLess(std::string_view a, std::string_view b);
// The first 8 characters of the base and the first 3 of the extension.
std::string shortName(std::string_view longName);

class FileChooser {
 public:
  FileChooser(console::Console& console, speech::SpeechFront& speech, speech::LineEditor& editor);

  // `rows` high list; `mask` lists when nothing was typed.
  ChosenFile chooseFile(int rows, std::string_view mask);
  // Lists the files matching `mask` in the rectangle (1-based, inclusive)
  // and returns the chosen one, empty on cancel.
  ChosenFile pickFile(int left, int top, int right, int bottom, std::string_view mask);

 private:
  friend class ListRun;
  console::Console& console_;
  speech::SpeechFront& speech_;
  speech::LineEditor& editor_;
};

}  // namespace lamina::chooser
