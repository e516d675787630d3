#pragma once
// Code page 1252 is the program's inner text encoding; these convert at the
// edges (file names, clipboard, fonts, presentation text).
#include <cstdint>
#include <string>
#include <string_view>

namespace lamina::cp1252 {

// Unicode code point of a cp1252 byte. The five bytes the code page leaves
// undefined map to the C1 controls of the same value, as Windows does.
char32_t toUnicode(unsigned char byte);

// cp1252 byte of a code point, or '?' when the code page cannot hold it.
char fromUnicode(char32_t cp);

// True when the code page holds the code point.
bool canEncode(char32_t cp);

std::string toUtf8(std::string_view text);
std::u16string toUtf16(std::string_view text);

// Every character that cp1252 cannot hold becomes one '?'. A surrogate pair
// is one character; a lone surrogate or a malformed UTF-8 sequence is one '?'.
std::string fromUtf8(std::string_view utf8);
std::string fromUtf16(std::u16string_view utf16);

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, char32_t cp);
// Appends the UTF-16 form of a code point; one beyond U+10FFFF becomes U+FFFD.
void appendUtf16(std::u16string& out, char32_t cp);

// Decodes one code point of UTF-8 at pos and advances pos; malformed input
// gives U+FFFD and advances by one byte.
char32_t decodeUtf8(std::string_view utf8, std::size_t& pos);

// Upper and lower case of a cp1252 letter (accented letters included).
unsigned char toUpper(unsigned char c);
unsigned char toLower(unsigned char c);

}  // namespace lamina::cp1252
