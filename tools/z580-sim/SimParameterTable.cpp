#include "SimParameterTable.h"

#include <algorithm>
#include <cstring>

namespace z580sim {

const unsigned kBaudRates[9] = {2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 115200};

namespace {

// The frame's reply holds at most 8 data bytes (31 characters).
constexpr int kMaxReplyData = 8;

const char* const kDeviceIds[kModelCount] = {
    "ZD580-01", "ZD580-02", "ZD580-03", "ZD580-04", "ZD580-05", "ZD58-06",  "zd58-07",  "zd580-08",
    "zd580-09", "ZD580-10", "zd580-11", "zd580-12", "zd580-13", "zd580-14", "zd580-14", "zd580-16",
    "zd580-17", "zd580-18", "zd580-19", "zd580-20", "zd580-21", "zd580-22", "zd580-23"};

Bytes Reversed(const std::string& s) { return Bytes(s.rbegin(), s.rend()); }

ParameterSpec Make(const char* name, ValueKind kind, int length, Bytes initial) {
  ParameterSpec p;
  p.name = name;
  p.kind = kind;
  p.length = length;
  p.initial = std::move(initial);
  return p;
}

ParameterSpec Enum(const char* name, int items, uint8_t initial, std::vector<std::string> texts = {}) {
  ParameterSpec p = Make(name, ValueKind::Enum, 1, {initial});
  p.enumItems = items;
  p.enumTexts = std::move(texts);
  p.hasAttributes = true;
  return p;
}

}  // namespace

bool ParameterTable::Add(const ParameterSpec& spec, std::string* error) {
  auto fail = [&](const char* why) {
    if (error) *error = spec.name + ": " + why;
    return false;
  };
  if (spec.name.empty()) return fail("empty name");
  const uint16_t hash = NameHash(spec.name);
  if (byHash_.count(hash)) return fail("name hash already in the table");
  if (spec.length < 0 || spec.indexCount < 0 || spec.channels < 0 || spec.replyTail < 0) return fail("negative size");
  const int replyBytes =
      (spec.kind == ValueKind::Command ? 0 : spec.length) + spec.replyTail + (spec.indexCount > 0 ? 2 : 0);
  if (replyBytes > kMaxReplyData) return fail("value does not fit one reply");
  if (spec.kind == ValueKind::StoredDot && (spec.length < 2 || spec.length > 4)) return fail("stored-dot length");
  if (!spec.initial.empty() && spec.kind != ValueKind::Command &&
      static_cast<int>(spec.initial.size()) != spec.length &&
      !(spec.kind == ValueKind::StoredDot && spec.initial.size() >= 2 && spec.initial.size() <= 4))
    return fail("initial bytes differ from the length");
  if (spec.indexCount > 0 && spec.channels > 0) return fail("both indexed and polled");
  byHash_[hash] = specs_.size();
  specs_.push_back(spec);
  return true;
}

const ParameterSpec* ParameterTable::Find(uint16_t hash) const {
  auto it = byHash_.find(hash);
  return it == byHash_.end() ? nullptr : &specs_[it->second];
}

const ParameterSpec* ParameterTable::Find(const std::string& name) const { return Find(NameHash(name)); }

const char* DeviceIdOf(int model) { return model >= 0 && model < kModelCount ? kDeviceIds[model] : nullptr; }

ParameterTable BuiltInTable(int model) {
  ParameterTable t;
  const char* id = DeviceIdOf(model);
  if (!id) return t;

  ParameterSpec dev = Make("dev", ValueKind::Text, static_cast<int>(std::strlen(id)), Reversed(id));
  dev.readOnly = true;
  t.Add(dev);
  ParameterSpec ver = Make("ver", ValueKind::Text, 4, Reversed("2.14"));
  ver.readOnly = true;
  t.Add(ver);
  if (model >= 12 && model <= 14) {
    // 0: the first enumeration item (one channel); model 14 is the four-channel variant.
    ParameterSpec tdev = Make("tdev", ValueKind::Enum, 1, {static_cast<uint8_t>(model == 14 ? 1 : 0)});
    tdev.enumItems = 2;
    tdev.readOnly = true;
    t.Add(tdev);
  }

  // The network settings' items as the descriptions name them.
  std::vector<std::string> speeds;
  for (unsigned baud : kBaudRates) speeds.push_back(std::to_string(baud));
  t.Add(Enum("bPS", 9, 2, speeds));
  t.Add(Enum("LEn", 2, 1, {"7", "8"}));
  t.Add(Enum("PrtY", 3, 0, {"Отсутствует", "Четность", "Нечетность"}));
  t.Add(Enum("Sbit", 2, 0, {"1", "2"}));
  t.Add(Enum("A.Len", 2, 0, {"8", "11"}));
  ParameterSpec addr = Make("Addr", ValueKind::Unsigned, 2, {0x00, 0x10});
  addr.hasAttributes = true;
  t.Add(addr);
  t.Add(Make("INIT", ValueKind::Command, 0, {}));
  // The mains-measurement models write "APLY" with a one-byte value.
  t.Add(Make("APLY", ValueKind::Command, 1, {}));

  // Ordinary parameters: a writable number, a list, a maker's indexed
  // coefficient (not editable), a read-only word, network-name codes, and two
  // polled readings.
  ParameterSpec filt = Make("FiLt", ValueKind::StoredDot, 2, {0x10, 0x7D});
  filt.hasAttributes = true;
  t.Add(filt);
  t.Add(Enum("tYPE", 4, 0));
  ParameterSpec clb = Make("CLB.K", ValueKind::Unsigned, 2, {0x0F, 0xFF});
  clb.hasAttributes = true;
  clb.editable = false;
  clb.makerOwned = true;
  clb.indexCount = 2;
  t.Add(clb);
  ParameterSpec serial = Make("SEr.n", ValueKind::Unsigned, 2, {0x30, 0x39});
  serial.readOnly = true;
  t.Add(serial);
  ParameterSpec chr = Make("CHAr", ValueKind::Unsigned, 1, {78});
  chr.indexCount = 4;
  chr.hasAttributes = true;
  t.Add(chr);
  ParameterSpec read = Make("rEAd", ValueKind::Float, 4, {0x3F, 0x80, 0x00, 0x00});
  read.readOnly = true;
  read.channels = model == 14 ? 4 : 1;
  AdjustForModel(model, read);
  t.Add(read);
  ParameterSpec status = Make("Rd.St", ValueKind::Unsigned, 1, {0x00});
  status.readOnly = true;
  status.channels = 1;
  t.Add(status);
  if (model == 12 || model == 13 || model == 14 || model == 18) {
    ParameterSpec def = Make("S.Def", ValueKind::Command, 0, {});
    if (model == 14) def.indexCount = 4;
    t.Add(def);
  }
  return t;
}

namespace {

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool SameName(const std::string& a, const char* b) { return Lower(a) == Lower(b); }

}  // namespace

void AdjustForModel(int model, ParameterSpec& spec) {
  if (SameName(spec.name, "JuRD")) {
    spec.kind = ValueKind::Unsigned;
    spec.length = 2;
    spec.replyTail = 3;
    if (!spec.initial.empty()) {
      unsigned v = 0;
      for (uint8_t b : spec.initial) v = (v << 8) | b;
      spec.initial = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    }
    return;
  }
  if (SameName(spec.name, "U.Apl") || SameName(spec.name, "UApl")) {
    spec.dataLessWrite = true;
    return;
  }
  const bool sixByteReading = model == 0 || model == 7 || model == 8 || model == 12 || model == 17;
  if (sixByteReading && spec.kind == ValueKind::Float &&
      (SameName(spec.name, "rEAd") || SameName(spec.name, "iRDt") || SameName(spec.name, "iRD"))) {
    spec.kind = ValueKind::Bytes;
    spec.length = 6;
    if (spec.initial.empty()) spec.initial.assign(4, 0);
    spec.initial.resize(6, 0);
  }
}

bool SpecFromTypeText(const std::string& name, const std::string& typeText, ParameterSpec& spec) {
  if (typeText.empty()) return false;
  std::vector<std::string> items;
  size_t start = 0;
  for (;;) {
    const size_t colon = typeText.find(':', start);
    items.push_back(typeText.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  const std::string word = Lower(items[0]);
  const bool scalarWithDot = items.size() == 2 && items[1].size() == 1 && items[1][0] >= '0' && items[1][0] <= '9';
  spec.name = name;
  spec.enumItems = 0;
  spec.enumTexts.clear();
  spec.initial.clear();
  if (items.size() == 1 || scalarWithDot) {
    struct Form {
      const char* word;
      ValueKind kind;
      int length;
      bool readOnly;
    };
    static const Form forms[] = {
        {"float", ValueKind::Float, 4, false},     {"stored_dot", ValueKind::StoredDot, 4, false},
        {"int", ValueKind::Unsigned, 2, false},    {"int16", ValueKind::Unsigned, 2, false},
        {"sint", ValueKind::Bytes, 2, true},       {"sint16", ValueKind::Bytes, 2, true},
        {"clk_frm", ValueKind::Unsigned, 2, false}, {"string", ValueKind::Text, 8, true},
        {"asci", ValueKind::Text, 8, true},        {"name", ValueKind::Name, 4, false},
        {"void", ValueKind::Command, 0, false}};
    for (const Form& f : forms) {
      if (word != f.word) continue;
      spec.kind = f.kind;
      spec.length = f.length;
      if (f.readOnly) spec.readOnly = true;
      // the three-byte float of this one name
      if (f.kind == ValueKind::Float && name == "r.oe") spec.length = 3;
      return true;
    }
  }
  spec.kind = ValueKind::Enum;
  spec.length = 1;
  spec.enumItems = static_cast<int>(items.size() < 127 ? items.size() : 127);
  items.resize(static_cast<size_t>(spec.enumItems));
  // The program shows "_" as a blank.
  for (std::string& item : items) std::replace(item.begin(), item.end(), '_', ' ');
  spec.enumTexts = std::move(items);
  return true;
}

}  // namespace z580sim
