// The simulated module's parameter table built from a model description with the
// program's own parser, so that the module serves exactly what the program expects.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "SimParameterTable.h"
#include "model/DescriptionParser.h"
#include "model/DescriptionStore.h"
#include "model/MyConverter.h"
#include "platform/CompoundFile.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

namespace z580sim {

namespace {

// One name of the built tree: its first parameter and where its instances are.
struct Occurrence {
  const Parameter* first = nullptr;
  int inTree = 0;
  int polled = 0;   // highest request index + 1 of the polled instances
  int indexes = 0;  // highest linear index + 1 of the indexed instances
};

void Collect(const DescBranch* b, bool polled, std::map<std::string, Occurrence>& names,
             std::vector<std::string>& order) {
  if (!b) return;
  for (const auto& p : b->parameters) {
    const std::string key = platform::ToUpper(p->name);
    auto [it, fresh] = names.try_emplace(key);
    if (fresh) {
      it->second.first = p.get();
      order.push_back(key);
    }
    // A polled instance is asked at the module address plus its request index.
    if (polled)
      it->second.polled = std::max(it->second.polled, p->requestIndex + 1);
    else
      it->second.inTree += 1;
    if (p->indexed && !polled) it->second.indexes = std::max(it->second.indexes, p->linearIndex + 1);
  }
  for (const auto& c : b->children) Collect(c.get(), polled, names, order);
}

// Names whose two-byte integer form the program always sends.
bool TwoByteIntName(const std::string& name) {
  // "Mode" of the mains modules takes start words up to 256.
  for (const char* n : {"Addr", "SoUr", "Alr.t", "tHP", "tP.H", "CLB.K", "Mode"})
    if (platform::EqualsNoCase(name, n)) return true;
  return false;
}

// The spec of a description: byte form from the type, value from the init text.
bool MakeSpec(const std::string& name, const std::string& type, int dot, double low, double high,
              const std::string& init, ParameterSpec& spec, std::string& why) {
  std::string typeText = type;
  // GCC 12 at -O2 and above reports a false -Wrestrict inside std::string's insert
  // here (GCC bug 105329).
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
  if (dot > 0) typeText += ":" + std::to_string(dot);
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  if (!SpecFromTypeText(name, typeText, spec)) {
    why = name + ": no type";
    return false;
  }
  Bytes initial;
  if (!init.empty()) {
    MyConverter c(name);
    c.type = type;
    c.dot = dot;
    std::string text = init;
    if (c.ConvertTextToData(text, initial) != MyConverter::kConverted) {
      why = name + ": the initial value \"" + init + "\" does not encode";
      return false;
    }
  }
  switch (spec.kind) {
    case ValueKind::Unsigned: {
      // As wide as the program writes it: one byte unless the name or the range needs two.
      const bool wide = platform::EqualsNoCase(type, "int16") || TwoByteIntName(name) || high > 255 || low < 0 ||
                        initial.size() > 1;
      spec.length = wide ? 2 : 1;
      if (!initial.empty()) initial.insert(initial.begin(), static_cast<size_t>(spec.length) - initial.size(), 0);
      break;
    }
    case ValueKind::StoredDot:
      if (!initial.empty()) spec.length = static_cast<int>(initial.size());
      break;
    case ValueKind::Text:
      if (!initial.empty()) spec.length = static_cast<int>(initial.size());
      break;
    case ValueKind::Command:
      initial.clear();
      break;
    default:
      break;
  }
  spec.initial = std::move(initial);
  return true;
}

bool ReadFile(const std::filesystem::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return static_cast<bool>(in) || in.eof();
}

}  // namespace

bool LoadTableFromDescription(int model, const std::string& text, ParameterTable& table, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  const ParameterTable builtIn = BuiltInTable(model);
  if (builtIn.Size() == 0) return fail("unknown model index " + std::to_string(model));

  platform::CollectingPrompter prompter;
  DescriptionParser doc;
  std::string failedLine;
  if (!doc.ParseDescriptionText(text, &failedLine))
    return fail("the description line \"" + failedLine + "\" does not load" +
                (prompter.requests.empty() ? "" : ": " + prompter.Texts()));
  if (!doc.rootBranch) return fail("the description has no root branch");
  doc.BuildTrees();
  doc.ReleaseParseLists();
  if (!prompter.requests.empty()) return fail("the description does not load: " + prompter.Texts());

  std::map<std::string, Occurrence> names;
  std::vector<std::string> order;
  Collect(doc.rootBranch, false, names, order);
  Collect(doc.scannersBranch, true, names, order);

  ParameterTable result;
  std::string why;
  auto add = [&](ParameterSpec& spec, const std::string& name) {
    // The identification and the commands the module handles itself.
    for (const char* own : {"dev", "ver", "tdev", "INIT", "APLY"})
      if (platform::EqualsNoCase(name, own))
        if (const ParameterSpec* b = builtIn.Find(std::string(own))) spec = *b;
    // A command the description lists only in its catalogue carries no index range
    // there; the module's own (e.g. "S.Def" per channel of the four-channel model) holds.
    if (spec.kind == ValueKind::Command && spec.indexCount == 0 && spec.channels == 0)
      if (const ParameterSpec* b = builtIn.Find(name); b && b->kind == ValueKind::Command) spec.indexCount = b->indexCount;
    AdjustForModel(model, spec);
    return result.Add(spec, &why);
  };

  for (const std::string& key : order) {
    const Occurrence& o = names.at(key);
    const Parameter& p = *o.first;
    ParameterSpec spec;
    if (!MakeSpec(p.name, p.type, p.dot, p.min, p.max, p.initialValue, spec, why)) return fail(why);
    if (!p.writable) spec.readOnly = true;
    spec.hasAttributes = p.attributes != 0;
    if (o.polled > 0)
      spec.channels = o.polled;
    else if (o.indexes > 0)
      spec.indexCount = o.indexes;
    if (!add(spec, p.name)) return fail(why);
  }
  // Catalogue only: parameter lines no branch names (commands, calibration steps).
  for (const DescParameter& d : doc.descParameters) {
    std::string name = d.name;
    const bool readOnly = !name.empty() && name[0] == '!';
    if (readOnly) name.erase(0, 1);
    if (names.count(platform::ToUpper(name))) continue;
    ParameterSpec spec;
    if (!MakeSpec(name, d.type, 0, d.lower, d.upper, d.initialValue, spec, why)) return fail(why);
    if (readOnly) spec.readOnly = true;
    spec.hasAttributes = d.attribute != 0;
    if (!add(spec, name)) return fail(why);
    names[platform::ToUpper(name)];
  }
  table = std::move(result);
  return true;
}

bool LoadTableFromDescriptionPath(int model, const std::string& path, ParameterTable& table, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  const char* stream = DescriptionStreamName(model);
  if (!stream) return fail("unknown model index " + std::to_string(model));
  std::filesystem::path file = path;
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    if (std::filesystem::exists(file / "zt580.dat", ec))
      file /= "zt580.dat";
    else
      file /= stream;
  }
  std::string text;
  if (platform::CompoundFile::IsCompoundFile(file.string())) {
    DescriptionStore store(file.string(), false);
    std::string cp1251;
    if (!store.IsOpen() || store.ReadStream(stream, cp1251) == 0)
      return fail(file.string() + ": no stream " + stream);
    text = platform::Cp1251ToUtf8(cp1251);
  } else if (!ReadFile(file, text)) {
    return fail(file.string() + ": cannot read");
  }
  std::string why;
  if (!LoadTableFromDescription(model, text, table, &why)) return fail(file.string() + ": " + why);
  return true;
}

}  // namespace z580sim
