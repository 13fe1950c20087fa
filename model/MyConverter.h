#pragma once
// A value's text form and its data bytes on the wire. The form is chosen by the
// parameter's name first and by its type text second (a scalar type word or an
// enumeration "item0:item1:..."). Multi-byte numbers are big-endian.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/CObject.h"

namespace platform {
class Archive;
}

// A value as text, and whether it is the no-data state. "Нет данных" is only what
// that state shows: a text given to the value is a value with data whatever it
// reads, so a rule that asks HasNoData never depends on a sentence of the table.
class ValueText : public std::string {
 public:
  ValueText() = default;
  ValueText(std::string text) : std::string(std::move(text)) {}  // NOLINT: a value takes any text
  ValueText(const char* text) : std::string(text) {}             // NOLINT
  ValueText& operator=(const char* text) { return *this = std::string(text); }
  ValueText& operator=(std::string text) {
    std::string::operator=(std::move(text));
    noData_ = false;
    return *this;
  }
  ValueText& operator+=(std::string_view text) {
    append(text);
    noData_ = false;
    return *this;
  }
  void clear() {
    std::string::clear();
    noData_ = false;
  }
  // The state the value starts in, shown as "Нет данных".
  void SetNoData();
  bool HasNoData() const { return noData_; }
  // A value read back from a file: the no-data text there stands for the state.
  static ValueText OfStoredText(std::string text);

 private:
  bool noData_ = false;
};

// Data bytes of one value (a write never produces more than 4).
using ValueBytes = std::vector<std::uint8_t>;

class MyConverter : public CObject {
 public:
  // Conversion results.
  static constexpr int kConverted = 1;
  static constexpr int kNotConverted = 0;
  static constexpr int kRefused = -1;  // refused, or an error text was produced

  // Name, value and type empty.
  MyConverter();
  // Value empty, type "неизвестен".
  explicit MyConverter(std::string name);
  ~MyConverter() override = default;

  // The last 4-byte float received from the device (big-endian bytes), none until then.
  std::optional<std::array<std::uint8_t, 4>> rawValue;
  std::string name;   // protocol name
  ValueText value;    // value as shown and edited
  std::string type;   // type text
  int dot = 0;        // decimal-point position 0-3
  double max = 0;
  double min = 0;

  // Limits count only when at least one of them is non-zero.
  bool LimitsInForce() const { return min != 0 || max != 0; }
  // The float of rawValue, when one was received.
  std::optional<float> ReceivedFloat() const;

  virtual int SetValue(const std::string& text);

  // The name and value record. Loading replaces the name; the stored value replaces
  // the value unless keepValue. Throws platform::ArchiveError on a bad record.
  void Serialize(platform::Archive& archive, bool keepValue);

  // Encodes a text into data. On some refusals the message replaces the text.
  int ConvertTextToData(std::string& text, ValueBytes& data) const;
  // Encodes the value.
  int ConvertToData(ValueBytes& data) const;
  // Whether a text reads as a number of the type the way a typed number is read
  // (the whole text; "x" is no 0, "70000" no 16-bit integer; a clock time is
  // digits and colons). Texts of other types are left to the encoding.
  bool TextReadsAsType(std::string_view text) const;
  // Decodes reply data of any length and content into a text.
  int ConvertDataToText(std::span<const std::uint8_t> data, std::string& text);
  // Decodes and, unless the result is kNotConverted, stores the text as the value.
  int ConvertFromData(std::span<const std::uint8_t> data);

  // The index-th enumeration item ('_' shown as a blank); "" for a negative index,
  // "Нет данных" beyond the list, "%i" of the index when the type is no list.
  std::string GetEnumName(int index) const;
  // Whether the index names an item: "Нет данных" stands for one beyond the list.
  bool EnumHasItem(int index) const;
  // The index of the first item equal to the text (case-insensitive).
  bool FindEnumIndex(std::string_view text, int& index) const;

  // The STORED_DOT form: sign bit, 3 bits of point position and a mantissa of up to
  // 28 bits in 2, 3 or 4 bytes. False (and no data) when the mantissa does not fit.
  static bool EncodeStoredDot(float x, int point, ValueBytes& data);
  // Reads up to 8 bytes; false with x = 0 for longer data.
  static bool DecodeStoredDot(std::span<const std::uint8_t> data, float& x, int& point);

  // The integer an "int" or "int16" write reads from a text: decimal like atoi, but
  // a "0x" prefix reads hexadecimal, since values are sometimes shown so and must
  // write back unchanged. Trailing blanks are ignored; saturates.
  static long long IntegerOfText(std::string_view text);

  // The 7-bit code of a network-name character (upper-case letter, digit, ' ', '_',
  // '-'), or -1.
  static int NameCharCode(char32_t c);

 private:
  // ConvertDataToText; noData when the text stands for no data (an item beyond the list).
  int DataToText(std::span<const std::uint8_t> data, std::string& text, bool& noData);
};
