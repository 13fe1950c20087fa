// Configuration records of the parameter tree: a stored tree loads back into a fresh
// tree of the same description, stored parameters find theirs by key, the byte
// layout, and damaged or cut streams end in an archive error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/TreeFixtures.h"
#include "app/CPelmDoc.h"
#include "link/NetRS485prg.h"
#include "model/DeviceModelHooks.h"
#include "platform/Archive.h"
#include "platform/Prompter.h"

namespace {

using platform::Archive;
using platform::ArchiveError;

const char* const kSmallDescription[] = {
    "type T_Mode Выкл Вкл",
    "parameter Addr int Адрес",
    "parameter i.tP T_Mode Тип_входа",
    "parameter i.dB int Дребезг",
    "parameter Log T_Mode Логика",
    "branch Сеть 1 4 4 Addr",
    "branch Вход 2 2 3 i.tP i.dB",
    "branch Общие 1 2 3 Log",
    "root Прибор 1 1 1 Сеть Вход Общие",
};

// A document whose tree is built from the description lines.
std::unique_ptr<CPelmDoc> BuildTree(const std::vector<std::string>& lines) {
  platform::CollectingPrompter prompter;
  auto doc = std::make_unique<CPelmDoc>();
  bool skip = false;
  for (const auto& line : lines) {
    if (!doc->ParseDescriptionLine(line, skip)) ADD_FAILURE() << "line refused: " << line;
  }
  if (doc->rootBranch == nullptr) {
    ADD_FAILURE() << "no root";
    return doc;
  }
  doc->rootBranch->BuildParameters(*doc, false, 0);
  doc->ReleaseParseLists();
  EXPECT_TRUE(prompter.requests.empty());
  return doc;
}

std::unique_ptr<CPelmDoc> BuildSmallTree() {
  return BuildTree(std::vector<std::string>(std::begin(kSmallDescription), std::end(kSmallDescription)));
}

std::vector<uint8_t> Store(ObjectWithParameters& node) {
  std::vector<uint8_t> bytes;
  Archive archive = Archive::Storing(bytes);
  node.Serialize(archive);
  return bytes;
}

// Loads and requires every byte to be used.
void Load(ObjectWithParameters& node, const std::vector<uint8_t>& bytes) {
  Archive archive = Archive::Loading(bytes);
  node.Serialize(archive);
  EXPECT_EQ(archive.Remaining(), 0u);
}

void ExpectSameRecords(DescBranch& expected, DescBranch& actual) {
  EXPECT_EQ(actual.elementName, expected.elementName);
  EXPECT_EQ(actual.repeatCount, expected.repeatCount);
  EXPECT_EQ(actual.instance, expected.instance);
  ASSERT_EQ(actual.parameters.size(), expected.parameters.size());
  for (size_t i = 0; i < expected.parameters.size(); ++i) {
    const Parameter& e = *expected.parameters[i];
    const Parameter& a = *actual.parameters[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(a.name, e.name);
    EXPECT_EQ(a.value, e.value);
    EXPECT_EQ(a.note, e.note);
    EXPECT_EQ(a.description, e.description);
    EXPECT_EQ(a.valueChanged, e.valueChanged);
    EXPECT_EQ(a.editableChanged, e.editableChanged);
    EXPECT_EQ(a.ownerChanged, e.ownerChanged);
    EXPECT_EQ(a.editable, e.editable);
    EXPECT_EQ(a.owner, e.owner);
    EXPECT_EQ(a.writable, e.writable);
    EXPECT_EQ(a.indexed, e.indexed);
    EXPECT_EQ(a.linearIndex, e.linearIndex);
    EXPECT_EQ(a.requestIndex, e.requestIndex);
    EXPECT_EQ(a.mode, e.mode);
  }
  ASSERT_EQ(actual.children.size(), expected.children.size());
  for (size_t i = 0; i < expected.children.size(); ++i)
    ASSERT_NO_FATAL_FAILURE(ExpectSameRecords(*expected.children[i], *actual.children[i]));
}

std::unique_ptr<Parameter> MakeParameter(const std::string& name, bool indexed, int linearIndex,
                                         const std::string& value) {
  auto p = std::make_unique<Parameter>(name);
  p->indexed = indexed;
  p->linearIndex = linearIndex;
  p->value = value;
  return p;
}

class RecordingModel : public model::DeviceModelHooks {
 public:
  Parameter* OnParameterEdited(Parameter& parameter) override {
    edited.push_back(parameter.name + "=" + parameter.value);
    return nullptr;
  }
  std::vector<std::string> edited;
};

class ModelScope {
 public:
  explicit ModelScope(model::DeviceModelHooks* m) : previous_(model::SetCurrentDeviceModel(m)) {}
  ~ModelScope() { model::SetCurrentDeviceModel(previous_); }

 private:
  model::DeviceModelHooks* previous_;
};

TEST(TreeArchive, StoredTreeLoadsIntoAFreshTreeOfTheSameDescription) {
  auto source = BuildSmallTree();
  FillDistinct(*source->rootBranch);
  const auto bytes = Store(*source->rootBranch);

  auto target = BuildSmallTree();
  Load(*target->rootBranch, bytes);
  ASSERT_NO_FATAL_FAILURE(ExpectSameRecords(*source->rootBranch, *target->rootBranch));

  // Storing the loaded tree gives the same bytes again.
  EXPECT_EQ(Store(*target->rootBranch), bytes);
}

TEST(TreeArchive, RealDescriptionRoundTrip) {
  const char* dir = std::getenv("Z580_SOURCE_DIR");
  ASSERT_NE(dir, nullptr);
  std::ifstream in(std::string(dir) + "/data/descriptions/z580-12.tree");
  ASSERT_TRUE(in);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  auto source = BuildTree(lines);
  FillDistinct(*source->rootBranch);
  const auto bytes = Store(*source->rootBranch);
  auto target = BuildTree(lines);
  Load(*target->rootBranch, bytes);
  ASSERT_NO_FATAL_FAILURE(ExpectSameRecords(*source->rootBranch, *target->rootBranch));
}

TEST(TreeArchive, StoredParametersFindTheirsByNameAndIndex) {
  // Stored: two indexed "x", a "gone" the current tree no longer has, two
  // non-indexed "y" and a "z".
  DescBranch stored("B", 1, 0, 0, 0);
  stored.AddParameter(MakeParameter("x", true, 0, "x0"));
  stored.AddParameter(MakeParameter("x", true, 1, "x1"));
  stored.AddParameter(MakeParameter("gone", false, 0, "lost"));
  stored.AddParameter(MakeParameter("y", false, 0, "y first"));
  stored.AddParameter(MakeParameter("y", false, 0, "y second"));
  stored.AddParameter(MakeParameter("z", false, 0, "z"));
  stored.parameters[5]->note = "заметка";
  const auto bytes = Store(stored);

  // Current order differs from the stored one.
  DescBranch current("B", 1, 0, 0, 0);
  current.AddParameter(MakeParameter("z", false, 0, "old"));
  current.AddParameter(MakeParameter("y", false, 0, "old"));
  current.AddParameter(MakeParameter("y", false, 0, "old"));
  current.AddParameter(MakeParameter("x", true, 1, "old"));
  current.AddParameter(MakeParameter("x", true, 0, "old"));
  Load(current, bytes);

  EXPECT_EQ(current.parameters[0]->value, "z");
  EXPECT_EQ(current.parameters[0]->note, "заметка");
  // Both "y" records go to the later parameter of that key, the last one winning.
  EXPECT_EQ(current.parameters[1]->value, "old");
  EXPECT_EQ(current.parameters[2]->value, "y second");
  EXPECT_EQ(current.parameters[3]->value, "x1");
  EXPECT_EQ(current.parameters[4]->value, "x0");
  for (auto& p : current.parameters) EXPECT_NE(p->value, "lost");
}

TEST(TreeArchive, KeysOfIndexedAndPlainParameters) {
  const Parameter plain("Addr");
  auto indexed = MakeParameter("Addr", true, 0x12345, "");
  EXPECT_EQ(DescBranch::ArchiveKey(plain), 0xFFFF0000u | plain.NameHash());
  EXPECT_EQ(DescBranch::ArchiveKey(*indexed), 0x23450000u | plain.NameHash());
}

TEST(TreeArchive, LoadedLogParameterReachesTheDeviceModel) {
  RecordingModel model;
  ModelScope scope(&model);

  DescBranch stored("B", 1, 0, 0, 0);
  stored.AddParameter(MakeParameter("LOG", false, 0, "Вкл"));
  stored.AddParameter(MakeParameter("Log2", false, 0, "1"));
  stored.AddParameter(MakeParameter("log", true, 5, "dropped"));  // no match below
  const auto bytes = Store(stored);
  EXPECT_TRUE(model.edited.empty());  // storing is no edit

  DescBranch current("B", 1, 0, 0, 0);
  current.AddParameter(MakeParameter("Log", false, 0, "Выкл"));
  current.AddParameter(MakeParameter("Log2", false, 0, "0"));
  Load(current, bytes);
  // The stored name replaces the current one; a record read only to be dropped
  // is no edit of the model.
  EXPECT_EQ(model.edited, std::vector<std::string>{"LOG=Вкл"});
}

// A class keeps the schema of its first tag, so every branch record of such an
// archive is a bare tag.
void WriteBareBranchTags(Archive& archive, const DescBranch& branch) {
  archive.WriteClassTag("DescBranch", 2);
  for (const auto& child : branch.children) WriteBareBranchTags(archive, *child);
}

TEST(TreeArchive, BranchRecordsOfAnotherSchemaLeaveTheBranchesButWalkTheChildren) {
  auto source = BuildSmallTree();
  auto target = BuildSmallTree();
  FillDistinct(*source->rootBranch);
  FillDistinct(*target->rootBranch);
  std::vector<uint8_t> bytes;
  {
    Archive archive = Archive::Storing(bytes);
    WriteBareBranchTags(archive, *target->rootBranch);
  }
  ASSERT_GT(target->rootBranch->children.size(), 1u);
  ASSERT_EQ(bytes.size(), 16 + 2 * (target->rootBranch->children.size()));
  // Every child's tag is read, and nothing else.
  Load(*target->rootBranch, bytes);
  ASSERT_NO_FATAL_FAILURE(ExpectSameRecords(*source->rootBranch, *target->rootBranch));
  // One child tag missing: the walk reaches the end.
  bytes.pop_back();
  Archive archive = Archive::Loading(bytes);
  EXPECT_THROW(target->rootBranch->Serialize(archive), ArchiveError);
}

TEST(TreeArchive, ElementRecords) {
  Elements::InvisibleElement stored;
  stored.elementName = "Линия";
  stored.AddParameter(MakeParameter("bPS", false, 0, "9600"));
  stored.AddParameter(MakeParameter("Addr", false, 0, "17"));
  stored.parameters[1]->note = "нет ответа";
  stored.parameters[1]->valueChanged = true;
  const auto bytes = Store(stored);

  // A plain element takes the stored values.
  Elements::InvisibleElement plain;
  plain.AddParameter(MakeParameter("bPS", false, 0, "1200"));
  plain.AddParameter(MakeParameter("Addr", false, 0, "1"));
  Load(plain, bytes);
  EXPECT_EQ(plain.elementName, "Линия");
  EXPECT_EQ(plain.parameters[0]->value, "9600");
  EXPECT_EQ(plain.parameters[1]->value, "17");
  EXPECT_EQ(plain.parameters[1]->note, "нет ответа");
  EXPECT_TRUE(plain.parameters[1]->valueChanged);

  // The program's own line settings keep their values but take the rest.
  {
    Elements::NetRS485prg line;
    line.AddParameter(MakeParameter("bPS", false, 0, "115200"));
    line.AddParameter(MakeParameter("Addr", false, 0, "3"));
    Load(line, bytes);
    EXPECT_EQ(line.elementName, "Линия");
    EXPECT_EQ(line.parameters[0]->value, "115200");
    EXPECT_EQ(line.parameters[1]->value, "3");
    EXPECT_EQ(line.parameters[1]->note, "нет ответа");
  }

  // Another schema: no name, no reset, but the parameter records still follow.
  std::vector<uint8_t> other;
  {
    Archive archive = Archive::Storing(other);
    archive.WriteClassTag("InvisibleElement", 2);
    stored.parameters[0]->Serialize(archive, false);
    stored.parameters[1]->Serialize(archive, false);
  }
  Elements::InvisibleElement kept;
  kept.elementName = "Своё";
  kept.AddParameter(MakeParameter("bPS", false, 0, "1200"));
  kept.AddParameter(MakeParameter("Addr", false, 0, "1"));
  Load(kept, other);
  EXPECT_EQ(kept.elementName, "Своё");
  EXPECT_EQ(kept.parameters[1]->value, "17");
}

TEST(TreeArchive, ElementRecordsAreTaggedAsTheBaseClass) {
  std::vector<uint8_t> bytes;
  {
    Archive archive = Archive::Storing(bytes);
    Elements::NetRS485prg line;
    line.elementName = "L";
    line.Serialize(archive);
  }
  const std::string name = "InvisibleElement";
  ASSERT_GE(bytes.size(), 6 + name.size());
  EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 6 + static_cast<long>(name.size())), name);
}

