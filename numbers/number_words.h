#pragma once
// Brazilian Portuguese number words as plain text (cento e vinte e um),
// written without accents except in the scale words, ready to be played word
// by word from recordings.
#include <cstdint>
#include <string>
#include <string_view>

namespace lamina::numbers {

// Words of one group of exactly three digit characters (hundreds, tens,
// units); empty for "000" or for anything that is not three digits.
// `innerJoined` tells whether an inner " e " was placed.
std::string groupToWords(std::string_view group, bool& innerJoined);
std::string groupToWords(std::string_view group);

// Words of group `index` (0 = trillions .. 4 = units) of a 15-digit text,
// followed by its scale word; empty for an empty group or a bad argument.
std::string groupWithScale(std::string_view digits15, int index, bool& innerJoined);
std::string groupWithScale(std::string_view digits15, int index);

// 0 .. 2147483647; a negative value gives the empty text. The group joiner
// "e " goes before the last group only when that group holds no inner " e "
// of its own (mil e duzentos, mil duzentos e cinquenta).
std::string numberToWords(std::int32_t value);

}  // namespace lamina::numbers
