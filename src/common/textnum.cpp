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

namespace {
// Length of the well-formed UTF-8 character at `i` (2 to 4 bytes), 0 when there is none.
size_t utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t len = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    len = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    len = 3;
    if (lead == 0xE0) lo = 0xA0;  // no over-long forms
    if (lead == 0xED) hi = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    len = 4;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + len > text.size() || byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (size_t k = 2; k < len; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return len;
}
}  // namespace

std::string escapeUnprintable(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r' || c == '\n') {
      out += static_cast<char>(c);
      ++i;
    } else if (const size_t len = c >= 0x80 ? utf8Length(text, i) : 0; len > 0) {
      out.append(text.substr(i, len));
      i += len;
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
      ++i;
    }
  }
  return out;
}

}  // namespace osd
