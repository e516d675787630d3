#pragma once
// Text normalisation: any code page 1252 text becomes letters, blanks and
// the marks ! ( ) , . : ; ? (words keep inner hyphens), with numbers,
// ordinals, signs, vowel-less abbreviations and known abbreviations written
// out as Brazilian Portuguese words.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mbrola_tts/dictionaries.h"

namespace lamina::mbrola_tts {

std::string normalizeText(std::string_view text, const AbbreviationTable& abbreviations);

// n up to 4 294 967 295; the words of the last group follow "e " only when
// that group holds no " e " of its own ("mil cento e vinte", "mil e um").
std::string cardinalWords(std::uint32_t n);

// gender 'm' or 'f'; from 2000 on the cardinal is said.
std::string ordinalWords(std::uint32_t n, char gender);

// Reads the number (and its ordinal suffix) at pos, a digit, and moves pos
// past it. Positions are 0-based.
std::string readNumber(std::string_view text, std::size_t& pos);

// Reads the word at pos, a letter, and moves pos past it; a word without
// vowels is spelled unless it is a known abbreviation followed by ".".
std::string readWord(std::string_view text, std::size_t& pos,
                     const AbbreviationTable& abbreviations);

std::string characterName(unsigned char code);

bool isLetter(unsigned char c);

}  // namespace lamina::mbrola_tts
