#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/Archive.h"

using platform::Archive;
using platform::ArchiveError;
using Kind = platform::ArchiveError::Kind;

namespace {

using Bytes = std::vector<uint8_t>;

// The kind of archive error the call raises; fails the test when it raises none.
template <typename F>
Kind ErrorKind(F&& f) {
  try {
    f();
  } catch (const ArchiveError& e) {
    return e.kind();
  }
  ADD_FAILURE() << "no archive error";
  return Kind::BadFormat;
}

std::string TextHeader(const Bytes& b, size_t n) { return std::string(b.begin(), b.begin() + static_cast<long>(n)); }

// A configuration-like archive: a document record, a branch with keyed parameters
// and a child element, written and read the way the tree's records do it.
void StoreParameter(Archive& ar, const std::string& name, const std::string& value, int32_t index) {
  ar.WriteClassTag("MyConverter", 3);
  ar.WriteText(name);
  ar.WriteText(value);
  ar.WriteClassTag("Parameter", 1);
  ar.WriteText("описание " + name);
  ar.WriteByte(index >= 0);
  ar.WriteInt32(index);
  ar.WriteInt32(-1);
  ar.WriteByte(1);
  ar.WriteText("");
  for (int i = 0; i < 5; ++i) ar.WriteByte(static_cast<uint8_t>(i & 1));
  ar.WriteInt32(2);
}

void LoadParameter(Archive& ar) {
  ASSERT_EQ(ar.ReadClassTag("MyConverter"), 3);
  ar.ReadText();
  ar.ReadText();
  ASSERT_EQ(ar.ReadClassTag("Parameter"), 1);
  ar.ReadText();
  ar.ReadByte();
  ar.ReadInt32();
  ar.ReadInt32();
  ar.ReadByte();
  ar.ReadText();
  for (int i = 0; i < 5; ++i) ar.ReadByte();
  ar.ReadInt32();
}

Bytes SampleArchive() {
  Bytes out;
  Archive ar = Archive::Storing(out);
  ar.WriteClassTag("CPelmDoc", 5);
  ar.WriteByte(11);
  ar.WriteClassTag("DescBranch", 3);
  ar.WriteText("Корень");
  ar.WriteDword(2);
  ar.WriteDword(0xFFFF1234);
  StoreParameter(ar, "Addr", "12", -1);
  ar.WriteDword(0x00035678);
  StoreParameter(ar, "Канал", std::string(300, 'x'), 3);
  ar.WriteDword(1);
  ar.WriteDword(0);
  ar.WriteClassTag("InvisibleElement", 3);
  ar.WriteText("Сеть");
  ar.WriteDword(1);
  StoreParameter(ar, "Log", "0", -1);
  return out;
}

void LoadSample(Archive& ar) {
  ASSERT_EQ(ar.ReadClassTag("CPelmDoc"), 5);
  ar.ReadByte();
  ASSERT_EQ(ar.ReadClassTag({"DescBranch"}), 3);
  ar.ReadText();
  const uint32_t n = ar.ReadDword();
  for (uint32_t i = 0; i < n && ar.CanRead(4); ++i) {
    ar.ReadDword();
    ASSERT_NO_FATAL_FAILURE(LoadParameter(ar));
  }
  ar.ReadDword();
  ar.ReadDword();
  ASSERT_EQ(ar.ReadClassTag({"InvisibleElement", "NetRS485prg"}), 3);
  ar.ReadText();
  ar.ReadDword();
  ASSERT_NO_FATAL_FAILURE(LoadParameter(ar));
}

}  // namespace

TEST(Archive, IntegersAreLittleEndianAndRoundTrip) {
  Bytes out;
  Archive w = Archive::Storing(out);
  w.WriteByte(0);
  w.WriteByte(0xFF);
  w.WriteWord(0x1234);
  w.WriteWord(0xFFFF);
  w.WriteDword(0x89ABCDEF);
  w.WriteInt32(-2);
  w.WriteInt32(INT32_MIN);
  w.WriteInt32(INT32_MAX);
  EXPECT_EQ(w.Position(), 22u);
  const Bytes expectedHead = {0x00, 0xFF, 0x34, 0x12, 0xFF, 0xFF, 0xEF, 0xCD, 0xAB, 0x89, 0xFE, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 14), expectedHead);

  Archive r = Archive::Loading(out);
  EXPECT_EQ(r.ReadByte(), 0);
  EXPECT_EQ(r.ReadByte(), 0xFF);
  EXPECT_EQ(r.ReadWord(), 0x1234);
  EXPECT_EQ(r.ReadWord(), 0xFFFF);
  EXPECT_EQ(r.ReadDword(), 0x89ABCDEFu);
  EXPECT_EQ(r.ReadInt32(), -2);
  EXPECT_EQ(r.ReadInt32(), INT32_MIN);
  EXPECT_EQ(r.ReadInt32(), INT32_MAX);
  EXPECT_EQ(r.Remaining(), 0u);
  EXPECT_FALSE(r.CanRead(1));
  EXPECT_TRUE(r.CanRead(0));
}