// Builds R { a } with a child C { b indexed at 2, b indexed at 3 }.
std::unique_ptr<DescBranch> LayoutTree() {
  auto root = std::make_unique<DescBranch>("R", 1, 1, 0, 0);
  root->AddParameter(MakeParameter("a", false, 0, "1"));
  auto child = std::make_unique<DescBranch>("Вход", 2, 0, 0, 0);
  child->AddParameter(MakeParameter("b", true, 2, "Да"));
  child->AddParameter(MakeParameter("b", true, 3, ""));
  child->parameters[1]->note = "x";
  child->parameters[1]->valueChanged = true;
  child->parameters[1]->editable = 0;
  child->parameters[1]->owner = 1;
  child->parameters[1]->mode = -2;
  child->parameters[1]->writable = false;
  root->children.push_back(std::move(child));
  return root;
}

void AppendText(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes) {
  out.push_back(static_cast<uint8_t>(bytes.size()));
  out.insert(out.end(), bytes);
}

void AppendAscii(std::vector<uint8_t>& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

TEST(TreeArchive, ByteLayout) {
  auto root = LayoutTree();
  const uint16_t hashA = Parameter::HashOfName("a");
  const uint16_t hashB = Parameter::HashOfName("b");
  const std::string defaultCaption = Parameter("a").description;
  std::vector<uint8_t> e;
  auto word = [&](uint16_t v) { e.insert(e.end(), {uint8_t(v), uint8_t(v >> 8)}); };
  auto dword = [&](uint32_t v) {
    e.insert(e.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  };
  auto caption = [&] {
    // "<неизвестный параметр>" in Windows-1251
    AppendText(e, {'<', 0xED, 0xE5, 0xE8, 0xE7, 0xE2, 0xE5, 0xF1, 0xF2, 0xED, 0xFB, 0xE9, ' ', 0xEF, 0xE0, 0xF0,
                   0xE0, 0xEC, 0xE5, 0xF2, 0xF0, '>'});
  };
  // Root: class 1.
  word(0xFFFF), word(3), word(10), AppendAscii(e, "DescBranch");
  AppendText(e, {'R'});
  dword(1);
  dword(0xFFFF0000u | hashA);
  word(0xFFFF), word(3), word(11), AppendAscii(e, "MyConverter");  // class 2
  AppendText(e, {'a'}), AppendText(e, {'1'});
  word(0xFFFF), word(1), word(9), AppendAscii(e, "Parameter");  // class 3
  caption();
  e.push_back(0), dword(0), dword(0), e.push_back(1);  // indexed, linear, request, writable
  AppendText(e, {});                                   // note
  e.insert(e.end(), {0, 0, 0, 1, 0});                  // flags, editable, owner
  dword(0);                                            // mode
  dword(1), dword(1);                                  // repeat count, instance
  // Child, by class number.
  word(0x8001);
  AppendText(e, {0xC2, 0xF5, 0xEE, 0xE4});  // "Вход"
  dword(2);
  dword(0x00020000u | hashB);
  word(0x8002), AppendText(e, {'b'}), AppendText(e, {0xC4, 0xE0});  // "Да"
  word(0x8003), caption();
  e.push_back(1), dword(2), dword(0), e.push_back(1), AppendText(e, {});
  e.insert(e.end(), {0, 0, 0, 1, 0}), dword(0);
  dword(0x00030000u | hashB);
  word(0x8002), AppendText(e, {'b'}), AppendText(e, {});
  word(0x8003), caption();
  e.push_back(1), dword(3), dword(0), e.push_back(0), AppendText(e, {'x'}), e.insert(e.end(), {1, 0, 0, 0, 1});
  dword(0xFFFFFFFEu);
  dword(2), dword(0);

  ASSERT_EQ(defaultCaption, "<неизвестный параметр>");
  const auto bytes = Store(*root);
  ASSERT_EQ(bytes.size(), e.size());
  for (size_t i = 0; i < e.size(); ++i) EXPECT_EQ(bytes[i], e[i]) << "byte " << i;
}

TEST(TreeArchive, EveryCutEndsInAnArchiveError) {
  auto source = BuildSmallTree();
  FillDistinct(*source->rootBranch);
  const auto bytes = Store(*source->rootBranch);
  auto target = BuildSmallTree();
  for (size_t n = 0; n < bytes.size(); ++n) {
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
    Archive archive = Archive::Loading(cut);
    try {
      target->rootBranch->Serialize(archive);
      ADD_FAILURE() << "no error at cut " << n;
    } catch (const ArchiveError& error) {
      EXPECT_TRUE(error.kind() == ArchiveError::Kind::EndOfFile || error.kind() == ArchiveError::Kind::BadFormat)
          << "cut " << n;
    }
  }
}

TEST(TreeArchive, RecordsOfTheWrongClassAreRefused) {
  Elements::InvisibleElement element;
  const auto elementBytes = Store(element);
  DescBranch branch("B", 1, 0, 0, 0);
  {
    Archive archive = Archive::Loading(elementBytes);
    try {
      branch.Serialize(archive);
      ADD_FAILURE() << "an element record loaded as a branch";
    } catch (const ArchiveError& error) {
      EXPECT_EQ(error.kind(), ArchiveError::Kind::BadClass);
    }
  }
  // A branch is an element, so an element may read a branch record's tag.
  const auto branchBytes = Store(branch);
  Archive archive = Archive::Loading(branchBytes);
  EXPECT_NO_THROW(element.Serialize(archive));
  EXPECT_EQ(element.elementName, "B");

  // A parameter's own tag where the name-and-value record belongs.
  std::vector<uint8_t> bad;
  {
    Archive storing = Archive::Storing(bad);
    storing.WriteClassTag("InvisibleElement", 3);
  }
  Parameter p("a");
  Archive loading = Archive::Loading(bad);
  EXPECT_THROW(p.Serialize(loading, false), ArchiveError);
}

}  // namespace
