#include <gtest/gtest.h>

#include <string>

#include "link/DeviceErrors.h"
#include "resources/StringTable.h"

namespace {

std::string ErrorText(int code) {
  const uint8_t data[] = {static_cast<uint8_t>(code)};
  std::string text = "untouched";
  EXPECT_TRUE(DeviceErrorText(data, 1, text));
  return text;
}

}  // namespace

TEST(TransportErrorText, EveryCode) {
  std::string text = "old";
  EXPECT_TRUE(TransportErrorText(0, text));
  EXPECT_EQ(text, "");
  const std::pair<int, const char*> table[] = {
      {2, "Таймаут при передаче данных (нет связи)"},
      {3, "Ошибки на линии связи"},
      {4, "Ошибка в контрольной сумме"},
      {5, "Адрес устройства в запросе не соответствует адресу в ответе."},
      {6, "Некорректный ответ"},
  };
  for (const auto& [code, expected] : table) {
    EXPECT_TRUE(TransportErrorText(code, text)) << code;
    EXPECT_EQ(text, expected) << code;
  }
  for (int code : {-1, 1, 7, 200, -100}) {
    text = "old";
    EXPECT_FALSE(TransportErrorText(code, text)) << code;
    EXPECT_EQ(text, "") << code;
  }
}

TEST(DeviceErrorText, RangesMapToTheirTexts) {
  const std::pair<int, int> ids[] = {
      {0x00, 225}, {0x02, 226}, {0x05, 229}, {0x08, 232}, {0x21, 233}, {0x24, 236},
      {0x28, 240}, {0x30, 245}, {0x31, 241}, {0x34, 244}, {0x35, 246}, {0x36, 246},
      {0x38, 248}, {0x41, 250}, {0x42, 251}, {0x43, 252}, {0x47, 253}, {0x48, 254},
  };
  for (const auto& [code, id] : ids) {
    ASSERT_TRUE(resources::HasString(id)) << id;
    EXPECT_EQ(ErrorText(code), resources::LoadString(id)) << code;
  }
  EXPECT_EQ(ErrorText(0x08), "У запрошенного параметра отсутствуют признаки");
  EXPECT_EQ(ErrorText(0x28), "Не найден дескриптор");
  EXPECT_EQ(ErrorText(0x34), "Недопустимо большой линейный индекс");

  for (int code = 0x39; code <= 0x3F; ++code)
    EXPECT_EQ(ErrorText(code), "Запрещающий групповой атрибут находится на уровне " +
                                   std::to_string(code - 0x38));
}

TEST(DeviceErrorText, TextWithoutTableEntry) {
  EXPECT_EQ(ErrorText(0x29),
            "Не найдена сетевая функция, хотя дескриптор найден!!!\t\t\t\t\t\t\t  "
            "В нормальном приборе эта ошибка встречаться НЕ ДОЛЖНА!!!");
}

TEST(DeviceErrorText, UnknownCodesAreSigned) {
  EXPECT_EQ(ErrorText(0x50), "Не найдено значение ошибки. (Код 80)");
  EXPECT_EQ(ErrorText(0xC8), "Не найдено значение ошибки. (Код -56)");
  EXPECT_EQ(ErrorText(0x01), "Не найдено значение ошибки. (Код 1)");
  EXPECT_EQ(ErrorText(0x40), "Не найдено значение ошибки. (Код 64)");
  EXPECT_EQ(ErrorText(0xFF), "Не найдено значение ошибки. (Код -1)");
  for (int code = 0; code < 256; ++code) EXPECT_FALSE(ErrorText(code).empty()) << code;
}

TEST(DeviceErrorText, ZeroLengthChangesNothing) {
  const uint8_t data[] = {0x47};
  std::string text = "kept";
  EXPECT_FALSE(DeviceErrorText(data, 0, text));
  EXPECT_FALSE(DeviceErrorText(nullptr, 1, text));
  EXPECT_EQ(text, "kept");
}

TEST(LinkStrings, EveryIdTheExchangeUsesIsPresent) {
  for (int id : {196, 197, 221, 222, 223, 224, 321, 402, 403, 413, 414, 415, 416, 417, 418, 419, 420,
                 421, 422, 423, 424, 425})
    EXPECT_FALSE(resources::LoadString(id).empty()) << id;
  for (int id = 225; id <= 255; ++id) {
    if (id == 247) continue;  // code 0x37 has a text of its own
    EXPECT_FALSE(resources::LoadString(id).empty()) << id;
  }
}
