#include "common/textnum.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace osd {

long long roundHalfEven(double value) {
  if (!std::isfinite(value)) return 0;
  double lo = std::floor(value);
  double diff = value - lo;
  double r;
  if (diff < 0.5) {
    r = lo;
  } else if (diff > 0.5) {
    r = lo + 1.0;
  } else {
    r = (std::fmod(lo, 2.0) == 0.0) ? lo : lo + 1.0;
  }
  if (r > static_cast<double>(std::numeric_limits<long long>::max() / 2)) {
    return std::numeric_limits<long long>::max() / 2;
  }
  if (r < static_cast<double>(std::numeric_limits<long long>::min() / 2)) {
    return std::numeric_limits<long long>::min() / 2;
  }
  return static_cast<long long>(r);
}

namespace {
bool isSkippable(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
}  // namespace

double leadingNumber(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  auto skip = [&] {
    while (i < n && isSkippable(text[i])) ++i;
  };
  skip();
  if (i + 1 < n && text[i] == '&') {
    char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
    int base = kind == 'H' ? 16 : (kind == 'O' ? 8 : 0);
    if (base != 0) {
      i += 2;
      double v = 0;
      for (;; ++i) {
        skip();
        if (i >= n) break;
        int c = std::toupper(static_cast<unsigned char>(text[i]));
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0 || d >= base) break;
        v = v * base + d;
      }
      return v;
    }
  }
  std::string digits;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    digits.push_back(text[i]);
    ++i;
  }
  bool any = false;
  bool dot = false;
  for (;; ++i) {
    skip();
    if (i >= n) break;
    char c = text[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits.push_back(c);
      any = true;
    } else if (c == '.' && !dot) {
      digits.push_back(c);
      dot = true;
    } else {
      break;
    }
  }
  if (!any) return 0.0;
  // Optional exponent: E or D, optional sign, at least one digit.
  if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    size_t j = i + 1;
    std::string exp = "e";
    if (j < n && (text[j] == '+' || text[j] == '-')) exp.push_back(text[j++]);
    bool expDigits = false;
    while (j < n && std::isdigit(static_cast<unsigned char>(text[j])) && exp.size() < 8) {
      exp.push_back(text[j++]);
      expDigits = true;
    }
    if (expDigits) digits += exp;
  }
  double v = std::strtod(digits.c_str(), nullptr);
  if (!std::isfinite(v)) return 0.0;
  return v;
}

int32_t leadingInt(std::string_view text) {
  long long v = roundHalfEven(leadingNumber(text));
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

int clampInt(long long value, int lo, int hi) {
  if (value < lo) return lo;
  if (value > hi) return hi;
  return static_cast<int>(value);
}

std::string hex2(long long value) {
  static const char* digits = "0123456789ABCDEF";
  unsigned v = static_cast<unsigned>(value) & 0xFFu;
  std::string s;
  s.push_back(digits[(v >> 4) & 0xF]);
  s.push_back(digits[v & 0xF]);
  return s;
}

std::string hexUpper(long long value) {
  static const char* digits = "0123456789ABCDEF";
  unsigned long long v =
      value < 0 ? static_cast<uint32_t>(value) : static_cast<unsigned long long>(value);
  std::string s;
  do {
    s.insert(s.begin(), digits[v & 0xF]);
    v >>= 4;
  } while (v != 0);
  return s;
}

std::string dec2(long long value) {
  std::string s = std::to_string(value);
  if (value >= 0 && s.size() < 2) s.insert(s.begin(), '0');
  return s;
}

std::string trimBlanks(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  return std::string(text.substr(b, e - b));
}

std::string trimSpace(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return std::string(text.substr(b, e - b));
}

std::string toUpper(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string rightChars(std::string_view text, size_t n) {
  if (text.size() <= n) return std::string(text);
  return std::string(text.substr(text.size() - n));
}

std::string rightAlign(std::string_view text, size_t width) {
  std::string s(width > text.size() ? width - text.size() : 0, ' ');
  s += text;
  return rightChars(s, width);
}

}  // namespace osd
