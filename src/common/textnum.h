// Small text and number helpers shared by every layer: the rounding rule used throughout
// (halves to the even neighbour), the lenient leading-number reading, and the fixed-width
// hexadecimal and decimal forms that the node protocol and the window labels use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace osd {

// Nearest integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
long long roundHalfEven(double value);

// Reads the number at the start of `text` the lenient way: blanks and tabs are skipped
// (also between digits), an optional sign, digits, an optional decimal fraction and an
// optional exponent are taken; "&H" and "&O" make the digits hexadecimal or octal. The first
// character that cannot continue the number ends it. A text with no number gives 0.
double leadingNumber(std::string_view text);

// leadingNumber rounded to an integer (halves to even) and limited to the 32-bit range.
int32_t leadingInt(std::string_view text);

// Clamp helper for ints.
int clampInt(long long value, int lo, int hi);

// Upper-case hexadecimal, zero-padded to two digits; only the last two digits are kept
// (5 -> "05", 308 -> "34", -1 -> "FF").
std::string hex2(long long value);

// Upper-case hexadecimal without padding (255 -> "FF", 0 -> "0"; negative values as 32-bit).
std::string hexUpper(long long value);

// Decimal, zero-padded to two digits ("01" .. "15", 31 -> "31", 123 -> "123").
std::string dec2(long long value);

// Removes leading and trailing blanks (spaces only, as the stored texts use them).
std::string trimBlanks(std::string_view text);

// Removes leading and trailing white space of any kind (spaces, tabs, CR, LF).
std::string trimSpace(std::string_view text);

std::string toUpper(std::string_view text);

// Last `n` characters of `text` (the whole text when shorter).
std::string rightChars(std::string_view text, size_t n);

// Right-aligns `text` in `width` characters padded with spaces, keeping only the last `width`
// characters when it is longer.
std::string rightAlign(std::string_view text, size_t width);

// The text with every byte that would not show as a character written as "\xFF": control
// bytes other than tab, CR and LF, and bytes that are not part of a well-formed UTF-8
// character. Printable text, UTF-8 included, stays as it is.
std::string escapeUnprintable(std::string_view text);

// Text whose characters are bytes: builds a one-character string holding byte `value`.
inline std::string byteChar(int value) {
  return std::string(1, static_cast<char>(value & 0xFF));
}

}  // namespace osd
