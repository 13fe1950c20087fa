#include "link/NetworkName.h"

#include "platform/Text.h"
#include "resources/StringTable.h"

namespace exchange {

NetworkNameCodes EncodeNetworkName(std::string_view value) {
  NetworkNameCodes result;
  auto refuse = [&result](int id) {
    result.result = 4;
    result.textId = id;
    for (int& code : result.codes) code = kNetworkNameBlank;
    return result;
  };

  std::u32string chars;
  for (size_t pos = 0; pos < value.size();) chars.push_back(platform::DecodeUtf8(value, pos));
  if (chars.empty()) return refuse(kStrNameEmpty);
  if (chars.size() > 8) return refuse(kStrNameTooLong);

  int symbols = 0;
  bool dotted = false;  // the last symbol already carries its dot
  for (char32_t c : chars) {
    if (symbols > kNetworkNameCodes) break;
    c = platform::ToUpperChar(c);
    if (c == U'.') {
      if (symbols == 0 || dotted) return refuse(kStrBadNameCode);
      if (symbols <= kNetworkNameCodes) ++result.codes[symbols - 1];
      dotted = true;
      continue;
    }
    int code = 0;
    if (c == U' ') {
      code = 78;
    } else if (c == U'_') {
      code = 74;
    } else if (c == U'-') {
      code = 72;
    } else if (c >= U'A' && c <= U'Z') {
      code = static_cast<int>(c - 55) * 2;
    } else if (c >= U'0' && c <= U'9') {
      code = static_cast<int>(c - U'0') * 2;
    } else {
      return refuse(kStrBadNameCode);
    }
    if (symbols < kNetworkNameCodes) result.codes[symbols] = code;
    ++symbols;
    dotted = false;
  }
  return result;
}

bool NetworkNameCharacter(int code, std::string& text) {
  text.clear();
  if (code < 0 || code > 79) return false;
  const int c = code / 2;
  if (c <= 9) {
    text += static_cast<char>('0' + c);
  } else if (c <= 35) {
    text += static_cast<char>('A' + c - 10);
  } else if (c == 36) {
    text += '-';
  } else if (c == 37) {
    text += '_';
  } else if (c == 38) {
    text += '/';
  } else {
    text += ' ';
  }
  if (code % 2 != 0) text += '.';
  return true;
}

std::string NetworkNameErrorText(int textId) {
  return resources::LoadString(textId) + kNetworkNameSuffix;
}

}  // namespace exchange
