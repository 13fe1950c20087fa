#include <gtest/gtest.h>

#include "model/Parameter.h"

namespace {

struct Typed : Parameter {
  explicit Typed(const char* t, double lower = 0, double upper = 0) : Parameter("X") {
    type = t;
    min = lower;
    max = upper;
  }
};

// Returns the stored value, or "<refused>".
std::string Check(Parameter& p, const std::string& text, bool fullPrecision = false) {
  p.value = "old";
  p.valueChanged = false;
  if (p.CheckAndSetValue(text, fullPrecision) != 1) {
    EXPECT_EQ(p.value, "old");
    EXPECT_FALSE(p.valueChanged);
    return "<refused>";
  }
  EXPECT_TRUE(p.valueChanged);
  return p.value;
}

TEST(ParameterRecord, StartsWithoutDataAndWithDefaults) {
  Parameter p("Addr");
  EXPECT_EQ(p.value, "Нет данных");
  EXPECT_EQ(p.type, "неизвестен");
  EXPECT_EQ(p.description, "<неизвестный параметр>");
  EXPECT_TRUE(p.writable);
  EXPECT_EQ(p.editable, 1);
  EXPECT_EQ(p.pollPeriod, 1000);
  EXPECT_FALSE(p.IsPolled());
  Parameter blank;
  EXPECT_EQ(blank.name, "");
  EXPECT_EQ(blank.value, "");
  EXPECT_EQ(blank.type, "");
  EXPECT_EQ(blank.description, "<неизвестный параметр>");
}

TEST(ParameterRecord, DestructorClearsItsOutputTableSlot) {
  Parameter* table[2] = {nullptr, nullptr};
  {
    auto p = std::make_unique<Parameter>("POUt");
    table[0] = p.get();
    p->poutSlot = &table[0];
  }
  EXPECT_EQ(table[0], nullptr);
  // A slot since given to another parameter is left to that one.
  Parameter other("POUt");
  {
    Parameter p("POUt");
    p.poutSlot = &table[1];
    table[1] = &other;
  }
  EXPECT_EQ(table[1], &other);
}

TEST(CheckAndSetValue, NetworkNames) {
  Parameter p("CHAr*");
  EXPECT_EQ(Check(p, ""), "<refused>");
  EXPECT_EQ(Check(p, "AB.C."), "AB.C.");
  EXPECT_EQ(Check(p, "ABCDE"), "<refused>");
  EXPECT_EQ(Check(p, "A..B"), "<refused>");
  EXPECT_EQ(Check(p, ".A"), "<refused>");
  EXPECT_EQ(Check(p, "a/_-"), "a/_-");
  EXPECT_EQ(Check(p, "Ж"), "<refused>");
}

TEST(CheckAndSetValue, FloatsAreRoundedAndHeldToTheLimits) {
  Typed p("float");
  EXPECT_EQ(Check(p, "1.23456"), "1.235");
  EXPECT_EQ(Check(p, "1.23456", true), "1.234560");
  EXPECT_EQ(Check(p, "1e6"), "1000000.000");  // no limits in force
  Typed limited("STORED_DOT", 10, 20);
  EXPECT_NE(Check(limited, "9.9995"), "<refused>");
  EXPECT_EQ(Check(limited, "9.999"), "<refused>");
  EXPECT_NE(Check(limited, "20.0005"), "<refused>");
  EXPECT_EQ(Check(limited, "20.001"), "<refused>");
  Typed negativeOnly("float", -5, 0);  // one non-zero limit suffices
  EXPECT_EQ(Check(negativeOnly, "1"), "<refused>");
}

TEST(CheckAndSetValue, ClockTextsCountMinutesAndSeconds) {
  Typed p("CLK_frm", 0, 723);
  EXPECT_EQ(Check(p, "12:3"), "12:03");  // 12 x 60 + 3, kept as the module reads it back
  EXPECT_EQ(Check(p, "12:34"), "<refused>");  // 12 x 60 + 34
  p.max = 754;
  EXPECT_EQ(Check(p, "12:34"), "12:34");
  EXPECT_EQ(Check(p, "12:a"), "<refused>");
  Typed unlimited("CLK_frm");
  // Two bytes of seconds at most: 1092:15 is 65535.
  EXPECT_EQ(Check(unlimited, std::string(400, '9')), "<refused>");
  EXPECT_EQ(Check(unlimited, "9999:59"), "<refused>");
  EXPECT_EQ(Check(unlimited, "1092:15"), "1092:15");
  EXPECT_EQ(Check(unlimited, "1:75"), "02:15");
}

// A typed text is a number of the cell's type or nothing is stored: never 0 for
// "abc", 12 for "12abc" or 1 for "1,9".
TEST(CheckAndSetValue, TypedTextsPerType) {
  struct Case {
    const char* text;
    const char* asFloat;      // "float", also "stored_dot"
    const char* asInteger;    // "int", also "int16"
  };
  const char* no = "<refused>";
  const Case cases[] = {
      {"1,9", "1.900", no},
      {"-2,5", "-2.500", no},
      {"7,000001", "7.000", "7"},  // shown as the integer written
      {"+17", "17.000", "17"},
      {"abc", no, no},
      {"5.5", "5.500", no},
      {"0x1F", no, no},  // shown in decimal: only "CodP" is shown in hexadecimal
      {"1e3", "1000.000", no},
      {"1e39", no, no},  // beyond a 4-byte float
      {"70000", "70000.000", no},  // beyond the two bytes an integer is written in
      {"-1", "-1.000", no},
  };
  for (const Case& c : cases) {
    for (const char* type : {"float", "stored_dot"}) {
      Typed p(type);
      EXPECT_EQ(Check(p, c.text), c.asFloat) << type << " '" << c.text << "'";
    }
    for (const char* type : {"int", "int16"}) {
      Typed p(type);
      EXPECT_EQ(Check(p, c.text), c.asInteger) << type << " '" << c.text << "'";
    }
  }
}

TEST(CheckAndSetValue, IntegersMustBeWholeAndComplete) {
  Typed p("int");
  EXPECT_EQ(Check(p, "7"), "7");
  // "CodP" is shown in hexadecimal, and the module's address as the decimal number
  // any address text is, within the two bytes it is written in.
  const char* no = "<refused>";
  for (const auto& [name, text, shown] : std::vector<std::tuple<const char*, std::string, const char*>>{
           {"CodP", "0x1F", "0x1f"}, {"CodP", "31", "0x1f"}, {"Addr", "0x10", "16"}, {"Addr", "16.0", no},
           {"Addr", "-1", no}, {"Addr", "65536", no}, {"Addr", std::string(30, '1'), no}}) {
    Typed named("int");
    named.name = name;
    EXPECT_EQ(Check(named, text), shown) << name << " '" << text << "'";
  }
  EXPECT_EQ(Check(p, std::string(256, '1')), "<refused>");
  // A stored-dot mantissa has 28 bits.
  Typed dotted("stored_dot");
  EXPECT_EQ(Check(dotted, "100000000"), "100000000.000");
  EXPECT_EQ(Check(dotted, "300000000"), "<refused>");
  Typed limited("int16", 0, 10);
  EXPECT_EQ(Check(limited, "7.000001"), "7");
  EXPECT_EQ(Check(limited, "11"), "<refused>");
  EXPECT_EQ(Check(limited, "-1"), "<refused>");
}

// What the check accepts is what the write sends.
TEST(CheckAndSetValue, AcceptedTextsWriteTheNumberThatWasChecked) {
  auto written = [](const char* type, double lower, double upper, const std::string& text) {
    Typed p(type, lower, upper);
    if (Check(p, text) == "<refused>") return std::string("<refused>");
    ValueBytes data;
    EXPECT_EQ(p.ConvertToData(data), 1) << text;
    std::string shown;
    p.ConvertDataToText(data, shown);
    return shown;
  };
  // Exponent and hexadecimal-float forms are numbers, but the integer write would
  // read only their leading digits.
  EXPECT_EQ(written("int16", 0, 10, "1e1"), "<refused>");
  EXPECT_EQ(written("int", 0, 0, "0x1p3"), "<refused>");
  EXPECT_EQ(written("int", 0, 0, "1e-7"), "<refused>");
  EXPECT_EQ(written("int", 0, 0, " 0x1F"), "<refused>");
  EXPECT_EQ(written("int16", 0, 0, "-0.000001"), "0");
  EXPECT_EQ(written("int", 0, 301, "300.000001"), "300");
  // One digit of seconds counts as seconds, in the check and in the write.
  EXPECT_EQ(written("CLK_frm", 0, 723, "12:3"), "12:03");
  EXPECT_EQ(written("CLK_frm", 0, 0, "1:5"), "01:05");
  EXPECT_EQ(written("CLK_frm", 0, 0, "12:34"), "12:34");
  EXPECT_EQ(written("CLK_frm", 0, 0, "0:05"), "00:05");
}

TEST(CheckAndSetValue, OtherTypesAreNotChecked) {
  Typed p("Off:On", 1, 2);
  EXPECT_EQ(Check(p, "whatever"), "whatever");
}

TEST(Polling, StartAndStopReportWhetherAnythingChanged) {
  Parameter p("Rd.St");
  p.indexed = true;
  p.linearIndex = 4;
  EXPECT_TRUE(p.PreparePolling());
  EXPECT_TRUE(p.IsPolled());
  EXPECT_EQ(p.requestIndex, 4);
  EXPECT_FALSE(p.indexed);
  EXPECT_EQ(p.StopPolling(), 1);
  EXPECT_EQ(p.StartPolling(), 0);
  EXPECT_EQ(p.StartPolling(), 1);
  EXPECT_EQ(p.StopPolling(), 0);
  EXPECT_EQ(p.StopPolling(), 1);
}

TEST(ParameterRecord, ImagesAndNumberKinds) {
  Typed p("FLOAT");
  EXPECT_EQ(p.GetImageIndex(), 28);
  EXPECT_EQ(p.GetNumberKindText(), "вещественным числом");
  p.type = "a:b";
  EXPECT_EQ(p.GetImageIndex(), 27);
  EXPECT_EQ(p.GetNumberKindText(), std::nullopt);
  p.writable = false;
  EXPECT_EQ(p.GetImageIndex(), 30);
  p.type = "Int";
  EXPECT_EQ(p.GetNumberKindText(), "целым числом");
  // Every type whose limits are checked has its word, or none for a clock time.
  for (const char* type : {"int16", "INT16"}) {
    p.type = type;
    EXPECT_EQ(p.GetNumberKindText(), "целым числом") << type;
  }
  p.type = "stored_dot";
  EXPECT_EQ(p.GetNumberKindText(), "вещественным числом");
  p.type = "CLK_frm";
  EXPECT_EQ(p.GetNumberKindText(), std::nullopt);
}

TEST(HtmlRow, ScalarWithLimitsAndAttributes) {
  Parameter p("Addr");
  p.type = "int";
  p.description = "Адрес <№1>";
  p.min = 1;
  p.max = 247;
  p.attributes = 1;
  std::string out;
  p.WriteHtmlRow(out, 3, "-");
  EXPECT_EQ(out,
            "<tr>\n\t<td>3\t</td>\n"
            "\t<td>Addr\t</td>\n"
            "\t<td>9F62\t</td>\n"
            "\t<td>Адрес &lt;№...&gt;\t</td>\n"
            "\t<td>int\t</td>\n"
            "\t<td>-\t</td>\n"
            "\t<td>от 1.000 до 247.000\t</td>\n"
            "\t<td>обычн. атрибуты\t</td>\n</tr>\n");
}

TEST(HtmlRow, EnumerationsAreListedAndAttributeTreesNamed) {
  Parameter p("Mode");
  p.type = "Вкл_1:<b>";
  p.attributes = 4;
  std::string out;
  p.WriteHtmlRow(out, 1, "");
  EXPECT_NE(out.find("\t<td>\n\t<ol start=0>\n\t\t<li> Вкл 1\n\t\t<li> &lt;b&gt;\n\t</ol>\t</td>\n"), std::string::npos);
  EXPECT_NE(out.find("\t<td>нет ограничений\t</td>\n"), std::string::npos);
  EXPECT_NE(out.find("дерево атр-ов обрезано (кратность индекcов 4)"), std::string::npos);
  p.type = "STORED_DOT";
  p.attributes = 0;
  out.clear();
  p.WriteHtmlRow(out, 1, "");
  EXPECT_NE(out.find("\t<td>STORED DOT\t</td>\n"), std::string::npos);
  EXPECT_NE(out.find("нет атрибутов"), std::string::npos);
}

}  // namespace
