#include "model/MyConverter.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>

#include "model/DeviceModelHooks.h"
#include "model/TypedNumber.h"
#include "platform/Archive.h"
#include "platform/CFormat.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

using platform::EqualsNoCase;
using platform::Format;

namespace {

// A STORED_DOT mantissa has 4 bits in the first byte and at most 3 bytes more.
constexpr float kStoredDotLimit = 268435456.0f;  // 0x10000000
constexpr float kPow10f[4] = {1.0f, 10.0f, 100.0f, 1000.0f};

bool IsBlankOrControl(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u <= ' ' || u == 0x7F;
}

std::string_view TrimTrailing(std::string_view t) {
  while (!t.empty() && IsBlankOrControl(t.back())) t.remove_suffix(1);
  return t;
}

double ReadNumber(std::string_view text) { return platform::Atof(TrimTrailing(text)); }

std::string_view FirstItem(std::string_view type) { return type.substr(0, type.find(':')); }

std::vector<std::string_view> SplitItems(std::string_view type) {
  std::vector<std::string_view> items;
  size_t start = 0;
  for (;;) {
    size_t colon = type.find(':', start);
    if (colon == std::string_view::npos) {
      items.push_back(type.substr(start));
      return items;
    }
    items.push_back(type.substr(start, colon - start));
    start = colon + 1;
  }
}

// Enumeration items are matched and shown with '_' as a blank.
std::string Shown(std::string_view item) {
  std::string s(item);
  std::replace(s.begin(), s.end(), '_', ' ');
  return s;
}

bool NameIsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (auto n : names)
    if (EqualsNoCase(name, n)) return true;
  return false;
}

size_t CountCodePoints(std::string_view s) {
  size_t pos = 0, n = 0;
  while (pos < s.size()) {
    platform::DecodeUtf8(s, pos);
    ++n;
  }
  return n;
}

std::string TruncateCodePoints(std::string s, size_t limit) {
  size_t pos = 0, n = 0;
  while (pos < s.size() && n < limit) {
    platform::DecodeUtf8(s, pos);
    ++n;
  }
  s.resize(pos);
  return s;
}

// Text values arrive last character first, in Windows-1251. They end at a zero
// byte, as C strings do.
std::string ReversedText(std::span<const std::uint8_t> d) {
  std::string raw;
  raw.reserve(d.size());
  for (size_t i = d.size(); i-- > 0;) {
    if (d[i] == 0) break;
    raw.push_back(static_cast<char>(d[i]));
  }
  return platform::Cp1251ToUtf8(raw);
}

std::string BadLengthText(size_t n) {
  return Format(resources::LoadString(kStrBadLength).c_str(), static_cast<int>(std::min<size_t>(n, INT_MAX)));
}

// The point position that shows the value without losing its last non-zero
// decimal (up to three).
int ChoosePoint(double x) {
  double a = std::fabs(x);
  auto r = [](double v) { return std::floor(v + 0.5); };
  if (std::fmod(r(a * 1000), 10.0) != 0) return 3;
  if (std::fmod(r(a * 100), 10.0) != 0) return 2;
  if (std::fmod(r(a * 10), 10.0) != 0) return 1;
  return 0;
}

void AppendBigEndian(ValueBytes& data, std::uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::string MeasurementStatusText(std::uint8_t status) {
  int id;
  switch (status) {
    case 0xFF: id = kStrMeasureBadCoefficient; break;
    case 0xFE: id = kStrMeasureNoAdc; break;
    case 0xFD: id = kStrMeasureSensorBreak; break;
    case 0xFC: id = kStrMeasureShortCircuit; break;
    case 0xFB: id = kStrMeasureTooLow; break;
    case 0xFA: id = kStrMeasureTooHigh; break;
    case 0xF9: id = kStrMeasureColdJunctionLow; break;
    case 0xF8: id = kStrMeasureColdJunctionHigh; break;
    case 0xF7: id = kStrMeasureSensorOff; break;
    case 0xF6: id = kStrMeasureNotReady; break;
    case 0xF0: id = kStrMeasureInvalid; break;
    default: id = kStrMeasureCannotConvert; break;
  }
  return resources::LoadString(id);
}

float FloatFromBigEndian(std::span<const std::uint8_t> d) {
  std::uint32_t bits = static_cast<std::uint32_t>(d[0]) << 24 | static_cast<std::uint32_t>(d[1]) << 16 |
                       static_cast<std::uint32_t>(d[2]) << 8 | d[3];
  return std::bit_cast<float>(bits);
}

}  // namespace