TEST(Archive, TextLengthFormsAtEveryBoundary) {
  struct Case {
    size_t length;
    std::string header;
  };
  const std::vector<Case> cases = {
      {0, std::string("\x00", 1)},
      {254, "\xFE"},
      {255, std::string("\xFF\xFF\x00", 3)},
      {256, std::string("\xFF\x00\x01", 3)},
      {65533, "\xFF\xFD\xFF"},
      {65534, std::string("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
      {65535, std::string("\xFF\xFF\xFF\xFF\xFF\x00\x00", 7)},
      {70000, std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 'a');
    for (size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>('0' + i % 10);
    Bytes out;
    Archive w = Archive::Storing(out);
    w.WriteText(text);
    w.WriteByte(0x5A);
    ASSERT_EQ(out.size(), c.header.size() + c.length + 1);
    EXPECT_EQ(TextHeader(out, c.header.size()), c.header);
    Archive r = Archive::Loading(out);
    EXPECT_EQ(r.ReadText(), text);
    EXPECT_EQ(r.ReadByte(), 0x5A);
  }
}

TEST(Archive, TextLengthCountsCodePageBytesNotUtf8Bytes) {
  // 254 Cyrillic letters are 508 bytes of UTF-8 but 254 bytes in the file.
  std::string text;
  for (int i = 0; i < 254; ++i) text += (i % 2) ? "ж" : "Ё";
  Bytes out;
  Archive w = Archive::Storing(out);
  w.WriteText(text);
  ASSERT_EQ(out.size(), 255u);
  EXPECT_EQ(out[0], 254);
  EXPECT_EQ(out[1], 0xA8);  // Ё
  EXPECT_EQ(out[2], 0xE6);  // ж
  Archive r = Archive::Loading(out);
  EXPECT_EQ(r.ReadText(), text);
}

TEST(Archive, TextsAreWindows1251InTheFile) {
  Bytes out;
  Archive w = Archive::Storing(out);
  w.WriteText("Сетевые параметры №1");
  w.WriteText("中");  // no code in Windows-1251
  w.WriteText(std::string("a\0b", 3));
  const std::string expected = "\x14\xD1\xE5\xF2\xE5\xE2\xFB\xE5 \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB \xB9"
                               "1\x01?\x03" + std::string("a\0b", 3);
  EXPECT_EQ(std::string(out.begin(), out.end()), expected);
  Archive r = Archive::Loading(out);
  EXPECT_EQ(r.ReadText(), "Сетевые параметры №1");
  EXPECT_EQ(r.ReadText(), "?");
  EXPECT_EQ(r.ReadText(), std::string("a\0b", 3));
}

TEST(Archive, LongerLengthFormsThanNeededAreRead) {
  const Bytes word = {0xFF, 0x03, 0x00, 'a', 'b', 'c'};
  Archive a = Archive::Loading(word);
  EXPECT_EQ(a.ReadText(), "abc");
  const Bytes dword = {0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00, 'x', 'y'};
  Archive b = Archive::Loading(dword);
  EXPECT_EQ(b.ReadText(), "xy");
}

TEST(Archive, MalformedOrCutTextsRaiseErrorsWithoutConsuming) {
  // A wide-text marker is not part of this format.
  const Bytes wide = {0xFF, 0xFE, 0xFF, 0x01, 'a', 0};
  Archive a = Archive::Loading(wide);
  EXPECT_EQ(ErrorKind([&] { a.ReadText(); }), Kind::BadFormat);
  EXPECT_EQ(a.Position(), 0u);

  // A length far beyond the data ends the file; nothing that large is allocated.
  const Bytes huge = {0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF, 'a'};
  Archive b = Archive::Loading(huge);
  EXPECT_EQ(ErrorKind([&] { b.ReadText(); }), Kind::EndOfFile);
  EXPECT_EQ(b.Position(), 0u);
  EXPECT_EQ(b.ReadByte(), 0xFF);

  const Bytes shortText = {5, 'a', 'b'};
  Archive c = Archive::Loading(shortText);
  EXPECT_EQ(ErrorKind([&] { c.ReadText(); }), Kind::EndOfFile);
  EXPECT_EQ(c.Position(), 0u);

  const Bytes cutLength = {0xFF, 0x10};
  Archive d = Archive::Loading(cutLength);
  EXPECT_EQ(ErrorKind([&] { d.ReadText(); }), Kind::EndOfFile);

  const Bytes threeBytes = {1, 2, 3};
  Archive e = Archive::Loading(threeBytes);
  EXPECT_EQ(ErrorKind([&] { e.ReadDword(); }), Kind::EndOfFile);
  EXPECT_EQ(e.ReadWord(), 0x0201);
  EXPECT_EQ(ErrorKind([&] { e.ReadWord(); }), Kind::EndOfFile);
  EXPECT_EQ(e.ReadByte(), 3);
}

TEST(Archive, ClassNumbersAreSharedAcrossTheArchive) {
  Bytes out;
  Archive w = Archive::Storing(out);
  w.WriteClassTag("CPelmDoc", 5);
  w.WriteClassTag("MyConverter", 3);
  w.WriteClassTag("Parameter", 1);
  w.WriteClassTag("MyConverter", 3);
  w.WriteClassTag("Parameter", 1);
  w.WriteClassTag("DescBranch", 3);
  w.WriteClassTag("CPelmDoc", 5);

  const std::string doc("\xFF\xFF\x05\x00\x08\x00" "CPelmDoc", 14);
  const std::string conv("\xFF\xFF\x03\x00\x0B\x00" "MyConverter", 17);
  const std::string param("\xFF\xFF\x01\x00\x09\x00" "Parameter", 15);
  const std::string branch("\xFF\xFF\x03\x00\x0A\x00" "DescBranch", 16);
  const std::string expected = doc + conv + param + "\x02\x80\x03\x80" + branch + std::string("\x01\x80", 2);
  EXPECT_EQ(std::string(out.begin(), out.end()), expected);

  Archive r = Archive::Loading(out);
  EXPECT_EQ(r.ReadClassTag("CPelmDoc"), 5);
  EXPECT_EQ(r.ReadClassTag("MyConverter"), 3);
  EXPECT_EQ(r.ReadClassTag("Parameter"), 1);
  EXPECT_EQ(r.ReadClassTag("MyConverter"), 3);
  EXPECT_EQ(r.ReadClassTag("Parameter"), 1);
  EXPECT_EQ(r.ReadClassTag("DescBranch"), 3);
  EXPECT_EQ(r.ReadClassTag("CPelmDoc"), 5);
  EXPECT_EQ(r.Remaining(), 0u);
}

TEST(Archive, UnexpectedClassesAreRejected) {
  Bytes out;
  Archive w = Archive::Storing(out);
  w.WriteClassTag("NetRS485prg", 3);
  w.WriteClassTag("NetRS485prg", 3);
  w.WriteClassTag("Foreign", 1);

  Archive r = Archive::Loading(out);
  // A wrong name in a new-class tag; nothing is consumed or numbered.
  EXPECT_EQ(ErrorKind([&] { r.ReadClassTag("DescBranch"); }), Kind::BadClass);
  EXPECT_EQ(r.Position(), 0u);
  // Derived classes are accepted by a set of names or a predicate.
  EXPECT_EQ(r.ReadClassTag({"InvisibleElement", "NetRS485prg"}), 3);
  EXPECT_EQ(ErrorKind([&] { r.ReadClassTag("InvisibleElement"); }), Kind::BadClass);
  EXPECT_EQ(r.ReadClassTag([](std::string_view n) { return n.starts_with("Net"); }), 3);
  // Names compare exactly, as the classes are named in code.
  EXPECT_EQ(ErrorKind([&] { r.ReadClassTag("foreign"); }), Kind::BadClass);
  EXPECT_EQ(r.ReadClassTag("Foreign"), 1);
}

TEST(Archive, MalformedClassTagsAreFormatErrors) {
  // A reference to a class number that has not been stored yet.
  const Bytes unseen = {0xFF, 0xFF, 0x07, 0x00, 0x01, 0x00, 'A', 0x01, 0x80, 0x02, 0x80};
  Archive a = Archive::Loading(unseen);
  EXPECT_EQ(a.ReadClassTag("A"), 7);
  EXPECT_EQ(a.ReadClassTag("A"), 7);  // a reference carries the schema of the first tag
  EXPECT_EQ(ErrorKind([&] { a.ReadClassTag("A"); }), Kind::BadFormat);

  const Bytes zero = {0x00, 0x80};
  Archive b = Archive::Loading(zero);
  EXPECT_EQ(ErrorKind([&] { b.ReadClassTag("A"); }), Kind::BadFormat);

  // Object tags and anything else without the class bit.
  for (uint16_t tag : {0x0000, 0x0001, 0x7FFF}) {
    const Bytes in = {static_cast<uint8_t>(tag), static_cast<uint8_t>(tag >> 8)};
    Archive c = Archive::Loading(in);
    EXPECT_EQ(ErrorKind([&] { c.ReadClassTag("A"); }), Kind::BadFormat) << tag;
  }

  const Bytes cutName = {0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00, 'P', 'a', 'r'};
  Archive d = Archive::Loading(cutName);
  EXPECT_EQ(ErrorKind([&] { d.ReadClassTag("Parameter"); }), Kind::EndOfFile);
  EXPECT_EQ(d.Position(), 0u);
}

TEST(Archive, SampleRoundTripsAndEveryCutIsAnError) {
  const Bytes sample = SampleArchive();
  {
    Archive full = Archive::Loading(sample);
    ASSERT_NO_FATAL_FAILURE(LoadSample(full));
    EXPECT_EQ(full.Remaining(), 0u);
  }
  for (size_t cut = 0; cut < sample.size(); ++cut) {
    SCOPED_TRACE(cut);
    const Bytes part(sample.begin(), sample.begin() + static_cast<long>(cut));
    Archive ar = Archive::Loading(part);
    const Kind kind = ErrorKind([&] { LoadSample(ar); });
    EXPECT_TRUE(kind == Kind::EndOfFile || kind == Kind::BadFormat);
    EXPECT_LE(ar.Position(), cut);
  }
}
