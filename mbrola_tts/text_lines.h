#pragma once
// Small text helpers shared by the language-file loaders.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lamina::mbrola_tts {

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::filesystem::path& file);

// Lines ended by LF or CR LF; a last line without an end counts too.
std::vector<std::string_view> splitLines(std::string_view content);

std::string upperCase(std::string_view text);
std::string lowerCase(std::string_view text);

// Without blanks and control characters at both ends.
std::string_view trimControls(std::string_view text);

// Text from UTF-8 source literals, for the built-in tables.
std::string fromSource(std::string_view utf8);

// A whole optionally signed decimal integer that fits an int.
std::optional<int> parseInteger(std::string_view text);

}  // namespace lamina::mbrola_tts
