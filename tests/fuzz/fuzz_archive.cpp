// Arbitrary bytes read as a sequence of integers, texts and class tags, each chosen
// by the byte before it. Reading must stay inside the bytes and fail only with an
// archive error; whatever was read, stored again and re-read, must store the same.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Archive.h"

namespace {

constexpr std::string_view kClasses[] = {"CPelmDoc", "MyConverter", "Parameter", "InvisibleElement",
                                         "NetRS485prg", "DescBranch"};

bool Known(std::string_view name) {
  for (std::string_view c : kClasses) {
    if (name == c) return true;
  }
  return false;
}

struct Walk {
  std::vector<std::string> values;
  std::vector<uint8_t> stored;
  bool failed = false;
  platform::ArchiveError::Kind kind{};
};

Walk Read(std::span<const uint8_t> data) {
  Walk walk;
  platform::Archive in = platform::Archive::Loading(data);
  platform::Archive out = platform::Archive::Storing(walk.stored);
  try {
    while (in.CanRead(1)) {
      const uint8_t op = in.ReadByte();
      out.WriteByte(op);
      const size_t before = in.Position();
      switch (op % 8) {
        case 0: {
          const uint8_t v = in.ReadByte();
          out.WriteByte(v);
          walk.values.push_back(std::to_string(v));
          break;
        }
        case 1: {
          const uint16_t v = in.ReadWord();
          out.WriteWord(v);
          walk.values.push_back(std::to_string(v));
          break;
        }
        case 2: {
          const uint32_t v = in.ReadDword();
          out.WriteDword(v);
          walk.values.push_back(std::to_string(v));
          break;
        }
        case 3: {
          const int32_t v = in.ReadInt32();
          out.WriteInt32(v);
          walk.values.push_back(std::to_string(v));
          break;
        }
        case 4:
        case 5: {
          const std::string v = in.ReadText();
          out.WriteText(v);
          walk.values.push_back(v);
          break;
        }
        case 6: {
          std::string name;
          const uint16_t schema = in.ReadClassTag([&name](std::string_view n) {
            name = n;
            return Known(n);
          });
          out.WriteClassTag(name, schema);
          walk.values.push_back(name + "/" + std::to_string(schema));
          break;
        }
        case 7: {
          const uint16_t schema = in.ReadClassTag("Parameter");
          out.WriteClassTag("Parameter", schema);
          walk.values.push_back("Parameter/" + std::to_string(schema));
          break;
        }
      }
      if (in.Position() <= before || in.Position() > data.size()) __builtin_trap();
    }
  } catch (const platform::ArchiveError& e) {
    walk.failed = true;
    walk.kind = e.kind();
  }
  if (in.Position() > data.size() || in.Position() + in.Remaining() != data.size()) __builtin_trap();
  return walk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  const Walk first = Read(std::span<const uint8_t>(data, size));
  // What was stored is canonical: reading it gives the same values and storing
  // those gives the same bytes. Texts may differ only where a byte had no character.
  const Walk second = Read(first.stored);
  if (second.stored != first.stored) __builtin_trap();
  if (second.values.size() != first.values.size()) __builtin_trap();
  if (second.failed && second.kind != platform::ArchiveError::Kind::EndOfFile) __builtin_trap();
  if (first.failed != second.failed) __builtin_trap();
  const Walk third = Read(second.stored);
  if (third.values != second.values || third.stored != second.stored) __builtin_trap();
  return 0;
}
