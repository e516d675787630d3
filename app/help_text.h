#pragma once
// What `lamina --help` and `lamina --version` print (code page 1252 text).
#include <string>

namespace lamina::app {

// The options of the program, one per line, and where its files are.
std::string helpText();

// "lamina " followed by the project's version number and a line end.
std::string versionText();

}  // namespace lamina::app
