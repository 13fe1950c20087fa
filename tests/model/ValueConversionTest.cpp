#include <gtest/gtest.h>

#include <initializer_list>

#include "model/DeviceModelHooks.h"
#include "model/MyConverter.h"
#include "model/Parameter.h"
#include "resources/StringTable.h"

namespace {

using Bytes = ValueBytes;

MyConverter Converter(const char* name, const char* type, int dot = 0) {
  MyConverter c(name);
  c.type = type;
  c.dot = dot;
  return c;
}

// Encodes a text; returns the result and leaves the data in out.
int Encode(const MyConverter& c, std::string text, Bytes& out) { return c.ConvertTextToData(text, out); }

Bytes Encoded(const char* name, const char* type, const char* text, int dot = 0) {
  Bytes out;
  EXPECT_EQ(Encode(Converter(name, type, dot), text, out), 1) << name << " " << type << " " << text;
  return out;
}

struct Decoded {
  int result;
  std::string text;
};

Decoded Decode(const char* name, const char* type, std::initializer_list<std::uint8_t> bytes) {
  MyConverter c = Converter(name, type);
  Bytes data(bytes);
  Decoded d;
  d.result = c.ConvertDataToText(data, d.text);
  return d;
}

std::string BadLength(int n) { return "Ошибка; (Непонятная длина ответа:" + std::to_string(n) + ")"; }

TEST(StoredDot, ChoosesThePointAndPacksSignPointAndMantissa) {
  EXPECT_EQ(Encoded("X", "stored_dot", "12.5"), (Bytes{0x10, 0x7D}));
  EXPECT_EQ(Encoded("X", "STORED_DOT", "-1"), (Bytes{0x80, 0x01}));
  EXPECT_EQ(Encoded("X", "stored_dot", "4096"), (Bytes{0x00, 0x10, 0x00}));
  EXPECT_EQ(Encoded("X", "stored_dot", "0.125"), (Bytes{0x30, 0x7D}));
  EXPECT_EQ(Encoded("X", "stored_dot", "1.5", 2), (Bytes{0x20, 0x96}));  // the description's point wins
  EXPECT_EQ(Encoded("X", "stored_dot", "200000000"), (Bytes{0x0B, 0xEB, 0xC2, 0x00}));
  EXPECT_EQ(Encoded("X", "stored_dot", "junk"), (Bytes{0x00, 0x00}));
}

TEST(StoredDot, ValuesWithoutAnEncodingAreNotSent) {
  Bytes out{1, 2};
  MyConverter c = Converter("X", "stored_dot");
  EXPECT_EQ(Encode(c, "300000000", out), 0);  // mantissa needs more than 28 bits
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(Encode(c, "1e30", out), 0);
  EXPECT_EQ(Encode(c, "inf", out), 0);
  EXPECT_EQ(Encode(c, "nan", out), 0);
  EXPECT_FALSE(MyConverter::EncodeStoredDot(3e8f, 0, out));
  EXPECT_TRUE(MyConverter::EncodeStoredDot(1.0f, 7, out));  // point clamped to 3
  EXPECT_EQ(out, (Bytes{0x33, 0xE8}));
}

TEST(StoredDot, DecodesUpToEightBytes) {
  EXPECT_EQ(Decode("X", "stored_dot", {0x9F, 0xFF}).text, "-409.500");
  EXPECT_EQ(Decode("X", "stored_dot", {0x10, 0x7D}).text, "12.500");
  auto nine = Decode("X", "stored_dot", {1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(nine.result, 1);
  EXPECT_EQ(nine.text, "0.000");
  // Eight bytes of mantissa and the largest point still decode.
  EXPECT_EQ(Decode("X", "stored_dot", {0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}).result, 1);
  float x;
  int p;
  Bytes enc;
  ASSERT_TRUE(MyConverter::EncodeStoredDot(-123.456f, 3, enc));
  ASSERT_TRUE(MyConverter::DecodeStoredDot(enc, x, p));
  EXPECT_EQ(p, 3);
  EXPECT_FLOAT_EQ(x, -123.456f);
  EXPECT_FALSE(MyConverter::DecodeStoredDot(Bytes{}, x, p));
}

TEST(IntegerForms, ByteCountDependsOnValueAndName) {
  EXPECT_EQ(Encoded("X", "int", "300"), (Bytes{0x01, 0x2C}));
  EXPECT_EQ(Encoded("X", "int", "200"), (Bytes{0xC8}));
  EXPECT_EQ(Encoded("Addr", "int", "5"), (Bytes{0x00, 0x05}));
  for (const char* name : {"SoUr", "alr.t", "tHP", "tP.H", "CLB.K"}) EXPECT_EQ(Encoded(name, "int", "1").size(), 2u);
  EXPECT_EQ(Encoded("X", "int16", "5"), (Bytes{0x00, 0x05}));
  EXPECT_EQ(Encoded("X", "int", "  42 \t\r"), (Bytes{42}));
  EXPECT_EQ(Encoded("X", "int", "010"), (Bytes{10}));  // decimal, not octal
  EXPECT_EQ(Encoded("X", "int", "abc"), (Bytes{0}));
}

TEST(IntegerForms, HexadecimalTextsWriteTheirValue) {
  // Rows show some values as "0x.."; writing them back must not send 0.
  EXPECT_EQ(Encoded("CodP", "int", "0xb5"), (Bytes{0xB5}));
  EXPECT_EQ(Encoded("X", "int16", "0X1F"), (Bytes{0x00, 0x1F}));
  EXPECT_EQ(Encoded("X", "int", "0x"), (Bytes{0}));
}

// Two bytes carry 0 to 65535; any other number would arrive as another one.
TEST(IntegerForms, NumbersBeyondTwoBytesAreNotSent) {
  EXPECT_EQ(Encoded("X", "int", "65535"), (Bytes{0xFF, 0xFF}));
  for (const char* type : {"int", "int16"})
    for (const char* text : {"65536", "-1", "99999999999", "-99999999999", "0xFFFFFFFFFFFFFFFFFFFF"}) {
      Bytes out;
      EXPECT_EQ(Encode(Converter("X", type), text, out), 0) << type << " " << text;
      EXPECT_TRUE(out.empty()) << type << " " << text;
    }
}

TEST(IntegerForms, DecodeByLength) {
  EXPECT_EQ(Decode("X", "int", {0xC8}).text, "200");
  EXPECT_EQ(Decode("X", "int", {0x01, 0x2C}).text, "300");
  EXPECT_EQ(Decode("X", "int16", {0xFF, 0xFF, 0xFF, 0xFF}).text, "4294967295");
  auto three = Decode("X", "int", {1, 2, 3});
  EXPECT_EQ(three.result, -1);
  EXPECT_EQ(three.text, BadLength(3));
  EXPECT_EQ(Decode("X", "sint", {0xFF}).text, "-1");
  EXPECT_EQ(Decode("X", "sint16", {0xFF, 0xFE}).text, "-2");
  EXPECT_EQ(Decode("X", "sint", {0x80, 0x00, 0x00}).text, "-128");
  EXPECT_EQ(Decode("X", "sint", {0x80, 0x00, 0x01, 0x02}).text, "-32768");
  EXPECT_EQ(Decode("X", "sint", {1, 2, 3, 4, 5}).result, -1);
  EXPECT_EQ(Decode("X", "int", {}).result, 0);
}

TEST(IntegerForms, ErrorTextBecomesTheValue) {
  Parameter p("X");
  p.type = "int";
  Bytes data{1, 2, 3};
  EXPECT_EQ(p.ConvertFromData(data), -1);
  EXPECT_EQ(p.value, BadLength(3));
  p.value = "kept";
  p.type = "Off:On";
  data = {5};
  EXPECT_EQ(p.ConvertFromData(data), 0);
  EXPECT_EQ(p.value, "kept");
}

TEST(ClockForm, MinutesAndSecondsRoundTrip) {
  EXPECT_EQ(Encoded("X", "CLK_frm", "01:30"), (Bytes{90}));
  EXPECT_EQ(Decode("X", "CLK_frm", {90}).text, "01:30");
  EXPECT_EQ(Encoded("X", "CLK_frm", "99:99"), (Bytes{0x17, 0x97}));
  EXPECT_EQ(Encoded("Alr.t", "CLK_frm", "0:05"), (Bytes{0x00, 0x05}));
  // A single digit after the colon is seconds, not tens of seconds' sixths.
  EXPECT_EQ(Encoded("X", "CLK_frm", "12:3"), (Bytes{0x02, 0xD3}));
  EXPECT_EQ(Encoded("X", "CLK_frm", "1:5"), (Bytes{65}));
  EXPECT_EQ(Decode("X", "CLK_frm", {0x0E, 0x10}).text, "60:00");
  EXPECT_EQ(Decode("X", "CLK_frm", {0x0E, 0x10, 0x00}).text, "00:14");  // odd lengths use byte 0
  EXPECT_EQ(Decode("X", "CLK_frm", {1, 2, 3, 4, 5}).result, -1);
  Bytes out;
  EXPECT_EQ(Encode(Converter("X", "CLK_frm"), "1:3x", out), -1);
  EXPECT_EQ(Encode(Converter("X", "CLK_frm"), "1:30 ", out), -1);
  // Seconds beyond 16 bits are not sent, cut to another time.
  EXPECT_EQ(Encoded("X", "CLK_frm", "1092:15"), (Bytes{0xFF, 0xFF}));
  for (const std::string& text : {std::string(300, '9'), std::string("9999:59"), std::string("1092:16")}) {
    EXPECT_EQ(Encode(Converter("X", "CLK_frm"), text, out), 0) << text;
    EXPECT_TRUE(out.empty()) << text;
  }
}

TEST(FloatForm, BigEndianSingleAndTheThreeByteForm) {
  EXPECT_EQ(Encoded("X", "float", "1"), (Bytes{0x3F, 0x80, 0x00, 0x00}));
  EXPECT_EQ(Encoded("r.oe", "float", "1"), (Bytes{0x3F, 0x80, 0x00}));
  EXPECT_EQ(Encoded("R.OE", "float", "1").size(), 4u);  // only the exact spelling is shortened
  EXPECT_EQ(Decode("r.oe", "float", {0x3F, 0x80, 0x00}).text, "1.000");
  EXPECT_EQ(Decode("R.oe", "float", {0x3F, 0x80, 0x00, 0x55}).text, "1.000");
  auto d = Decode("X", "float", {0x3F, 0x80, 0x00, 0x00});
  EXPECT_EQ(d.result, 1);
  EXPECT_EQ(d.text, "1.000");
}

TEST(FloatForm, SpecialValuesReadAsInvalid) {
  const std::string invalid = "недопустимое значение";
  EXPECT_EQ(Decode("X", "float", {0xFF, 0xFF, 0xFF, 0xFF}).text, invalid);
  EXPECT_EQ(Decode("X", "float", {0x7F, 0x80, 0x00, 0x00}).text, invalid);  // +inf
  EXPECT_EQ(Decode("X", "float", {0x7F, 0xC0, 0x00, 0x01}).text, invalid);  // NaN
  EXPECT_EQ(Decode("X", "float", {0xFF, 0x80, 0x00, 0x00}).text, invalid);  // -inf
  EXPECT_EQ(Decode("X", "float", {0xFF, 0xC0, 0x00, 0x00}).text, invalid);  // negative NaN
  EXPECT_EQ(Decode("X", "float", {0x00, 0x00, 0x00, 0x01}).text, "0.000");  // denormal
  std::string largest = Decode("X", "float", {0x7F, 0x7F, 0xFF, 0xFF}).text;
  EXPECT_EQ(largest.substr(0, 4), "3402");
  EXPECT_EQ(largest.substr(largest.size() - 4), ".000");
  auto shortReply = Decode("X", "float", {0x3F, 0x80});
  EXPECT_EQ(shortReply.result, -1);
  EXPECT_EQ(shortReply.text, BadLength(2));
  Bytes out;
  EXPECT_EQ(Encode(Converter("X", "float"), "1e39", out), 0);
  EXPECT_EQ(Encode(Converter("X", "float"), "-inf", out), 0);
  EXPECT_EQ(Encode(Converter("X", "float"), "nan", out), 0);
  EXPECT_EQ(Encoded("X", "float", "3.4028234e38"), (Bytes{0x7F, 0x7F, 0xFF, 0xFF}));
}

TEST(FloatForm, LastReceivedFloatIsKept) {
  MyConverter c = Converter("X", "float");
  EXPECT_FALSE(c.ReceivedFloat());
  Bytes data{0x40, 0x49, 0x0F, 0xDB};
  ASSERT_EQ(c.ConvertFromData(data), 1);
  EXPECT_EQ(c.value, "3.142");
  ASSERT_TRUE(c.ReceivedFloat());
  EXPECT_FLOAT_EQ(*c.ReceivedFloat(), 3.14159265f);
  data = {0xFF, 0xFF, 0xFF, 0xFF};  // an invalid reading leaves the last good one
  c.ConvertFromData(data);
  EXPECT_FLOAT_EQ(*c.ReceivedFloat(), 3.14159265f);
}

TEST(Enumerations, ItemIndexIsTheCode) {
  EXPECT_EQ(Encoded("X", "Off:On", "on"), (Bytes{1}));
  EXPECT_EQ(Decode("X", "Off:On", {2}).result, 0);
  EXPECT_EQ(Decode("X", "Off:On", {0x00, 0x01}).text, "On");
  // '_' is a blank in matching and in display; letter case is folded for Cyrillic too.
  EXPECT_EQ(Encoded("X", "Вкл_1:Выкл_2", "ВЫКЛ 2"), (Bytes{1}));
  EXPECT_EQ(Decode("X", "Вкл_1:Выкл_2", {1}).text, "Выкл 2");
  // A hidden item keeps its code.
  EXPECT_EQ(Encoded("X", "a:b<hide>:c", "c"), (Bytes{2}));
  EXPECT_EQ(Decode("X", "a:b<hide>:c", {1}).text, "b<hide>");
  Bytes out;
  EXPECT_EQ(Encode(Converter("X", "Off:On"), "maybe", out), 0);
  // Scalar types that cannot be written fall through to the list rule.
  EXPECT_EQ(Encode(Converter("X", "string"), "abc", out), 0);
  EXPECT_EQ(Encode(Converter("X", "sint"), "5", out), 0);
  EXPECT_EQ(Encoded("X", "void", "anything"), Bytes{});
  std::string longItem(300, 'x');
  auto d = Decode("X", ("a:" + longItem).c_str(), {1});
  EXPECT_EQ(d.text.size(), 254u);
}

TEST(Enumerations, NamesAndIndexes) {
  MyConverter c = Converter("X", "Нет:Четность:Нечетная_четность");
  EXPECT_EQ(c.GetEnumName(-1), "");
  EXPECT_EQ(c.GetEnumName(2), "Нечетная четность");
  EXPECT_EQ(c.GetEnumName(3), "Нет данных");
  int index = -1;
  EXPECT_TRUE(c.FindEnumIndex("нечетная ЧЕТНОСТЬ", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(c.FindEnumIndex("x", index));
  MyConverter scalar = Converter("X", "int");
  EXPECT_EQ(scalar.GetEnumName(7), "7");
  EXPECT_FALSE(scalar.FindEnumIndex("int", index));
}

TEST(NetworkNames, SevenBitCodesFirstCharacterLast) {
  EXPECT_EQ(Encoded("X", "name", "A.B"), (Bytes{78, 78, 22, 21}));
  EXPECT_EQ(Decode("X", "name", {78, 78, 22, 21}).text, "A.B  ");
  EXPECT_EQ(Encoded("X", "name", "AB.C"), (Bytes{78, 24, 23, 20}));
  EXPECT_EQ(Encoded("X", "name", "abcd"), Encoded("X", "name", "ABCD"));
  EXPECT_EQ(Decode("X", "name", {78, 78, 78, 21, 9, 9}).text, "A.   ");  // six bytes: the first four count
  EXPECT_EQ(Decode("X", "name", {79, 76, 74, 72}).text, "-_/ .");
  auto bad = Decode("X", "name", {80, 78, 78, 78});
  EXPECT_EQ(bad.result, -1);
  EXPECT_EQ(bad.text, "Недопустимый код символа в сетевом имени");
  EXPECT_EQ(Decode("X", "name", {78, 78, 78}).result, -1);
}

TEST(NetworkNames, RefusalsReplaceTheText) {
  MyConverter c = Converter("X", "name");
  Bytes out;
  std::string text;
  EXPECT_EQ(c.ConvertTextToData(text, out), -1);
  EXPECT_EQ(text, "Сетевое имя пусто");
  // Four characters at most: a fifth would be dropped.
  for (const char* longName : {"ABCDEFGHI", "ABCDE", "A.B.C.D.E"}) {
    text = longName;
    EXPECT_EQ(c.ConvertTextToData(text, out), -1) << longName;
    EXPECT_EQ(text, "Сетевое имя слишком длинное");
  }
  for (const char* bad : {".A", "A*", "Ж"}) {
    text = bad;
    EXPECT_EQ(c.ConvertTextToData(text, out), -1) << bad;
    EXPECT_EQ(text, "Недопустимый код символа в сетевом имени");
  }
  text = "ЖЖЖЖ";  // eight bytes but four characters: a character error, not a length error
  EXPECT_EQ(c.ConvertTextToData(text, out), -1);
  EXPECT_EQ(text, "Недопустимый код символа в сетевом имени");
}

TEST(NamedValues, DecodedByName) {
  EXPECT_EQ(Decode("bPS", "x", {2}).text, "9600");
  EXPECT_EQ(Decode("bps", "x", {0, 8}).text, "115200");
  EXPECT_EQ(Decode("bPS", "x", {9}).result, 0);
  EXPECT_EQ(Decode("PrtY", "Отсутствует:Четность:Нечетность", {1}).text, "Четность");
  EXPECT_EQ(Decode("PrtY", "Отсутствует:Четность:Нечетность", {3}).result, 0);
  EXPECT_EQ(Decode("Sbit", "1:2", {1}).text, "2");
  EXPECT_EQ(Decode("Sbit", "1:2", {2}).result, 0);
  EXPECT_EQ(Decode("Addr", "int", {0x01, 0x02}).text, "258");
  EXPECT_EQ(Decode("dev", "x", {'1', '0', '8', '5', 'Z'}).text, "Z5801");
  EXPECT_EQ(Decode("ver", "x", {0xC0, 'B'}).text, "BА");  // Windows-1251 on the wire
  EXPECT_EQ(Decode("dev", "x", {0, 0, 'B', 'A'}).text, "AB");  // padding ends the text
  EXPECT_EQ(Decode("X", "string", {'c', 'b', 'a'}).text, "abc");
  EXPECT_EQ(Decode("X", "ASCI", {0xE0}).text, "а");
  auto aply = Decode("APLY", "int", {});
  EXPECT_EQ(aply.result, 1);
  EXPECT_EQ(aply.text, "");
  EXPECT_EQ(Decode("X", "void", {}).result, 1);
}

TEST(NamedValues, NeverWrittenAndNoData) {
  Bytes out{9};
  for (const char* name : {"dev", "VER", "exit"}) EXPECT_EQ(Encode(Converter(name, "int"), "1", out), -1);
  EXPECT_EQ(Encode(Converter("U.Apl", "int"), "1", out), 1);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(Encode(Converter("uapl", "int"), "1", out), 1);
  MyConverter c = Converter("X", "int");
  c.value = "7";
  EXPECT_EQ(c.ConvertToData(out), 1);
  EXPECT_EQ(out, Bytes{7});
  // A parity beyond the list decodes to no data; a value given after it has data.
  MyConverter parity = Converter("PrtY", "Отсутствует:Четность");
  EXPECT_EQ(parity.ConvertFromData(Bytes{2}), 1);
  EXPECT_TRUE(parity.value.HasNoData());
  EXPECT_EQ(parity.value, resources::LoadString(kStrNoData));
  EXPECT_EQ(parity.ConvertFromData(Bytes{1}), 1);
  EXPECT_FALSE(parity.value.HasNoData());
  parity.value.SetNoData();
  parity.value = resources::LoadString(kStrNoData);
  EXPECT_FALSE(parity.value.HasNoData());
}

class AnalogModel : public model::DeviceModelHooks {
 public:
  bool measurement = true;
  bool HasMeasurementReadings() const override { return measurement; }
  std::string FormatValue(float v) const override { return "<" + std::to_string(static_cast<int>(v)) + ">"; }
};

class MeasurementReadings : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = model::SetCurrentDeviceModel(&model_); }
  void TearDown() override { model::SetCurrentDeviceModel(previous_); }
  AnalogModel model_;
  model::DeviceModelHooks* previous_ = nullptr;
};

TEST_F(MeasurementReadings, StatusCodesSignedValuesAndModelFormat) {
  EXPECT_EQ(Decode("rEAd", "float", {0xFD}).text, "Обрыв датчика.");
  EXPECT_EQ(Decode("iRDt", "float", {0xF0}).text, "Значение заведомо неверно.");
  EXPECT_EQ(Decode("iRD", "float", {0xFE}).text, "Отсутствие связи с АЦП.");
  EXPECT_EQ(Decode("read", "float", {0x12}).text, "Не могу преобразовать коэффициенты.");
  EXPECT_EQ(Decode("rEAd", "float", {0xFF, 0xFE}).text, "-2");
  EXPECT_EQ(Decode("rEAd", "float", {0x00, 0x10, 0xAA, 0xBB}).text, "16");
  EXPECT_EQ(Decode("rEAd", "float", {0x42, 0x28, 0x00, 0x00, 0x00, 0x00}).text, "<42>");
  EXPECT_EQ(Decode("rEAd", "float", {1, 2, 3}).result, 0);
  // Other models read the same names by their type.
  model_.measurement = false;
  EXPECT_EQ(Decode("rEAd", "float", {0x3F, 0x80, 0x00, 0x00}).text, "1.000");
  model::SetCurrentDeviceModel(nullptr);
  EXPECT_EQ(Decode("rEAd", "float", {0x3F, 0x80, 0x00, 0x00}).text, "1.000");
}

TEST(DeviceModelHooks, BaseFormatsWithThreeDecimals) {
  model::DeviceModelHooks base;
  EXPECT_EQ(base.FormatValue(2.5f), "2.500");
  EXPECT_FALSE(base.HasMeasurementReadings());
  Parameter p("Log");
  EXPECT_EQ(base.OnParameterEdited(p), nullptr);
}

}  // namespace