MyConverter::MyConverter() = default;

long long MyConverter::IntegerOfText(std::string_view text) {
  text = TrimTrailing(text);
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  int base = (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) ? 16 : 10;
  long long v = 0;
  platform::ParseInteger(text, base, v);
  return v;
}

MyConverter::MyConverter(std::string n) : name(std::move(n)), type(resources::LoadString(kStrUnknownType)) {}

std::optional<float> MyConverter::ReceivedFloat() const {
  if (!rawValue) return std::nullopt;
  return FloatFromBigEndian(*rawValue);
}

int MyConverter::SetValue(const std::string& text) {
  value = text;
  return 1;
}

int MyConverter::NameCharCode(char32_t c) {
  if (c == ' ') return 78;
  if (c == '_') return 74;
  if (c == '-') return 72;
  if (c >= 'A' && c <= 'Z') return static_cast<int>(c - 'A' + 10) * 2;
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0') * 2;
  return -1;
}

bool MyConverter::EncodeStoredDot(float x, int point, ValueBytes& data) {
  data.clear();
  int p = std::clamp(point, 0, 3);
  std::uint8_t head = static_cast<std::uint8_t>((x < 0 ? 0x80 : 0) | p << 4);
  float scaled = std::fabs(x) * kPow10f[p] + 0.0001f;
  // Larger mantissas (and NaN) have no encoding; sending a truncated one would
  // write a wrong value.
  if (!(scaled < kStoredDotLimit)) return false;
  std::uint32_t m = static_cast<std::uint32_t>(scaled);
  if (m < 4096) {
    data.push_back(static_cast<std::uint8_t>(head | m >> 8));
    AppendBigEndian(data, m, 1);
  } else if (m < 0x100000) {
    data.push_back(static_cast<std::uint8_t>(head | m >> 16));
    AppendBigEndian(data, m, 2);
  } else {
    data.push_back(static_cast<std::uint8_t>(head | m >> 24));
    AppendBigEndian(data, m, 3);
  }
  return true;
}

bool MyConverter::DecodeStoredDot(std::span<const std::uint8_t> data, float& x, int& point) {
  x = 0;
  point = 0;
  if (data.empty() || data.size() > 8) return false;
  point = (data[0] >> 4) & 7;
  std::uint64_t m = data[0] & 0x0F;
  for (size_t i = 1; i < data.size(); ++i) m = m << 8 | data[i];
  float v = static_cast<float>(m);
  for (int i = 0; i < point; ++i) v /= 10.0f;
  x = (data[0] & 0x80) ? -v : v;
  return true;
}

