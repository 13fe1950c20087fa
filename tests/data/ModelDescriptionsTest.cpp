// The 23 model descriptions as the program gets them: the packed data file, the
// parser and the branch builder; every name other code looks up in its place, and
// the rules every text keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/CPelmDoc.h"
#include "model/DescriptionStore.h"
#include "model/MyConverter.h"
#include "model/Parameter.h"
#include "platform/CompoundFile.h"
#include "platform/Text.h"
#include "platform/Prompter.h"
#include "support/ReadFile.h"

namespace {

constexpr int kModels = 23;

std::string EnvPath(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string DataFile() { return EnvPath("Z580_BUILD_DIR") + "/app/ui/zt580.dat"; }

std::filesystem::path SourceText(int model) {
  return std::filesystem::path(EnvPath("Z580_SOURCE_DIR")) / "data" / "descriptions" /
         DescriptionStreamName(model);
}

std::string StoredText(int model) {
  DescriptionStore store(DataFile(), false);
  std::string text;
  store.ReadStream(DescriptionStreamName(model), text);
  return text;
}

// A model's text parsed (for the given firmware version) and built, as the program does.
struct LoadedModel {
  std::unique_ptr<CPelmDoc> doc = std::make_unique<CPelmDoc>();
  std::vector<platform::MessageRequest> messages;
  bool parsed = true;
  std::vector<std::string> lines;  // UTF-8, without empty lines
};

LoadedModel Load(int model, int major = -1, int minor = -1) {
  LoadedModel m;
  platform::CollectingPrompter prompter;
  m.doc->versionMajor = major;
  m.doc->versionMinor = minor;
  const std::string text = platform::Cp1251ToUtf8(StoredText(model));
  m.lines = CPelmDoc::SplitDescriptionLines(text);
  m.parsed = m.doc->ParseDescriptionText(text);
  m.doc->BuildTrees();
  m.doc->ReleaseParseLists();
  m.messages = prompter.requests;
  return m;
}

void Skeleton(const DescBranch& b, std::string& out) {
  out += b.elementName + "{";
  for (const auto& c : b.children) Skeleton(*c, out);
  out += "}";
}

std::string Skeleton(const CPelmDoc& doc) {
  std::string out;
  if (doc.rootBranch) Skeleton(*doc.rootBranch, out);
  out += "|";
  if (doc.scannersBranch) Skeleton(*doc.scannersBranch, out);
  return out;
}

void ForEachBranch(DescBranch* b, const std::function<void(DescBranch&)>& f) {
  if (!b) return;
  f(*b);
  for (auto& c : b->children) ForEachBranch(c.get(), f);
}

std::string Spaces(std::string s) {
  std::replace(s.begin(), s.end(), '_', ' ');
  return s;
}

std::vector<std::string> Items(const std::string& type) {
  std::vector<std::string> items;
  size_t pos = 0;
  while (true) {
    size_t colon = type.find(':', pos);
    items.push_back(Spaces(type.substr(pos, colon - pos)));
    if (colon == std::string::npos) break;
    pos = colon + 1;
  }
  return items;
}

const char* const kScalarWords[] = {"int", "int16", "float", "STORED_DOT", "CLK_frm", "name", "void", "string", "ASCI"};

bool IsScalarWord(const std::string& word) {
  return std::any_of(std::begin(kScalarWords), std::end(kScalarWords),
                     [&](const char* w) { return platform::EqualsNoCase(word, w); });
}

DescBranch* NetworkBranchOf(const CPelmDoc& doc) {
  if (!doc.rootBranch) return nullptr;
  for (auto& c : doc.rootBranch->children)
    if (c->elementName == "Сетевые параметры") return c.get();
  return nullptr;
}

TEST(ModelDescriptions, DataFileHoldsEachTextInWindows1251WithCrLf) {
  platform::CompoundFile file;
  ASSERT_EQ(file.OpenFile(DataFile()), platform::CompoundFile::Result::Ok) << DataFile();
  std::set<std::string> expected;
  for (int i = 0; i < kModels; ++i) expected.insert(platform::ToUpper(DescriptionStreamName(i)));
  std::set<std::string> stored;
  for (const std::string& n : file.StreamNames()) stored.insert(platform::ToUpper(n));
  EXPECT_EQ(stored, expected);
  EXPECT_EQ(file.StreamNames().size(), static_cast<size_t>(kModels));

  for (int i = 0; i < kModels; ++i) {
    std::string source = testsupport::ReadFile(SourceText(i));
    ASSERT_FALSE(source.empty()) << SourceText(i);
    std::string crlf;
    for (char c : source) {
      if (c == '\r') continue;
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    std::string cp1251;
    ASSERT_TRUE(platform::Utf8ToCp1251(crlf, cp1251)) << DescriptionStreamName(i);
    EXPECT_EQ(StoredText(i), cp1251) << DescriptionStreamName(i);
  }
}

TEST(ModelDescriptions, EveryModelLoadsSilentlyWithTheSameSkeletonForAnyFirmware) {
  for (int i = 0; i < kModels; ++i) {
    SCOPED_TRACE(DescriptionStreamName(i));
    LoadedModel m = Load(i);
    EXPECT_TRUE(m.parsed);
    for (const auto& r : m.messages) { ADD_FAILURE() << r.caption << ": " << r.text; }
    ASSERT_NE(m.doc->rootBranch, nullptr);
    ASSERT_NE(m.doc->scannersBranch, nullptr);
    DescBranch* network = NetworkBranchOf(*m.doc);
    ASSERT_NE(network, nullptr);
    EXPECT_EQ(m.doc->networkBranch, network);
    int copies = 0;
    ForEachBranch(m.doc->rootBranch, [&](DescBranch& b) { copies += b.elementName == "Сетевые параметры"; });
    ForEachBranch(m.doc->scannersBranch, [&](DescBranch& b) { copies += b.elementName == "Сетевые параметры"; });
    EXPECT_EQ(copies, 1);

    const std::string skeleton = Skeleton(*m.doc);
    EXPECT_EQ(Skeleton(*Load(i, 1, 0).doc), skeleton);
    EXPECT_EQ(Skeleton(*Load(i, 99, 99).doc), skeleton);
  }
}

// Where a name sits.
enum class Place { Network, Tree, Polled, Catalogue };

struct Found {
  std::vector<Parameter*> parameters;
  std::vector<DescBranch*> owners;
};

Found Collect(DescBranch* top, DescBranch* except, const std::string& name) {
  Found f;
  std::function<void(DescBranch*)> walk = [&](DescBranch* b) {
    if (!b || b == except) return;
    for (auto& p : b->parameters)
      if (platform::EqualsNoCase(p->name, name)) {
        f.parameters.push_back(p.get());
        f.owners.push_back(b);
      }
    for (auto& c : b->children) walk(c.get());
  };
  walk(top);
  return f;
}

const DescParameter* Catalogued(const CPelmDoc& doc, const std::string& name) {
  for (const auto& d : doc.descParameters) {
    std::string n = d.name;
    if (!n.empty() && n[0] == '!') n.erase(0, 1);
    if (platform::EqualsNoCase(n, name)) return &d;
  }
  return nullptr;
}

// A type expectation: a scalar word, "enum" (any enumeration) or the exact items.
struct NameRow {
  std::string name;
  Place place;
  std::string type;
  std::map<int, int> models;       // model index -> instances (0: at least one)
  std::set<int> optional = {};     // may be present; when so, in its place and type
  bool readOnly = false;
  bool singleParameterBranch = false;
  int indexed = -1;                // 1 indexed 0..n-1, 0 not indexed, -1 either
  std::function<void(const Parameter&, int model)> extra = nullptr;
};

std::map<int, int> Models(std::initializer_list<int> list, int count = 0) {
  std::map<int, int> m;
  for (int i : list) m[i] = count;
  return m;
}

std::map<int, int> AllModels(std::set<int> except = {}) {
  std::map<int, int> m;
  for (int i = 0; i < kModels; ++i)
    if (!except.count(i)) m[i] = 0;
  return m;
}

std::set<int> AllIndexes() {
  std::set<int> s;
  for (int i = 0; i < kModels; ++i) s.insert(i);
  return s;
}

void ExpectItems(const Parameter& p, std::vector<std::string> items) { EXPECT_EQ(Items(p.type), items) << p.name; }

std::vector<NameRow> NameTable() {
  const std::string rates = "2400:4800:9600:14400:19200:28800:38400:57600:115200";
  std::vector<NameRow> t = {
      {"bPS", Place::Network, rates, AllModels()},
      {"LEn", Place::Network, "7:8", AllModels({7, 17, 18})},
      {"PrtY", Place::Network, "Отсутствует:Четность:Нечетность", AllModels()},
      {"Sbit", Place::Network, "1:2", AllModels()},
      {"A.Len", Place::Network, "8:11", AllModels()},
      {"Addr", Place::Network, "int", AllModels()},
      {"Prot", Place::Network, "enum", {}, {12, 13, 14, 18, 19, 20, 21, 22}, false, false, -1,
       [](const Parameter& p, int) { EXPECT_EQ(Items(p.type).at(0), "ТЕВИ"); }},
      {"Rs.dL", Place::Network, "int", Models({13, 14, 18, 19, 20, 21, 22})},
      {"T.pro", Place::Network, "", Models({20})},
      {"dev", Place::Tree, "ASCI", AllModels(), {}, true},
      {"ver", Place::Tree, "ASCI", AllModels(), {}, true},
      {"tdev", Place::Tree, "enum", Models({12, 13, 14}), {}, true, false, -1,
       [](const Parameter& p, int model) {
         if (model == 12) {
           ExpectItems(p, {"-10 мГн", "0 мГн"});
         } else {
           ExpectItems(p, {"1 канал", "4 канала"});
         }
       }},
      {"INIT", Place::Catalogue, "void", AllModels()},
      {"APLY", Place::Catalogue, "void", AllModels({19, 20, 21, 22})},
      {"APLY", Place::Catalogue, "int", Models({19, 20, 21, 22})},

      {"rEAd", Place::Polled, "float", {{0, 8}, {8, 4}}, {6, 7, 12, 17}, true, false, 1},
      {"r.Cou", Place::Polled, "int", {{3, 8}, {4, 16}, {10, 8}, {11, 4}, {16, 32}}, {}, false, false, 1},
      {"r.oe", Place::Polled, "float", {{1, 8}, {2, 6}, {3, 4}, {5, 8}, {9, 16}, {11, 4}, {15, 32}}, {}, false, false, 1},
      {"r.cn", Place::Polled, "int", Models({3, 4, 10, 11, 16}, 1), {}, false, true},
      {"s.do", Place::Polled, "int", {}, AllIndexes(), false, true},
      {"Rd.St", Place::Polled, "int", Models({12, 13, 14, 18, 20}, 1), {19, 21, 22}, false, true},
      {"Rd.Rs", Place::Polled, "float", Models({18})},
      {"Rd.Tm", Place::Polled, "float", Models({18})},
      {"SRD", Place::Polled, "int", {}, {6, 7, 12, 17}},

      {"CodP", Place::Tree, "int", {}, {3, 5, 9, 11, 15}, true, true},
      {"Log", Place::Tree, "enum", Models({11}), {}, false, false, 1,
       [](const Parameter& p, int) { EXPECT_GE(Items(p.type).size(), 8u); }},
      {"POUt", Place::Tree, "enum", {{1, 8}, {2, 6}}, {}, false, false, 1,
       [](const Parameter& p, int) {
         auto items = Items(p.type);
         EXPECT_NE(std::find(items.begin(), items.end(), "Дискретный"), items.end());
       }},
      {"CLB.K", Place::Catalogue, "int", Models({1, 2})},
      {"in-t", Place::Tree, "enum", Models({0, 7, 8, 17}), {}, false, false, -1,
       [](const Parameter& p, int model) {
         if (model == 7 || model == 17) { EXPECT_GE(Items(p.type).size(), 5u); }
       }},
      {"Sens", Place::Tree, "enum", {{13, 1}, {14, 4}}, {}, false, false, 1,
       [](const Parameter& p, int) { EXPECT_LE(Items(p.type).size(), 7u); }},
      {"Rd.fV", Place::Tree, "float", {{13, 1}, {14, 4}}, {}, true, false, 1},
      {"Rd.fF", Place::Tree, "float", {{13, 1}, {14, 4}}, {}, true, false, 1},
      {"v.min", Place::Tree, "float", {{13, 1}, {14, 4}}, {}, false, false, 1},
      {"v.max", Place::Tree, "float", {{13, 1}, {14, 4}}, {}, false, false, 1},
      {"p.wgh", Place::Tree, "float", {{13, 1}, {14, 4}}, {}, false, false, 1},
      {"sen.t", Place::Tree, "pH:ОВП", Models({18})},
      {"tco.t", Place::Tree, "enum", Models({18}), {}, false, false, -1,
       [](const Parameter& p, int) { EXPECT_GE(Items(p.type).size(), 2u); }},
      {"S.Def", Place::Catalogue, "void", Models({12, 13, 14, 18})},
      {"zU.Sh", Place::Catalogue, "void", Models({12, 13, 14})},
      {"zU.Sc", Place::Catalogue, "void", Models({12, 13, 14})},
      {"zu.fn", Place::Catalogue, "float", Models({13, 14})},
      {"zu.fx", Place::Catalogue, "float", Models({13, 14})},
      {"U.Apl", Place::Catalogue, "void", Models({12, 13, 14})},
      {"U.Apl", Place::Catalogue, "float", Models({18})},
      {"U.Wgh", Place::Catalogue, "void", Models({13, 14})},
      {"Mode", Place::Catalogue, "int", Models({19, 20, 21, 22})},
  };
  for (const char* n : {"iRD", "iRDt", "RD.IH", "RD.FH", "RD.IP", "RD.FP", "RF.IV", "RF.FV", "RF.IP", "RF.FP"})
    t.push_back({n, Place::Polled, "", {}, {6, 7, 12, 17}});
  for (const char* n : {"TSe.T", "C.Tem", "E.Crd", "p.Crd"}) t.push_back({n, Place::Tree, "float", Models({18})});
  for (const char* n : {"uk.hi", "ik.hi", "uk.lo", "ik.lo"})
    t.push_back({n, Place::Tree, "float", Models({20}, 1), {}, false, false, 0});
  for (const char* n : {"JuSh", "JuSc", "Prmn", "JuRD"}) t.push_back({n, Place::Catalogue, "int", Models({7, 17})});
  t.push_back({"UApl", Place::Catalogue, "void", Models({7, 17})});
  t.push_back({"CLB.I", Place::Catalogue, "int", Models({0, 1, 2, 8})});
  for (const char* n : {"CLB.S", "CLB.T", "CLB.G", "CLB.P", "CLB.A"})
    t.push_back({n, Place::Catalogue, "void", Models({0, 1, 2, 8})});
  for (const char* n : {"U.pH1", "U.pHL", "U.pHH", "U.Rx1", "U.RxL", "U.RxH"})
    t.push_back({n, Place::Catalogue, "float", Models({18})});
  for (const char* n : {"uU.Pn", "uU.Kf", "Rd.fH"}) t.push_back({n, Place::Catalogue, "float", Models({12})});
  return t;
}

void CheckType(const std::string& actual, const std::string& expected, const std::string& name) {
  if (expected.empty()) return;
  if (expected == "enum") {
    EXPECT_NE(actual.find(':'), std::string::npos) << name << " should be an enumeration: " << actual;
    EXPECT_FALSE(IsScalarWord(actual)) << name;
  } else {
    EXPECT_EQ(Spaces(actual), Spaces(expected)) << name;
  }
}

TEST(ModelDescriptions, NamesOtherCodeLooksUpSitWhereItLooks) {
  const std::vector<NameRow> table = NameTable();
  for (int model = 0; model < kModels; ++model) {
    LoadedModel m = Load(model);
    CPelmDoc& doc = *m.doc;
    ASSERT_NE(doc.rootBranch, nullptr) << model;
    DescBranch* network = NetworkBranchOf(doc);
    ASSERT_NE(network, nullptr) << model;
    // The single-parameter dialog starts with "!vEr" typed in.
    EXPECT_NE(Catalogued(doc, "vEr"), nullptr);
    for (const NameRow& row : table) {
      const bool required = row.models.count(model) > 0;
      const bool optional = row.optional.count(model) > 0;
      // A name stated for other models but present here (APLY, U.Apl) is the other row's business.
      bool otherRow = false;
      for (const NameRow& r : table)
        if (&r != &row && r.name == row.name && (r.models.count(model) || r.optional.count(model))) otherRow = true;
      if (!required && otherRow) continue;
      SCOPED_TRACE(std::string(DescriptionStreamName(model)) + " " + row.name);

      const Found inNetwork = Collect(network, nullptr, row.name);
      const Found inTree = Collect(doc.rootBranch, network, row.name);
      const Found polled = Collect(doc.scannersBranch, nullptr, row.name);
      const Found* own = row.place == Place::Network  ? &inNetwork
                         : row.place == Place::Tree   ? &inTree
                         : row.place == Place::Polled ? &polled
                                                      : nullptr;
      const DescParameter* catalogued = Catalogued(doc, row.name);
      const size_t total = inNetwork.parameters.size() + inTree.parameters.size() + polled.parameters.size();
      if (!required && !optional) {
        EXPECT_EQ(total, 0u);
        continue;
      }
      // Optional tree names may be absent (RD.FH on model 12 gives way to the command Rd.fH,
      // the same name ignoring case).
      if (!required && (total == 0 || row.place == Place::Catalogue) && !catalogued) continue;
      if (!required && row.place != Place::Catalogue && total == 0) continue;

      ASSERT_NE(catalogued, nullptr);
      if (row.place == Place::Catalogue) {
        EXPECT_EQ(total, 0u) << "a command must stay out of the tree";
        CheckType(catalogued->type, row.type, row.name);
        continue;
      }
      EXPECT_EQ(total, own->parameters.size()) << "found outside its place";
      ASSERT_FALSE(own->parameters.empty());
      const int wanted = required ? row.models.at(model) : 0;
      if (wanted > 0) { EXPECT_EQ(own->parameters.size(), static_cast<size_t>(wanted)); }
      std::vector<int> indexes;
      for (size_t k = 0; k < own->parameters.size(); ++k) {
        const Parameter& p = *own->parameters[k];
        CheckType(p.type, row.type, row.name);
        if (row.readOnly) { EXPECT_FALSE(p.writable); }
        if (row.singleParameterBranch) { EXPECT_TRUE(own->owners[k]->IsSingleParameter()); }
        if (row.indexed == 0) { EXPECT_FALSE(p.indexed); }
        if (row.extra) row.extra(p, model);
        indexes.push_back(p.linearIndex);
      }
      if (row.indexed == 1) {
        std::sort(indexes.begin(), indexes.end());
        for (size_t k = 0; k < indexes.size(); ++k) { EXPECT_EQ(indexes[k], static_cast<int>(k)); }
        // Found by channel as other code does.
        DescBranch* top = row.place == Place::Polled ? doc.scannersBranch : doc.rootBranch;
        for (size_t k = 0; k < indexes.size(); ++k)
          EXPECT_NE(top->FindParameterAt(row.name, static_cast<int>(k)), nullptr) << k;
      }
      if (row.name == "Log") { EXPECT_EQ(own->parameters.size() % 2, 0u); }
    }
  }
}

bool AllowedNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_';
}

std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> t;
  std::istringstream s(line);
  std::string w;
  while (s >> w) t.push_back(w);
  return t;
}

TEST(ModelDescriptions, EveryTextKeepsTheRules) {
  for (int model = 0; model < kModels; ++model) {
    SCOPED_TRACE(DescriptionStreamName(model));
    LoadedModel m = Load(model);
    CPelmDoc& doc = *m.doc;
    ASSERT_NE(doc.rootBranch, nullptr);
    ASSERT_NE(doc.scannersBranch, nullptr);

    // Names: unique ignoring case, plain characters, distinct hashes.
    std::set<std::string> upperNames;
    std::map<std::uint16_t, std::string> hashes;
    for (const DescParameter& d : doc.descParameters) {
      std::string n = d.name;
      if (!n.empty() && n[0] == '!') n.erase(0, 1);
      ASSERT_FALSE(n.empty());
      EXPECT_TRUE(std::all_of(n.begin(), n.end(), AllowedNameChar)) << n;
      EXPECT_TRUE(upperNames.insert(platform::ToUpper(n)).second) << "twice: " << n;
      auto [it, fresh] = hashes.emplace(Parameter::HashOfName(n), n);
      EXPECT_TRUE(fresh) << n << " has the hash of " << it->second;

      // Types: no scalar word as a type name, short enumerations, word:d with d 1-3.
      const std::string& type = d.type;
      const size_t colon = type.find(':');
      if (colon != std::string::npos) {
        const std::string head = type.substr(0, colon);
        if (IsScalarWord(head)) {
          const std::string tail = type.substr(colon + 1);
          EXPECT_TRUE(tail == "1" || tail == "2" || tail == "3") << n << " " << type;
        } else {
          EXPECT_LE(Items(type).size(), 127u) << n;
        }
      } else {
        EXPECT_TRUE(IsScalarWord(type)) << n << " has an unknown type " << type;
      }
      EXPECT_LE(d.lower, d.upper) << n;
    }

    // Lines: no type named after a scalar word, members without '@', comment marks
    // standing alone.
    std::set<std::string> branchNames;
    for (const std::string& line : m.lines) {
      const auto t = Tokens(line);
      if (t.empty()) continue;
      if (platform::EqualsNoCase(t[0], "type") && t.size() > 1) { EXPECT_FALSE(IsScalarWord(t[1])) << line; }
      if (platform::EqualsNoCase(t[0], "branch") || platform::EqualsNoCase(t[0], "root") ||
          platform::EqualsNoCase(t[0], "scanners")) {
        ASSERT_GT(t.size(), 1u);
        branchNames.insert(platform::ToUpper(t[1]));
        for (const std::string& tok : t) { EXPECT_EQ(tok.find('@'), std::string::npos) << line; }
        EXPECT_NE(t[1].rfind("БУИМ", 0), 0u) << line;
        EXPECT_NE(t[1], "K20");
        EXPECT_NE(t[1], "Состояние_дополнительного_ВЭ");
      }
      if (t[0][0] != ';') {
        for (size_t k = 1; k < t.size(); ++k)
          if (t[k].find(';') != std::string::npos) { EXPECT_EQ(t[k], ";") << line; }
      }
    }
    for (const std::string& n : upperNames) { EXPECT_EQ(branchNames.count(n), 0u) << n << " names a branch too"; }

    // No parameter directly in root.
    EXPECT_TRUE(doc.rootBranch->parameters.empty());

    // Built parameters: init values encode, rules in order; network ones without init.
    DescBranch* network = NetworkBranchOf(doc);
    ASSERT_NE(network, nullptr);
    for (DescBranch* top : {doc.rootBranch, doc.scannersBranch}) {
      ForEachBranch(top, [&](DescBranch& b) {
        for (auto& p : b.parameters) {
          EXPECT_LE(p->min, p->max) << p->name;
          if (&b == network) { EXPECT_TRUE(p->initialValue.empty()) << p->name; }
          if (p->initialValue.empty()) continue;
          MyConverter c(p->name);
          c.type = p->type;
          c.dot = p->dot;
          std::string text = p->initialValue;
          ValueBytes data;
          EXPECT_EQ(c.ConvertTextToData(text, data), MyConverter::kConverted) << p->name << " = " << p->initialValue;
        }
      });
    }
  }
}

}  // namespace
