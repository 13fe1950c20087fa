#pragma once
// Text inside the program is UTF-8. Windows-1251 is used only at the boundaries
// (description texts, configuration files, the HTML page, text values on the wire).
// Every case-insensitive name comparison goes through CompareNoCase/EqualsNoCase,
// which fold ASCII and Cyrillic letters the way Windows-1251 does.
#include <string>
#include <string_view>

namespace platform {

// Every byte maps to a character, except 0x98, which is undefined in
// Windows-1251 and becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view bytes);

// Converts UTF-8 to Windows-1251. Characters that have no Windows-1251 code, and
// malformed UTF-8, become '?'; the result tells whether everything converted.
bool Utf8ToCp1251(std::string_view utf8, std::string& out);
std::string Utf8ToCp1251(std::string_view utf8);

// True when the text is well-formed UTF-8 and every character exists in Windows-1251.
bool IsCp1251Representable(std::string_view utf8);

// Upper/lower case of one code point, as Windows-1251 folds it (ASCII and the
// Cyrillic letters of the code page); any other code point is returned unchanged.
char32_t ToUpperChar(char32_t c);
char32_t ToLowerChar(char32_t c);

std::string ToUpper(std::string_view utf8);
std::string ToLower(std::string_view utf8);

// Case-insensitive comparison (negative, zero, positive) by upper-cased code points;
// bytes that are not UTF-8 compare by their own value, after every code point.
int CompareNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Decodes one UTF-8 sequence at pos and advances pos; malformed input yields
// U+FFFD and advances by one byte.
char32_t DecodeUtf8(std::string_view s, size_t& pos);
void AppendUtf8(std::string& out, char32_t c);

}  // namespace platform
