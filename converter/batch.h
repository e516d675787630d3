#pragma once
// lamina --batch FILE... [-o OUTPUT] [--utf8]: converts without console or
// speech, for scripts and sighted helpers.
#include <filesystem>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "converter/convert.h"
#include "presentation/reader.h"

namespace lamina::converter {

// args are the words after "--batch". Returns the exit code: 0 when every
// file was converted, 1 otherwise (usage errors included).
int runBatch(std::span<const std::string_view> args, presentation::PresentationReader& reader,
             std::ostream& errors, const std::filesystem::path& currentDirectory);

// The program's entry: argv[1] is "--batch".
int runBatch(int argc, char** argv);

// The input name as the program completes it: a name without "/" gets the
// current directory and "/" in front.
std::string completeInputName(std::string_view name, const std::filesystem::path& currentDirectory);

}  // namespace lamina::converter
