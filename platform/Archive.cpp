#include "platform/Archive.h"

#include "platform/Text.h"

namespace platform {
namespace {

constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassReference = 0x8000;
// A WORD length of 0xFFFE announces a UTF-16 text, which these archives never hold.
constexpr uint16_t kWideTextMarker = 0xFFFE;
constexpr uint32_t kMaxTextLength = 0xFFFFFFFE;  // 0xFFFFFFFF would announce a 64-bit length

[[noreturn]] void Fail(ArchiveError::Kind kind, const std::string& message) {
  throw ArchiveError(kind, message);
}

[[noreturn]] void FailEnd(const char* what) {
  Fail(ArchiveError::Kind::EndOfFile, std::string("the archive ends inside ") + what);
}

// Restores the read position unless the read completed.
class PositionGuard {
 public:
  explicit PositionGuard(size_t& pos) : pos_(pos), saved_(pos) {}
  ~PositionGuard() {
    if (!done_) pos_ = saved_;
  }
  void Done() { done_ = true; }

 private:
  size_t& pos_;
  size_t saved_;
  bool done_ = false;
};

void RequireAccepted(const std::string& name, const std::function<bool(std::string_view)>& accepts) {
  if (!accepts(name)) {
    Fail(ArchiveError::Kind::BadClass, "the archive holds an unexpected class \"" + Cp1251ToUtf8(name) + "\"");
  }
}

}  // namespace

Archive::Archive(std::vector<uint8_t>* out, std::span<const uint8_t> in)
    : out_(out), start_(out ? out->size() : 0), in_(in) {}

void Archive::RequireStoring() const {
  if (!IsStoring()) throw std::logic_error("writing to a loading archive");
}

void Archive::RequireLoading() const {
  if (!IsLoading()) throw std::logic_error("reading from a storing archive");
}

void Archive::WriteByte(uint8_t v) {
  RequireStoring();
  out_->push_back(v);
}

void Archive::WriteWord(uint16_t v) {
  RequireStoring();
  out_->push_back(static_cast<uint8_t>(v));
  out_->push_back(static_cast<uint8_t>(v >> 8));
}

void Archive::WriteDword(uint32_t v) {
  RequireStoring();
  for (int shift = 0; shift < 32; shift += 8) out_->push_back(static_cast<uint8_t>(v >> shift));
}

void Archive::WriteInt32(int32_t v) { WriteDword(static_cast<uint32_t>(v)); }

void Archive::WriteText(std::string_view utf8) {
  RequireStoring();
  const std::string bytes = Utf8ToCp1251(utf8);
  const size_t n = bytes.size();
  if (n < 0xFF) {
    WriteByte(static_cast<uint8_t>(n));
  } else if (n < kWideTextMarker) {
    WriteByte(0xFF);
    WriteWord(static_cast<uint16_t>(n));
  } else {
    if (n > kMaxTextLength) throw std::length_error("text too long for an archive");
    WriteByte(0xFF);
    WriteWord(0xFFFF);
    WriteDword(static_cast<uint32_t>(n));
  }
  out_->insert(out_->end(), bytes.begin(), bytes.end());
}

void Archive::WriteClassTag(std::string_view name, uint16_t schema) {
  RequireStoring();
  if (name.empty() || name.size() > 0xFFFF) throw std::invalid_argument("bad archive class name");
  auto it = storedClasses_.find(std::string(name));
  if (it != storedClasses_.end()) {
    WriteWord(static_cast<uint16_t>(kClassReference | it->second));
    return;
  }
  if (storedClasses_.size() >= kMaxClasses) throw std::length_error("too many classes in one archive");
  const auto number = static_cast<uint16_t>(storedClasses_.size() + 1);
  storedClasses_.emplace(std::string(name), number);
  WriteWord(kNewClassTag);
  WriteWord(schema);
  WriteWord(static_cast<uint16_t>(name.size()));
  out_->insert(out_->end(), name.begin(), name.end());
}

const uint8_t* Archive::Take(size_t n) {
  if (n > Remaining()) FailEnd("a value");
  const uint8_t* p = in_.data() + pos_;
  pos_ += n;
  return p;
}

uint8_t Archive::ReadByte() {
  RequireLoading();
  return *Take(1);
}

uint16_t Archive::ReadWord() {
  RequireLoading();
  const uint8_t* p = Take(2);
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Archive::ReadDword() {
  RequireLoading();
  const uint8_t* p = Take(4);
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int32_t Archive::ReadInt32() { return static_cast<int32_t>(ReadDword()); }

std::string Archive::ReadText() {
  RequireLoading();
  PositionGuard guard(pos_);
  size_t n = ReadByte();
  if (n == 0xFF) {
    n = ReadWord();
    if (n == kWideTextMarker) Fail(ArchiveError::Kind::BadFormat, "the archive holds a UTF-16 text");
    if (n == 0xFFFF) n = ReadDword();
  }
  // Checked before anything is allocated: a length field may claim gigabytes.
  if (n > Remaining()) FailEnd("a text");
  const auto* p = reinterpret_cast<const char*>(Take(n));
  guard.Done();
  return Cp1251ToUtf8(std::string_view(p, n));
}

uint16_t Archive::ReadClassTag(std::string_view expected) {
  return ReadClassTag([expected](std::string_view name) { return name == expected; });
}

uint16_t Archive::ReadClassTag(std::initializer_list<std::string_view> accepted) {
  return ReadClassTag([accepted](std::string_view name) {
    for (std::string_view a : accepted) {
      if (name == a) return true;
    }
    return false;
  });
}

uint16_t Archive::ReadClassTag(const std::function<bool(std::string_view name)>& accepts) {
  RequireLoading();
  PositionGuard guard(pos_);
  const uint16_t tag = ReadWord();
  if (tag == kNewClassTag) {
    const uint16_t schema = ReadWord();
    const uint16_t length = ReadWord();
    if (length > Remaining()) FailEnd("a class name");
    const auto* p = reinterpret_cast<const char*>(Take(length));
    LoadedClass cls{std::string(p, length), schema};
    RequireAccepted(cls.name, accepts);
    if (loadedClasses_.size() >= kMaxClasses) {
      Fail(ArchiveError::Kind::BadFormat, "too many classes in the archive");
    }
    loadedClasses_.push_back(std::move(cls));
    guard.Done();
    return schema;
  }
  if ((tag & kClassReference) == 0) {
    Fail(ArchiveError::Kind::BadFormat, "the archive holds no class tag where one is expected");
  }
  const size_t number = tag & ~kClassReference;
  if (number == 0 || number > loadedClasses_.size()) {
    Fail(ArchiveError::Kind::BadFormat,
         "the archive refers to class number " + std::to_string(number) + " before that class was stored");
  }
  const LoadedClass& cls = loadedClasses_[number - 1];
  RequireAccepted(cls.name, accepts);
  guard.Done();
  return cls.schema;
}

}  // namespace platform