int MyConverter::ConvertTextToData(std::string& text, ValueBytes& data) const {
  data.clear();
  if (NameIsOneOf(name, {"dev", "ver", "exit"})) return kRefused;
  if (NameIsOneOf(name, {"U.Apl", "UApl"})) return kConverted;

  const std::string_view first = FirstItem(type);
  if (EqualsNoCase(first, "STORED_DOT")) {
    double x = ReadNumber(text);
    if (!std::isfinite(x) || std::fabs(x) > FLT_MAX) return kNotConverted;
    int p = dot != 0 ? dot : ChoosePoint(x);
    return EncodeStoredDot(static_cast<float>(x), p, data) ? kConverted : kNotConverted;
  }
  if (EqualsNoCase(first, "float")) {
    double x = ReadNumber(text);
    // Infinity and NaN are not values a module can take.
    if (!std::isfinite(x) || std::fabs(x) > FLT_MAX) return kNotConverted;
    std::uint32_t bits = std::bit_cast<std::uint32_t>(static_cast<float>(x));
    if (name == "r.oe")
      AppendBigEndian(data, bits >> 8, 3);
    else
      AppendBigEndian(data, bits, 4);
    return kConverted;
  }
  if (EqualsNoCase(first, "int")) {
    // Two bytes carry no more: a larger or negative number would arrive as another.
    const long long number = IntegerOfText(text);
    if (number < 0 || number > 0xFFFF) return kNotConverted;
    const std::uint32_t low = static_cast<std::uint32_t>(number);
    bool twoBytes = NameIsOneOf(name, {"Addr", "SoUr", "Alr.t", "tHP", "tP.H", "CLB.K"}) || low >= 256;
    AppendBigEndian(data, low, twoBytes ? 2 : 1);
    return kConverted;
  }
  if (EqualsNoCase(first, "int16")) {
    const long long number = IntegerOfText(text);
    if (number < 0 || number > 0xFFFF) return kNotConverted;
    AppendBigEndian(data, static_cast<std::uint32_t>(number), 2);
    return kConverted;
  }
  if (EqualsNoCase(first, "CLK_frm")) {
    std::uint32_t acc = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c >= '0' && c <= '9') {
        std::uint32_t d = static_cast<std::uint32_t>(c - '0');
        std::uint32_t m = 10;
        // Seconds after the colon: "12:34" is 12 x 60 + 34, and a single digit
        // ("12:3") is 12 x 60 + 3, as the user's input check counts it.
        if (i > 0 && text[i - 1] == ':') m = text.size() - i >= 2 ? 6 : 60;
        acc = acc * m + d;
        // Seconds beyond 16 bits have no bytes; cut, they would be another time.
        if (acc > 0xFFFF) return kNotConverted;
      } else if (c != ':') {
        return kRefused;
      }
    }
    bool twoBytes = NameIsOneOf(name, {"Alr.t", "tHP", "tP.H"}) || acc >= 256;
    AppendBigEndian(data, acc, twoBytes ? 2 : 1);
    return kConverted;
  }

  if (EqualsNoCase(type, "name")) {
    if (text.empty()) {
      text = resources::LoadString(kStrNameEmpty);
      return kRefused;
    }
    if (CountCodePoints(text) >= 9) {
      text = resources::LoadString(kStrNameTooLong);
      return kRefused;
    }
    const std::string upper = platform::ToUpper(text);
    int codes[4] = {78, 78, 78, 78};
    int count = 0;
    size_t pos = 0;
    bool firstChar = true;
    // A fifth character is read and dropped.
    while (pos < upper.size() && count < 5) {
      char32_t c = platform::DecodeUtf8(upper, pos);
      if (c == '.' && !firstChar) {
        codes[count - 1] += 1;
      } else {
        int code = NameCharCode(c);
        if (code < 0) {
          text = resources::LoadString(kStrBadNameCode);
          return kRefused;
        }
        // A fifth character would be dropped: the name would not be the one given.
        if (count == 4) {
          text = resources::LoadString(kStrNameTooLong);
          return kRefused;
        }
        codes[count] = code;
        ++count;
      }
      firstChar = false;
    }
    for (int k = 3; k >= 0; --k) data.push_back(static_cast<std::uint8_t>(codes[k]));
    return kConverted;
  }
  if (EqualsNoCase(type, "void")) return kConverted;
  // Values the module only reports: the type word is no value to write.
  if (NameIsOneOf(type, {"string", "ASCI", "sint", "sint16"})) return kNotConverted;

  // An enumeration: the code is the index of the matching item.
  const auto items = SplitItems(type);
  const size_t limit = std::min<size_t>(items.size(), 127);
  for (size_t k = 0; k < limit; ++k) {
    if (EqualsNoCase(text, Shown(items[k]))) {
      data.push_back(static_cast<std::uint8_t>(k));
      return kConverted;
    }
  }
  return kNotConverted;
}

