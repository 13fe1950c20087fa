#include "platform/Text.h"

#include <array>

namespace platform {
namespace {

// Code points of the bytes 0x80-0xBF; 0xC0-0xFF are U+0410-U+044F in order.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

char32_t ByteToCodePoint(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  return kHigh[b - 0x80];
}

// -1 when the code point has no Windows-1251 byte.
int CodePointToByte(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  if (c >= 0x0410 && c <= 0x044F) return static_cast<int>(0xC0 + (c - 0x0410));
  for (size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == c && c != 0xFFFD) return static_cast<int>(0x80 + i);
  }
  return -1;
}

}  // namespace

char32_t DecodeUtf8(std::string_view s, size_t& pos) {
  unsigned char b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  int extra;
  char32_t c;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    c = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    c = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    c = b0 & 0x07;
  } else {
    ++pos;
    return 0xFFFD;
  }
  if (pos + extra >= s.size()) {  // cut sequence at the end
    ++pos;
    return 0xFFFD;
  }
  for (int i = 1; i <= extra; ++i) {
    unsigned char b = static_cast<unsigned char>(s[pos + i]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += extra + 1;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) AppendUtf8(out, ByteToCodePoint(static_cast<unsigned char>(ch)));
  return out;
}

bool Utf8ToCp1251(std::string_view utf8, std::string& out) {
  out.clear();
  out.reserve(utf8.size());
  bool all = true;
  size_t pos = 0;
  while (pos < utf8.size()) {
    size_t before = pos;
    char32_t c = DecodeUtf8(utf8, pos);
    int b = CodePointToByte(c);
    // A genuine U+FFFD in the input is as unrepresentable as a malformed byte.
    if (b < 0 || (c == 0xFFFD && pos == before + 1)) {
      out += '?';
      all = false;
    } else {
      out += static_cast<char>(b);
    }
  }
  return all;
}

std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  Utf8ToCp1251(utf8, out);
  return out;
}

bool IsCp1251Representable(std::string_view utf8) {
  std::string ignored;
  return Utf8ToCp1251(utf8, ignored);
}

char32_t ToUpperChar(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0x0430 && c <= 0x044F) return c - 0x20;  // а-я
  if (c >= 0x0450 && c <= 0x045F) return c - 0x50;  // ѐ-џ (ё, ђ, ѓ, є, ѕ, і, ї, ј, љ, њ, ћ, ќ, ў, џ)
  if (c == 0x0491) return 0x0490;                   // ґ
  return c;
}

char32_t ToLowerChar(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0x0410 && c <= 0x042F) return c + 0x20;
  if (c >= 0x0400 && c <= 0x040F) return c + 0x50;
  if (c == 0x0490) return 0x0491;
  return c;
}

namespace {
template <typename F>
std::string MapChars(std::string_view utf8, F f) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    size_t start = pos;
    char32_t c = DecodeUtf8(utf8, pos);
    if (c == 0xFFFD && pos == start + 1) {
      out += utf8[start];  // keep malformed bytes as they are
    } else {
      AppendUtf8(out, f(c));
    }
  }
  return out;
}
}  // namespace

std::string ToUpper(std::string_view utf8) { return MapChars(utf8, ToUpperChar); }
std::string ToLower(std::string_view utf8) { return MapChars(utf8, ToLowerChar); }

namespace {
// The upper-case code point at pos. A byte that is not UTF-8 keeps its own value
// (above every code point), so that unconverted texts do not all compare equal.
char32_t FoldedAt(std::string_view s, size_t& pos) {
  const size_t start = pos;
  const char32_t c = DecodeUtf8(s, pos);
  if (c == 0xFFFD && pos == start + 1) return 0x110000 + static_cast<unsigned char>(s[start]);
  return ToUpperChar(c);
}
}  // namespace

int CompareNoCase(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t ca = FoldedAt(a, i);
    char32_t cb = FoldedAt(b, j);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return CompareNoCase(a, b) == 0; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  size_t i = 0, j = 0;
  while (j < prefix.size()) {
    if (i >= text.size()) return false;
    if (FoldedAt(text, i) != FoldedAt(prefix, j)) return false;
  }
  return true;
}

}  // namespace platform
