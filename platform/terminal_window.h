#pragma once
// The console in a text terminal (a virtual console, a terminal emulator,
// an SSH session): the same 80 x 25 cells, colours, caret and keyboard
// queue as the window, drawn with ncurses on standard output and read from
// standard input. What it needs of the terminal stays in
// terminal_window.cpp and terminal_keys_internal.h.
#include <memory>

#include "platform/window.h"

namespace lamina::platform {

// Standard input and standard output are both a terminal.
bool standardStreamsAreTerminal();
// Standard error is a terminal: what is written there lands on the screen.
bool standardErrorIsTerminal();

// The backend on the terminal of standard input and output; nullptr when
// they are not a terminal. The terminal is taken over when the console
// creates its window and given back as it was on every way the program
// ends, a crash included.
std::unique_ptr<WindowBackend> createTerminalWindowBackend();

}  // namespace lamina::platform