bool MyConverter::TextReadsAsType(std::string_view text) const {
  if (NameIsOneOf(name, {"U.Apl", "UApl"})) return true;
  const std::string_view first = FirstItem(type);
  // A value to write has its decimal point as a typed cell keeps it: the encoding
  // would read "2,5" as 2.
  if (EqualsNoCase(first, "STORED_DOT") || EqualsNoCase(first, "float"))
    return text.find(',') == std::string_view::npos && model::ReadTypedNumber(text, model::kSingleFloat).has_value();
  if (EqualsNoCase(first, "int") || EqualsNoCase(first, "int16")) {
    model::TypedNumberRules rules = model::kUnsigned16;
    rules.hexadecimal = true;  // values such as "CodP" are shown in hexadecimal
    return model::ReadTypedNumber(text, rules).has_value();
  }
  if (EqualsNoCase(first, "CLK_frm"))
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == ':'; });
  return true;
}

int MyConverter::ConvertToData(ValueBytes& data) const {
  std::string text = value;
  return ConvertTextToData(text, data);
}

int MyConverter::ConvertDataToText(std::span<const std::uint8_t> data, std::string& text) {
  bool noData = false;
  return DataToText(data, text, noData);
}

int MyConverter::DataToText(std::span<const std::uint8_t> d, std::string& text, bool& noData) {
  text.clear();
  const size_t n = d.size();
  if (n == 0) {
    if (EqualsNoCase(name, "APLY")) return kConverted;
    return EqualsNoCase(type, "void") ? kConverted : kNotConverted;
  }
  const unsigned v = n == 1 ? d[0] : (static_cast<unsigned>(d[0]) << 8 | d[1]);

  if (NameIsOneOf(name, {"dev", "ver"})) {
    text = ReversedText(d);
    return kConverted;
  }
  if (EqualsNoCase(name, "bPS")) {
    static const char* const kRates[] = {"2400", "4800", "9600", "14400", "19200", "28800", "38400", "57600", "115200"};
    if (v > 8) return kNotConverted;
    text = kRates[v];
    return kConverted;
  }
  if (EqualsNoCase(name, "PrtY")) {
    if (v > 2) return kNotConverted;
    text = GetEnumName(static_cast<int>(v));
    noData = !EnumHasItem(static_cast<int>(v));
    return kConverted;
  }
  if (EqualsNoCase(name, "Sbit")) {
    if (v > 1) return kNotConverted;
    // GCC 12 at -O2 and above reports a false -Wrestrict inside std::string's
    // assign here (GCC bug 105329).
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
    text = v == 0 ? "1" : "2";
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    return kConverted;
  }
  if (EqualsNoCase(name, "Addr")) {
    text = Format("%d", static_cast<int>(v));
    return kConverted;
  }
  if (NameIsOneOf(name, {"rEAd", "iRDt", "iRD"})) {
    const model::DeviceModelHooks* model = model::CurrentDeviceModel();
    if (model && model->HasMeasurementReadings()) {
      switch (n) {
        case 1:
          text = MeasurementStatusText(d[0]);
          return kConverted;
        case 2:
        case 4:
          text = Format("%d", static_cast<int>(static_cast<std::int16_t>(v)));
          return kConverted;
        case 6:
          text = model->FormatValue(FloatFromBigEndian(d));
          return kConverted;
        default:
          return kNotConverted;
      }
    }
  }

  const std::string_view first = FirstItem(type);
  if (EqualsNoCase(first, "STORED_DOT")) {
    float x;
    int p;
    DecodeStoredDot(d, x, p);
    text = Format("%.3f", static_cast<double>(x));
    return kConverted;
  }
  if (EqualsNoCase(first, "float")) {
    const bool threeBytes = EqualsNoCase(name, "r.oe");
    if (n < (threeBytes ? 3u : 4u)) {
      text = BadLengthText(n);
      return kRefused;
    }
    std::array<std::uint8_t, 4> b = {d[0], d[1], d[2], threeBytes ? std::uint8_t{0} : d[3]};
    const bool erased = b[0] == 0xFF && b[1] == 0xFF && b[2] == 0xFF && b[3] == 0xFF;
    const float f = FloatFromBigEndian(b);
    // Erased memory, infinities and NaNs are no measurement.
    if (erased || (b[0] == 0x7F && (b[1] & 0x80)) || !std::isfinite(f)) {
      text = resources::LoadString(kStrInvalidValue);
      return kConverted;
    }
    rawValue = b;
    text = Format("%.3f", static_cast<double>(f));
    return kConverted;
  }
  if (EqualsNoCase(first, "int") || EqualsNoCase(first, "int16")) {
    std::uint32_t u;
    if (n == 1)
      u = d[0];
    else if (n == 2)
      u = v;
    else if (n == 4)
      u = static_cast<std::uint32_t>(d[0]) << 24 | static_cast<std::uint32_t>(d[1]) << 16 |
          static_cast<std::uint32_t>(d[2]) << 8 | d[3];
    else {
      text = BadLengthText(n);
      return kRefused;
    }
    text = Format("%u", u);
    return kConverted;
  }
  if (EqualsNoCase(first, "sint") || EqualsNoCase(first, "sint16")) {
    if (n > 4) {
      text = BadLengthText(n);
      return kRefused;
    }
    int s = (n == 2 || n == 4) ? static_cast<std::int16_t>(v) : static_cast<std::int8_t>(d[0]);
    text = Format("%i", s);
    return kConverted;
  }
  if (EqualsNoCase(first, "CLK_frm")) {
    if (n > 4) {
      text = BadLengthText(n);
      return kRefused;
    }
    unsigned seconds = (n == 2 || n == 4) ? v : d[0];
    text = Format("%02u:%02u", seconds / 60, seconds % 60);
    return kConverted;
  }
  if (EqualsNoCase(type, "string") || EqualsNoCase(type, "ASCI")) {
    text = ReversedText(d);
    return kConverted;
  }
  if (EqualsNoCase(type, "name")) {
    if (n != 4 && n != 6) {
      text = BadLengthText(n);
      return kRefused;
    }
    static const char kSymbols[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-_/ ";
    std::string out;
    for (int i = 3; i >= 0; --i) {
      unsigned code = d[static_cast<size_t>(i)];
      if (code > 79) {
        text = resources::LoadString(kStrBadNameCode);
        return kRefused;
      }
      out.push_back(kSymbols[code / 2]);
      if (code & 1) out.push_back('.');
    }
    text = out;
    return kConverted;
  }

  const auto items = SplitItems(type);
  if (v >= items.size()) return kNotConverted;
  text = TruncateCodePoints(Shown(items[v]), 254);
  return kConverted;
}

int MyConverter::ConvertFromData(std::span<const std::uint8_t> data) {
  std::string text;
  bool noData = false;
  int r = DataToText(data, text, noData);
  if (r != kNotConverted) value = text;
  if (r != kNotConverted && noData) value.SetNoData();
  return r;
}

void ValueText::SetNoData() {
  *this = resources::LoadString(kStrNoData);
  noData_ = true;
}

ValueText ValueText::OfStoredText(std::string text) {
  ValueText value(std::move(text));
  if (value == resources::LoadString(kStrNoData)) value.SetNoData();
  return value;
}

bool MyConverter::EnumHasItem(int index) const {
  return index >= 0 && (type.find(':') == std::string::npos || static_cast<size_t>(index) < SplitItems(type).size());
}

std::string MyConverter::GetEnumName(int index) const {
  if (index < 0) return std::string();
  if (type.find(':') == std::string::npos) return Format("%i", index);
  const auto items = SplitItems(type);
  if (!EnumHasItem(index)) return resources::LoadString(kStrNoData);
  return Shown(items[static_cast<size_t>(index)]);
}

bool MyConverter::FindEnumIndex(std::string_view text, int& index) const {
  if (type.find(':') == std::string::npos) return false;
  const auto items = SplitItems(type);
  for (size_t k = 0; k < items.size(); ++k) {
    if (EqualsNoCase(text, Shown(items[k]))) {
      index = static_cast<int>(k);
      return true;
    }
  }
  return false;
}

void MyConverter::Serialize(platform::Archive& archive, bool keepValue) {
  if (archive.IsStoring()) {
    archive.WriteClassTag("MyConverter", 3);
    archive.WriteText(name);
    archive.WriteText(value);
    return;
  }
  // A Parameter record starts with this one, so its class is accepted too.
  if (archive.ReadClassTag({"MyConverter", "Parameter"}) != 3) return;
  name = archive.ReadText();
  std::string stored = archive.ReadText();
  if (!keepValue) value = ValueText::OfStoredText(std::move(stored));
}
