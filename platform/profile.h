#pragma once
// Private-profile (INI) reading with the semantics the program relies on:
// section and key names match without regard to case, the first matching key
// wins, blanks around the value are removed, one pair of surrounding quotes
// is removed, an absent key (or file) gives the caller's default while a
// present empty key gives the empty text, and every result is cut to
// size - 1 characters, as a caller's buffer of `size` bytes would hold.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace lamina::profile {

// Only the first part of a huge file is looked at.
inline constexpr std::size_t kMaxFileBytes = 1 << 20;

std::string readString(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view defaultText, std::size_t size);

// Same lookup on text already in memory (cp1252).
std::string readStringFromText(std::string_view text, std::string_view section,
                               std::string_view key, std::string_view defaultText,
                               std::size_t size);

// Decimal integer in the manner of the runtime's string-to-number: optional
// blanks, optional sign, digits, nothing after. False when not a number.
bool parseInt(std::string_view text, long& value);

}  // namespace lamina::profile
