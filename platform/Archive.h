#pragma once
// The object archive of configuration files: little-endian integers, counted
// Windows-1251 texts and class tags whose numbering is shared by the whole archive.
// One object either stores into a growing byte buffer or loads from bytes already
// in memory; record code asks IsStoring() and runs the matching half.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

class ArchiveError : public std::runtime_error {
 public:
  enum class Kind {
    EndOfFile,  // the bytes end before the record does
    BadClass,   // a class tag names a class the reader does not accept
    BadFormat,  // anything else that is malformed
  };

  ArchiveError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

class Archive {
 public:
  // Class numbers are 15 bits wide and 0x7FFF is the new-class tag, so this many
  // classes fit in one archive.
  static constexpr size_t kMaxClasses = 0x7FFE;

  // Appends to `out`, which must outlive the archive.
  static Archive Storing(std::vector<uint8_t>& out) { return Archive(&out, {}); }
  // Reads `in`, which must outlive the archive.
  static Archive Loading(std::span<const uint8_t> in) { return Archive(nullptr, in); }

  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  bool IsStoring() const { return out_ != nullptr; }
  bool IsLoading() const { return out_ == nullptr; }

  // Storing. Calling these on a loading archive is a programming error (std::logic_error).
  void WriteByte(uint8_t v);
  void WriteWord(uint16_t v);
  void WriteDword(uint32_t v);
  void WriteInt32(int32_t v);
  // Converts the UTF-8 text to Windows-1251 (characters without a code become '?').
  void WriteText(std::string_view utf8);
  // The first tag of a class carries its name and schema and gives it the next
  // number; later tags of the same class refer to that number.
  void WriteClassTag(std::string_view name, uint16_t schema);

  // Loading. Each throws ArchiveError and consumes nothing when the value is not
  // all there. Calling these on a storing archive is a programming error.
  uint8_t ReadByte();
  uint16_t ReadWord();
  uint32_t ReadDword();
  int32_t ReadInt32();
  // Returns the text as UTF-8.
  std::string ReadText();
  // Reads a class tag and returns the schema the class was first stored with.
  // A class the reader does not accept is BadClass; a reference to a class number
  // not seen yet, or a tag of any other form, is BadFormat.
  uint16_t ReadClassTag(std::string_view expected);
  uint16_t ReadClassTag(std::initializer_list<std::string_view> accepted);
  uint16_t ReadClassTag(const std::function<bool(std::string_view name)>& accepts);

  // Loading: whether n more bytes can be read.
  bool CanRead(size_t n) const { return n <= Remaining(); }
  size_t Remaining() const { return IsLoading() ? in_.size() - pos_ : 0; }
  // Bytes read so far, or bytes written by this archive so far.
  size_t Position() const { return IsStoring() ? out_->size() - start_ : pos_; }

 private:
  struct LoadedClass {
    std::string name;
    uint16_t schema;
  };

  Archive(std::vector<uint8_t>* out, std::span<const uint8_t> in);

  void RequireStoring() const;
  void RequireLoading() const;
  // Returns the next n bytes and advances, or throws EndOfFile.
  const uint8_t* Take(size_t n);

  std::vector<uint8_t>* out_;
  size_t start_ = 0;
  std::span<const uint8_t> in_;
  size_t pos_ = 0;
  std::unordered_map<std::string, uint16_t> storedClasses_;
  std::vector<LoadedClass> loadedClasses_;
};

}  // namespace platform
